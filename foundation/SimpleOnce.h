#pragma once

#include "platform/base/Mutex.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <utility>

namespace zestrel {

// A value computed from an input on first read and then kept. Held by reference: two
// objects are equal only when they are the same object, and hash by identity.
template <class Input, class Value> class SimpleOnce final {
public:
    explicit SimpleOnce(std::function<Value(const Input&)> closure) : closure(std::move(closure)) {}
    SimpleOnce(const SimpleOnce&) = delete;
    SimpleOnce& operator=(const SimpleOnce&) = delete;

    // The kept value, or the closure's result for this input (then kept).
    Value value(const Input& input) {
        platform::MutexLock guard(lock);
        if (!cache) {
            cache = closure(input);
        }
        return *cache;
    }

    friend bool operator==(const SimpleOnce& a, const SimpleOnce& b) { return &a == &b; }

private:
    std::function<Value(const Input&)> closure;
    std::optional<Value> cache GUARDED_BY(lock);
    platform::Mutex lock;
};

} // namespace zestrel

template <class Input, class Value> struct std::hash<zestrel::SimpleOnce<Input, Value>> {
    std::size_t operator()(const zestrel::SimpleOnce<Input, Value>& once) const noexcept {
        return std::hash<const void*>{}(&once);
    }
};
