#pragma once

#include "platform/data/Coding.h"

#include <concepts>
#include <cstddef>
#include <functional>
#include <utility>

namespace zestrel::DecodableDefault {

// A default provider: `using Value = ...;` and `static Value defaultValue();`.
template <class Source>
concept DecodableDefaultSource = platform::Decodable<typename Source::Value> && requires {
    { Source::defaultValue() } -> std::convertible_to<typename Source::Value>;
};

// A decodable value that starts from its source's default. Its stored form is exactly its
// value's; a containing type whose key is missing still fails to decode.
template <DecodableDefaultSource Source> struct Wrapper {
    using Value = typename Source::Value;

    Value wrappedValue = Source::defaultValue();

    Wrapper() = default;
    explicit Wrapper(Value value) : wrappedValue(std::move(value)) {}

    const Value& id() const { return wrappedValue; }

    void encode(platform::Encoder& encoder) const requires platform::Encodable<Value> {
        encoder.singleValueContainer().encode(wrappedValue);
    }
    static Wrapper decode(const platform::Decoder& decoder) {
        Wrapper wrapper;
        wrapper.wrappedValue = decoder.singleValueContainer().template decode<Value>();
        return wrapper;
    }

    friend bool operator==(const Wrapper& a,
                           const Wrapper& b) requires std::equality_comparable<Value> {
        return a.wrappedValue == b.wrappedValue;
    }
};

} // namespace zestrel::DecodableDefault

template <class Source>
requires requires(const typename Source::Value& value) {
    std::hash<typename Source::Value>{}(value);
}
struct std::hash<zestrel::DecodableDefault::Wrapper<Source>> {
    std::size_t operator()(const zestrel::DecodableDefault::Wrapper<Source>& wrapper) const {
        return std::hash<typename Source::Value>{}(wrapper.wrappedValue);
    }
};
