#pragma once

#include "foundation/Hasher.h"
#include "platform/data/Coding.h"

#include <compare>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace zestrel {

// A value of one of two types: `left` or `right`. Equal when the same case holds equal
// payloads; every left orders before every right. Stored as an object with the one member
// "left" or "right", holding an object whose member "_0" is the payload.
template <class A, class B> class Either {
public:
    // The outer keys; integers never make one.
    struct CodingKeys {
        static std::optional<platform::CodingKey> fromString(std::string_view text) {
            if (text == "left" || text == "right") {
                return platform::CodingKey::key(std::string(text));
            }
            return std::nullopt;
        }
        static std::optional<platform::CodingKey> fromInt(int) { return std::nullopt; }
    };
    // The key of the payload inside either case.
    struct PayloadCodingKeys {
        static std::optional<platform::CodingKey> fromString(std::string_view text) {
            if (text == "_0") {
                return platform::CodingKey::key("_0");
            }
            return std::nullopt;
        }
        static std::optional<platform::CodingKey> fromInt(int) { return std::nullopt; }
    };
    using LeftCodingKeys = PayloadCodingKeys;
    using RightCodingKeys = PayloadCodingKeys;

    static Either left(A value) { return Either(std::in_place_index<0>, std::move(value)); }
    static Either right(B value) { return Either(std::in_place_index<1>, std::move(value)); }

    bool isLeft() const { return storage_.index() == 0; }
    bool isRight() const { return storage_.index() == 1; }
    // The payload of a case, or nothing when the other case holds.
    const A* leftValue() const { return std::get_if<0>(&storage_); }
    const B* rightValue() const { return std::get_if<1>(&storage_); }

    friend bool operator==(const Either& a, const Either& b) { return a.storage_ == b.storage_; }

    friend bool operator<(const Either& a, const Either& b) {
        if (a.isLeft() && b.isLeft()) {
            return *a.leftValue() < *b.leftValue();
        }
        if (a.isRight() && b.isRight()) {
            return *a.rightValue() < *b.rightValue();
        }
        return a.isLeft();
    }
    friend bool operator>(const Either& a, const Either& b) { return b < a; }
    friend bool operator<=(const Either& a, const Either& b) { return !(b < a); }
    friend bool operator>=(const Either& a, const Either& b) { return !(a < b); }

    // The case number (0 for left, 1 for right), then the payload.
    std::size_t hashValue() const {
        Hasher hasher;
        hasher.combine(static_cast<std::int64_t>(storage_.index()));
        if (isLeft()) {
            hasher.combine(*leftValue());
        } else {
            hasher.combine(*rightValue());
        }
        return hasher.finalize();
    }

    static std::string codingTypeName() {
        return "Either<" + platform::codingTypeName<A>() + ", " + platform::codingTypeName<B>() +
               ">";
    }

    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        if (isLeft()) {
            container.nestedContainer("left").encode(*leftValue(), "_0");
        } else {
            container.nestedContainer("right").encode(*rightValue(), "_0");
        }
    }

    static Either decode(const platform::Decoder& decoder) {
        const auto container = decoder.container();
        std::vector<std::string> cases;
        for (const platform::CodingKey& key : container.allKeys()) {
            if (CodingKeys::fromString(key.stringValue)) {
                cases.push_back(key.stringValue);
            }
        }
        if (cases.size() != 1) {
            throw platform::DecodingError::typeMismatch(
                codingTypeName(), {container.codingPath(),
                                   "Invalid number of keys found, expected one.", std::nullopt});
        }
        const auto payload = container.nestedContainer(cases.front());
        if (cases.front() == "left") {
            return left(payload.template decode<A>("_0"));
        }
        return right(payload.template decode<B>("_0"));
    }

private:
    template <std::size_t index, class Payload>
    Either(std::in_place_index_t<index> tag, Payload&& payload)
        : storage_(tag, std::forward<Payload>(payload)) {}

    std::variant<A, B> storage_;
};

} // namespace zestrel

template <class A, class B> struct std::hash<zestrel::Either<A, B>> {
    std::size_t operator()(const zestrel::Either<A, B>& value) const { return value.hashValue(); }
};
