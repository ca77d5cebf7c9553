#include "platform/data/Coding.h"

#include "platform/base/CocoaError.h"

#include <fmt/format.h>

#include <cmath>

namespace zestrel::platform {

// MARK: Keys and errors

CodingKey CodingKey::index(int index) {
    return CodingKey{"Index " + std::to_string(index), index};
}

std::string CodingKey::description() const {
    return fmt::format("CodingKey(stringValue: {}, intValue: {})", debugQuoted(stringValue),
                       intValue ? std::to_string(*intValue) : "nil");
}

DecodingError::DecodingError(Case errorCase, std::string type, std::optional<CodingKey> key,
                             Context context)
    : case_(errorCase), type_(std::move(type)), key_(std::move(key)), context_(std::move(context)) {
}

Error DecodingError::typeMismatch(std::string type, Context context) {
    return Error::make<DecodingError>(Case::typeMismatch, std::move(type), std::nullopt,
                                      std::move(context));
}

Error DecodingError::valueNotFound(std::string type, Context context) {
    return Error::make<DecodingError>(Case::valueNotFound, std::move(type), std::nullopt,
                                      std::move(context));
}

Error DecodingError::keyNotFound(CodingKey key, Context context) {
    return Error::make<DecodingError>(Case::keyNotFound, std::string(), std::move(key),
                                      std::move(context));
}

Error DecodingError::dataCorrupted(Context context) {
    return Error::make<DecodingError>(Case::dataCorrupted, std::string(), std::nullopt,
                                      std::move(context));
}

std::string CodingErrorContext::describe(std::string_view errorType) const {
    std::string path;
    for (const CodingKey& key : codingPath) {
        path += (path.empty() ? "" : ", ") + key.description();
    }
    return fmt::format("{}.Context(codingPath: [{}], debugDescription: {}, underlyingError: {})",
                       errorType, path, debugQuoted(debugDescription),
                       underlyingError ? "Optional(" + underlyingError->debugDescribe() + ")"
                                       : "nil");
}

Value::Dictionary CodingErrorContext::userInfo() const {
    Value::Array path;
    for (const CodingKey& key : codingPath) {
        path.emplace_back(key.stringValue);
    }
    Value::Dictionary userInfo{{"NSCodingPath", Value(std::move(path))},
                               {NSDebugDescriptionErrorKey, Value(debugDescription)}};
    if (underlyingError) {
        userInfo.emplace(NSUnderlyingErrorKey, Value(*underlyingError));
    }
    return userInfo;
}

std::string DecodingError::describe() const {
    const std::string context = context_.describe("Swift.DecodingError");
    switch (case_) {
    case Case::typeMismatch:
        return fmt::format("typeMismatch({}, {})", type_, context);
    case Case::valueNotFound:
        return fmt::format("valueNotFound({}, {})", type_, context);
    case Case::keyNotFound:
        return fmt::format("keyNotFound({}, {})", key_->description(), context);
    case Case::dataCorrupted:
        break;
    }
    return fmt::format("dataCorrupted({})", context);
}

std::int64_t DecodingError::errorCode() const {
    return case_ == Case::valueNotFound || case_ == Case::keyNotFound ? NSCoderValueNotFoundError
                                                                      : NSCoderReadCorruptError;
}

Value::Dictionary DecodingError::errorUserInfo() const {
    return context_.userInfo();
}

// MARK: Encoding

namespace {

CodingPath appending(const CodingPath& path, CodingKey key) {
    CodingPath result = path;
    result.push_back(std::move(key));
    return result;
}

template <class Content> Content& contentAs(detail::EncodingNode& node, const char* kind) {
    if (std::holds_alternative<std::monostate>(node.content)) {
        node.content = Content{};
    }
    auto* content = std::get_if<Content>(&node.content);
    if (content == nullptr) {
        fatal(std::string("Attempt to push a new ") + kind +
              " encoding container when a value was already encoded at this path.");
    }
    return *content;
}

} // namespace

Value detail::EncodingNode::toValue() const {
    if (const auto* leaf = std::get_if<Value>(&content)) {
        return *leaf;
    }
    if (const auto* array = std::get_if<Array>(&content)) {
        Value::Array values;
        values.reserve(array->size());
        for (const auto& element : *array) {
            values.push_back(element->toValue());
        }
        return Value(std::move(values));
    }
    Value::Dictionary values;
    if (const auto* dictionary = std::get_if<Dictionary>(&content)) {
        for (const auto& [key, element] : *dictionary) {
            values.emplace(key, element->toValue());
        }
    }
    return Value(std::move(values));
}

void SingleValueEncodingContainer::encodeNil() {
    encodePrimitive(Value::null());
}

void SingleValueEncodingContainer::encodePrimitive(Value value) {
    if (!std::holds_alternative<std::monostate>(node_->content)) {
        fatal("Attempt to encode a single value where a value was already encoded.");
    }
    node_->content = std::move(value);
}

int UnkeyedEncodingContainer::count() const {
    return static_cast<int>(std::get<detail::EncodingNode::Array>(node_->content).size());
}

Encoder UnkeyedEncodingContainer::appendSlot() {
    auto& array = std::get<detail::EncodingNode::Array>(node_->content);
    auto slot = std::make_shared<detail::EncodingNode>();
    const int index = static_cast<int>(array.size());
    array.push_back(slot);
    return Encoder(appending(path_, CodingKey::index(index)), slot);
}

void UnkeyedEncodingContainer::encodeNil() {
    appendSlot().singleValueContainer().encodeNil();
}

UnkeyedEncodingContainer UnkeyedEncodingContainer::nestedUnkeyedContainer() {
    return appendSlot().unkeyedContainer();
}

KeyedEncodingContainer UnkeyedEncodingContainer::nestedContainer() {
    return appendSlot().container();
}

Encoder KeyedEncodingContainer::slot(std::string_view key) {
    auto& dictionary = std::get<detail::EncodingNode::Dictionary>(node_->content);
    // A key written again replaces what it held.
    auto slot = std::make_shared<detail::EncodingNode>();
    dictionary.insert_or_assign(std::string(key), slot);
    return Encoder(appending(path_, CodingKey::key(std::string(key))), slot);
}

void KeyedEncodingContainer::encodeNil(std::string_view key) {
    slot(key).singleValueContainer().encodeNil();
}

UnkeyedEncodingContainer KeyedEncodingContainer::nestedUnkeyedContainer(std::string_view key) {
    return slot(key).unkeyedContainer();
}

KeyedEncodingContainer KeyedEncodingContainer::nestedContainer(std::string_view key) {
    return slot(key).container();
}

UnkeyedEncodingContainer Encoder::unkeyedContainer() {
    contentAs<detail::EncodingNode::Array>(*node_, "unkeyed");
    return UnkeyedEncodingContainer(path_, node_);
}

KeyedEncodingContainer Encoder::container() {
    contentAs<detail::EncodingNode::Dictionary>(*node_, "keyed");
    return KeyedEncodingContainer(path_, node_);
}

SingleValueEncodingContainer Encoder::singleValueContainer() {
    return SingleValueEncodingContainer(path_, node_);
}

// MARK: Decoding

std::string detail::foundDescription(const Value& value) {
    switch (value.flattened().kind()) {
    case Value::Kind::absent:
    case Value::Kind::null:
        return "null";
    case Value::Kind::boolean:
        return "bool";
    case Value::Kind::integer:
    case Value::Kind::unsignedInteger:
    case Value::Kind::real:
        return "number";
    case Value::Kind::string:
        return "a string";
    case Value::Kind::array:
        return "an array";
    case Value::Kind::dictionary:
        return "a dictionary";
    case Value::Kind::data:
        return "data";
    case Value::Kind::date:
        return "a date";
    default:
        return "an object";
    }
}

namespace {

bool isNil(const Value& value) {
    const Value& flat = value.flattened();
    return flat.isNull() || flat.isAbsent();
}

[[noreturn]] void throwMismatch(const Decoder& decoder, const std::string& type) {
    if (isNil(decoder.value())) {
        throw DecodingError::valueNotFound(
            type, {decoder.codingPath(), "Expected " + type + " value but found null instead.",
                   std::nullopt});
    }
    throw DecodingError::typeMismatch(type,
                                      {decoder.codingPath(),
                                       "Expected to decode " + type + " but found " +
                                           detail::foundDescription(decoder.value()) + " instead.",
                                       std::nullopt});
}

[[noreturn]] void throwDoesNotFit(const Decoder& decoder, const std::string& type) {
    const Value& number = decoder.value().flattened();
    throw DecodingError::dataCorrupted(
        {decoder.codingPath(), "Number " + number.describe() + " does not fit in " + type + ".",
         std::nullopt});
}

} // namespace

bool detail::decodeBool(const Decoder& decoder) {
    if (auto value = decoder.value().flattened().asBool()) {
        return *value;
    }
    throwMismatch(decoder, "Bool");
}

std::int64_t detail::decodeSigned(const Decoder& decoder, const std::string& type, std::int64_t min,
                                  std::int64_t max) {
    const Value& value = decoder.value().flattened();
    if (!value.isNumber()) {
        throwMismatch(decoder, type);
    }
    auto number = value.asInt64();
    if (!number || *number < min || *number > max) {
        throwDoesNotFit(decoder, type);
    }
    return *number;
}

std::uint64_t detail::decodeUnsigned(const Decoder& decoder, const std::string& type,
                                     std::uint64_t max) {
    const Value& value = decoder.value().flattened();
    if (!value.isNumber()) {
        throwMismatch(decoder, type);
    }
    auto number = value.asUInt64();
    if (!number || *number > max) {
        throwDoesNotFit(decoder, type);
    }
    return *number;
}

double detail::decodeDouble(const Decoder& decoder, const std::string& type) {
    const Value& value = decoder.value().flattened();
    if (!value.isNumber()) {
        throwMismatch(decoder, type);
    }
    if (auto number = value.asDouble()) {
        return *number;
    }
    // A large integer that no double holds exactly still reads as the nearest double.
    if (auto number = value.asInt64()) {
        return static_cast<double>(*number);
    }
    return static_cast<double>(*value.asUInt64());
}

std::string detail::decodeString(const Decoder& decoder) {
    if (const std::string* text = decoder.value().flattened().asString()) {
        return *text;
    }
    throwMismatch(decoder, "String");
}

UnkeyedDecodingContainer Decoder::unkeyedContainer() const {
    const Value& value = value_.flattened();
    if (value.asArray() != nullptr) {
        return UnkeyedDecodingContainer(path_, value);
    }
    throwMismatch(*this, "Array<Any>");
}

KeyedDecodingContainer Decoder::container() const {
    const Value& value = value_.flattened();
    if (value.asDictionary() != nullptr) {
        return KeyedDecodingContainer(path_, value);
    }
    throwMismatch(*this, "Dictionary<String, Any>");
}

SingleValueDecodingContainer Decoder::singleValueContainer() const {
    return SingleValueDecodingContainer(*this);
}

bool SingleValueDecodingContainer::decodeNil() const {
    return isNil(decoder_.value());
}

Decoder UnkeyedDecodingContainer::next(const std::string& typeName) const {
    CodingPath path = appending(path_, CodingKey::index(index_));
    if (isAtEnd()) {
        throw DecodingError::valueNotFound(
            typeName, {std::move(path), "Unkeyed container is at end.", std::nullopt});
    }
    return Decoder(std::move(path), array()[index_]);
}

bool UnkeyedDecodingContainer::decodeNil() {
    if (isNil(next("Any?").value())) {
        ++index_;
        return true;
    }
    return false;
}

UnkeyedDecodingContainer UnkeyedDecodingContainer::nestedUnkeyedContainer() {
    auto nested = next("Array<Any>").unkeyedContainer();
    ++index_;
    return nested;
}

KeyedDecodingContainer UnkeyedDecodingContainer::nestedContainer() {
    auto nested = next("Dictionary<String, Any>").container();
    ++index_;
    return nested;
}

std::vector<CodingKey> KeyedDecodingContainer::allKeys() const {
    std::vector<CodingKey> keys;
    keys.reserve(dictionary().size());
    for (const auto& entry : dictionary()) {
        keys.push_back(CodingKey::key(entry.first));
    }
    return keys;
}

bool KeyedDecodingContainer::contains(std::string_view key) const {
    return dictionary().find(std::string(key)) != dictionary().end();
}

Decoder KeyedDecodingContainer::element(std::string_view key) const {
    auto found = dictionary().find(std::string(key));
    if (found == dictionary().end()) {
        const CodingKey missing = CodingKey::key(std::string(key));
        throw DecodingError::keyNotFound(missing,
                                         {path_,
                                          "No value associated with key " + missing.description() +
                                              " (" + debugQuoted(missing.stringValue) + ").",
                                          std::nullopt});
    }
    return Decoder(appending(path_, CodingKey::key(std::string(key))), found->second);
}

bool KeyedDecodingContainer::decodeNil(std::string_view key) const {
    return isNil(element(key).value());
}

UnkeyedDecodingContainer
KeyedDecodingContainer::nestedUnkeyedContainer(std::string_view key) const {
    return element(key).unkeyedContainer();
}

KeyedDecodingContainer KeyedDecodingContainer::nestedContainer(std::string_view key) const {
    return element(key).container();
}

} // namespace zestrel::platform
