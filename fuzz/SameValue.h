#pragma once

// Whether a value read back after a round trip is the one written: kinds and exact bits,
// not the numeric equality of `Value::operator==` (which holds 1 == 1.0 and 0.0 == -0.0).
#include "platform/base/Value.h"
#include "platform/data/KeyedArchive.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace zestrel::fuzz {

enum class Numbers {
    // Every number keeps its kind and its bits.
    exact,
    // JSON writes an integral double as an integer: numbers need only the same value,
    // and zero the same sign.
    byValue,
};

inline bool sameDouble(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

inline bool sameValue(const platform::Value& a, const platform::Value& b,
                      Numbers numbers = Numbers::exact) {
    using Kind = platform::Value::Kind;
    if (numbers == Numbers::byValue && a.isNumber() && b.isNumber()) {
        if (a.kind() == Kind::real || b.kind() == Kind::real) {
            return *a.asDouble() == *b.asDouble() &&
                   std::signbit(*a.asDouble()) == std::signbit(*b.asDouble());
        }
        return a == b;
    }
    if (a.kind() != b.kind()) {
        return false;
    }
    switch (a.kind()) {
    case Kind::real:
        return sameDouble(*a.asDouble(), *b.asDouble());
    case Kind::date:
        return sameDouble(a.asDate()->timeIntervalSinceReferenceDate,
                          b.asDate()->timeIntervalSinceReferenceDate);
    case Kind::array: {
        const auto& left = *a.asArray();
        const auto& right = *b.asArray();
        if (left.size() != right.size()) {
            return false;
        }
        for (std::size_t i = 0; i < left.size(); ++i) {
            if (!sameValue(left[i], right[i], numbers)) {
                return false;
            }
        }
        return true;
    }
    case Kind::dictionary: {
        const auto& left = *a.asDictionary();
        const auto& right = *b.asDictionary();
        if (left.size() != right.size()) {
            return false;
        }
        for (auto l = left.begin(), r = right.begin(); l != left.end(); ++l, ++r) {
            if (l->first != r->first || !sameValue(l->second, r->second, numbers)) {
                return false;
            }
        }
        return true;
    }
    case Kind::object: {
        // Archivable objects compare by their fields, so that a NaN field equals itself.
        const auto* left = dynamic_cast<const platform::NSCoding*>(a.asObject().get());
        const auto* right = dynamic_cast<const platform::NSCoding*>(b.asObject().get());
        if (left != nullptr && right != nullptr) {
            return a.asObject()->className() == b.asObject()->className() &&
                   sameValue(platform::Value(left->encodedFields()),
                             platform::Value(right->encodedFields()), numbers);
        }
        return a == b;
    }
    default:
        return a == b;
    }
}

} // namespace zestrel::fuzz
