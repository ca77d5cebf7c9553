#pragma once

#include "platform/base/Mutex.h"
#include "platform/concurrency/Publisher.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace zestrel::platform::combine {

namespace detail {

// The shared part of a subject: its subscribers and, for a current-value subject, the
// value. Thread-safe; subscribers are called outside the lock, each through its own
// SerialDelivery, so a subscriber may send, subscribe or cancel from inside a delivery.
template <class Output, class Failure>
class SubjectCore final : public std::enable_shared_from_this<SubjectCore<Output, Failure>> {
public:
    explicit SubjectCore(std::optional<Output> current) : current_(std::move(current)) {}

    void subscribe(const SubscriberPtr<Output, Failure>& subscriber) {
        auto conduit = std::make_shared<Conduit>(this->weak_from_this(), subscriber);
        std::optional<Completion<Failure>> completion;
        {
            MutexLock lock(mutex_);
            if (completion_) {
                completion = completion_;
            } else {
                conduits_.push_back(conduit);
                if (current_) {
                    // Queued under the lock, so no later value can overtake it.
                    conduit->delivery.send(*current_);
                }
            }
        }
        subscriber->receive(std::static_pointer_cast<Subscription>(conduit));
        if (completion) {
            conduit->delivery.complete(*completion);
        }
        conduit->delivery.start();
    }

    void send(const Output& value) {
        std::vector<std::shared_ptr<Conduit>> conduits;
        {
            MutexLock lock(mutex_);
            if (completion_) {
                return;
            }
            if (current_) {
                current_ = value;
            }
            conduits = conduits_;
        }
        for (const auto& conduit : conduits) {
            conduit->delivery.send(value);
        }
    }

    void send(const Completion<Failure>& completion) {
        std::vector<std::shared_ptr<Conduit>> conduits;
        {
            MutexLock lock(mutex_);
            if (completion_) {
                return;
            }
            completion_ = completion;
            conduits.swap(conduits_);
        }
        for (const auto& conduit : conduits) {
            conduit->delivery.complete(completion);
        }
    }

    Output value() const {
        MutexLock lock(mutex_);
        return *current_;
    }

private:
    struct Conduit final : Subscription {
        Conduit(std::weak_ptr<SubjectCore> subject, SubscriberPtr<Output, Failure> downstream)
            : subject(std::move(subject)), delivery(std::move(downstream)) {}
        void cancel() override {
            delivery.terminate();
            if (auto core = subject.lock()) {
                core->remove(this);
            }
        }
        std::weak_ptr<SubjectCore> subject;
        SerialDelivery<Output, Failure> delivery;
    };

    void remove(const Conduit* conduit) {
        std::shared_ptr<Conduit> removed; // released outside the lock
        MutexLock lock(mutex_);
        auto found = std::find_if(conduits_.begin(), conduits_.end(),
                                  [conduit](const auto& c) { return c.get() == conduit; });
        if (found != conduits_.end()) {
            removed = std::move(*found);
            conduits_.erase(found);
        }
    }

    mutable Mutex mutex_;
    std::vector<std::shared_ptr<Conduit>> conduits_ GUARDED_BY(mutex_);
    std::optional<Completion<Failure>> completion_ GUARDED_BY(mutex_);
    std::optional<Output> current_ GUARDED_BY(mutex_);
};

} // namespace detail

namespace detail {
// What both subjects offer over their shared core: sending, subscribing and erasing.
template <class Output, class Failure> class SubjectHandle {
public:
    void send(const Output& value) const { core_->send(value); }
    void send(const Completion<Failure>& completion) const { core_->send(completion); }

    void receive(const SubscriberPtr<Output, Failure>& subscriber) const {
        core_->subscribe(subscriber);
    }
    AnyPublisher<Output, Failure> eraseToAnyPublisher() const {
        return AnyPublisher<Output, Failure>(
            [core = core_](const SubscriberPtr<Output, Failure>& s) { core->subscribe(s); });
    }
    [[nodiscard]] AnyCancellable sink(std::function<void(const Output&)> receiveValue)
        const requires std::is_same_v<Failure, Never> {
        return eraseToAnyPublisher().sink(std::move(receiveValue));
    }
    [[nodiscard]] AnyCancellable
    sink(std::function<void(const Completion<Failure>&)> receiveCompletion,
         std::function<void(const Output&)> receiveValue) const {
        return eraseToAnyPublisher().sink(std::move(receiveCompletion), std::move(receiveValue));
    }

protected:
    explicit SubjectHandle(std::optional<Output> current)
        : core_(std::make_shared<SubjectCore<Output, Failure>>(std::move(current))) {}

    std::shared_ptr<SubjectCore<Output, Failure>> core_;
};
} // namespace detail

// A subject that passes each sent value to the subscribers it has at that moment. A handle:
// copies are the same subject. Sending and subscribing are safe from any thread; each
// subscriber gets the values one at a time in the order they were sent. A send waits while
// another thread is calling the same subscriber, then makes its own call, so no thread is
// kept delivering what others send. A subscriber that comes after the completion gets the
// completion alone.
template <class Output, class Failure = Never>
class PassthroughSubject : public detail::SubjectHandle<Output, Failure> {
public:
    PassthroughSubject() : detail::SubjectHandle<Output, Failure>(std::nullopt) {}
};

// A subject with a current value: a new subscriber gets the current value first, then every
// value sent. Sending stores the value before passing it on. A handle, like
// PassthroughSubject, and as thread-safe.
template <class Output, class Failure = Never>
class CurrentValueSubject : public detail::SubjectHandle<Output, Failure> {
public:
    explicit CurrentValueSubject(Output value)
        : detail::SubjectHandle<Output, Failure>(std::move(value)) {}

    Output value() const { return this->core_->value(); }
    void setValue(const Output& value) const { this->core_->send(value); }
};

} // namespace zestrel::platform::combine
