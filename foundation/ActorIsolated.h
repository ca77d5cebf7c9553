#pragma once

#include "platform/base/Mutex.h"
#include "platform/concurrency/Continuation.h"
#include "platform/concurrency/Task.h"

#include <memory>
#include <type_traits>
#include <utility>

namespace zestrel {

// A value behind an actor: every access is serialised, and callers from any task await it.
// The operations run whole without suspending, so holding the actor's lock for the length
// of one is what running it on the actor's serial executor would give.
template <class Value> class ActorIsolated {
public:
    // The value comes from `produce`, which may throw: then no actor is made and the error
    // reaches the caller.
    template <class Produce>
    requires std::is_invocable_r_v<Value, Produce&>
    static std::shared_ptr<ActorIsolated> make(Produce produce) {
        return std::make_shared<ActorIsolated>(Token{}, produce());
    }
    static std::shared_ptr<ActorIsolated> make(Value value) {
        return std::make_shared<ActorIsolated>(Token{}, std::move(value));
    }

    // Runs `operation` on a copy of the value and writes the copy back, also when the
    // operation throws (its changes up to the throw stay); then answers its result or passes
    // on its error.
    template <class Operation>
    platform::Task<std::invoke_result_t<Operation&, Value&>> withValue(Operation operation) {
        platform::RecursiveMutexLock lock(mutex_);
        Value copy = value_;
        struct WriteBack {
            ActorIsolated& actor;
            Value& copy;
            ~WriteBack() { actor.replace(std::move(copy)); }
        } writeBack{*this, copy};
        co_return operation(copy);
    }

    // Replaces the value with what `produce` gives; when it throws, the value is unchanged.
    template <class Produce> platform::Task<void> setValue(Produce produce) {
        platform::RecursiveMutexLock lock(mutex_);
        replace(produce());
        co_return;
    }

    platform::Task<Value> value() {
        platform::RecursiveMutexLock lock(mutex_);
        co_return value_;
    }

    struct Token {};
    ActorIsolated(Token, Value value) : value_(std::move(value)) {}
    ActorIsolated(const ActorIsolated&) = delete;
    ActorIsolated& operator=(const ActorIsolated&) = delete;

private:
    void replace(Value value) REQUIRES(mutex_) { value_ = std::move(value); }

    platform::RecursiveMutex mutex_;
    Value value_ GUARDED_BY(mutex_);
};

// A bare value behind an actor: every read and write is serialised and awaited.
template <class Value> class AsyncValueBox final {
public:
    explicit AsyncValueBox(Value value) : value_(std::move(value)) {}
    AsyncValueBox(const AsyncValueBox&) = delete;
    AsyncValueBox& operator=(const AsyncValueBox&) = delete;

    platform::Task<Value> value() {
        platform::MutexLock lock(mutex_);
        co_return value_;
    }
    platform::Task<void> setValue(Value value) {
        platform::MutexLock lock(mutex_);
        value_ = std::move(value);
        co_return;
    }

private:
    platform::Mutex mutex_;
    Value value_ GUARDED_BY(mutex_);
};

// The state of a continuation reached from several racing paths, behind an actor so that
// only one of them resumes it.
template <class T> class ContinuationState {
public:
    explicit ContinuationState(platform::CheckedThrowingContinuation<T> continuation)
        : continuation(std::move(continuation)) {}
    ContinuationState(const ContinuationState&) = delete;
    ContinuationState& operator=(const ContinuationState&) = delete;

    bool hasResumed = false;
    platform::CheckedThrowingContinuation<T> continuation;
};

} // namespace zestrel
