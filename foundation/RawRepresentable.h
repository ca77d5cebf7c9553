#pragma once

#include "platform/data/Coding.h"

#include <concepts>
#include <cstddef>
#include <functional>
#include <optional>

namespace zestrel {

// A value that stands for a raw value: `using RawValue = ...;`, a `rawValue` member and
// `static std::optional<T> fromRawValue(RawValue)`.
template <class T>
concept RawRepresentable = requires(const T& value, const typename T::RawValue& raw) {
    { value.rawValue } -> std::convertible_to<typename T::RawValue>;
    { T::fromRawValue(raw) } -> std::same_as<std::optional<T>>;
};

// Defaults for raw-representable types, all by the raw value. A type opts in by deriving
// from `RawValueDefaults<Self>`, or calls the functions below.
template <RawRepresentable T> bool rawValueLess(const T& a, const T& b) {
    return a.rawValue < b.rawValue;
}
template <RawRepresentable T> bool rawValueEqual(const T& a, const T& b) {
    return a.rawValue == b.rawValue;
}
template <RawRepresentable T> struct RawValueHash {
    std::size_t operator()(const T& value) const {
        return std::hash<typename T::RawValue>{}(value.rawValue);
    }
};
// The raw value alone, in a single-value container.
template <RawRepresentable T> void encodeRawValue(platform::Encoder& encoder, const T& value) {
    encoder.singleValueContainer().encode(typename T::RawValue(value.rawValue));
}
// Nothing when no value has the decoded raw value; decoding errors pass on.
template <RawRepresentable T> std::optional<T> decodeRawValue(const platform::Decoder& decoder) {
    return T::fromRawValue(decoder.singleValueContainer().template decode<typename T::RawValue>());
}
// The raw value made from a literal, then the value from the raw value.
template <RawRepresentable T, class Literal> std::optional<T> fromRawLiteral(Literal&& literal) {
    return T::fromRawValue(typename T::RawValue(std::forward<Literal>(literal)));
}

template <class Self> struct RawValueDefaults {
    friend bool operator==(const Self& a, const Self& b) { return rawValueEqual(a, b); }
    friend bool operator<(const Self& a, const Self& b) { return rawValueLess(a, b); }
};

} // namespace zestrel
