#include "platform/concurrency/NotificationPublisher.h"

#include "platform/base/Mutex.h"

namespace zestrel::platform::combine {

namespace {

class NotificationSubscription final : public Subscription {
public:
    NotificationSubscription(std::shared_ptr<NotificationCenter> center,
                             SubscriberPtr<Notification, Never> downstream)
        : delivery(std::move(downstream)), center_(std::move(center)) {}

    void observe(std::string name, Value object,
                 const std::shared_ptr<NotificationSubscription>& self) {
        // The centre's block holds the subscription weakly: the subscriber owns it.
        auto token = center_->addObserver(std::move(name), std::move(object),
                                          [weak = std::weak_ptr(self)](const Notification& n) {
                                              if (auto subscription = weak.lock()) {
                                                  subscription->delivery.send(n);
                                              }
                                          });
        MutexLock lock(mutex_);
        token_ = std::move(token);
    }

    void cancel() override {
        delivery.terminate();
        ObserverToken token;
        {
            MutexLock lock(mutex_);
            token = std::move(token_);
        }
        if (token) {
            center_->removeObserver(token);
        }
    }

    detail::SerialDelivery<Notification, Never> delivery;

private:
    std::shared_ptr<NotificationCenter> center_;
    Mutex mutex_;
    ObserverToken token_ GUARDED_BY(mutex_);
};

} // namespace

AnyPublisher<Notification> notificationPublisher(std::shared_ptr<NotificationCenter> center,
                                                 std::string name, Value object) {
    return AnyPublisher<Notification>(
        [center = std::move(center), name = std::move(name),
         object = std::move(object)](const SubscriberPtr<Notification, Never>& downstream) {
            auto subscription = std::make_shared<NotificationSubscription>(center, downstream);
            // Observing before the subscriber has its subscription is safe: the delivery
            // holds posts back until it starts.
            subscription->observe(name, object, subscription);
            downstream->receive(std::static_pointer_cast<Subscription>(subscription));
            subscription->delivery.start();
        });
}

} // namespace zestrel::platform::combine
