#pragma once

#include "platform/base/Mutex.h"
#include "platform/concurrency/Task.h"

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace zestrel::platform {

namespace detail {

// The shared state of a stream: an unbounded buffer, one consumer, a termination handler.
template <class T> class StreamStorage : public std::enable_shared_from_this<StreamStorage<T>> {
public:
    enum class Termination { finished, cancelled };
    enum class YieldResult { enqueued, terminated };

    YieldResult yield(T value) {
        std::shared_ptr<OneShot> waiting;
        {
            MutexLock lock(mutex_);
            if (terminal_) {
                return YieldResult::terminated;
            }
            buffer_.push_back(std::move(value));
            waiting = std::move(waiting_);
        }
        if (waiting) {
            waiting->fire();
        }
        return YieldResult::enqueued;
    }

    // Ends the stream after its buffered elements; an error is thrown once they are read.
    void finish(std::exception_ptr error = nullptr) { terminate(Termination::finished, error); }
    // The consumer went away or its task was cancelled: the same, told to the handler as such.
    void cancel() { terminate(Termination::cancelled, nullptr); }

    void setOnTermination(std::function<void(Termination)> handler) {
        std::optional<Termination> ended;
        {
            MutexLock lock(mutex_);
            ended = termination_;
            if (!ended) {
                onTermination_ = std::move(handler);
            }
        }
        if (ended && handler) {
            handler(*ended);
        }
    }

    // What the consumer finds without waiting: an element or the end (`ready`), or nothing
    // yet.
    struct Poll {
        bool ready = false;
        std::optional<T> element;
    };
    Poll poll() {
        MutexLock lock(mutex_);
        return pollLocked();
    }
    // The same, or registers `waiting` to be fired by the next change.
    Poll pollOrWait(std::shared_ptr<OneShot> waiting) {
        MutexLock lock(mutex_);
        Poll found = pollLocked();
        if (!found.ready) {
            waiting_ = std::move(waiting);
        }
        return found;
    }

private:
    Poll pollLocked() REQUIRES(mutex_) {
        Poll found;
        if (!buffer_.empty()) {
            found.ready = true;
            found.element.emplace(std::move(buffer_.front()));
            buffer_.pop_front();
        } else if (terminal_) {
            if (error_) {
                std::rethrow_exception(std::exchange(error_, nullptr));
            }
            found.ready = true;
        }
        return found;
    }

    void terminate(Termination termination, std::exception_ptr error) {
        std::function<void(Termination)> handler;
        std::shared_ptr<OneShot> waiting;
        {
            MutexLock lock(mutex_);
            if (terminal_) {
                return;
            }
            terminal_ = true;
            termination_ = termination;
            error_ = std::move(error);
            handler = std::move(onTermination_);
            onTermination_ = nullptr;
            waiting = std::move(waiting_);
        }
        if (handler) {
            handler(termination);
        }
        if (waiting) {
            waiting->fire();
        }
    }

    Mutex mutex_;
    std::deque<T> buffer_ GUARDED_BY(mutex_);
    bool terminal_ GUARDED_BY(mutex_) = false;
    std::optional<Termination> termination_ GUARDED_BY(mutex_);
    std::exception_ptr error_ GUARDED_BY(mutex_);
    std::function<void(Termination)> onTermination_ GUARDED_BY(mutex_);
    std::shared_ptr<OneShot> waiting_ GUARDED_BY(mutex_);
};

// Cancels the stream when the last consumer handle goes.
template <class T> class StreamConsumerToken {
public:
    explicit StreamConsumerToken(std::shared_ptr<StreamStorage<T>> storage)
        : storage_(std::move(storage)) {}
    StreamConsumerToken(const StreamConsumerToken&) = delete;
    StreamConsumerToken& operator=(const StreamConsumerToken&) = delete;
    ~StreamConsumerToken() { storage_->cancel(); }

private:
    std::shared_ptr<StreamStorage<T>> storage_;
};

template <class T> class StreamNextAwaiter {
public:
    explicit StreamNextAwaiter(std::shared_ptr<StreamStorage<T>> storage)
        : storage_(std::move(storage)) {}

    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<> handle) {
        if ((found_ = storage_->poll()).ready) {
            return false;
        }
        // A cancelled consumer ends the stream; buffered elements are still read.
        registration_ =
            CancellationRegistration(currentTaskContext(), [weak = std::weak_ptr(storage_)] {
                if (auto storage = weak.lock()) {
                    storage->cancel();
                }
            });
        auto waiting = std::make_shared<OneShot>();
        if ((found_ = storage_->pollOrWait(waiting)).ready) {
            return false;
        }
        return waiting->arm(Resumer::forCurrent(handle));
    }
    std::optional<T> await_resume() {
        registration_.reset();
        if (!found_.ready) {
            found_ = storage_->poll();
        }
        return std::move(found_.element);
    }

private:
    std::shared_ptr<StreamStorage<T>> storage_;
    typename StreamStorage<T>::Poll found_;
    CancellationRegistration registration_;
};

template <class T, bool Throwing> class BasicAsyncStream {
public:
    using Element = T;
    using Termination = typename StreamStorage<T>::Termination;

    // The producing side: copyable, usable from any thread.
    class Continuation {
    public:
        using YieldResult = typename StreamStorage<T>::YieldResult;

        YieldResult yield(T value) const { return storage_->yield(std::move(value)); }
        // Ends the stream after the elements already yielded; later yields are dropped.
        void finish() const { storage_->finish(); }
        void finish(const Error& error) const requires Throwing {
            storage_->finish(std::make_exception_ptr(error));
        }
        // Run exactly once when the stream ends, at once when it has ended already.
        void setOnTermination(std::function<void(Termination)> handler) const {
            storage_->setOnTermination(std::move(handler));
        }

    private:
        friend class BasicAsyncStream;
        explicit Continuation(std::shared_ptr<StreamStorage<T>> storage)
            : storage_(std::move(storage)) {}
        std::shared_ptr<StreamStorage<T>> storage_;
    };

    // Calls `build` with the continuation at once.
    explicit BasicAsyncStream(const std::function<void(Continuation)>& build)
        : BasicAsyncStream(std::make_shared<StreamStorage<T>>()) {
        build(Continuation(storage_));
    }

    static std::pair<BasicAsyncStream, Continuation> makeStream() {
        BasicAsyncStream stream(std::make_shared<StreamStorage<T>>());
        Continuation continuation(stream.storage_);
        return {std::move(stream), std::move(continuation)};
    }

    // `co_await next()`: the next element; nothing once the stream has ended (for a
    // throwing stream, its error first). One consumer at a time.
    StreamNextAwaiter<T> next() const { return StreamNextAwaiter<T>(storage_); }
    // A stream is its own iterator: copies share the one buffer.
    BasicAsyncStream makeAsyncIterator() const { return *this; }

private:
    explicit BasicAsyncStream(std::shared_ptr<StreamStorage<T>> storage)
        : storage_(std::move(storage)), token_(std::make_shared<StreamConsumerToken<T>>(storage_)) {
    }

    std::shared_ptr<StreamStorage<T>> storage_;
    std::shared_ptr<StreamConsumerToken<T>> token_;
};

} // namespace detail

// An asynchronous sequence fed through its continuation: unbounded buffer, one consumer.
// The stream ends when the continuation finishes it, when the consuming task is cancelled
// while it waits or asks for more, or when the last copy of the stream goes; its termination
// handler learns which.
template <class T> using AsyncStream = detail::BasicAsyncStream<T, false>;
// The same; the continuation can end it with an error, which `next()` throws.
template <class T> using AsyncThrowingStream = detail::BasicAsyncStream<T, true>;

} // namespace zestrel::platform
