#include "preferences/PrefsObservation.h"

#include "platform/base/Error.h"
#include "platform/base/ThreadChecker.h"

#include <algorithm>
#include <condition_variable>
#include <thread>
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
    platform::ThreadChecker::checkMainThread("Prefs lifetime tie");
    cancel();
    auto association = std::make_unique<LifetimeAssociation>(
        owner, observation, [weak = std::weak_ptr<PrefsObservation>(observation)] {
            if (auto observation = weak.lock()) {
                observation->invalidate();
            }
        });
    platform::MutexLock lock(mutex_);
    association_ = std::move(association);
}

void detail::PrefsLifetimeTie::cancel() {
    std::unique_ptr<LifetimeAssociation> association;
    {
        platform::MutexLock lock(mutex_);
        association = std::move(association_);
    }
    // Outside the lock: letting go of the tie may release the observation, and with it
    // this tie.
    if (association) {
        association->cancel();
    }
}

namespace detail {

class PrefsObservationCore : public std::enable_shared_from_this<PrefsObservationCore> {
public:
    using Callback = std::function<void(const Prefs::BaseChange&)>;
    // Decides what a platform notification means for the observation.
    using Receive = void (*)(PrefsObservationCore&, const platform::KeyValueNotification&);

    struct Registration {
        std::weak_ptr<platform::UserDefaults> suite;
        std::string key;
        std::optional<platform::KeyValueObservationToken> token;
    };

    PrefsObservationCore(std::vector<Registration> registrations, Callback callback)
        : registrations_(std::move(registrations)), callback_(std::move(callback)) {}

    // Registers with every suite still there. An end during an initial notification takes
    // back the registration that caused it and stops there.
    void start(const Prefs::ObservationOptions& options, Receive receive, const void* context) {
        const std::weak_ptr<PrefsObservationCore> weak = weak_from_this();
        for (std::size_t index = 0;; ++index) {
            std::shared_ptr<platform::UserDefaults> suite;
            std::string key;
            {
                platform::MutexLock lock(mutex_);
                if (ended_ || index >= registrations_.size()) {
                    return;
                }
                suite = registrations_[index].suite.lock();
                key = registrations_[index].key;
            }
            if (!suite) {
                continue;
            }
            const platform::KeyValueObservationToken token = suite->addObserver(
                key, options.keyValueObservingOptions(),
                [weak, receive](const platform::KeyValueNotification& notification) {
                    if (auto core = weak.lock()) {
                        receive(*core, notification);
                    }
                },
                context);
            {
                platform::MutexLock lock(mutex_);
                if (!ended_) {
                    registrations_[index].token = token;
                    continue;
                }
            }
            suite->removeObserver(token);
            return;
        }
    }

    // The suite of the first registration; nothing once ended.
    std::shared_ptr<platform::UserDefaults> firstSuite() const {
        platform::MutexLock lock(mutex_);
        return registrations_.empty() ? nullptr : registrations_.front().suite.lock();
    }

    // Calls the callback unless the observation has ended; an end on another thread waits
    // for the call to return.
    void deliver(const Prefs::BaseChange& change) {
        const std::thread::id self = std::this_thread::get_id();
        {
            platform::MutexLock lock(mutex_);
            if (ended_) {
                return;
            }
            delivering_.push_back(self);
        }
        struct Leave {
            PrefsObservationCore& core;
            std::thread::id self;
            ~Leave() {
                platform::MutexLock lock(core.mutex_);
                core.delivering_.erase(
                    std::find(core.delivering_.begin(), core.delivering_.end(), self));
                core.deliveryEnded_.notify_all();
            }
        } leave{*this, self};
        // Not moved out by end() while a delivery is under way, so no lock is needed here.
        callback_(change);
    }

    // Nothing is delivered from now on. Waits for the deliveries running on other threads
    // (not for those of this thread: the end may come from inside the callback), then removes
    // the observers and, when no delivery is left, lets go of the callback here.
    void end() {
        const std::thread::id self = std::this_thread::get_id();
        std::vector<Registration> registrations;
        Callback callback;
        {
            platform::MutexLock lock(mutex_);
            ended_ = true;
            while (!std::all_of(delivering_.begin(), delivering_.end(),
                                [&](std::thread::id thread) { return thread == self; })) {
                lock.wait(deliveryEnded_);
            }
            registrations.swap(registrations_);
            if (delivering_.empty()) {
                callback = std::move(callback_);
                callback_ = nullptr;
            }
        }
        for (const Registration& registration : registrations) {
            if (auto suite = registration.suite.lock(); suite && registration.token) {
                suite->removeObserver(*registration.token);
            }
        }
    }

private:
    mutable platform::Mutex mutex_;
    std::condition_variable_any deliveryEnded_;
    bool ended_ GUARDED_BY(mutex_) = false;
    std::vector<std::thread::id> delivering_ GUARDED_BY(mutex_);
    std::vector<Registration> registrations_ GUARDED_BY(mutex_);
    // Written under mutex_, read by deliver() without it: end() leaves it while any
    // delivery is under way.
    Callback callback_;
};

} // namespace detail
} // namespace zestrel

namespace zestrel::Prefs {
namespace {

void receiveKeyChange(zestrel::detail::PrefsObservationCore& core,
                      const platform::KeyValueNotification& notification) {
    const auto suite = core.firstSuite();
    if (!suite) {
        core.end();
        return;
    }
    if (!notification.object || !notification.object->isEqual(*suite)) {
        return;
    }
    if (detail::isUpdatingValues()) {
        return;
    }
    core.deliver(BaseChange::fromChangeDictionary(notification.change));
}

} // namespace

UserDefaultsKeyObservation::UserDefaultsKeyObservation(
    const std::shared_ptr<platform::UserDefaults>& object, std::string key, Callback callback)
    : key_(std::move(key)),
      core_(std::make_shared<zestrel::detail::PrefsObservationCore>(
          std::vector<zestrel::detail::PrefsObservationCore::Registration>{{object, key_, {}}},
          std::move(callback))) {}

UserDefaultsKeyObservation::~UserDefaultsKeyObservation() {
    core_->end();
    lifetimeTie_.cancel();
}

void UserDefaultsKeyObservation::start(const ObservationOptions& options) {
    core_->start(options, receiveKeyChange, nullptr);
}

void UserDefaultsKeyObservation::invalidate() {
    // Cancelling the tie may let go of the last reference to this observation.
    const auto keepAlive = weak_from_this().lock();
    core_->end();
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
    receiveKeyChange(*core_, notification);
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
namespace {

void receiveKeysChange(detail::PrefsObservationCore& core,
                       const platform::KeyValueNotification& notification) {
    if (notification.context != CompositeUserDefaultsKeyObservation::context()) {
        return;
    }
    // Any suite this observation registered with is accepted, without comparing it.
    if (!std::dynamic_pointer_cast<platform::UserDefaults>(notification.object)) {
        return;
    }
    if (Prefs::detail::isUpdatingValues()) {
        return;
    }
    core.deliver(Prefs::BaseChange::fromChangeDictionary(notification.change));
}

std::vector<detail::PrefsObservationCore::Registration>
registrations(std::vector<CompositeUserDefaultsKeyObservation::SuiteKeyPair> observables) {
    std::vector<detail::PrefsObservationCore::Registration> result;
    result.reserve(observables.size());
    for (auto& pair : observables) {
        result.push_back({std::move(pair.suite), std::move(pair.key), {}});
    }
    return result;
}

} // namespace

CompositeUserDefaultsKeyObservation::CompositeUserDefaultsKeyObservation(
    std::vector<SuiteKeyPair> observables, Callback callback)
    : core_(std::make_shared<detail::PrefsObservationCore>(registrations(std::move(observables)),
                                                           std::move(callback))) {}

CompositeUserDefaultsKeyObservation::~CompositeUserDefaultsKeyObservation() {
    core_->end();
    lifetimeTie_.cancel();
}

const void* CompositeUserDefaultsKeyObservation::context() {
    static const char identity = 0;
    return &identity;
}

void CompositeUserDefaultsKeyObservation::start(const Prefs::ObservationOptions& options) {
    core_->start(options, receiveKeysChange, context());
}

void CompositeUserDefaultsKeyObservation::invalidate() {
    const auto keepAlive = weak_from_this().lock();
    core_->end();
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
    receiveKeysChange(*core_, notification);
}

} // namespace zestrel
