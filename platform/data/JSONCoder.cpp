#include "platform/data/JSONCoder.h"

#include <fmt/format.h>

#include <array>
#include <cmath>

namespace zestrel::platform {

// MARK: Encoding errors

EncodingError::EncodingError(Value value, Context context)
    : value_(std::move(value)), context_(std::move(context)) {}

Error EncodingError::invalidValue(Value value, Context context) {
    return Error::make<EncodingError>(std::move(value), std::move(context));
}

std::string EncodingError::describe() const {
    return fmt::format("invalidValue({}, {})", value_.debugDescribe(),
                       context_.describe("Swift.EncodingError"));
}

Value::Dictionary EncodingError::errorUserInfo() const {
    return context_.userInfo();
}

// MARK: Base64

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Digit(char c) {
    const auto position = kBase64Alphabet.find(c);
    return position == std::string_view::npos ? -1 : static_cast<int>(position);
}

} // namespace

std::string base64EncodedString(const Data& data) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, data.size() - i);
        std::uint32_t group = std::uint32_t{data[i]} << 16;
        if (count > 1) {
            group |= std::uint32_t{data[i + 1]} << 8;
        }
        if (count > 2) {
            group |= data[i + 2];
        }
        for (std::size_t k = 0; k < 4; ++k) {
            text += k <= count ? kBase64Alphabet[(group >> (18 - 6 * k)) & 0x3f] : '=';
        }
    }
    return text;
}

std::optional<Data> base64Decoded(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    Data data;
    data.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::size_t padding = 0;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            int digit = 0;
            if (c == '=' && last && k >= 2) {
                ++padding;
            } else if (padding > 0 || (digit = base64Digit(c)) < 0) {
                return std::nullopt; // a digit after padding, or not a digit at all
            }
            group = (group << 6) | static_cast<std::uint32_t>(digit);
        }
        data.push_back(static_cast<std::uint8_t>(group >> 16));
        if (padding < 2) {
            data.push_back(static_cast<std::uint8_t>(group >> 8));
        }
        if (padding < 1) {
            data.push_back(static_cast<std::uint8_t>(group));
        }
    }
    return data;
}

// MARK: Platform leaf types

Data Coding<Data>::decode(const Decoder& decoder) {
    if (const Data* data = decoder.value().flattened().asData()) {
        return *data;
    }
    if (auto data = base64Decoded(detail::decodeString(decoder))) {
        return *data;
    }
    throw DecodingError::dataCorrupted(
        {decoder.codingPath(), "Encountered Data is not valid Base64.", std::nullopt});
}

URL Coding<URL>::decode(const Decoder& decoder) {
    if (const URL* url = decoder.value().flattened().asURL()) {
        return *url;
    }
    if (auto url = URL::parse(detail::decodeString(decoder))) {
        return *url;
    }
    throw DecodingError::dataCorrupted({decoder.codingPath(), "Invalid URL string.", std::nullopt});
}

UUID Coding<UUID>::decode(const Decoder& decoder) {
    if (auto uuid = decoder.value().flattened().asUUID()) {
        return *uuid;
    }
    const std::string text = detail::decodeString(decoder);
    if (auto uuid = UUID::parse(text)) {
        return *uuid;
    }
    throw DecodingError::dataCorrupted(
        {decoder.codingPath(), "Attempted to decode UUID from invalid UUID string.", std::nullopt});
}

// MARK: Encoder and decoder

namespace {

Value jsonReadyAt(const Value& node, CodingPath& path) {
    const Value& value = node.flattened();
    switch (value.kind()) {
    case Value::Kind::data:
        return Value(base64EncodedString(*value.asData()));
    case Value::Kind::url:
        return Value(value.asURL()->absoluteString());
    case Value::Kind::uuid:
        return Value(value.asUUID()->uuidString());
    case Value::Kind::date:
        return Value(value.asDate()->timeIntervalSinceReferenceDate);
    case Value::Kind::real:
        if (!std::isfinite(*value.asDouble())) {
            throw EncodingError::invalidValue(value, {path,
                                                      "Unable to encode Double." +
                                                          describeDouble(*value.asDouble()) +
                                                          " directly in JSON.",
                                                      std::nullopt});
        }
        return value;
    case Value::Kind::array: {
        Value::Array elements;
        const Value::Array& array = *value.asArray();
        elements.reserve(array.size());
        for (std::size_t i = 0; i < array.size(); ++i) {
            path.push_back(CodingKey::index(static_cast<int>(i)));
            elements.push_back(jsonReadyAt(array[i], path));
            path.pop_back();
        }
        return Value(std::move(elements));
    }
    case Value::Kind::dictionary: {
        Value::Dictionary entries;
        for (const auto& [key, element] : *value.asDictionary()) {
            path.push_back(CodingKey::key(key));
            entries.emplace(key, jsonReadyAt(element, path));
            path.pop_back();
        }
        return Value(std::move(entries));
    }
    default:
        return value;
    }
}

} // namespace

Value detail::jsonReady(const Value& tree) {
    CodingPath path;
    return jsonReadyAt(tree, path);
}

Value JSONDecoder::parse(std::string_view text) {
    try {
        return JSONSerialization::jsonObject(text, {.allowFragments = true});
    } catch (const Error& error) {
        throw DecodingError::dataCorrupted({{}, "The given data was not valid JSON.", error});
    }
}

} // namespace zestrel::platform
