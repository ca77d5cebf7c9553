#include "preferences/PrefsPublisher.h"

#include "platform/base/Mutex.h"

#include <utility>

namespace zestrel::Prefs {

namespace {

using platform::combine::Never;
using platform::combine::SubscriberPtr;

// One subscriber's observation. Its observation's callback holds it, so it lives until
// it is cancelled.
class PrefsSubscription final : public platform::combine::Subscription,
                                public std::enable_shared_from_this<PrefsSubscription> {
public:
    PrefsSubscription(SubscriberPtr<BaseChange, Never> subscriber, ObservationOptions options)
        : subscriber_(std::move(subscriber)), options_(options) {}

    void makeObservation(const std::shared_ptr<platform::UserDefaults>& suite, std::string key) {
        auto observation = std::make_shared<UserDefaultsKeyObservation>(
            suite, std::move(key),
            [self = shared_from_this()](const BaseChange& change) { self->receive(change); });
        platform::MutexLock lock(mutex_);
        observation_ = std::move(observation);
    }

    void start() {
        std::shared_ptr<UserDefaultsKeyObservation> observation;
        {
            platform::MutexLock lock(mutex_);
            observation = observation_;
        }
        if (observation) {
            observation->start(options_);
        }
    }

    void cancel() override {
        std::shared_ptr<UserDefaultsKeyObservation> observation;
        SubscriberPtr<BaseChange, Never> subscriber;
        {
            platform::MutexLock lock(mutex_);
            observation = std::move(observation_);
            subscriber = std::move(subscriber_);
        }
        // Released here, outside the lock: the observation's release ends it.
    }

private:
    void receive(const BaseChange& change) {
        SubscriberPtr<BaseChange, Never> subscriber;
        {
            platform::MutexLock lock(mutex_);
            subscriber = subscriber_;
        }
        if (subscriber) {
            subscriber->receive(change);
        }
    }

    platform::Mutex mutex_;
    SubscriberPtr<BaseChange, Never> subscriber_ GUARDED_BY(mutex_);
    std::shared_ptr<UserDefaultsKeyObservation> observation_ GUARDED_BY(mutex_);
    const ObservationOptions options_;
};

} // namespace

void PrefsPublisher::receive(const SubscriberPtr<BaseChange, Never>& subscriber) const {
    auto subscription = std::make_shared<PrefsSubscription>(subscriber, options_);
    subscription->makeObservation(suite_, key_);
    subscriber->receive(std::static_pointer_cast<platform::combine::Subscription>(subscription));
    subscription->start();
}

platform::combine::AnyPublisher<platform::combine::Void>
publisher(const std::vector<std::reference_wrapper<const Keys>>& keys,
          const ObservationOptions& options) {
    using platform::combine::AnyPublisher;
    using platform::combine::Void;
    AnyPublisher<Void> merged = platform::combine::Empty<Void>(false);
    for (const Keys& key : keys) {
        const AnyPublisher<Void> signals = PrefsPublisher(key.suite(), key.name(), options)
                                               .eraseToAnyPublisher()
                                               .map([](const BaseChange&) { return Void{}; });
        merged = merged.merge(signals);
    }
    return merged;
}

} // namespace zestrel::Prefs
