#pragma once

#include "foundation/UnfairLock.h"

#include <atomic>
#include <compare>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>

namespace zestrel {

// A value computed on first read and kept. Once the value exists a read takes no lock:
// the stored value is published through an atomic pointer that readers load with acquire.
template <class Value> class LazyBox final {
public:
    explicit LazyBox(std::function<Value()> closure) : closure(std::move(closure)) {}
    LazyBox(const LazyBox&) = delete;
    LazyBox& operator=(const LazyBox&) = delete;

    Value wrappedValue() const {
        if (const Value* ready = published.load(std::memory_order_acquire)) {
            return *ready;
        }
        UnfairLockGuard guard(lock);
        if (!_wrappedValue) {
            _wrappedValue.emplace(closure());
            published.store(&*_wrappedValue, std::memory_order_release);
        }
        return *_wrappedValue;
    }

    friend bool operator==(const LazyBox& a,
                           const LazyBox& b) requires std::equality_comparable<Value> {
        return a.wrappedValue() == b.wrappedValue();
    }
    friend bool operator<(const LazyBox& a, const LazyBox& b) requires requires(const Value& v) {
        v < v;
    }
    { return a.wrappedValue() < b.wrappedValue(); }

    auto id() const requires requires(const Value& v) { v.id(); }
    { return wrappedValue().id(); }

private:
    mutable UnfairLock lock;
    std::function<Value()> closure;
    mutable std::optional<Value> _wrappedValue GUARDED_BY(lock);
    mutable std::atomic<const Value*> published{nullptr};
};

} // namespace zestrel

template <class Value>
requires requires(const Value& v) {
    std::hash<Value>{}(v);
}
struct std::hash<zestrel::LazyBox<Value>> {
    std::size_t operator()(const zestrel::LazyBox<Value>& box) const {
        return std::hash<Value>{}(box.wrappedValue());
    }
};
