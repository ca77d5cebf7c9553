#pragma once

#include <any>
#include <concepts>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace zestrel {

// Any equatable value behind one type. Two are equal when either one's value equals the
// other's after a cast to its own static type, so an `int` 1 never equals a `double` 1.0
// or the text "1", and NaN equals nothing.
class AnyEquatable final {
public:
    template <class T>
    requires(std::equality_comparable<std::decay_t<T>> &&
             !std::same_as<std::decay_t<T>, AnyEquatable>)
        AnyEquatable(T&& value) // NOLINT: converts like a literal
        : value_(std::decay_t<T>(value)),
          isEqual_([v = std::decay_t<T>(value)](const AnyEquatable& other) {
              auto cast = std::any_cast<std::decay_t<T>>(&other.value_);
              return cast != nullptr && *cast == v;
          }) {}
    AnyEquatable(const char* text) : AnyEquatable(std::string(text)) {}

    const std::any& value() const { return value_; }

    // A member, not a friend, so that it is not tried for objects whose types merely name
    // this one; the reversed form still serves `literal == value`.
    bool operator==(const AnyEquatable& other) const {
        return isEqual_(other) || other.isEqual_(*this);
    }

private:
    std::any value_;
    std::function<bool(const AnyEquatable&)> isEqual_;
};

} // namespace zestrel
