#pragma once

#include "platform/data/Coding.h"

#include <concepts>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

namespace zestrel {

// A value paired with an identifier, so that values without one can be told apart in
// lists. Members of the value are reached through `operator->` or a key path (a pointer
// to member or a getter); the id is never recomputed.
template <class ID, class Value> struct Identified {
    ID id;
    Value value;

    Identified(ID id, Value value) : id(std::move(id)), value(std::move(value)) {}
    // The id taken from the value by `identify`: a function of the value or a member pointer.
    template <class Identify>
    requires std::convertible_to<std::invoke_result_t<Identify&, const Value&>, ID>
    Identified(Value value, Identify&& identify)
        : id(std::invoke(identify, std::as_const(value))), value(std::move(value)) {}

    Value* operator->() { return &value; }
    const Value* operator->() const { return &value; }
    template <class KeyPath> decltype(auto) operator[](KeyPath&& keyPath) const {
        return std::invoke(std::forward<KeyPath>(keyPath), value);
    }
    template <class KeyPath> decltype(auto) operator[](KeyPath&& keyPath) {
        return std::invoke(std::forward<KeyPath>(keyPath), value);
    }

    friend bool operator==(const Identified& a,
                           const Identified& b) requires std::equality_comparable<Value> {
        return a.id == b.id && a.value == b.value;
    }

    // Stored as {"id": ..., "value": ...}; both are required, other keys are ignored.
    void encode(platform::Encoder& encoder)
        const requires platform::Encodable<ID> && platform::Encodable<Value> {
        auto container = encoder.container();
        container.encode(id, "id");
        container.encode(value, "value");
    }
    static Identified decode(const platform::Decoder& decoder) requires platform::Decodable<ID> &&
        platform::Decodable<Value> {
        auto container = decoder.container();
        ID id = container.template decode<ID>("id");
        return Identified(std::move(id), container.template decode<Value>("value"));
    }
};

} // namespace zestrel

template <class ID, class Value>
requires requires(const ID& id, const Value& value) {
    std::hash<ID>{}(id);
    std::hash<Value>{}(value);
}
struct std::hash<zestrel::Identified<ID, Value>> {
    std::size_t operator()(const zestrel::Identified<ID, Value>& identified) const {
        std::size_t seed = std::hash<ID>{}(identified.id);
        return seed ^ (std::hash<Value>{}(identified.value) + 0x9e3779b97f4a7c15ULL + (seed << 6) +
                       (seed >> 2));
    }
};
