#include "preferences/AnySerializable.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace zestrel::Prefs {

namespace {

using platform::Value;

bool isInteger(const Value& value) {
    return value.kind() == Value::Kind::integer || value.kind() == Value::Kind::unsignedInteger;
}

bool equalIntegers(const Value& a, const Value& b) {
    if (auto x = a.asInt64()) {
        auto y = b.asInt64();
        return y && *x == *y;
    }
    // `a` is above the signed range.
    auto y = b.asUInt64();
    return y && *a.asUInt64() == *y;
}

bool equalValues(const Value& a, const Value& b) {
    if (const auto* x = a.asData()) {
        if (const auto* y = b.asData()) {
            return *x == *y;
        }
    }
    if (auto x = a.asDate()) {
        if (auto y = b.asDate()) {
            return *x == *y;
        }
    }
    if (auto x = a.asBool()) {
        if (auto y = b.asBool()) {
            return *x == *y;
        }
    }
    if (isInteger(a) && isInteger(b)) {
        return equalIntegers(a, b);
    }
    if (a.kind() == Value::Kind::real && b.kind() == Value::Kind::real) {
        return *a.asDouble() == *b.asDouble();
    }
    if (const auto* x = a.asString()) {
        if (const auto* y = b.asString()) {
            return *x == *y;
        }
    }
    if (const auto* x = a.asDictionary()) {
        if (const auto* y = b.asDictionary()) {
            if (x->size() != y->size()) {
                return false;
            }
            for (const auto& [key, element] : *x) {
                const auto other = y->find(key);
                if (other == y->end() || !equalValues(element, other->second)) {
                    return false;
                }
            }
            return true;
        }
    }
    if (const auto* x = a.asArray()) {
        if (const auto* y = b.asArray()) {
            if (x->size() != y->size()) {
                return false;
            }
            for (std::size_t i = 0; i < x->size(); ++i) {
                if (!equalValues((*x)[i], (*y)[i])) {
                    return false;
                }
            }
            return true;
        }
    }
    return false;
}

// FNV-1a over what is fed; each kind is fed with a tag so that unrelated kinds rarely meet.
class Hasher {
public:
    void combine(std::uint64_t word) {
        for (int i = 0; i < 8; ++i) {
            state_ = (state_ ^ ((word >> (8 * i)) & 0xff)) * 0x100000001b3ULL;
        }
    }
    void combine(std::string_view bytes) {
        combine(bytes.size());
        for (unsigned char c : bytes) {
            state_ = (state_ ^ c) * 0x100000001b3ULL;
        }
    }
    std::uint64_t finalize() const { return state_; }

private:
    std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

enum Tag : std::uint64_t {
    kData = 1,
    kDate,
    kNumber,
    kLargeUnsigned,
    kReal,
    kString,
    kDictionary,
    kArray
};

// Every number in one form: an integral value (Booleans, integers, integral doubles) as a
// signed 64-bit integer, others by their bits. So the integer 3 read back from the database
// as any numeric kind hashes as the literal 3 does.
void hashNumber(Hasher& hasher, const Value& value) {
    if (auto boolean = value.asBool()) {
        hasher.combine(kNumber);
        hasher.combine(*boolean ? 1 : 0);
    } else if (auto integer = value.asInt64()) {
        hasher.combine(kNumber);
        hasher.combine(static_cast<std::uint64_t>(*integer));
    } else if (value.kind() == Value::Kind::unsignedInteger) {
        hasher.combine(kLargeUnsigned);
        hasher.combine(*value.asUInt64());
    } else {
        hasher.combine(kReal);
        hasher.combine(std::bit_cast<std::uint64_t>(*value.asDouble()));
    }
}

void feed(Hasher& hasher, const Value& value) {
    switch (value.kind()) {
    case Value::Kind::data: {
        const auto& data = *value.asData();
        hasher.combine(kData);
        hasher.combine(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        break;
    }
    case Value::Kind::date: {
        const double seconds = value.asDate()->timeIntervalSinceReferenceDate;
        hasher.combine(kDate);
        hasher.combine(std::bit_cast<std::uint64_t>(seconds == 0 ? 0.0 : seconds));
        break;
    }
    case Value::Kind::boolean:
    case Value::Kind::integer:
    case Value::Kind::unsignedInteger:
    case Value::Kind::real:
        hashNumber(hasher, value);
        break;
    case Value::Kind::string:
        hasher.combine(kString);
        hasher.combine(*value.asString());
        break;
    case Value::Kind::dictionary:
        // Keys come in sorted order, so the hash does not depend on how entries were added.
        hasher.combine(kDictionary);
        hasher.combine(value.asDictionary()->size());
        for (const auto& [key, element] : *value.asDictionary()) {
            hasher.combine(key);
            feed(hasher, element);
        }
        break;
    case Value::Kind::array:
        hasher.combine(kArray);
        hasher.combine(value.asArray()->size());
        for (const Value& element : *value.asArray()) {
            feed(hasher, element);
        }
        break;
    default:
        break; // equal to nothing, so nothing to feed
    }
}

} // namespace

AnySerializable::AnySerializable(const std::vector<AnySerializable>& elements) {
    Value::Array array;
    array.reserve(elements.size());
    for (const AnySerializable& element : elements) {
        array.push_back(element.value_);
    }
    value_ = Value(std::move(array));
}

AnySerializable::AnySerializable(const std::map<std::string, AnySerializable>& entries) {
    Value::Dictionary dictionary;
    for (const auto& [key, element] : entries) {
        dictionary.emplace(key, element.value_);
    }
    value_ = Value(std::move(dictionary));
}

AnySerializable AnySerializable::wrapping(const Value& object) {
    AnySerializable result;
    result.value_ = object.flattened();
    return result;
}

bool operator==(const AnySerializable& a, const AnySerializable& b) {
    return equalValues(a.value_, b.value_);
}

std::size_t AnySerializable::hashValue() const {
    Hasher hasher;
    feed(hasher, value_);
    return static_cast<std::size_t>(hasher.finalize());
}

} // namespace zestrel::Prefs
