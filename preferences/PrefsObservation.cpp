#include "preferences/PrefsObservation.h"

#include "platform/Error.h"

#include <utility>

namespace zestrel::Prefs {

namespace {
// Per thread, so that a writer silences only the notifications of its own writes.
thread_local bool updatingValues = false;
} // namespace

platform::NSKeyValueObservingOptions ObservationOptions::keyValueObservingOptions() const {
    using namespace platform;
    const NSKeyValueObservingOptions newAndOld =
        NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld;
    if (contains(ObservationOption::initial)) {
        return newAndOld | NSKeyValueObservingOptionInitial;
    }
    if (contains(ObservationOption::prior)) {
        return newAndOld | NSKeyValueObservingOptionPrior;
    }
    return newAndOld;
}

BaseChange BaseChange::fromChangeDictionary(const platform::Value::Dictionary& change) {
    BaseChange result;
    const auto kind = change.find(platform::NSKeyValueChangeKindKey);
    const std::optional<std::uint64_t> kindValue =
        kind == change.end() ? std::nullopt : kind->second.asUInt64();
    if (!kindValue) {
        platform::fatal("A key-value change without its kind.");
    }
    result.kind = *kindValue;
    if (const auto found = change.find(platform::NSKeyValueChangeIndexesKey);
        found != change.end()) {
        if (const platform::Value::Array* indexes = found->second.asArray()) {
            IndexSet set;
            bool allIndexes = true;
            for (const platform::Value& index : *indexes) {
                if (const auto number = index.asUInt64()) {
                    set.insert(*number);
                } else {
                    allIndexes = false;
                }
            }
            if (allIndexes) {
                result.indexes = std::move(set);
            }
        }
    }
    if (const auto found = change.find(platform::NSKeyValueChangeNotificationIsPriorKey);
        found != change.end()) {
        result.isPrior = found->second.asBool().value_or(false);
    }
    if (const auto found = change.find(platform::NSKeyValueChangeOldKey); found != change.end()) {
        result.oldValue = found->second;
    }
    if (const auto found = change.find(platform::NSKeyValueChangeNewKey); found != change.end()) {
        result.newValue = found->second;
    }
    return result;
}

void performWithUpdatingValuesFlag(const std::function<void()>& body) {
    struct Lower {
        ~Lower() { updatingValues = false; }
    } lower;
    updatingValues = true;
    body();
}

bool detail::isUpdatingValues() {
    return updatingValues;
}

} // namespace zestrel::Prefs

namespace zestrel {

void detail::PrefsLifetimeTie::tie(const std::shared_ptr<platform::NSObject>& owner,
                                   const std::shared_ptr<PrefsObservation>& observation) {
    cancel();
    association_ = std::make_unique<LifetimeAssociation>(
        owner, observation, [weak = std::weak_ptr<PrefsObservation>(observation)] {
            if (auto observation = weak.lock()) {
                observation->invalidate();
            }
        });
}

void detail::PrefsLifetimeTie::cancel() {
    if (auto association = std::move(association_)) {
        association->cancel();
    }
}

} // namespace zestrel

namespace zestrel::Prefs {

UserDefaultsKeyObservation::UserDefaultsKeyObservation(
    const std::shared_ptr<platform::UserDefaults>& object, std::string key, Callback callback)
    : object_(object), key_(std::move(key)), callback_(std::move(callback)) {}

UserDefaultsKeyObservation::~UserDefaultsKeyObservation() {
    removeObserver();
    lifetimeTie_.cancel();
}

void UserDefaultsKeyObservation::start(const ObservationOptions& options) {
    auto suite = object_.lock();
    if (!suite) {
        return;
    }
    std::weak_ptr<UserDefaultsKeyObservation> weak =
        std::static_pointer_cast<UserDefaultsKeyObservation>(shared_from_this());
    token_ = suite->addObserver(key_, options.keyValueObservingOptions(),
                                [weak](const platform::KeyValueNotification& notification) {
                                    if (auto self = weak.lock()) {
                                        self->observeValue(notification);
                                    }
                                });
}

void UserDefaultsKeyObservation::removeObserver() {
    if (auto suite = object_.lock(); suite && token_) {
        suite->removeObserver(*token_);
    }
    token_.reset();
    object_.reset();
}

void UserDefaultsKeyObservation::invalidate() {
    // Cancelling the tie may let go of the last reference to this observation.
    const auto keepAlive = weak_from_this().lock();
    removeObserver();
    lifetimeTie_.cancel();
}

std::shared_ptr<PrefsObservation>
UserDefaultsKeyObservation::tieToLifetime(const std::shared_ptr<platform::NSObject>& owner) {
    auto self = std::static_pointer_cast<UserDefaultsKeyObservation>(shared_from_this());
    lifetimeTie_.tie(owner, self);
    return self;
}

void UserDefaultsKeyObservation::removeLifetimeTie() {
    const auto keepAlive = weak_from_this().lock();
    lifetimeTie_.cancel();
}

void UserDefaultsKeyObservation::observeValue(const platform::KeyValueNotification& notification) {
    const auto suite = object_.lock();
    if (!suite) {
        invalidate();
        return;
    }
    if (!notification.object || !notification.object->isEqual(*suite)) {
        return;
    }
    if (detail::isUpdatingValues()) {
        return;
    }
    callback_(BaseChange::fromChangeDictionary(notification.change));
}

std::shared_ptr<CompositeUserDefaultsKeyObservation>
observeKeys(const std::vector<std::reference_wrapper<const Keys>>& keys,
            const ObservationOptions& options, std::function<void(const BaseChange&)> handler) {
    std::vector<CompositeUserDefaultsKeyObservation::SuiteKeyPair> pairs;
    pairs.reserve(keys.size());
    for (const Keys& key : keys) {
        pairs.emplace_back(key.suite(), key.name());
    }
    auto observation =
        std::make_shared<CompositeUserDefaultsKeyObservation>(std::move(pairs), std::move(handler));
    observation->start(options);
    return observation;
}

} // namespace zestrel::Prefs

namespace zestrel {

CompositeUserDefaultsKeyObservation::CompositeUserDefaultsKeyObservation(
    std::vector<SuiteKeyPair> observables, Callback callback)
    : observables_(std::move(observables)), callback_(std::move(callback)) {}

CompositeUserDefaultsKeyObservation::~CompositeUserDefaultsKeyObservation() {
    removeObservers();
    lifetimeTie_.cancel();
}

const void* CompositeUserDefaultsKeyObservation::context() {
    static const char identity = 0;
    return &identity;
}

void CompositeUserDefaultsKeyObservation::start(const Prefs::ObservationOptions& options) {
    std::weak_ptr<CompositeUserDefaultsKeyObservation> weak =
        std::static_pointer_cast<CompositeUserDefaultsKeyObservation>(shared_from_this());
    for (SuiteKeyPair& pair : observables_) {
        if (auto suite = pair.suite.lock()) {
            pair.token = suite->addObserver(
                pair.key, options.keyValueObservingOptions(),
                [weak](const platform::KeyValueNotification& notification) {
                    if (auto self = weak.lock()) {
                        self->observeValue(notification);
                    }
                },
                context());
        }
    }
}

void CompositeUserDefaultsKeyObservation::removeObservers() {
    for (SuiteKeyPair& pair : observables_) {
        if (auto suite = pair.suite.lock(); suite && pair.token) {
            suite->removeObserver(*pair.token);
        }
        pair.token.reset();
        pair.suite.reset();
    }
}

void CompositeUserDefaultsKeyObservation::invalidate() {
    const auto keepAlive = weak_from_this().lock();
    removeObservers();
    lifetimeTie_.cancel();
}

std::shared_ptr<PrefsObservation> CompositeUserDefaultsKeyObservation::tieToLifetime(
    const std::shared_ptr<platform::NSObject>& owner) {
    auto self = std::static_pointer_cast<CompositeUserDefaultsKeyObservation>(shared_from_this());
    lifetimeTie_.tie(owner, self);
    return self;
}

void CompositeUserDefaultsKeyObservation::removeLifetimeTie() {
    const auto keepAlive = weak_from_this().lock();
    lifetimeTie_.cancel();
}

void CompositeUserDefaultsKeyObservation::observeValue(
    const platform::KeyValueNotification& notification) {
    if (notification.context != context()) {
        return;
    }
    // Any suite this observation registered with is accepted, without comparing it.
    if (!std::dynamic_pointer_cast<platform::UserDefaults>(notification.object)) {
        return;
    }
    if (Prefs::detail::isUpdatingValues()) {
        return;
    }
    callback_(Prefs::BaseChange::fromChangeDictionary(notification.change));
}

} // namespace zestrel
