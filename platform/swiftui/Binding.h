#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace zestrel::platform::swiftui {

// A read-write view of a value kept somewhere else (state, an observable object, a
// preference): a getter and a setter. Copies read and write the same value.
template <class T> class Binding {
public:
    Binding(std::function<T()> get, std::function<void(const T&)> set)
        : get_(std::move(get)), set_(std::move(set)) {}

    // A binding that always reads `value` and ignores writes.
    static Binding constant(T value) {
        return Binding([value] { return value; }, [](const T&) {});
    }

    T get() const { return get_(); }
    void set(const T& value) const { set_(value); }
    T wrappedValue() const { return get(); }

private:
    std::function<T()> get_;
    std::function<void(const T&)> set_;
};

} // namespace zestrel::platform::swiftui
