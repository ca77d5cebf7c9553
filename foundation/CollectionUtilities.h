#pragma once

#include "platform/base/Geometry.h"

#include <algorithm>
#include <concepts>
#include <iterator>
#include <optional>
#include <ranges>
#include <string>
#include <type_traits>
#include <utility>

namespace zestrel {

// True when absent or when the collection is empty.
template <std::ranges::sized_range Collection>
bool isNilOrEmpty(const std::optional<Collection>& collection) {
    return !collection || std::ranges::empty(*collection);
}

// The value, or zero when absent.
template <class T>
requires std::is_arithmetic_v<T> T orZero(const std::optional<T>& value) {
    return value.value_or(T{});
}

// The value, or the empty text when absent.
inline std::string orEmpty(const std::optional<std::string>& value) {
    return value.value_or(std::string());
}

// The value, or what `fallback` gives; `fallback` runs only when the value is absent.
// (`Optional.or`; `or` is a keyword here.)
template <class T, std::invocable Fallback>
T orElse(const std::optional<T>& value, Fallback&& fallback) {
    if (value) {
        return *value;
    }
    return std::forward<Fallback>(fallback)();
}

// Nothing when the value equals zero.
template <class T>
requires std::is_arithmetic_v<T> std::optional<T> nilIfZero(T value) {
    if (value == T{}) {
        return std::nullopt;
    }
    return value;
}

// Nothing when both coordinates are 0.
inline std::optional<platform::CGPoint> nilIfZero(const platform::CGPoint& point) {
    if (point.x == 0 && point.y == 0) {
        return std::nullopt;
    }
    return point;
}

// Nothing for the zero rectangle.
inline std::optional<platform::CGRect> nilIfZero(const platform::CGRect& rect) {
    if (platform::CGRectEqualToRect(rect, platform::CGRectZero)) {
        return std::nullopt;
    }
    return rect;
}

// Nothing for -1 (an unsigned value is never -1).
template <std::integral T> std::optional<T> nilIfMinusOne(T value) {
    if constexpr (std::is_signed_v<T>) {
        if (value == T(-1)) {
            return std::nullopt;
        }
    }
    return value;
}

template <std::ranges::range Collection>
std::optional<Collection> nilIfEmpty(Collection collection) {
    if (std::ranges::empty(collection)) {
        return std::nullopt;
    }
    return collection;
}

// The element of a collection that holds exactly one.
template <std::ranges::forward_range Collection>
auto onlyElement(const Collection& collection)
    -> std::optional<std::ranges::range_value_t<Collection>> {
    auto first = std::ranges::begin(collection);
    if (first == std::ranges::end(collection) || std::next(first) != std::ranges::end(collection)) {
        return std::nullopt;
    }
    return *first;
}

// The start index advanced by `offset`.
template <std::ranges::range Collection>
auto indexAtOffset(const Collection& collection,
                   std::ranges::range_difference_t<Collection> offset) {
    return std::ranges::next(std::ranges::begin(collection), offset);
}

template <std::ranges::range Collection, class Predicate>
bool allSatisfyOrTrueWhenEmpty(const Collection& collection, Predicate&& predicate) {
    if (std::ranges::empty(collection)) {
        return true;
    }
    return std::ranges::all_of(collection, std::forward<Predicate>(predicate));
}

} // namespace zestrel
