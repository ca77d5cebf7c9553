#pragma once

#include "platform/base/KeyValueObserving.h"
#include "platform/base/Mutex.h"
#include "platform/concurrency/Publisher.h"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace zestrel::platform::combine {

// An object whose keys can be observed (user defaults, and objects that forward to their
// KeyValueObserverRegistry).
template <class Object>
concept KeyValueObservable = requires(Object& object, std::string keyPath,
                                      NSKeyValueObservingOptions options, KeyValueObserver observer,
                                      KeyValueObservationToken token) {
    { object.addObserver(keyPath, options, observer) } -> std::same_as<KeyValueObservationToken>;
    object.removeObserver(token);
};

namespace detail {

template <class Object, class Output>
class KeyValueSubscription final
    : public Subscription,
      public std::enable_shared_from_this<KeyValueSubscription<Object, Output>> {
public:
    KeyValueSubscription(const std::shared_ptr<Object>& object,
                         SubscriberPtr<Output, Never> downstream)
        : delivery(std::move(downstream)), object_(object) {}

    void observe(std::string keyPath, NSKeyValueObservingOptions options,
                 std::function<Output(const Object&)> read) {
        auto object = object_.lock();
        if (!object) {
            return;
        }
        const auto token = object->addObserver(
            std::move(keyPath), options,
            [weak = this->weak_from_this(), read = std::move(read)](const KeyValueNotification&) {
                auto self = weak.lock();
                auto object = self ? self->object_.lock() : nullptr;
                if (object) {
                    // The property as it is now: before the change for a prior notification.
                    self->delivery.send(read(*object));
                }
            });
        bool cancelled = false;
        {
            MutexLock lock(mutex_);
            cancelled = cancelled_;
            if (!cancelled) {
                token_ = token;
            }
        }
        if (cancelled) { // during the initial notification
            object->removeObserver(token);
        }
    }

    void cancel() override {
        delivery.terminate();
        std::optional<KeyValueObservationToken> token;
        {
            MutexLock lock(mutex_);
            cancelled_ = true;
            token = std::exchange(token_, std::nullopt);
        }
        auto object = object_.lock();
        if (token && object) {
            object->removeObserver(*token);
        }
    }

    SerialDelivery<Output, Never> delivery;

private:
    std::weak_ptr<Object> object_;
    Mutex mutex_;
    std::optional<KeyValueObservationToken> token_ GUARDED_BY(mutex_);
    bool cancelled_ GUARDED_BY(mutex_) = false;
};

} // namespace detail

// `NSObject.publisher(for:options:)`: the value of a property, read by `read`, each time
// key-value observing reports a change of `keyPath`. With the initial option the current
// value comes first, at subscription; with the prior option the value before each change
// comes too. The publisher keeps the object; a subscription does not. Values arrive on the
// changing thread, one at a time. Never completes.
template <class Output, KeyValueObservable Object>
AnyPublisher<Output>
keyValuePublisher(std::shared_ptr<Object> object, std::string keyPath,
                  std::type_identity_t<std::function<Output(const Object&)>> read,
                  NSKeyValueObservingOptions options = NSKeyValueObservingOptionInitial |
                                                       NSKeyValueObservingOptionNew) {
    return AnyPublisher<Output>([object = std::move(object), keyPath = std::move(keyPath),
                                 read = std::move(read),
                                 options](const SubscriberPtr<Output, Never>& downstream) {
        auto subscription =
            std::make_shared<detail::KeyValueSubscription<Object, Output>>(object, downstream);
        downstream->receive(std::static_pointer_cast<Subscription>(subscription));
        subscription->delivery.start();
        subscription->observe(keyPath, options, read);
    });
}

} // namespace zestrel::platform::combine
