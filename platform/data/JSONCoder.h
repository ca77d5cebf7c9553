#pragma once

#include "platform/base/CocoaError.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/data/Coding.h"
#include "platform/data/JSON.h"

#include <optional>
#include <string>
#include <string_view>

// `JSONEncoder` and `JSONDecoder`: coded values as JSON text, with the platform's default
// strategies. A date is its own coded form, seconds since 2001-01-01 as a number; data is
// Base64 text; a URL is its absolute text; a UUID is its upper-case text.

namespace zestrel::platform {

// Why encoding failed: the value that could not be written and where it was.
class EncodingError final : public ErrorBody {
public:
    using Context = CodingErrorContext;

    static Error invalidValue(Value value, Context context);

    const Value& value() const { return value_; }
    const Context& context() const { return context_; }

    std::string typeName() const override { return "Swift.EncodingError"; }
    // "invalidValue(nan, Swift.EncodingError.Context(codingPath: [...], ...))".
    std::string describe() const override;
    std::string debugDescribe() const override { return "Swift.EncodingError." + describe(); }
    std::string errorDomain() const override { return NSCocoaErrorDomain; }
    // NSCoderInvalidValueError.
    std::int64_t errorCode() const override { return NSCoderInvalidValueError; }
    Value::Dictionary errorUserInfo() const override;

    EncodingError(Value value, Context context);

private:
    Value value_;
    Context context_;
};

// Standard Base64 with padding. Decoding accepts exactly that form (no white space).
std::string base64EncodedString(const Data& data);
std::optional<Data> base64Decoded(std::string_view text);

template <> struct Coding<Date> {
    static std::string typeName() { return "Date"; }
    static void encode(Encoder& encoder, const Date& date) {
        encoder.singleValueContainer().encodePrimitive(Value(date.timeIntervalSinceReferenceDate));
    }
    static Date decode(const Decoder& decoder) {
        if (auto date = decoder.value().flattened().asDate()) {
            return *date;
        }
        return Date{detail::decodeDouble(decoder, "Double")};
    }
};

// Kept as a data leaf, which the JSON encoder writes as Base64 text.
template <> struct Coding<Data> {
    static std::string typeName() { return "Data"; }
    static void encode(Encoder& encoder, const Data& data) {
        encoder.singleValueContainer().encodePrimitive(Value(data));
    }
    static Data decode(const Decoder& decoder);
};

// Kept as a URL leaf, which the JSON encoder writes as the absolute text.
template <> struct Coding<URL> {
    static std::string typeName() { return "URL"; }
    static void encode(Encoder& encoder, const URL& url) {
        encoder.singleValueContainer().encodePrimitive(Value(url));
    }
    static URL decode(const Decoder& decoder);
};

template <> struct Coding<UUID> {
    static std::string typeName() { return "UUID"; }
    static void encode(Encoder& encoder, const UUID& uuid) {
        encoder.singleValueContainer().encodePrimitive(Value(uuid.uuidString()));
    }
    static UUID decode(const Decoder& decoder);
};

namespace detail {
// The encoded tree with every data leaf as Base64 text and every URL and UUID leaf as text;
// a non-finite number throws `EncodingError.invalidValue` naming its place.
Value jsonReady(const Value& tree);
} // namespace detail

class JSONEncoder {
public:
    struct OutputFormatting {
        bool prettyPrinted = false;
        bool sortedKeys = false;
        bool withoutEscapingSlashes = false;
    };
    OutputFormatting outputFormatting;

    // Throws `EncodingError` for a value JSON cannot hold.
    template <Encodable T> std::string encodeToString(const T& value) const {
        return JSONSerialization::string(detail::jsonReady(ValueEncoder().encode(value)),
                                         {outputFormatting.prettyPrinted,
                                          outputFormatting.sortedKeys,
                                          outputFormatting.withoutEscapingSlashes});
    }
    template <Encodable T> Data encode(const T& value) const {
        const std::string text = encodeToString(value);
        return Data(text.begin(), text.end());
    }
};

class JSONDecoder {
public:
    // Top-level fragments (a bare number, Boolean or string) are accepted. Throws the JSON
    // reader's error for text that is not JSON (wrapped as `DecodingError.dataCorrupted`,
    // "The given data was not valid JSON.") and `DecodingError` for JSON of another shape.
    template <Decodable T> T decode(std::string_view text) const {
        return ValueDecoder().decode<T>(parse(text));
    }
    template <Decodable T> T decode(const Data& data) const {
        return decode<T>(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    }

private:
    static Value parse(std::string_view text);
};

} // namespace zestrel::platform
