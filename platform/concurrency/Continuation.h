#pragma once

#include "platform/concurrency/Task.h"

#include <atomic>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

namespace detail {

template <class T> struct ContinuationState {
    explicit ContinuationState(const char* function) : function(function) {}

    void claim() {
        if (resumed.exchange(true, std::memory_order_acq_rel)) {
            fatal(std::string("SWIFT TASK CONTINUATION MISUSE: ") + function +
                  " tried to resume its continuation more than once.");
        }
    }

    const char* function;
    std::atomic<bool> resumed{false};
    std::optional<Stored<T>> value;
    std::exception_ptr error;
    OneShot end;
};

// Held by every copy of a continuation: when the last copy goes without resuming, the task
// can never go on, and is let go.
template <class T> class ContinuationToken {
public:
    explicit ContinuationToken(std::shared_ptr<ContinuationState<T>> state)
        : state_(std::move(state)) {}
    ContinuationToken(const ContinuationToken&) = delete;
    ContinuationToken& operator=(const ContinuationToken&) = delete;
    ~ContinuationToken() { state_->end.abandon(); }

private:
    std::shared_ptr<ContinuationState<T>> state_;
};

template <class T> class ContinuationBase {
public:
    bool hasResumed() const { return state_->resumed.load(std::memory_order_acquire); }

protected:
    explicit ContinuationBase(std::shared_ptr<ContinuationState<T>> state)
        : state_(state), token_(std::make_shared<ContinuationToken<T>>(std::move(state))) {}

    template <class... Args> void resumeWith(Args&&... args) const {
        state_->claim();
        state_->value.emplace(std::forward<Args>(args)...);
        state_->end.fire();
    }
    void resumeWithError(std::exception_ptr error) const {
        state_->claim();
        state_->error = std::move(error);
        state_->end.fire();
    }

    std::shared_ptr<ContinuationState<T>> state_;
    std::shared_ptr<ContinuationToken<T>> token_;
};

template <class T, bool Throwing, class Continuation, class Body> class ContinuationAwaiter {
public:
    ContinuationAwaiter(const char* function, Body body)
        : function_(function), body_(std::move(body)) {}

    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<> handle) {
        auto state = std::make_shared<ContinuationState<T>>(function_);
        state_ = state;
        Body body = std::move(body_); // the body may outlive this awaiter's suspension
        body(Continuation(state));
        return state->end.arm(Resumer::forCurrent(handle));
    }
    T await_resume() {
        if constexpr (Throwing) {
            if (state_->error) {
                std::rethrow_exception(state_->error);
            }
        }
        if constexpr (!std::is_void_v<T>) {
            return std::move(*state_->value);
        }
    }

private:
    const char* function_;
    Body body_;
    std::shared_ptr<ContinuationState<T>> state_;
};

} // namespace detail

// The handle through which callback-based code resumes a suspended task, exactly once and
// from any thread; a second resume stops the process. The task goes on on its own executor.
template <class T> class CheckedContinuation : public detail::ContinuationBase<T> {
public:
    explicit CheckedContinuation(std::shared_ptr<detail::ContinuationState<T>> state)
        : detail::ContinuationBase<T>(std::move(state)) {}

    template <class U = T>
    requires(!std::is_void_v<U>) void resume(U value) const { this->resumeWith(std::move(value)); }
    void resume() const requires std::is_void_v<T> { this->resumeWith(); }
};

// The same for an operation that can fail.
template <class T> class CheckedThrowingContinuation : public detail::ContinuationBase<T> {
public:
    explicit CheckedThrowingContinuation(std::shared_ptr<detail::ContinuationState<T>> state)
        : detail::ContinuationBase<T>(std::move(state)) {}

    template <class U = T>
    requires(!std::is_void_v<U>) void resume(U value) const { this->resumeWith(std::move(value)); }
    void resume() const requires std::is_void_v<T> { this->resumeWith(); }
    void resumeThrowing(const Error& error) const {
        this->resumeWithError(std::make_exception_ptr(error));
    }
    void resumeThrowing(std::exception_ptr error) const { this->resumeWithError(std::move(error)); }
};

// Suspends the calling task and calls `body` with its continuation; the task goes on with
// the value the continuation is resumed with.
template <class T, class Body> auto withCheckedContinuation(Body body) {
    return detail::ContinuationAwaiter<T, false, CheckedContinuation<T>, Body>(
        "withCheckedContinuation", std::move(body));
}

// The same; the continuation can also resume the task by throwing.
template <class T, class Body> auto withCheckedThrowingContinuation(Body body) {
    return detail::ContinuationAwaiter<T, true, CheckedThrowingContinuation<T>, Body>(
        "withCheckedThrowingContinuation", std::move(body));
}

} // namespace zestrel::platform
