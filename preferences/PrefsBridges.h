#pragma once

#include "platform/appkit/NSColor.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/data/JSONCoder.h"
#include "platform/data/KeyedArchive.h"
#include "preferences/PrefsSerializable.h"

#include <array>
#include <charconv>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

// The bridges, and the stored form of the standard types:
//   Bool, integers, floating point, String, Data, Date: themselves (JSON bridge for reading
//     text that holds JSON of the type);
//   URL: the JSON text of its absolute text; UUID: its upper-case text;
//   optional, array, dictionary: their element's forms; a set: an array of its elements' forms;
//   Color and NSColor: a keyed archive.
// A type of our own opts in by specialising `PrefsSerializable` from one of the helper
// bases at the end: `CodableSerializable` (JSON text of its coded form),
// `RawRepresentableSerializable` (its raw value) or `SecureCodingSerializable` (a keyed archive).

namespace zestrel::Prefs {

namespace detail {
// A JSON encoding failure: its description as one line on standard output, and in the log.
void reportEncodingFailure(const platform::Error& error);
} // namespace detail

// MARK: JSON bridges

template <class T> struct JSONCodableBridge {
    using ValueType = T;
    using Serializable = std::string;

    static std::optional<std::string> serialize(const std::optional<T>& value) {
        if (!value) {
            return std::nullopt;
        }
        try {
            platform::JSONEncoder encoder;
            encoder.outputFormatting.sortedKeys = true;
            return encoder.encodeToString(*value);
        } catch (const platform::Error& error) {
            detail::reportEncodingFailure(error);
            return std::nullopt;
        }
    }

    static std::optional<T> deserialize(const std::optional<std::string>& text) {
        if (!text) {
            return std::nullopt;
        }
        try {
            return platform::JSONDecoder().decode<T>(*text);
        } catch (const platform::Error&) {
            return std::nullopt;
        }
    }
};

template <class T> struct TopLevelCodableBridge : JSONCodableBridge<T> {};
template <class T> struct RawRepresentableCodableBridge : JSONCodableBridge<T> {};
template <class T> struct CodableNSSecureCodingBridge : JSONCodableBridge<T> {};
struct URLBridge : JSONCodableBridge<platform::URL> {};

// MARK: Raw values

// A type kept by its raw value. By default the type has a `rawValue` field and is made from
// it by `T::init(rawValue)` when it has one (which may refuse), else as `T{rawValue}`.
// Enumerations specialise it, for instance through `RawValueNames`.
template <class T> struct RawRepresentable {
    using RawValue = std::remove_cvref_t<decltype(std::declval<const T&>().rawValue)>;
    static RawValue rawValue(const T& value) { return value.rawValue; }
    static std::optional<T> init(const RawValue& rawValue) {
        if constexpr (requires {
                          { T::init(rawValue) } -> std::same_as<std::optional<T>>;
                      }) {
            return T::init(rawValue);
        } else {
            return T{rawValue};
        }
    }
};

// Raw values of an enumeration from a name table: the specialisation derives from
// `RawValueNames<RawRepresentable<E>, E>` and declares
// `static constexpr std::array<std::pair<E, std::string_view>, N> names`.
template <class Derived, class E> struct RawValueNames {
    using RawValue = std::string;
    static std::string rawValue(E value) {
        for (const auto& [candidate, name] : Derived::names) {
            if (candidate == value) {
                return std::string(name);
            }
        }
        return {};
    }
    static std::optional<E> init(const std::string& rawValue) {
        for (const auto& [candidate, name] : Derived::names) {
            if (name == rawValue) {
                return candidate;
            }
        }
        return std::nullopt;
    }
};

template <class T> struct RawRepresentableBridge {
    using ValueType = T;
    using Serializable = typename RawRepresentable<T>::RawValue;

    static std::optional<Serializable> serialize(const std::optional<T>& value) {
        if (!value) {
            return std::nullopt;
        }
        return RawRepresentable<T>::rawValue(*value);
    }
    static std::optional<T> deserialize(const std::optional<Serializable>& rawValue) {
        if (!rawValue) {
            return std::nullopt;
        }
        return RawRepresentable<T>::init(*rawValue);
    }
};

// MARK: Keyed archives

// Objects of class `X` (an `NSObject` and `NSCoding` with a static `archivableClass()`),
// archived with secure coding. Archiving and unarchiving failures give nothing, silently.
template <class X> struct NSSecureCodingBridge {
    using ValueType = std::shared_ptr<X>;
    using Serializable = platform::Data;

    static std::optional<platform::Data>
    serialize(const std::optional<std::shared_ptr<X>>& object) {
        if (!object || !*object) {
            return std::nullopt;
        }
        try {
            return platform::NSKeyedArchiver::archivedData(platform::Value(*object), true);
        } catch (const platform::Error&) {
            return std::nullopt;
        }
    }
    static std::optional<std::shared_ptr<X>>
    deserialize(const std::optional<platform::Data>& data) {
        if (!data) {
            return std::nullopt;
        }
        try {
            // An object decodes its own leaf fields, so their classes come with it.
            const std::vector<platform::ArchivableClass> classes{X::archivableClass(),
                                                                 {"NSNumber", nullptr},
                                                                 {"NSString", nullptr},
                                                                 {"NSData", nullptr}};
            auto object = platform::NSKeyedUnarchiver::unarchivedObject(classes, *data)
                              .template asObject<X>();
            if (object) {
                return object;
            }
        } catch (const platform::Error&) {
        }
        return std::nullopt;
    }
};

struct ColorBridge {
    using ValueType = platform::Color;
    using Serializable = platform::Data;

    static std::optional<platform::Data> serialize(const std::optional<platform::Color>& color) {
        if (!color) {
            return std::nullopt;
        }
        return NSSecureCodingBridge<platform::NSColor>::serialize(platform::NSColor::make(*color));
    }
    static std::optional<platform::Color> deserialize(const std::optional<platform::Data>& data) {
        if (auto color = NSSecureCodingBridge<platform::NSColor>::deserialize(data)) {
            return (*color)->color();
        }
        return std::nullopt;
    }
};

// MARK: UUID

struct UUIDBridge {
    using ValueType = platform::UUID;
    using Serializable = std::string;

    static std::optional<std::string> serialize(const std::optional<platform::UUID>& uuid) {
        if (!uuid) {
            return std::nullopt;
        }
        return uuid->uuidString();
    }
    static std::optional<platform::UUID> deserialize(const std::optional<std::string>& text) {
        if (!text) {
            return std::nullopt;
        }
        return platform::UUID::parse(*text);
    }
};

// MARK: Containers

template <Storable W> struct OptionalBridge {
    using ValueType = std::optional<W>;
    using Serializable = SerializableOf<W>;

    static std::optional<Serializable> serialize(const std::optional<std::optional<W>>& value) {
        return BridgeOf<W>::serialize(value ? *value : std::optional<W>());
    }
    static std::optional<std::optional<W>> deserialize(const std::optional<Serializable>& object) {
        if (auto value = BridgeOf<W>::deserialize(object)) {
            return std::optional<W>(std::move(*value));
        }
        return std::nullopt;
    }
};

// Elements that give nothing are dropped; the rest keep their order.
template <Storable E> struct ArrayBridge {
    using ValueType = std::vector<E>;
    using Serializable = std::vector<SerializableOf<E>>;

    static std::optional<Serializable> serialize(const std::optional<std::vector<E>>& values) {
        if (!values) {
            return std::nullopt;
        }
        Serializable result;
        result.reserve(values->size());
        for (const E& value : *values) {
            if (auto serialized = BridgeOf<E>::serialize(value)) {
                result.push_back(std::move(*serialized));
            }
        }
        return result;
    }
    static std::optional<std::vector<E>> deserialize(const std::optional<Serializable>& objects) {
        if (!objects) {
            return std::nullopt;
        }
        std::vector<E> result;
        result.reserve(objects->size());
        for (const auto& object : *objects) {
            if (auto value = BridgeOf<E>::deserialize(object)) {
                result.push_back(std::move(*value));
            }
        }
        return result;
    }
};

namespace detail {
// Dictionary keys are kept as their text.
template <class K>
concept DictionaryKey = std::is_same_v<K, std::string> ||
    (std::is_integral_v<K> && !std::is_same_v<K, bool> && !std::is_same_v<K, char>);

template <DictionaryKey K> std::string keyText(const K& key) {
    if constexpr (std::is_same_v<K, std::string>) {
        return key;
    } else {
        return std::to_string(key);
    }
}

template <DictionaryKey K> std::optional<K> keyFromText(const std::string& text) {
    if constexpr (std::is_same_v<K, std::string>) {
        return text;
    } else {
        K key{};
        const char* end = text.data() + text.size();
        // A leading "+" is part of an integer's text form in the platform's parser.
        const char* begin = text.size() > 1 && text[0] == '+' ? text.data() + 1 : text.data();
        const auto [stop, error] = std::from_chars(begin, end, key);
        if (error != std::errc() || stop != end || text.empty()) {
            return std::nullopt;
        }
        return key;
    }
}
} // namespace detail

// Entries whose key text does not parse or whose value gives nothing are left out.
template <detail::DictionaryKey K, Storable V> struct DictionaryBridge {
    using ValueType = std::map<K, V>;
    using Serializable = std::map<std::string, SerializableOf<V>>;

    static std::optional<Serializable> serialize(const std::optional<std::map<K, V>>& values) {
        if (!values) {
            return std::nullopt;
        }
        Serializable result;
        for (const auto& [key, value] : *values) {
            if (auto serialized = BridgeOf<V>::serialize(value)) {
                result.emplace(detail::keyText(key), std::move(*serialized));
            }
        }
        return result;
    }
    static std::optional<std::map<K, V>> deserialize(const std::optional<Serializable>& objects) {
        if (!objects) {
            return std::nullopt;
        }
        std::map<K, V> result;
        for (const auto& [text, object] : *objects) {
            auto key = detail::keyFromText<K>(text);
            if (!key) {
                continue;
            }
            if (auto value = BridgeOf<V>::deserialize(object)) {
                result.emplace(std::move(*key), std::move(*value));
            }
        }
        return result;
    }
};

namespace detail {

// The stored elements of a set-like collection: an array of the elements' forms.
template <class E, class Collection>
std::optional<platform::Value> serializeElements(const std::optional<Collection>& values) {
    if (!values) {
        return std::nullopt;
    }
    platform::Value::Array array;
    for (const E& value : *values) {
        if constexpr (PrefsSerializable<E>::isNativelySupportedType) {
            array.push_back(NativeObject<E>::toObject(value));
        } else if (auto serialized = BridgeOf<E>::serialize(value)) {
            using N = SerializableOf<E>;
            // Bridges onto a type that is itself bridged go all the way to an object.
            if constexpr (Storable<N>) {
                if (auto object = toSerializable<N>(*serialized)) {
                    array.push_back(std::move(*object));
                }
            } else {
                array.push_back(anyObject(*serialized));
            }
        }
    }
    return platform::Value(std::move(array));
}

// The elements back: the object must be an array of the elements' stored type, else nothing;
// elements that then give nothing are dropped.
template <class E>
std::optional<std::vector<E>> deserializeElements(const std::optional<platform::Value>& object) {
    if (!object) {
        return std::nullopt;
    }
    if constexpr (PrefsSerializable<E>::isNativelySupportedType) {
        return NativeObject<std::vector<E>>::fromObject(*object);
    } else {
        using N = SerializableOf<E>;
        const platform::Value::Array* array = object->asArray();
        if (array == nullptr) {
            return std::nullopt;
        }
        std::vector<E> values;
        for (const platform::Value& element : *array) {
            std::optional<N> stored;
            if constexpr (!Storable<N>) {
                stored = castAnyObject<N>(element);
            } else if constexpr (PrefsSerializable<N>::isNativelySupportedType) {
                stored = NativeObject<N>::fromObject(element);
            } else {
                stored = toValue<N>(element);
            }
            if (!stored) {
                return std::nullopt; // not an array of that type
            }
            if (auto value = BridgeOf<E>::deserialize(stored)) {
                values.push_back(std::move(*value));
            }
        }
        return values;
    }
}

} // namespace detail

// A collection kept as an array of its elements in its iteration order, and made again from
// that array: by `C(std::vector<Element>)` where the collection has it, else from the
// elements in turn (so duplicates collapse on reading into a set, ordered or hashed).
template <class C> struct CollectionBridge {
    using ValueType = C;
    using Serializable = platform::Value;
    using Element = typename C::value_type;

    static std::optional<platform::Value> serialize(const std::optional<C>& values) {
        return detail::serializeElements<Element>(values);
    }
    static std::optional<C> deserialize(const std::optional<platform::Value>& object) {
        auto elements = detail::deserializeElements<Element>(object);
        if (!elements) {
            return std::nullopt;
        }
        if constexpr (std::is_constructible_v<C, std::vector<Element>>) {
            return C(std::move(*elements));
        } else {
            return C(std::make_move_iterator(elements->begin()),
                     std::make_move_iterator(elements->end()));
        }
    }
};
template <class C> using SetBridge = CollectionBridge<C>;

// MARK: Helper bases for opting in

// Opting in through a bridge: the type is kept in the bridge's stored form.
template <class BridgeType> struct SerializableThrough {
    using Bridge = BridgeType;
    static constexpr bool isNativelySupportedType = false;
};

template <class T> struct CodableSerializable : SerializableThrough<TopLevelCodableBridge<T>> {};
// Kept by raw value even when the type is also coded (the platform's "prefer raw value").
template <class T>
struct RawRepresentableSerializable : SerializableThrough<RawRepresentableBridge<T>> {};
// Kept as the JSON text of its coded form, which for a raw-value type is its raw value.
template <class T>
struct RawRepresentableCodableSerializable : SerializableThrough<RawRepresentableCodableBridge<T>> {
};
// `std::shared_ptr<X>` kept as a keyed archive (the platform's "prefer secure coding").
template <class X>
struct SecureCodingSerializable : SerializableThrough<NSSecureCodingBridge<X>> {};
template <class C> struct CollectionSerializable : SerializableThrough<CollectionBridge<C>> {};

// MARK: The standard types

template <class T>
requires detail::isNativeScalar<T>
struct PrefsSerializable<T> {
    using Bridge = TopLevelCodableBridge<T>;
    static constexpr bool isNativelySupportedType = true;
};

template <> struct PrefsSerializable<platform::URL> {
    using Bridge = URLBridge;
    static constexpr bool isNativelySupportedType = false;
};

template <> struct PrefsSerializable<platform::UUID> {
    using Bridge = UUIDBridge;
    static constexpr bool isNativelySupportedType = false;
};

template <> struct PrefsSerializable<platform::Color> {
    using Bridge = ColorBridge;
    static constexpr bool isNativelySupportedType = false;
};

template <>
struct PrefsSerializable<std::shared_ptr<platform::NSColor>>
    : SecureCodingSerializable<platform::NSColor> {};

template <Storable W> struct PrefsSerializable<std::optional<W>> {
    using Bridge = OptionalBridge<W>;
    static constexpr bool isNativelySupportedType = PrefsSerializable<W>::isNativelySupportedType;
};

// A vector of bytes is Data (above), not an array of numbers.
template <Storable E>
requires(!detail::isByteArray<std::vector<E>>) struct PrefsSerializable<std::vector<E>> {
    using Bridge = ArrayBridge<E>;
    static constexpr bool isNativelySupportedType = PrefsSerializable<E>::isNativelySupportedType;
};

template <detail::DictionaryKey K, Storable V> struct PrefsSerializable<std::map<K, V>> {
    using Bridge = DictionaryBridge<K, V>;
    static constexpr bool isNativelySupportedType =
        std::is_same_v<K, std::string> && PrefsSerializable<V>::isNativelySupportedType;
};

template <Storable E, class Compare, class Allocator>
struct PrefsSerializable<std::set<E, Compare, Allocator>> {
    using Bridge = SetBridge<std::set<E, Compare, Allocator>>;
    static constexpr bool isNativelySupportedType = false;
};

template <Storable E, class Hash, class Equal, class Allocator>
struct PrefsSerializable<std::unordered_set<E, Hash, Equal, Allocator>> {
    using Bridge = SetBridge<std::unordered_set<E, Hash, Equal, Allocator>>;
    static constexpr bool isNativelySupportedType = false;
};

} // namespace zestrel::Prefs
