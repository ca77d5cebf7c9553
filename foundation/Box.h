#pragma once

#include "platform/base/Value.h"

#include <compare>
#include <concepts>
#include <cstddef>
#include <functional>
#include <sstream>
#include <string>
#include <utility>

namespace zestrel {

namespace detail {

// `String(describing:)` of a value: through the platform's Value where it can hold one,
// else the value's own description or stream output.
template <class T> std::string describing(const T& value) {
    if constexpr (std::is_constructible_v<platform::Value, const T&>) {
        return platform::Value(value).describe();
    } else if constexpr (requires {
                             { value.description() } -> std::convertible_to<std::string>;
                         }) {
        return value.description();
    } else {
        std::ostringstream out;
        out << value;
        return out.str();
    }
}

template <class T>
concept Hashable = requires(const T& value) {
    { std::hash<T>{}(value) } -> std::convertible_to<std::size_t>;
};

template <class T>
concept HasIdentity = requires(const T& value) {
    value.id();
};

} // namespace detail

// A value given an identity: shared by reference, fixed at creation. Compares, hashes and
// identifies as its value does, where the value can.
template <class Value> class Box final {
public:
    explicit Box(Value value) : wrappedValue(std::move(value)) {}

    const Value wrappedValue;

    std::string description() const { return detail::describing(wrappedValue); }
    std::string debugDescription() const { return "Box(" + description() + ")"; }

    friend bool operator==(const Box& a, const Box& b) requires std::equality_comparable<Value> {
        return a.wrappedValue == b.wrappedValue;
    }
    friend auto operator<=>(const Box& a, const Box& b) requires std::three_way_comparable<Value> {
        return a.wrappedValue <=> b.wrappedValue;
    }
    std::size_t hash() const requires detail::Hashable<Value> {
        return std::hash<Value>{}(wrappedValue);
    }
    auto id() const requires detail::HasIdentity<Value> { return wrappedValue.id(); }
};

// A box whose value can be replaced.
template <class Value> class MutableBox final {
public:
    explicit MutableBox(Value value) : wrappedValue(std::move(value)) {}

    Value wrappedValue;

    std::string description() const { return detail::describing(wrappedValue); }
    std::string debugDescription() const { return "MutableBox(" + description() + ")"; }

    friend bool operator==(const MutableBox& a,
                           const MutableBox& b) requires std::equality_comparable<Value> {
        return a.wrappedValue == b.wrappedValue;
    }
    friend auto operator<=>(const MutableBox& a,
                            const MutableBox& b) requires std::three_way_comparable<Value> {
        return a.wrappedValue <=> b.wrappedValue;
    }
    std::size_t hash() const requires detail::Hashable<Value> {
        return std::hash<Value>{}(wrappedValue);
    }
    auto id() const requires detail::HasIdentity<Value> { return wrappedValue.id(); }
};

} // namespace zestrel
