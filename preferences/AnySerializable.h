#pragma once

#include "platform/base/Value.h"
#include "preferences/PrefsBridges.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::Prefs {

// A preference value of no fixed type, held already in its stored form: a number, a text,
// a list or a dictionary chosen at run time. The empty value (no content) stands for
// "nothing stored": writing it removes the entry.
//
// Equality follows the kinds: Booleans with Booleans, integers with integers, floating
// point with floating point (so 3 and 3.0 differ, and not-a-number differs from itself),
// texts, data, dates, and arrays and dictionaries element by element. Any other content,
// the empty value included, equals nothing.
class AnySerializable {
public:
    // The empty value.
    AnySerializable() = default;
    AnySerializable(std::nullptr_t) {}
    // Literals.
    AnySerializable(bool value) : value_(value) {}
    AnySerializable(int value) : value_(value) {}
    AnySerializable(long value) : value_(value) {}
    AnySerializable(long long value) : value_(value) {}
    AnySerializable(double value) : value_(value) {}
    AnySerializable(const char* text) : value_(text) {}
    AnySerializable(std::string text) : value_(std::move(text)) {}
    AnySerializable(std::string_view text) : value_(text) {}
    AnySerializable(const std::vector<AnySerializable>& elements);
    AnySerializable(const std::map<std::string, AnySerializable>& entries);

    // The stored form of a storable value; the empty value when it has none.
    template <Storable T> static AnySerializable from(const T& value) {
        return wrapping(toSerializable(value).value_or(platform::Value()));
    }
    // An object as it stands; an absent object gives the empty value.
    static AnySerializable wrapping(const platform::Value& object);

    // Replaces the content with the stored form of `value`.
    template <Storable T> void set(const T& value) { *this = from(value); }
    // The content read as `T` (the read conversion); nothing when it is not one.
    template <Storable T> std::optional<T> get() const {
        if (isNil()) {
            return std::nullopt;
        }
        return toValue<T>(value_);
    }

    const platform::Value& value() const { return value_; }
    bool isNil() const { return value_.isAbsent(); }

    friend bool operator==(const AnySerializable& a, const AnySerializable& b);
    // Equal values hash alike: every number is hashed in one canonical form.
    std::size_t hashValue() const;

private:
    platform::Value value_;
};

// Passes the content through unchanged; reading wraps whatever the database holds.
struct AnyBridge {
    using ValueType = AnySerializable;
    using Serializable = platform::Value;

    static std::optional<platform::Value> serialize(const std::optional<AnySerializable>& value) {
        if (!value || value->isNil()) {
            return std::nullopt;
        }
        return value->value();
    }
    static std::optional<AnySerializable>
    deserialize(const std::optional<platform::Value>& object) {
        return AnySerializable::wrapping(object.value_or(platform::Value()));
    }
};

template <> struct PrefsSerializable<AnySerializable> {
    using Bridge = AnyBridge;
    static constexpr bool isNativelySupportedType = false;
};

} // namespace zestrel::Prefs

template <> struct std::hash<zestrel::Prefs::AnySerializable> {
    std::size_t operator()(const zestrel::Prefs::AnySerializable& value) const noexcept {
        return value.hashValue();
    }
};
