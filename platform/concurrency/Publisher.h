#pragma once

#include "platform/base/Clock.h"
#include "platform/concurrency/AnyCancellable.h"

#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace zestrel::platform {
class DispatchQueue;
}

// A small publisher library in the manner of the platform's Combine. Every subscriber asks
// for unlimited values (there is no demand), and a publisher calls one subscriber from one
// thread at a time, in order: the subscription first, then values, then at most one
// completion.
namespace zestrel::platform::combine {

// The output of publishers that only signal ("no value").
using Void = std::monostate;

// The failure type of publishers that cannot fail.
struct Never {
    Never() = delete;
};

template <class Failure> class Completion {
public:
    static Completion finished() { return Completion(); }
    static Completion failure(Failure error) requires(!std::is_same_v<Failure, Never>) {
        Completion completion;
        completion.error_.emplace(std::move(error));
        return completion;
    }

    bool isFinished() const { return !error_.has_value(); }
    // The failure, or nothing for `finished`.
    const Failure* error() const { return error_ ? &*error_ : nullptr; }

private:
    Completion() = default;
    std::optional<Failure> error_;
};

// What a subscriber holds to stop its publisher.
class Subscription : public Cancellable {};

template <class Output, class Failure> class Subscriber {
public:
    virtual ~Subscriber() = default;
    virtual void receive(std::shared_ptr<Subscription> subscription) = 0;
    virtual void receive(const Output& value) = 0;
    virtual void receive(const Completion<Failure>& completion) = 0;
};

template <class Output, class Failure>
using SubscriberPtr = std::shared_ptr<Subscriber<Output, Failure>>;

namespace detail {

// A subscription that stops nothing (a publisher with nothing to stop).
class EmptySubscription final : public Subscription {
public:
    void cancel() override {}
};

// The upstream subscription an intermediate subscriber holds. A cancel that comes before the
// subscription arrives (it can, when the upstream delivers synchronously) cancels it on
// arrival.
class UpstreamSlot {
public:
    // Whether the subscription was taken; a second one, or one after cancel, is cancelled.
    bool set(std::shared_ptr<Subscription> subscription) {
        {
            MutexLock lock(mutex_);
            if (!cancelled_ && !subscription_) {
                subscription_ = std::move(subscription);
                return true;
            }
        }
        subscription->cancel();
        return false;
    }
    void cancel() {
        std::shared_ptr<Subscription> taken;
        {
            MutexLock lock(mutex_);
            cancelled_ = true;
            taken = std::move(subscription_);
        }
        if (taken) {
            taken->cancel();
        }
    }
    // After the upstream completed: nothing left to cancel.
    void release() {
        std::shared_ptr<Subscription> taken;
        MutexLock lock(mutex_);
        cancelled_ = true;
        taken.swap(subscription_);
    }

private:
    Mutex mutex_;
    std::shared_ptr<Subscription> subscription_ GUARDED_BY(mutex_);
    bool cancelled_ GUARDED_BY(mutex_) = false;
};

// Hands events to one downstream subscriber one at a time, in the order they were posted,
// without holding a lock while the subscriber runs. Whoever posts an event delivers it: a
// post made while another thread delivers waits its turn, then delivers what was queued up
// to its own event; a post from inside a delivery (the same thread) is queued and delivered
// by that outer call before it returns. So no thread delivers more than what was queued
// ahead of its own events, however fast others post. Events are held back until start(),
// which the owner calls once the downstream has its subscription and which delivers what
// was posted before it. A subscriber must therefore not wait, inside a delivery, for
// another thread that posts to it.
template <class Output, class Failure> class SerialDelivery {
public:
    explicit SerialDelivery(SubscriberPtr<Output, Failure> downstream)
        : downstream_(std::move(downstream)) {}

    void start() {
        MutexLock lock(mutex_);
        started_ = true;
        deliverUpTo(lastPosted_, lock);
    }
    void send(const Output& value) { post(Event(std::in_place_index<0>, value)); }
    void complete(const Completion<Failure>& completion) {
        post(Event(std::in_place_index<1>, completion));
    }
    // Drops the downstream and whatever was not yet delivered (cancellation). A call already
    // under way on another thread runs to its end; no other begins.
    void terminate() {
        SubscriberPtr<Output, Failure> released;
        std::deque<Pending> dropped;
        {
            MutexLock lock(mutex_);
            released = std::move(downstream_);
            dropped.swap(pending_);
        }
        turn_.notify_all();
    }
    bool isTerminated() const {
        MutexLock lock(mutex_);
        return !downstream_;
    }

private:
    using Event = std::variant<Output, Completion<Failure>>;
    using Ticket = std::uint64_t;
    struct Pending {
        Ticket ticket;
        Event event;
    };

    void post(Event event) {
        MutexLock lock(mutex_);
        if (!downstream_) {
            return;
        }
        const Ticket ticket = ++lastPosted_;
        pending_.push_back(Pending{ticket, std::move(event)});
        if (!started_) {
            return; // start() delivers it
        }
        if (deliverer_ == std::this_thread::get_id()) {
            bound_ = ticket; // the delivery this post comes from delivers it next
            return;
        }
        while (downstream_ && delivered_ < ticket && deliverer_ != std::thread::id()) {
            lock.wait(turn_);
        }
        if (downstream_ && delivered_ < ticket) {
            deliverUpTo(ticket, lock);
        }
    }

    // Delivers the queued events up to `bound` (raised by posts made from inside them), then
    // lets the next waiting poster take its turn. Called with the lock held and no deliverer;
    // returns with it released. (It lets go of the lock and takes it again through `lock`,
    // which the analysis cannot follow.)
    void deliverUpTo(Ticket bound, MutexLock& lock) REQUIRES(mutex_) NO_THREAD_SAFETY_ANALYSIS {
        deliverer_ = std::this_thread::get_id();
        bound_ = bound;
        while (downstream_ && !pending_.empty() && pending_.front().ticket <= bound_) {
            Pending next = std::move(pending_.front());
            pending_.pop_front();
            auto downstream = downstream_;
            if (next.event.index() == 1) {
                downstream_.reset();
                pending_.clear();
            }
            lock.unlock();
            try {
                deliver(std::move(downstream), next.event);
            } catch (...) {
                lock.lock();
                releaseTurn(lock);
                throw;
            }
            lock.lock();
            delivered_ = next.ticket;
        }
        releaseTurn(lock);
    }

    void releaseTurn(MutexLock& lock) REQUIRES(mutex_) NO_THREAD_SAFETY_ANALYSIS {
        deliverer_ = std::thread::id();
        lock.unlock();
        turn_.notify_all();
    }

    // Takes the downstream by value so that the last reference, after a cancel, goes here,
    // outside the lock.
    static void deliver(SubscriberPtr<Output, Failure> downstream, const Event& event) {
        if (event.index() == 0) {
            downstream->receive(std::get<0>(event));
        } else {
            downstream->receive(std::get<1>(event));
        }
    }

    mutable Mutex mutex_;
    std::condition_variable_any turn_;
    SubscriberPtr<Output, Failure> downstream_ GUARDED_BY(mutex_);
    std::deque<Pending> pending_ GUARDED_BY(mutex_);
    Ticket lastPosted_ GUARDED_BY(mutex_) = 0;
    Ticket delivered_ GUARDED_BY(mutex_) = 0; // the last event whose delivery has ended
    Ticket bound_ GUARDED_BY(mutex_) = 0;     // the last event the current deliverer delivers
    std::thread::id deliverer_ GUARDED_BY(mutex_);
    bool started_ GUARDED_BY(mutex_) = false;
};

// The subscriber behind sink(): calls the closures until cancelled or completed, then lets
// go of them (and so of what they captured).
template <class Output, class Failure>
class Sink final : public Subscriber<Output, Failure>, public Cancellable {
public:
    using ReceiveValue = std::function<void(const Output&)>;
    using ReceiveCompletion = std::function<void(const Completion<Failure>&)>;

    Sink(ReceiveCompletion receiveCompletion, ReceiveValue receiveValue)
        : receiveValue_(std::make_shared<const ReceiveValue>(std::move(receiveValue))),
          receiveCompletion_(
              std::make_shared<const ReceiveCompletion>(std::move(receiveCompletion))) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        upstream_.set(std::move(subscription));
    }
    void receive(const Output& value) override {
        std::shared_ptr<const ReceiveValue> receiveValue;
        {
            MutexLock lock(mutex_);
            receiveValue = receiveValue_;
        }
        if (receiveValue && *receiveValue) {
            (*receiveValue)(value);
        }
    }
    void receive(const Completion<Failure>& completion) override {
        upstream_.release();
        std::shared_ptr<const ReceiveValue> receiveValue;
        std::shared_ptr<const ReceiveCompletion> receiveCompletion;
        {
            MutexLock lock(mutex_);
            receiveValue = std::move(receiveValue_);
            receiveCompletion = std::move(receiveCompletion_);
        }
        if (receiveCompletion && *receiveCompletion) {
            (*receiveCompletion)(completion);
        }
    }
    void cancel() override {
        std::shared_ptr<const ReceiveValue> receiveValue;
        std::shared_ptr<const ReceiveCompletion> receiveCompletion;
        {
            MutexLock lock(mutex_);
            receiveValue = std::move(receiveValue_);
            receiveCompletion = std::move(receiveCompletion_);
        }
        upstream_.cancel();
    }

private:
    Mutex mutex_;
    UpstreamSlot upstream_;
    std::shared_ptr<const ReceiveValue> receiveValue_ GUARDED_BY(mutex_);
    std::shared_ptr<const ReceiveCompletion> receiveCompletion_ GUARDED_BY(mutex_);
};

} // namespace detail

template <class Output, class Failure = Never> class AnyPublisher;

// Anything that attaches subscribers of its output and failure.
template <class P, class Output, class Failure>
concept PublisherOf = requires(const P& publisher, SubscriberPtr<Output, Failure> subscriber) {
    publisher.receive(subscriber);
};

// A publisher with its type erased: a handle, copies of which publish the same way. Each
// subscription is independent unless the underlying publisher shares (subjects do).
template <class Output, class Failure> class AnyPublisher {
public:
    using OutputType = Output;
    using FailureType = Failure;
    using Subscribe = std::function<void(const SubscriberPtr<Output, Failure>&)>;

    explicit AnyPublisher(Subscribe subscribe)
        : subscribe_(std::make_shared<const Subscribe>(std::move(subscribe))) {}
    template <class P>
    requires(!std::is_same_v<std::decay_t<P>, AnyPublisher> &&
             PublisherOf<std::decay_t<P>, Output, Failure>) explicit AnyPublisher(P publisher)
        : AnyPublisher([publisher = std::move(publisher)](const SubscriberPtr<Output, Failure>& s) {
              publisher.receive(s);
          }) {}

    // Attaches a subscriber: it receives its subscription before this returns, and may
    // receive values and a completion before this returns too.
    void receive(const SubscriberPtr<Output, Failure>& subscriber) const {
        (*subscribe_)(subscriber);
    }
    const AnyPublisher& eraseToAnyPublisher() const { return *this; }

    [[nodiscard]] AnyCancellable
    sink(std::function<void(const Completion<Failure>&)> receiveCompletion,
         std::function<void(const Output&)> receiveValue) const {
        auto sink = std::make_shared<detail::Sink<Output, Failure>>(std::move(receiveCompletion),
                                                                    std::move(receiveValue));
        AnyCancellable cancellable(std::static_pointer_cast<Cancellable>(sink));
        receive(sink);
        return cancellable;
    }
    [[nodiscard]] AnyCancellable sink(std::function<void(const Output&)> receiveValue)
        const requires std::is_same_v<Failure, Never> {
        return sink(nullptr, std::move(receiveValue));
    }

    // Operators; see PublisherOperators.h.
    template <class Transform>
    AnyPublisher<std::decay_t<std::invoke_result_t<Transform&, const Output&>>, Failure>
    map(Transform transform) const;
    AnyPublisher filter(std::function<bool(const Output&)> isIncluded) const;
    AnyPublisher removeDuplicates() const requires std::equality_comparable<Output>;
    AnyPublisher removeDuplicates(std::function<bool(const Output&, const Output&)> same) const;
    AnyPublisher merge(const AnyPublisher& other) const;
    AnyPublisher debounce(Nanoseconds dueTime, DispatchQueue scheduler) const;
    // `receive(on:)`: values and completion hop to `scheduler` (a serial queue), never
    // inline, even when they are sent on it.
    AnyPublisher receiveOn(DispatchQueue scheduler) const;

private:
    std::shared_ptr<const Subscribe> subscribe_;
};

} // namespace zestrel::platform::combine

#include "platform/base/Mutex.h"
#include "platform/concurrency/PublisherOperators.h"
