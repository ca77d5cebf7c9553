#pragma once

#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

// Encoding and decoding of values to and from `Value` trees, with the platform's
// containers (unkeyed, keyed, single value), coding paths and `DecodingError`. Text forms
// such as JSON sit on top: they turn their text into a `Value` tree and back.
//
// A type takes part by member hooks
//     void encode(Encoder&) const;    static T decode(Decoder&);
// or by specialising `Coding<T>` with `static void encode(Encoder&, const T&)`,
// `static T decode(const Decoder&)` and `static std::string typeName()`.

namespace zestrel::platform {

// A key or an index on the way to a coded value.
struct CodingKey {
    std::string stringValue;
    std::optional<int> intValue;

    static CodingKey key(std::string name) { return CodingKey{std::move(name), std::nullopt}; }
    // The key of the element at `index` of an unkeyed container ("Index 3").
    static CodingKey index(int index);
    std::string description() const;
    bool operator==(const CodingKey&) const = default;
};

using CodingPath = std::vector<CodingKey>;

// Where a coding error happened and why: the context of decoding and encoding errors.
struct CodingErrorContext {
    CodingPath codingPath;
    std::string debugDescription;
    std::optional<Error> underlyingError;

    // "<errorType>.Context(codingPath: [...], debugDescription: "...", underlyingError: nil)".
    std::string describe(std::string_view errorType) const;
    // "NSCodingPath", the debug description and the underlying error, as the bridged error
    // object carries them.
    Value::Dictionary userInfo() const;
};

// Why decoding failed, with where and what.
class DecodingError final : public ErrorBody {
public:
    using Context = CodingErrorContext;
    enum class Case { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    static Error typeMismatch(std::string type, Context context);
    static Error valueNotFound(std::string type, Context context);
    static Error keyNotFound(CodingKey key, Context context);
    static Error dataCorrupted(Context context);

    Case errorCase() const { return case_; }
    const Context& context() const { return context_; }
    // The type named by a type mismatch or a missing value.
    const std::string& type() const { return type_; }
    // The key a key-not-found names.
    const std::optional<CodingKey>& key() const { return key_; }

    std::string typeName() const override { return "Swift.DecodingError"; }
    std::string describe() const override;
    std::string debugDescribe() const override { return "Swift.DecodingError." + describe(); }
    std::string errorDomain() const override { return NSCocoaErrorDomain; }
    // NSCoderValueNotFoundError for missing values and keys, else NSCoderReadCorruptError.
    std::int64_t errorCode() const override;
    Value::Dictionary errorUserInfo() const override;

    DecodingError(Case errorCase, std::string type, std::optional<CodingKey> key, Context context);

private:
    Case case_;
    std::string type_;
    std::optional<CodingKey> key_;
    Context context_;
};

class Encoder;
class Decoder;
class UnkeyedEncodingContainer;
class KeyedEncodingContainer;

template <class T> struct Coding;

template <class T>
concept Encodable = requires(Encoder& encoder, const T& value) {
    Coding<T>::encode(encoder, value);
};
template <class T>
concept Decodable = requires(const Decoder& decoder) {
    { Coding<T>::decode(decoder) } -> std::same_as<T>;
};

// The name of a type in decoding messages ("Int", "String").
template <class T> std::string codingTypeName() {
    if constexpr (requires { Coding<T>::typeName(); }) {
        return Coding<T>::typeName();
    } else if constexpr (requires { T::codingTypeName(); }) {
        return T::codingTypeName();
    } else {
        return "Any";
    }
}

namespace detail {

// What an encoder builds: a mutable tree turned into a `Value` at the end.
struct EncodingNode {
    using Array = std::vector<std::shared_ptr<EncodingNode>>;
    using Dictionary = std::map<std::string, std::shared_ptr<EncodingNode>>;
    std::variant<std::monostate, Value, Array, Dictionary> content;

    Value toValue() const;
};

// "a string", "number", "an array", ... as decoding messages name what was found.
std::string foundDescription(const Value& value);

} // namespace detail

// MARK: Encoding

class SingleValueEncodingContainer {
public:
    const CodingPath& codingPath() const { return path_; }
    void encodeNil();
    // Stores a leaf value as it is.
    void encodePrimitive(Value value);
    template <Encodable T> void encode(const T& value);

private:
    friend class Encoder;
    SingleValueEncodingContainer(CodingPath path, std::shared_ptr<detail::EncodingNode> node)
        : path_(std::move(path)), node_(std::move(node)) {}
    CodingPath path_;
    std::shared_ptr<detail::EncodingNode> node_;
};

class UnkeyedEncodingContainer {
public:
    const CodingPath& codingPath() const { return path_; }
    int count() const;
    template <Encodable T> void encode(const T& value);
    void encodeNil();
    UnkeyedEncodingContainer nestedUnkeyedContainer();
    KeyedEncodingContainer nestedContainer();

private:
    friend class Encoder;
    UnkeyedEncodingContainer(CodingPath path, std::shared_ptr<detail::EncodingNode> node)
        : path_(std::move(path)), node_(std::move(node)) {}
    // Appends an empty slot and answers an encoder that fills it.
    Encoder appendSlot();
    CodingPath path_;
    std::shared_ptr<detail::EncodingNode> node_;
};

class KeyedEncodingContainer {
public:
    const CodingPath& codingPath() const { return path_; }
    template <Encodable T> void encode(const T& value, std::string_view key);
    // Writes nothing when the value is absent.
    template <Encodable T>
    void encodeIfPresent(const std::optional<T>& value, std::string_view key) {
        if (value) {
            encode(*value, key);
        }
    }
    void encodeNil(std::string_view key);
    UnkeyedEncodingContainer nestedUnkeyedContainer(std::string_view key);
    KeyedEncodingContainer nestedContainer(std::string_view key);

private:
    friend class Encoder;
    KeyedEncodingContainer(CodingPath path, std::shared_ptr<detail::EncodingNode> node)
        : path_(std::move(path)), node_(std::move(node)) {}
    Encoder slot(std::string_view key);
    CodingPath path_;
    std::shared_ptr<detail::EncodingNode> node_;
};

// Encodes one value at one coding path. Asking twice for the same kind of container answers
// the same container; asking for another kind once a value is written is a programming error.
class Encoder {
public:
    const CodingPath& codingPath() const { return path_; }
    UnkeyedEncodingContainer unkeyedContainer();
    KeyedEncodingContainer container();
    SingleValueEncodingContainer singleValueContainer();

private:
    friend class ValueEncoder;
    friend class SingleValueEncodingContainer;
    friend class UnkeyedEncodingContainer;
    friend class KeyedEncodingContainer;
    Encoder(CodingPath path, std::shared_ptr<detail::EncodingNode> node)
        : path_(std::move(path)), node_(std::move(node)) {}
    CodingPath path_;
    std::shared_ptr<detail::EncodingNode> node_;
};

// Encodes a value into a `Value` tree: leaves as they are, unkeyed containers as arrays,
// keyed containers as dictionaries. A value that writes nothing becomes an empty dictionary.
class ValueEncoder {
public:
    template <Encodable T> Value encode(const T& value) const {
        auto root = std::make_shared<detail::EncodingNode>();
        Encoder encoder({}, root);
        Coding<T>::encode(encoder, value);
        return root->toValue();
    }
};

// MARK: Decoding

class UnkeyedDecodingContainer;
class KeyedDecodingContainer;
class SingleValueDecodingContainer;

// Decodes one value of a `Value` tree at one coding path.
class Decoder {
public:
    Decoder(CodingPath path, Value value) : path_(std::move(path)), value_(std::move(value)) {}

    const CodingPath& codingPath() const { return path_; }
    // The value at this path, for leaf decoding.
    const Value& value() const { return value_; }
    // Throw a type mismatch when the value is not an array or a dictionary, and
    // valueNotFound when it is null.
    UnkeyedDecodingContainer unkeyedContainer() const;
    KeyedDecodingContainer container() const;
    SingleValueDecodingContainer singleValueContainer() const;

private:
    CodingPath path_;
    Value value_;
};

class SingleValueDecodingContainer {
public:
    const CodingPath& codingPath() const { return decoder_.codingPath(); }
    bool decodeNil() const;
    template <Decodable T> T decode() const { return Coding<T>::decode(decoder_); }

private:
    friend class Decoder;
    explicit SingleValueDecodingContainer(Decoder decoder) : decoder_(std::move(decoder)) {}
    Decoder decoder_;
};

class UnkeyedDecodingContainer {
public:
    const CodingPath& codingPath() const { return path_; }
    int count() const { return static_cast<int>(array().size()); }
    int currentIndex() const { return index_; }
    bool isAtEnd() const { return index_ >= count(); }

    // The index moves on only when an element was decoded.
    template <Decodable T> T decode() {
        Decoder element = next(codingTypeName<T>());
        T result = Coding<T>::decode(element);
        ++index_;
        return result;
    }
    // Null or nothing: the index moves past a null.
    template <Decodable T> std::optional<T> decodeIfPresent() {
        if (isAtEnd() || decodeNil()) {
            return std::nullopt;
        }
        return decode<T>();
    }
    // True, moving on, when the current element is null.
    bool decodeNil();
    UnkeyedDecodingContainer nestedUnkeyedContainer();
    KeyedDecodingContainer nestedContainer();

private:
    friend class Decoder;
    // `array` holds an array; copies of a value share its elements.
    UnkeyedDecodingContainer(CodingPath path, Value array)
        : path_(std::move(path)), array_(std::move(array)) {}
    const Value::Array& array() const { return *array_.asArray(); }
    // The decoder of the current element; valueNotFound at the end.
    Decoder next(const std::string& typeName) const;
    CodingPath path_;
    Value array_;
    int index_ = 0;
};

class KeyedDecodingContainer {
public:
    const CodingPath& codingPath() const { return path_; }
    std::vector<CodingKey> allKeys() const;
    bool contains(std::string_view key) const;

    template <Decodable T> T decode(std::string_view key) const {
        return Coding<T>::decode(element(key));
    }
    // Nothing when the key is missing or holds null.
    template <Decodable T> std::optional<T> decodeIfPresent(std::string_view key) const {
        if (!contains(key) || decodeNil(key)) {
            return std::nullopt;
        }
        return decode<T>(key);
    }
    // Whether the key holds null; keyNotFound when it is missing.
    bool decodeNil(std::string_view key) const;
    UnkeyedDecodingContainer nestedUnkeyedContainer(std::string_view key) const;
    KeyedDecodingContainer nestedContainer(std::string_view key) const;

private:
    friend class Decoder;
    KeyedDecodingContainer(CodingPath path, Value dictionary)
        : path_(std::move(path)), dictionary_(std::move(dictionary)) {}
    const Value::Dictionary& dictionary() const { return *dictionary_.asDictionary(); }
    // The decoder of the value under `key`; keyNotFound when there is none.
    Decoder element(std::string_view key) const;
    CodingPath path_;
    Value dictionary_;
};

// Decodes a value from a `Value` tree.
class ValueDecoder {
public:
    template <Decodable T> T decode(const Value& value) const {
        return Coding<T>::decode(Decoder({}, value));
    }
};

// MARK: Coding of the standard types

// Types with member hooks.
template <class T> struct Coding {
    static void encode(Encoder& encoder, const T& value) requires requires {
        value.encode(encoder);
    }
    { value.encode(encoder); }
    static T decode(const Decoder& decoder) requires requires { T::decode(decoder); }
    { return T::decode(decoder); }
};

namespace detail {
// Leaf decoding; each throws the platform's decoding errors for null, other kinds and
// numbers out of range.
bool decodeBool(const Decoder& decoder);
std::int64_t decodeSigned(const Decoder& decoder, const std::string& type, std::int64_t min,
                          std::int64_t max);
std::uint64_t decodeUnsigned(const Decoder& decoder, const std::string& type, std::uint64_t max);
double decodeDouble(const Decoder& decoder, const std::string& type);
std::string decodeString(const Decoder& decoder);
// "Int", "UInt", "Int16", "UInt8": `int` and wider are the platform's word-sized integers.
template <class T> std::string integerTypeName() {
    std::string name = std::is_signed_v<T> ? "Int" : "UInt";
    if constexpr (sizeof(T) < 4) {
        name += std::to_string(sizeof(T) * 8);
    }
    return name;
}
} // namespace detail

template <> struct Coding<bool> {
    static std::string typeName() { return "Bool"; }
    static void encode(Encoder& encoder, bool value) {
        encoder.singleValueContainer().encodePrimitive(Value(value));
    }
    static bool decode(const Decoder& decoder) { return detail::decodeBool(decoder); }
};

template <class T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool> &&
         !std::is_same_v<T, char>) struct Coding<T> {
    static std::string typeName() { return detail::integerTypeName<T>(); }
    static void encode(Encoder& encoder, T value) {
        if constexpr (std::is_signed_v<T>) {
            encoder.singleValueContainer().encodePrimitive(Value(static_cast<long long>(value)));
        } else {
            encoder.singleValueContainer().encodePrimitive(
                Value(static_cast<unsigned long long>(value)));
        }
    }
    static T decode(const Decoder& decoder) {
        if constexpr (std::is_signed_v<T>) {
            return static_cast<T>(detail::decodeSigned(
                decoder, typeName(), std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
        } else {
            return static_cast<T>(
                detail::decodeUnsigned(decoder, typeName(), std::numeric_limits<T>::max()));
        }
    }
};

template <class T>
requires std::is_floating_point_v<T>
struct Coding<T> {
    static std::string typeName() { return sizeof(T) == 4 ? "Float" : "Double"; }
    static void encode(Encoder& encoder, T value) {
        encoder.singleValueContainer().encodePrimitive(Value(static_cast<double>(value)));
    }
    static T decode(const Decoder& decoder) {
        return static_cast<T>(detail::decodeDouble(decoder, typeName()));
    }
};

template <> struct Coding<std::string> {
    static std::string typeName() { return "String"; }
    static void encode(Encoder& encoder, const std::string& value) {
        encoder.singleValueContainer().encodePrimitive(Value(value));
    }
    static std::string decode(const Decoder& decoder) { return detail::decodeString(decoder); }
};

// Any value, taken and given as it stands.
template <> struct Coding<Value> {
    static std::string typeName() { return "Any"; }
    static void encode(Encoder& encoder, const Value& value) {
        encoder.singleValueContainer().encodePrimitive(value);
    }
    static Value decode(const Decoder& decoder) { return decoder.value(); }
};

template <class T> struct Coding<std::optional<T>> {
    static std::string typeName() { return "Optional<" + codingTypeName<T>() + ">"; }
    static void encode(Encoder& encoder, const std::optional<T>& value) requires Encodable<T> {
        if (value) {
            Coding<T>::encode(encoder, *value);
        } else {
            encoder.singleValueContainer().encodeNil();
        }
    }
    static std::optional<T> decode(const Decoder& decoder) requires Decodable<T> {
        if (decoder.singleValueContainer().decodeNil()) {
            return std::nullopt;
        }
        return Coding<T>::decode(decoder);
    }
};

template <class T> struct Coding<std::vector<T>> {
    static std::string typeName() { return "Array<" + codingTypeName<T>() + ">"; }
    static void encode(Encoder& encoder, const std::vector<T>& values) requires Encodable<T> {
        auto container = encoder.unkeyedContainer();
        for (const T& value : values) {
            container.encode(value);
        }
    }
    static std::vector<T> decode(const Decoder& decoder) requires Decodable<T> {
        auto container = decoder.unkeyedContainer();
        std::vector<T> values;
        values.reserve(container.count());
        while (!container.isAtEnd()) {
            values.push_back(container.template decode<T>());
        }
        return values;
    }
};

template <class T> struct Coding<std::map<std::string, T>> {
    static std::string typeName() { return "Dictionary<String, " + codingTypeName<T>() + ">"; }
    static void encode(Encoder& encoder,
                       const std::map<std::string, T>& values) requires Encodable<T> {
        auto container = encoder.container();
        for (const auto& [key, value] : values) {
            container.encode(value, key);
        }
    }
    static std::map<std::string, T> decode(const Decoder& decoder) requires Decodable<T> {
        auto container = decoder.container();
        std::map<std::string, T> values;
        for (const CodingKey& key : container.allKeys()) {
            values.emplace(key.stringValue, container.template decode<T>(key.stringValue));
        }
        return values;
    }
};

// MARK: Template members

template <Encodable T> void SingleValueEncodingContainer::encode(const T& value) {
    Encoder encoder(path_, node_);
    Coding<T>::encode(encoder, value);
}

template <Encodable T> void UnkeyedEncodingContainer::encode(const T& value) {
    Encoder slotEncoder = appendSlot();
    Coding<T>::encode(slotEncoder, value);
}

template <Encodable T> void KeyedEncodingContainer::encode(const T& value, std::string_view key) {
    Encoder slotEncoder = slot(key);
    Coding<T>::encode(slotEncoder, value);
}

} // namespace zestrel::platform
