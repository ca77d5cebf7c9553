#pragma once

#include "platform/base/Value.h"

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

// How a value is kept in the defaults database. Every storable type names a bridge, a
// stateless converter between the value and a simpler one; conversion repeats through the
// bridges until it reaches a property-list object, which the database keeps as it is.
//
// A bridge is a type with
//     using ValueType = T;
//     using Serializable = N;   // another storable type, or `platform::Value` ("any object")
//     static std::optional<N> serialize(const std::optional<T>&);
//     static std::optional<T> deserialize(const std::optional<N>&);
// and answers nothing for nothing.

namespace zestrel::Prefs {

// A storable type specialises this with `using Bridge = ...;` and
// `static constexpr bool isNativelySupportedType`, true when the database keeps the value
// itself. The bridges header opts in the standard types and gives helper bases for others.
template <class T> struct PrefsSerializable {};

template <class T>
concept Storable = requires {
    typename PrefsSerializable<T>::Bridge;
    { PrefsSerializable<T>::isNativelySupportedType } -> std::convertible_to<bool>;
};

template <Storable T> using BridgeOf = typename PrefsSerializable<T>::Bridge;
template <Storable T> using SerializableOf = typename BridgeOf<T>::Serializable;

namespace detail {

template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};
template <class T> inline constexpr bool isOptional = IsOptional<T>::value;

template <class T> inline constexpr bool isByteArray = std::is_same_v<T, platform::Data>;

// "Any object": a property-list tree handed on as it stands.
template <class T> struct IsAnyObject : std::is_same<T, platform::Value> {};
template <class E>
struct IsAnyObject<std::vector<E>>
    : std::bool_constant<IsAnyObject<E>::value && !isByteArray<std::vector<E>>> {};
template <class V> struct IsAnyObject<std::map<std::string, V>> : IsAnyObject<V> {};
template <class T> inline constexpr bool isAnyObject = IsAnyObject<T>::value;

template <class T>
inline constexpr bool
    isNativeScalar = std::is_same_v<T, bool> ||
                     (std::is_integral_v<T> && !std::is_same_v<T, char>) ||
                     std::is_floating_point_v<T> || std::is_same_v<T, std::string> ||
                     std::is_same_v<T, platform::Data> || std::is_same_v<T, platform::Date>;

// The value itself as a property-list object, and the platform's cast back from one. Used
// only for natively supported types.
template <class T> struct NativeObject;

template <class T>
requires isNativeScalar<T>
struct NativeObject<T> {
    static platform::Value toObject(const T& value) {
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::string> ||
                      std::is_same_v<T, platform::Data> || std::is_same_v<T, platform::Date>) {
            return platform::Value(value);
        } else if constexpr (std::is_floating_point_v<T>) {
            return platform::Value(static_cast<double>(value));
        } else if constexpr (std::is_signed_v<T>) {
            return platform::Value(static_cast<long long>(value));
        } else if (value <=
                   static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
            // Small unsigned values are kept as the integers the property list reads back.
            return platform::Value(static_cast<long long>(value));
        } else {
            return platform::Value(static_cast<unsigned long long>(value));
        }
    }

    static std::optional<T> fromObject(const platform::Value& object) {
        if constexpr (std::is_same_v<T, bool>) {
            return object.asBool();
        } else if constexpr (std::is_same_v<T, std::string>) {
            if (const std::string* text = object.asString()) {
                return *text;
            }
            return std::nullopt;
        } else if constexpr (std::is_same_v<T, platform::Data>) {
            if (const platform::Data* data = object.asData()) {
                return *data;
            }
            return std::nullopt;
        } else if constexpr (std::is_same_v<T, platform::Date>) {
            return object.asDate();
        } else if constexpr (std::is_floating_point_v<T>) {
            if (!object.isNumber()) {
                return std::nullopt;
            }
            const double number = *object.asDouble();
            // A number reads as a narrower type only when nothing is lost.
            if (static_cast<double>(static_cast<T>(number)) != number && !std::isnan(number)) {
                return std::nullopt;
            }
            return static_cast<T>(number);
        } else {
            if (!object.isNumber()) {
                return std::nullopt;
            }
            if constexpr (std::is_signed_v<T>) {
                const auto number = object.asInt64();
                if (!number || *number < std::numeric_limits<T>::min() ||
                    *number > std::numeric_limits<T>::max()) {
                    return std::nullopt;
                }
                return static_cast<T>(*number);
            } else {
                const auto number = object.asUInt64();
                if (!number || *number > std::numeric_limits<T>::max()) {
                    return std::nullopt;
                }
                return static_cast<T>(*number);
            }
        }
    }
};

template <class W> struct NativeObject<std::optional<W>> {
    static platform::Value toObject(const std::optional<W>& value) {
        return value ? NativeObject<W>::toObject(*value) : platform::Value();
    }
    static std::optional<std::optional<W>> fromObject(const platform::Value& object) {
        if (auto value = NativeObject<W>::fromObject(object)) {
            return std::optional<W>(std::move(*value));
        }
        return std::nullopt;
    }
};

template <class E>
requires(!isByteArray<std::vector<E>>) struct NativeObject<std::vector<E>> {
    static platform::Value toObject(const std::vector<E>& values) {
        platform::Value::Array array;
        array.reserve(values.size());
        for (const E& value : values) {
            if (platform::Value object = NativeObject<E>::toObject(value); !object.isAbsent()) {
                array.push_back(std::move(object));
            }
        }
        return platform::Value(std::move(array));
    }
    // Every element must cast, as the platform's cast of a whole array does.
    static std::optional<std::vector<E>> fromObject(const platform::Value& object) {
        const platform::Value::Array* array = object.asArray();
        if (array == nullptr) {
            return std::nullopt;
        }
        std::vector<E> values;
        values.reserve(array->size());
        for (const platform::Value& element : *array) {
            auto value = NativeObject<E>::fromObject(element);
            if (!value) {
                return std::nullopt;
            }
            values.push_back(std::move(*value));
        }
        return values;
    }
};

template <class V> struct NativeObject<std::map<std::string, V>> {
    static platform::Value toObject(const std::map<std::string, V>& values) {
        platform::Value::Dictionary dictionary;
        for (const auto& [key, value] : values) {
            if (platform::Value object = NativeObject<V>::toObject(value); !object.isAbsent()) {
                dictionary.emplace(key, std::move(object));
            }
        }
        return platform::Value(std::move(dictionary));
    }
    static std::optional<std::map<std::string, V>> fromObject(const platform::Value& object) {
        const platform::Value::Dictionary* dictionary = object.asDictionary();
        if (dictionary == nullptr) {
            return std::nullopt;
        }
        std::map<std::string, V> values;
        for (const auto& [key, element] : *dictionary) {
            auto value = NativeObject<V>::fromObject(element);
            if (!value) {
                return std::nullopt;
            }
            values.emplace(key, std::move(*value));
        }
        return values;
    }
};

// "Any object" trees to and from `platform::Value`.
template <class T> platform::Value anyObject(const T& value) {
    if constexpr (std::is_same_v<T, platform::Value>) {
        return value;
    } else if constexpr (requires { typename T::key_type; }) {
        platform::Value::Dictionary dictionary;
        for (const auto& [key, element] : value) {
            dictionary.emplace(key, anyObject(element));
        }
        return platform::Value(std::move(dictionary));
    } else {
        platform::Value::Array array;
        for (const auto& element : value) {
            array.push_back(anyObject(element));
        }
        return platform::Value(std::move(array));
    }
}

template <class T> std::optional<T> castAnyObject(const platform::Value& object) {
    if constexpr (std::is_same_v<T, platform::Value>) {
        if (object.isAbsent()) {
            return std::nullopt;
        }
        return object;
    } else if constexpr (requires { typename T::key_type; }) {
        const platform::Value::Dictionary* dictionary = object.asDictionary();
        if (dictionary == nullptr) {
            return std::nullopt;
        }
        T values;
        for (const auto& [key, element] : *dictionary) {
            auto value = castAnyObject<typename T::mapped_type>(element);
            if (!value) {
                return std::nullopt;
            }
            values.emplace(key, std::move(*value));
        }
        return values;
    } else {
        const platform::Value::Array* array = object.asArray();
        if (array == nullptr) {
            return std::nullopt;
        }
        T values;
        for (const platform::Value& element : *array) {
            auto value = castAnyObject<typename T::value_type>(element);
            if (!value) {
                return std::nullopt;
            }
            values.push_back(std::move(*value));
        }
        return values;
    }
}

} // namespace detail

// The "is this value nothing" test: true for an absent optional and for the empty
// type-erased value; writing such a value removes the entry instead of storing it.
template <class T> bool isNil(const T& value) {
    if constexpr (detail::isOptional<T>) {
        return !value.has_value();
    } else if constexpr (requires {
                             { value.isNil() } -> std::convertible_to<bool>;
                         }) {
        return value.isNil();
    } else {
        return false;
    }
}

// The write conversion: the stored form of a value, or nothing when it has none.
template <Storable T> std::optional<platform::Value> toSerializable(const T& value);
// The read conversion: the object as the database answered it, as a `T`, or nothing.
template <Storable T> std::optional<T> toValue(const platform::Value& object);

template <Storable T> std::optional<platform::Value> toSerializable(const T& value) {
    if constexpr (PrefsSerializable<T>::isNativelySupportedType) {
        platform::Value object = detail::NativeObject<T>::toObject(value);
        if (object.isAbsent()) {
            return std::nullopt;
        }
        return object;
    } else {
        using N = SerializableOf<T>;
        std::optional<N> serialized = BridgeOf<T>::serialize(std::optional<T>(value));
        if (!serialized) {
            return std::nullopt;
        }
        if constexpr (Storable<N>) {
            return toSerializable<N>(*serialized);
        } else {
            static_assert(detail::isAnyObject<N>,
                          "a bridge must end in a storable type or an object");
            return detail::anyObject(*serialized);
        }
    }
}

template <Storable T> std::optional<T> toValue(const platform::Value& object) {
    using N = SerializableOf<T>;
    if constexpr (PrefsSerializable<T>::isNativelySupportedType) {
        if (auto value = detail::NativeObject<T>::fromObject(object)) {
            return value;
        }
    }
    if constexpr (Storable<N> && !std::is_same_v<N, T>) {
        // The object is read as the bridge's simpler type first: so a Bool stored as the
        // text "true" is tried once more as JSON.
        return BridgeOf<T>::deserialize(toValue<N>(object));
    } else if constexpr (Storable<N>) {
        static_assert(PrefsSerializable<N>::isNativelySupportedType,
                      "a bridge onto its own type must be native");
        return BridgeOf<T>::deserialize(detail::NativeObject<N>::fromObject(object));
    } else {
        static_assert(detail::isAnyObject<N>, "a bridge must end in a storable type or an object");
        return BridgeOf<T>::deserialize(detail::castAnyObject<N>(object));
    }
}

} // namespace zestrel::Prefs
