#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <concepts>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace zestrel {

// Many concurrent readers, one writer at a time. A write finishes before `write` returns,
// so a thread always reads what it wrote before. The label names the lock in diagnostics.
// Closures given to `read` and `write` must not call back into the same lock.
class ReadersWriterLock final {
public:
    explicit ReadersWriterLock(std::string label) : label_(std::move(label)) {}
    ReadersWriterLock(const ReadersWriterLock&) = delete;
    ReadersWriterLock& operator=(const ReadersWriterLock&) = delete;

    const std::string& label() const { return label_; }

    template <std::invocable F> std::invoke_result_t<F&> read(F&& body) const {
        platform::ReaderLock lock(mutex_);
        return body();
    }

    template <std::invocable F> void write(F&& body) {
        platform::WriterLock lock(mutex_);
        body();
    }

private:
    std::string label_;
    mutable platform::SharedMutex mutex_;
};

namespace detail {

template <class T>
concept HasDebugDescription = requires(const T& value) {
    { value.debugDescription() } -> std::convertible_to<std::string>;
};

template <class T> struct IsFunction : std::false_type {};
template <class Signature> struct IsFunction<std::function<Signature>> : std::true_type {};

// How a container element appears in a container's debug text: as the platform reflects it.
template <class T> std::string debugText(const T& value) {
    if constexpr (HasDebugDescription<T>) {
        return value.debugDescription();
    } else if constexpr (IsFunction<T>::value) {
        return "(Function)";
    } else if constexpr (std::is_constructible_v<platform::Value, const T&>) {
        return platform::Value(value).debugDescribe();
    } else {
        static_assert(!sizeof(T), "no debug text for this element type");
    }
}

} // namespace detail

} // namespace zestrel
