#include "platform/concurrency/TimerPublisher.h"

#include "platform/concurrency/Subjects.h"

#include "platform/base/Mutex.h"

namespace zestrel::platform::combine {

struct TimerPublisher::Impl : std::enable_shared_from_this<Impl> {
    Impl(TimeInterval interval, std::optional<TimeInterval> tolerance, RunLoop& runLoop,
         RunLoopMode mode)
        : interval(interval), tolerance(tolerance), runLoop(runLoop), mode(mode) {}
    ~Impl() {
        if (timer) {
            timer->invalidate();
        }
    }

    // The timer of the connection; a new one each time the publisher connects again.
    std::shared_ptr<Timer> start() {
        MutexLock lock(mutex);
        if (!timer) {
            timer = Timer::make(interval, true, [weak = weak_from_this()](Timer&) {
                if (auto self = weak.lock()) {
                    self->ticks.send(currentDate());
                }
            });
            runLoop.add(timer, mode);
        }
        return timer;
    }
    void stop(const std::shared_ptr<Timer>& connection) {
        {
            MutexLock lock(mutex);
            if (timer != connection) {
                return; // that connection ended already
            }
            timer.reset();
        }
        connection->invalidate();
    }

    const TimeInterval interval;
    const std::optional<TimeInterval> tolerance;
    RunLoop& runLoop;
    const RunLoopMode mode;
    PassthroughSubject<Date> ticks;
    Mutex mutex;
    std::shared_ptr<Timer> timer GUARDED_BY(mutex);
    std::size_t autoconnected GUARDED_BY(mutex) = 0;
    std::shared_ptr<Timer> autoconnection GUARDED_BY(mutex);
};

namespace {

// Passes everything through; its cancel also tells the autoconnection a subscriber left.
class AutoconnectSubscriber final : public Subscriber<Date, Never>,
                                    public Subscription,
                                    public std::enable_shared_from_this<AutoconnectSubscriber> {
public:
    AutoconnectSubscriber(SubscriberPtr<Date, Never> downstream,
                          std::shared_ptr<TimerPublisher::Impl> impl)
        : downstream_(std::move(downstream)), impl_(std::move(impl)) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        {
            MutexLock lock(mutex_);
            upstream_ = std::move(subscription);
        }
        downstream_->receive(shared_from_this());
    }
    void receive(const Date& value) override { downstream_->receive(value); }
    void receive(const Completion<Never>& completion) override { downstream_->receive(completion); }
    void cancel() override {
        std::shared_ptr<Subscription> upstream;
        std::shared_ptr<TimerPublisher::Impl> impl;
        {
            MutexLock lock(mutex_);
            upstream = std::move(upstream_);
            impl = std::move(impl_);
        }
        if (upstream) {
            upstream->cancel();
        }
        if (impl) {
            std::shared_ptr<Timer> last;
            {
                MutexLock lock(impl->mutex);
                if (--impl->autoconnected == 0) {
                    last = std::move(impl->autoconnection);
                }
            }
            if (last) {
                impl->stop(last);
            }
        }
    }

private:
    Mutex mutex_;
    SubscriberPtr<Date, Never> downstream_;
    std::shared_ptr<TimerPublisher::Impl> impl_ GUARDED_BY(mutex_);
    std::shared_ptr<Subscription> upstream_ GUARDED_BY(mutex_);
};

} // namespace

TimerPublisher::TimerPublisher(TimeInterval interval, std::optional<TimeInterval> tolerance,
                               RunLoop& runLoop, RunLoopMode mode)
    : impl_(std::make_shared<Impl>(interval, tolerance, runLoop, mode)) {}

TimeInterval TimerPublisher::interval() const {
    return impl_->interval;
}

std::optional<TimeInterval> TimerPublisher::tolerance() const {
    return impl_->tolerance;
}

void TimerPublisher::receive(const SubscriberPtr<Date, Never>& subscriber) const {
    impl_->ticks.receive(subscriber);
}

AnyCancellable TimerPublisher::connect() const {
    auto connection = impl_->start();
    return AnyCancellable([weak = std::weak_ptr(impl_), connection] {
        if (auto impl = weak.lock()) {
            impl->stop(connection);
        }
    });
}

AnyPublisher<Date> TimerPublisher::autoconnect() const {
    return AnyPublisher<Date>([impl = impl_](const SubscriberPtr<Date, Never>& downstream) {
        auto relay = std::make_shared<AutoconnectSubscriber>(downstream, impl);
        bool first = false;
        {
            MutexLock lock(impl->mutex);
            first = impl->autoconnected++ == 0;
        }
        impl->ticks.receive(relay);
        if (first) {
            auto connection = impl->start();
            MutexLock lock(impl->mutex);
            impl->autoconnection = connection;
        }
    });
}

} // namespace zestrel::platform::combine
