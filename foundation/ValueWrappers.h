#pragma once

#include "foundation/Hasher.h"
#include "platform/base/Error.h"
#include "platform/data/Coding.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <utility>

// Wrappers that change how a value takes part in equality, hashing and coding. A wrapper
// that ignores its value for equality ignores it for hashing too, so that equal wrappers
// always hash alike and can key a table.
namespace zestrel {

// A value handed across threads without checks: the holder vouches for it. Equal, hashed
// and coded as the bare value.
template <class Value> struct UncheckedSendable {
    Value value;

    Value* operator->() { return &value; }
    const Value* operator->() const { return &value; }

    friend bool operator==(const UncheckedSendable& a,
                           const UncheckedSendable& b) requires std::equality_comparable<Value> {
        return a.value == b.value;
    }

    static std::string codingTypeName() { return platform::codingTypeName<Value>(); }

    // As a single value first; a value that cannot be written that way writes itself.
    void encode(platform::Encoder& encoder) const {
        try {
            encoder.singleValueContainer().encode(value);
        } catch (const platform::Error&) {
            platform::Coding<Value>::encode(encoder, value);
        }
    }
    static UncheckedSendable decode(const platform::Decoder& decoder) {
        try {
            return UncheckedSendable{decoder.singleValueContainer().template decode<Value>()};
        } catch (const platform::Error&) {
            return UncheckedSendable{platform::Coding<Value>::decode(decoder)};
        }
    }
};

namespace detail {

// The keyed stored form the ignoring wrappers share: the value under "wrappedValue".
template <class Value> void encodeWrappedValue(platform::Encoder& encoder, const Value& value) {
    encoder.container().encode(value, "wrappedValue");
}
template <class Value> Value decodeWrappedValue(const platform::Decoder& decoder) {
    return decoder.container().template decode<Value>("wrappedValue");
}

// What an empty hasher finishes with: the hash of every wrapper that ignores its value.
inline std::size_t emptyHash() {
    return Hasher().finalize();
}

} // namespace detail

// Always equal to another of its type, so that the value takes no part in its owner's
// equality; for the same reason it takes no part in the owner's hash.
template <class Value> class IgnoreEquatable {
public:
    explicit IgnoreEquatable(Value wrappedValue) : wrappedValue_(std::move(wrappedValue)) {}
    const Value& wrappedValue() const { return wrappedValue_; }

    friend bool operator==(const IgnoreEquatable&, const IgnoreEquatable&) { return true; }
    std::size_t hashValue() const { return detail::emptyHash(); }

    void encode(platform::Encoder& encoder) const {
        detail::encodeWrappedValue(encoder, wrappedValue_);
    }
    static IgnoreEquatable decode(const platform::Decoder& decoder) {
        return IgnoreEquatable(detail::decodeWrappedValue<Value>(decoder));
    }

private:
    Value wrappedValue_;
};

// The same with a settable value.
template <class Value> class IgnoreEquatableMutable {
public:
    explicit IgnoreEquatableMutable(Value wrappedValue) : wrappedValue(std::move(wrappedValue)) {}
    Value wrappedValue;

    friend bool operator==(const IgnoreEquatableMutable&, const IgnoreEquatableMutable&) {
        return true;
    }
    std::size_t hashValue() const { return detail::emptyHash(); }

    void encode(platform::Encoder& encoder) const {
        detail::encodeWrappedValue(encoder, wrappedValue);
    }
    static IgnoreEquatableMutable decode(const platform::Decoder& decoder) {
        return IgnoreEquatableMutable(detail::decodeWrappedValue<Value>(decoder));
    }
};

// Takes no part in its owner's hash (nor, to keep equal values hashing alike, in equality).
template <class Value> class IgnoreHashable {
public:
    explicit IgnoreHashable(Value wrappedValue) : wrappedValue_(std::move(wrappedValue)) {}
    const Value& wrappedValue() const { return wrappedValue_; }

    friend bool operator==(const IgnoreHashable&, const IgnoreHashable&) { return true; }
    std::size_t hashValue() const { return detail::emptyHash(); }

    void encode(platform::Encoder& encoder) const {
        detail::encodeWrappedValue(encoder, wrappedValue_);
    }
    static IgnoreHashable decode(const platform::Decoder& decoder) {
        return IgnoreHashable(detail::decodeWrappedValue<Value>(decoder));
    }

private:
    Value wrappedValue_;
};

template <class Value> class IgnoreHashableMutable {
public:
    explicit IgnoreHashableMutable(Value wrappedValue) : wrappedValue(std::move(wrappedValue)) {}
    Value wrappedValue;

    friend bool operator==(const IgnoreHashableMutable&, const IgnoreHashableMutable&) {
        return true;
    }
    std::size_t hashValue() const { return detail::emptyHash(); }

    void encode(platform::Encoder& encoder) const {
        detail::encodeWrappedValue(encoder, wrappedValue);
    }
    static IgnoreHashableMutable decode(const platform::Decoder& decoder) {
        return IgnoreHashableMutable(detail::decodeWrappedValue<Value>(decoder));
    }
};

// Left out of its owner's stored form: writes nothing, and reads back as no value.
template <class Value> struct IgnoreCodable {
    std::optional<Value> wrappedValue;

    friend bool operator==(const IgnoreCodable& a,
                           const IgnoreCodable& b) requires std::equality_comparable<Value> {
        return a.wrappedValue == b.wrappedValue;
    }
    std::size_t hashValue() const {
        return wrappedValue ? Hasher().combine(true).combine(*wrappedValue).finalize()
                            : Hasher().combine(false).finalize();
    }

    void encode(platform::Encoder&) const {}
    static IgnoreCodable decode(const platform::Decoder&) { return IgnoreCodable{}; }
};

} // namespace zestrel

template <class Value> struct std::hash<zestrel::UncheckedSendable<Value>> {
    std::size_t operator()(const zestrel::UncheckedSendable<Value>& wrapper) const {
        return std::hash<Value>{}(wrapper.value);
    }
};
template <class Value> struct std::hash<zestrel::IgnoreEquatable<Value>> {
    std::size_t operator()(const zestrel::IgnoreEquatable<Value>& w) const { return w.hashValue(); }
};
template <class Value> struct std::hash<zestrel::IgnoreEquatableMutable<Value>> {
    std::size_t operator()(const zestrel::IgnoreEquatableMutable<Value>& w) const {
        return w.hashValue();
    }
};
template <class Value> struct std::hash<zestrel::IgnoreHashable<Value>> {
    std::size_t operator()(const zestrel::IgnoreHashable<Value>& w) const { return w.hashValue(); }
};
template <class Value> struct std::hash<zestrel::IgnoreHashableMutable<Value>> {
    std::size_t operator()(const zestrel::IgnoreHashableMutable<Value>& w) const {
        return w.hashValue();
    }
};
template <class Value> struct std::hash<zestrel::IgnoreCodable<Value>> {
    std::size_t operator()(const zestrel::IgnoreCodable<Value>& w) const { return w.hashValue(); }
};
