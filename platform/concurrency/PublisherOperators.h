#pragma once

// Operators of AnyPublisher and the publishers built from others (merge, Empty). Included
// by Publisher.h.

#include "platform/base/DispatchQueue.h"
#include "platform/base/Mutex.h"
#include "platform/concurrency/Publisher.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zestrel::platform::combine {

namespace detail {

// A subscriber that passes the subscription and the completion on unchanged and turns each
// value into zero or one values for the downstream.
template <class Input, class Output, class Failure>
class Relay final : public Subscriber<Input, Failure> {
public:
    using OnValue = std::function<void(const Input&, Subscriber<Output, Failure>&)>;

    Relay(SubscriberPtr<Output, Failure> downstream, OnValue onValue)
        : downstream_(std::move(downstream)), onValue_(std::move(onValue)) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        downstream_->receive(std::move(subscription));
    }
    void receive(const Input& value) override { onValue_(value, *downstream_); }
    void receive(const Completion<Failure>& completion) override {
        downstream_->receive(completion);
    }

private:
    SubscriberPtr<Output, Failure> downstream_;
    OnValue onValue_;
};

template <class Output, class Failure> class ReceiveOn;
template <class Output, class Failure> class Debounce;
template <class Output, class Failure> class Merge;

} // namespace detail

template <class Output, class Failure>
template <class Transform>
AnyPublisher<std::decay_t<std::invoke_result_t<Transform&, const Output&>>, Failure>
AnyPublisher<Output, Failure>::map(Transform transform) const {
    using Result = std::decay_t<std::invoke_result_t<Transform&, const Output&>>;
    auto shared = std::make_shared<Transform>(std::move(transform));
    return AnyPublisher<Result, Failure>(
        [upstream = *this, shared](const SubscriberPtr<Result, Failure>& downstream) {
            upstream.receive(std::make_shared<detail::Relay<Output, Result, Failure>>(
                downstream, [shared](const Output& value, Subscriber<Result, Failure>& next) {
                    next.receive((*shared)(value));
                }));
        });
}

template <class Output, class Failure>
AnyPublisher<Output, Failure>
AnyPublisher<Output, Failure>::filter(std::function<bool(const Output&)> isIncluded) const {
    return AnyPublisher([upstream = *this, isIncluded = std::move(isIncluded)](
                            const SubscriberPtr<Output, Failure>& downstream) {
        upstream.receive(std::make_shared<detail::Relay<Output, Output, Failure>>(
            downstream, [isIncluded](const Output& value, Subscriber<Output, Failure>& next) {
                if (isIncluded(value)) {
                    next.receive(value);
                }
            }));
    });
}

template <class Output, class Failure>
AnyPublisher<Output, Failure>
AnyPublisher<Output, Failure>::removeDuplicates() const requires std::equality_comparable<Output> {
    return removeDuplicates([](const Output& a, const Output& b) { return a == b; });
}

template <class Output, class Failure>
AnyPublisher<Output, Failure> AnyPublisher<Output, Failure>::removeDuplicates(
    std::function<bool(const Output&, const Output&)> same) const {
    return AnyPublisher([upstream = *this,
                         same = std::move(same)](const SubscriberPtr<Output, Failure>& downstream) {
        // Each subscription compares with the last value it passed on; deliveries to one
        // subscriber never overlap, so the state needs no lock.
        auto last = std::make_shared<std::optional<Output>>();
        upstream.receive(std::make_shared<detail::Relay<Output, Output, Failure>>(
            downstream, [same, last](const Output& value, Subscriber<Output, Failure>& next) {
                if (*last && same(**last, value)) {
                    return;
                }
                *last = value;
                next.receive(value);
            }));
    });
}

namespace detail {

template <class Output, class Failure>
class ReceiveOn final : public Subscriber<Output, Failure>,
                        public Subscription,
                        public std::enable_shared_from_this<ReceiveOn<Output, Failure>> {
public:
    ReceiveOn(SubscriberPtr<Output, Failure> downstream, DispatchQueue queue)
        : downstream_(std::move(downstream)), queue_(std::move(queue)) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        if (upstream_.set(std::move(subscription))) {
            downstream_->receive(this->shared_from_this());
        }
    }
    void receive(const Output& value) override {
        queue_.async([self = this->shared_from_this(), value] {
            if (!self->cancelled_.load()) {
                self->downstream_->receive(value);
            }
        });
    }
    void receive(const Completion<Failure>& completion) override {
        upstream_.release();
        queue_.async([self = this->shared_from_this(), completion] {
            if (!self->cancelled_.exchange(true)) {
                self->downstream_->receive(completion);
            }
        });
    }
    void cancel() override {
        cancelled_.store(true);
        upstream_.cancel();
    }

private:
    SubscriberPtr<Output, Failure> downstream_;
    DispatchQueue queue_;
    UpstreamSlot upstream_;
    std::atomic<bool> cancelled_{false};
};

// Passes a value on once `dueTime` has gone by without a newer one. At the upstream's end,
// a value still waiting is passed on before the completion, so the last value is not lost.
template <class Output, class Failure>
class Debounce final : public Subscriber<Output, Failure>,
                       public Subscription,
                       public std::enable_shared_from_this<Debounce<Output, Failure>> {
public:
    Debounce(SubscriberPtr<Output, Failure> downstream, Nanoseconds dueTime, DispatchQueue queue)
        : downstream_(std::move(downstream)), dueTime_(dueTime), queue_(std::move(queue)) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        if (!upstream_.set(std::move(subscription))) {
            return;
        }
        SubscriberPtr<Output, Failure> downstream;
        {
            // A cancel on another thread may be taking the downstream away.
            MutexLock lock(mutex_);
            downstream = downstream_;
        }
        if (downstream) {
            downstream->receive(this->shared_from_this());
        }
    }
    void receive(const Output& value) override {
        auto item = std::make_shared<DispatchWorkItem>([weak = this->weak_from_this()] {
            if (auto self = weak.lock()) {
                self->fire();
            }
        });
        std::shared_ptr<DispatchWorkItem> previous;
        {
            MutexLock lock(mutex_);
            if (cancelled_) {
                return;
            }
            pending_ = value;
            previous = std::exchange(timer_, item);
        }
        if (previous) {
            previous->cancel();
        }
        queue_.asyncAfter(DispatchTime::now() + dueTime_, item);
    }
    void receive(const Completion<Failure>& completion) override {
        upstream_.release();
        std::shared_ptr<DispatchWorkItem> previous;
        {
            MutexLock lock(mutex_);
            previous = std::move(timer_);
        }
        if (previous) {
            previous->cancel();
        }
        queue_.async([self = this->shared_from_this(), completion] {
            std::optional<Output> value;
            SubscriberPtr<Output, Failure> downstream;
            {
                MutexLock lock(self->mutex_);
                if (self->cancelled_) {
                    return;
                }
                self->cancelled_ = true;
                value = std::move(self->pending_);
                downstream = std::move(self->downstream_);
            }
            if (value) {
                downstream->receive(*value);
            }
            downstream->receive(completion);
        });
    }
    void cancel() override {
        std::shared_ptr<DispatchWorkItem> previous;
        SubscriberPtr<Output, Failure> released;
        {
            MutexLock lock(mutex_);
            cancelled_ = true;
            previous = std::move(timer_);
            released = std::move(downstream_);
            pending_.reset();
        }
        if (previous) {
            previous->cancel();
        }
        upstream_.cancel();
    }

private:
    void fire() {
        std::optional<Output> value;
        SubscriberPtr<Output, Failure> downstream;
        {
            MutexLock lock(mutex_);
            if (cancelled_ || !pending_) {
                return;
            }
            value = std::move(pending_);
            pending_.reset();
            downstream = downstream_;
        }
        downstream->receive(*value);
    }

    Mutex mutex_;
    SubscriberPtr<Output, Failure> downstream_ GUARDED_BY(mutex_);
    Nanoseconds dueTime_;
    DispatchQueue queue_;
    UpstreamSlot upstream_;
    std::optional<Output> pending_ GUARDED_BY(mutex_);
    std::shared_ptr<DispatchWorkItem> timer_ GUARDED_BY(mutex_);
    bool cancelled_ GUARDED_BY(mutex_) = false;
};

// Values of all upstreams in the order they arrive; finishes when every upstream has
// finished, fails (and cancels the others) at the first failure.
template <class Output, class Failure>
class Merge final : public Subscription,
                    public std::enable_shared_from_this<Merge<Output, Failure>> {
public:
    Merge(SubscriberPtr<Output, Failure> downstream, std::size_t count)
        : delivery_(std::move(downstream)), remaining_(count) {
        for (std::size_t i = 0; i < count; ++i) {
            slots_.push_back(std::make_unique<UpstreamSlot>());
        }
    }

    void start(const SubscriberPtr<Output, Failure>& downstream,
               const std::vector<AnyPublisher<Output, Failure>>& upstreams) {
        downstream->receive(this->shared_from_this());
        delivery_.start();
        if (upstreams.empty()) {
            delivery_.complete(Completion<Failure>::finished());
            return;
        }
        for (std::size_t i = 0; i < upstreams.size(); ++i) {
            upstreams[i].receive(std::make_shared<Inner>(this->shared_from_this(), i));
        }
    }

    void cancel() override {
        delivery_.terminate();
        for (auto& slot : slots_) {
            slot->cancel();
        }
    }

private:
    class Inner final : public Subscriber<Output, Failure> {
    public:
        Inner(std::shared_ptr<Merge> merge, std::size_t index)
            : merge_(std::move(merge)), index_(index) {}
        void receive(std::shared_ptr<Subscription> subscription) override {
            merge_->slots_[index_]->set(std::move(subscription));
        }
        void receive(const Output& value) override { merge_->delivery_.send(value); }
        void receive(const Completion<Failure>& completion) override {
            merge_->slots_[index_]->release();
            if (!completion.isFinished()) {
                for (auto& slot : merge_->slots_) {
                    slot->cancel();
                }
                merge_->delivery_.complete(completion);
                return;
            }
            if (merge_->remaining_.fetch_sub(1) == 1) {
                merge_->delivery_.complete(completion);
            }
        }

    private:
        std::shared_ptr<Merge> merge_;
        std::size_t index_;
    };

    SerialDelivery<Output, Failure> delivery_;
    std::vector<std::unique_ptr<UpstreamSlot>> slots_;
    std::atomic<std::size_t> remaining_;
};

} // namespace detail

template <class Output, class Failure>
AnyPublisher<Output, Failure>
AnyPublisher<Output, Failure>::receiveOn(DispatchQueue scheduler) const {
    return AnyPublisher(
        [upstream = *this, scheduler](const SubscriberPtr<Output, Failure>& downstream) {
            upstream.receive(
                std::make_shared<detail::ReceiveOn<Output, Failure>>(downstream, scheduler));
        });
}

template <class Output, class Failure>
AnyPublisher<Output, Failure>
AnyPublisher<Output, Failure>::debounce(Nanoseconds dueTime, DispatchQueue scheduler) const {
    return AnyPublisher([upstream = *this, dueTime,
                         scheduler](const SubscriberPtr<Output, Failure>& downstream) {
        upstream.receive(
            std::make_shared<detail::Debounce<Output, Failure>>(downstream, dueTime, scheduler));
    });
}

// `Publishers.MergeMany`: one publisher of the values of all of them.
template <class Output, class Failure>
AnyPublisher<Output, Failure> mergeMany(std::vector<AnyPublisher<Output, Failure>> upstreams) {
    return AnyPublisher<Output, Failure>([upstreams = std::move(upstreams)](
                                             const SubscriberPtr<Output, Failure>& downstream) {
        auto merge = std::make_shared<detail::Merge<Output, Failure>>(downstream, upstreams.size());
        merge->start(downstream, upstreams);
    });
}

template <class Output, class Failure>
AnyPublisher<Output, Failure>
AnyPublisher<Output, Failure>::merge(const AnyPublisher& other) const {
    return mergeMany<Output, Failure>({*this, other});
}

// A publisher of no values that finishes at once, or never when `completeImmediately` is
// false.
template <class Output, class Failure = Never>
AnyPublisher<Output, Failure> Empty(bool completeImmediately = true) {
    return AnyPublisher<Output, Failure>(
        [completeImmediately](const SubscriberPtr<Output, Failure>& downstream) {
            downstream->receive(std::make_shared<detail::EmptySubscription>());
            if (completeImmediately) {
                downstream->receive(Completion<Failure>::finished());
            }
        });
}

} // namespace zestrel::platform::combine
