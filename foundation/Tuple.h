#pragma once

#include "foundation/Hasher.h"
#include "platform/data/Coding.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Tuples of two to five members with the equality, hashing and keyed stored form that plain
// tuples lack, so that they can key tables and be part of stored data. Each member is
// stored under its name: "first", "second", "third", "fourth", "fifth".
namespace zestrel {

namespace detail {
inline constexpr std::array<std::string_view, 5> kTupleKeys{"first", "second", "third", "fourth",
                                                            "fifth"};
} // namespace detail

// The coding key of a tuple of `count` members: only the member names make one; integers
// never do.
template <std::size_t count> struct TupleCodingKeys {
    static std::optional<platform::CodingKey> fromString(std::string_view text) {
        for (std::size_t index = 0; index < count; ++index) {
            if (detail::kTupleKeys[index] == text) {
                return platform::CodingKey::key(std::string(text));
            }
        }
        return std::nullopt;
    }
    static std::optional<platform::CodingKey> fromInt(int) { return std::nullopt; }
};

template <class A, class B> struct Tuple2 {
    A first;
    B second;

    using CodingKeys = TupleCodingKeys<2>;
    bool operator==(const Tuple2&) const = default;
    static std::string codingTypeName() {
        return "Tuple2<" + platform::codingTypeName<A>() + ", " + platform::codingTypeName<B>() +
               ">";
    }
    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(first, "first");
        container.encode(second, "second");
    }
    static Tuple2 decode(const platform::Decoder& decoder) {
        const auto container = decoder.container();
        A a = container.template decode<A>("first");
        B b = container.template decode<B>("second");
        return Tuple2{std::move(a), std::move(b)};
    }
    std::size_t hashValue() const { return Hasher().combine(first).combine(second).finalize(); }
};

template <class A, class B, class C> struct Tuple3 {
    A first;
    B second;
    C third;

    using CodingKeys = TupleCodingKeys<3>;
    bool operator==(const Tuple3&) const = default;
    static std::string codingTypeName() {
        return "Tuple3<" + platform::codingTypeName<A>() + ", " + platform::codingTypeName<B>() +
               ", " + platform::codingTypeName<C>() + ">";
    }
    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(first, "first");
        container.encode(second, "second");
        container.encode(third, "third");
    }
    static Tuple3 decode(const platform::Decoder& decoder) {
        const auto container = decoder.container();
        A a = container.template decode<A>("first");
        B b = container.template decode<B>("second");
        C c = container.template decode<C>("third");
        return Tuple3{std::move(a), std::move(b), std::move(c)};
    }
    std::size_t hashValue() const {
        return Hasher().combine(first).combine(second).combine(third).finalize();
    }
};

template <class A, class B, class C, class D> struct Tuple4 {
    A first;
    B second;
    C third;
    D fourth;

    using CodingKeys = TupleCodingKeys<4>;
    bool operator==(const Tuple4&) const = default;
    static std::string codingTypeName() {
        return "Tuple4<" + platform::codingTypeName<A>() + ", " + platform::codingTypeName<B>() +
               ", " + platform::codingTypeName<C>() + ", " + platform::codingTypeName<D>() + ">";
    }
    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(first, "first");
        container.encode(second, "second");
        container.encode(third, "third");
        container.encode(fourth, "fourth");
    }
    static Tuple4 decode(const platform::Decoder& decoder) {
        const auto container = decoder.container();
        A a = container.template decode<A>("first");
        B b = container.template decode<B>("second");
        C c = container.template decode<C>("third");
        D d = container.template decode<D>("fourth");
        return Tuple4{std::move(a), std::move(b), std::move(c), std::move(d)};
    }
    std::size_t hashValue() const {
        return Hasher().combine(first).combine(second).combine(third).combine(fourth).finalize();
    }
};

template <class A, class B, class C, class D, class E> struct Tuple5 {
    A first;
    B second;
    C third;
    D fourth;
    E fifth;

    using CodingKeys = TupleCodingKeys<5>;
    bool operator==(const Tuple5&) const = default;
    static std::string codingTypeName() {
        return "Tuple5<" + platform::codingTypeName<A>() + ", " + platform::codingTypeName<B>() +
               ", " + platform::codingTypeName<C>() + ", " + platform::codingTypeName<D>() + ", " +
               platform::codingTypeName<E>() + ">";
    }
    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(first, "first");
        container.encode(second, "second");
        container.encode(third, "third");
        container.encode(fourth, "fourth");
        container.encode(fifth, "fifth");
    }
    static Tuple5 decode(const platform::Decoder& decoder) {
        const auto container = decoder.container();
        A a = container.template decode<A>("first");
        B b = container.template decode<B>("second");
        C c = container.template decode<C>("third");
        D d = container.template decode<D>("fourth");
        E e = container.template decode<E>("fifth");
        return Tuple5{std::move(a), std::move(b), std::move(c), std::move(d), std::move(e)};
    }
    std::size_t hashValue() const {
        return Hasher()
            .combine(first)
            .combine(second)
            .combine(third)
            .combine(fourth)
            .combine(fifth)
            .finalize();
    }
};

} // namespace zestrel

template <class... Members> struct std::hash<zestrel::Tuple2<Members...>> {
    std::size_t operator()(const zestrel::Tuple2<Members...>& value) const {
        return value.hashValue();
    }
};
template <class... Members> struct std::hash<zestrel::Tuple3<Members...>> {
    std::size_t operator()(const zestrel::Tuple3<Members...>& value) const {
        return value.hashValue();
    }
};
template <class... Members> struct std::hash<zestrel::Tuple4<Members...>> {
    std::size_t operator()(const zestrel::Tuple4<Members...>& value) const {
        return value.hashValue();
    }
};
template <class... Members> struct std::hash<zestrel::Tuple5<Members...>> {
    std::size_t operator()(const zestrel::Tuple5<Members...>& value) const {
        return value.hashValue();
    }
};
