#pragma once

#include "platform/base/Mutex.h"

#include <concepts>
#include <functional>
#include <type_traits>
#include <utility>

namespace zestrel {

// A value whose every access goes through one recursive lock, so an operation may call
// back into the same object from inside its closure. Errors of the caller's closures pass
// through after the lock is released.
namespace detail {
// A closure producing the value (as opposed to the value itself).
template <class F, class Value>
concept ValueMaker = std::invocable<F&> && !std::convertible_to<F, Value> &&
                     std::convertible_to<std::invoke_result_t<F&>, Value>;
} // namespace detail

template <class Value> class LockIsolated final {
public:
    explicit LockIsolated(Value value) : _value(std::move(value)) {}
    // The lock exists before `make` runs; when it throws, nothing is left behind.
    template <class F>
    requires detail::ValueMaker<F, Value>
    explicit LockIsolated(F&& make) : _value(make()) {}
    LockIsolated(const LockIsolated&) = delete;
    LockIsolated& operator=(const LockIsolated&) = delete;

    Value value() const {
        platform::RecursiveMutexLock guard(lock);
        return _value;
    }

    // Reads a member (a pointer to member) or any projection of the value under the lock.
    template <class KeyPath> auto operator[](KeyPath&& keyPath) const {
        platform::RecursiveMutexLock guard(lock);
        return std::decay_t<std::invoke_result_t<KeyPath&, const Value&>>(
            std::invoke(keyPath, _value));
    }

    // Runs `operation` on a copy of the value and writes the copy back, even when the
    // operation throws, so changes made before the throw remain.
    template <class Operation>
    std::invoke_result_t<Operation&, Value&> withValue(Operation&& operation) {
        platform::RecursiveMutexLock guard(lock);
        Value copy = _value;
        // Destroyed before `guard`, so the write-back happens under the lock.
        struct WriteBack {
            Value& target;
            Value& source;
            ~WriteBack() { target = std::move(source); }
        } writeBack{_value, copy};
        return operation(copy);
    }

    void setValue(Value newValue) {
        platform::RecursiveMutexLock guard(lock);
        _value = std::move(newValue);
    }
    // `make` runs under the lock; when it throws, the value stays as it was.
    template <class F>
    requires detail::ValueMaker<F, Value>
    void setValue(F&& make) {
        platform::RecursiveMutexLock guard(lock);
        _value = make();
    }

private:
    mutable platform::RecursiveMutex lock;
    Value _value GUARDED_BY(lock);
};

} // namespace zestrel
