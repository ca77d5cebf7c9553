#pragma once

#include "platform/base/DispatchQueue.h"
#include "platform/concurrency/AsyncStream.h"
#include "platform/concurrency/Publisher.h"
#include "preferences/PrefsObservation.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Publishers and the async stream of preference changes.

namespace zestrel::Prefs {

// The changes of one key as the platform reports them. Each subscriber gets its own
// observation, from subscription until it cancels; demand is not counted.
class PrefsPublisher {
public:
    PrefsPublisher(std::shared_ptr<platform::UserDefaults> suite, std::string key,
                   ObservationOptions options)
        : suite_(std::move(suite)), key_(std::move(key)), options_(options) {}

    void receive(const platform::combine::SubscriberPtr<BaseChange, platform::combine::Never>&
                     subscriber) const;
    platform::combine::AnyPublisher<BaseChange> eraseToAnyPublisher() const {
        return platform::combine::AnyPublisher<BaseChange>(*this);
    }

private:
    std::shared_ptr<platform::UserDefaults> suite_;
    std::string key_;
    ObservationOptions options_;
};

// The typed changes of one key.
template <Storable T>
platform::combine::AnyPublisher<KeyChange<T>> publisher(const Key<T>& key,
                                                        const ObservationOptions& options = {}) {
    return PrefsPublisher(key.suite(), key.name(), options)
        .eraseToAnyPublisher()
        .map([defaultValue = key.defaultValue()](const BaseChange& change) {
            return KeyChange<T>(change, defaultValue);
        });
}

// A bare signal for every change of any of `keys`. It never completes, also with no keys.
platform::combine::AnyPublisher<platform::combine::Void>
publisher(const std::vector<std::reference_wrapper<const Keys>>& keys,
          const ObservationOptions& options = {});

// The key's values, one element for each change (and first the current value when
// `initial`), buffered without bound. Once the stream ends its observation is removed on
// the main queue.
template <Storable T> platform::AsyncStream<T> updates(const Key<T>& key, bool initial = true) {
    using Stream = platform::AsyncStream<T>;
    return Stream([&](typename Stream::Continuation continuation) {
        auto observation = std::make_shared<UserDefaultsKeyObservation>(
            key.suite(), key.name(),
            [continuation, defaultValue = key.defaultValue()](const BaseChange& change) {
                continuation.yield(KeyChange<T>(change, defaultValue).newValue);
            });
        observation->start(initial ? ObservationOptions{ObservationOption::initial}
                                   : ObservationOptions{});
        continuation.setOnTermination([observation](typename Stream::Termination) {
            platform::DispatchQueue::main().async([observation] { observation->invalidate(); });
        });
    });
}

} // namespace zestrel::Prefs
