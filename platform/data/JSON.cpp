#include "platform/data/JSON.h"

#include "platform/base/CocoaError.h"
#include "platform/base/Error.h"

#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <limits>
#include <nlohmann/json.hpp>

namespace zestrel::platform {

namespace {

Error readError(std::string debugDescription) {
    return dataReadCorruptError(NSPropertyListReadCorruptError, std::move(debugDescription));
}

Value toValue(const nlohmann::json& json, int depth) {
    if (depth > JSONSerialization::kMaximumDepth) {
        throw readError("Too many nested arrays or dictionaries.");
    }
    using Type = nlohmann::json::value_t;
    switch (json.type()) {
    case Type::null:
        return Value::null();
    case Type::boolean:
        return Value(json.get<bool>());
    case Type::number_integer:
        return Value(json.get<std::int64_t>());
    case Type::number_unsigned: {
        const auto number = json.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return Value(static_cast<std::int64_t>(number));
        }
        return Value(number);
    }
    case Type::number_float:
        return Value(json.get<double>());
    case Type::string:
        return Value(json.get_ref<const std::string&>());
    case Type::array: {
        Value::Array array;
        array.reserve(json.size());
        for (const auto& element : json) {
            array.push_back(toValue(element, depth + 1));
        }
        return Value(std::move(array));
    }
    case Type::object: {
        Value::Dictionary dictionary;
        for (const auto& [key, element] : json.items()) {
            dictionary.insert_or_assign(key, toValue(element, depth + 1));
        }
        return Value(std::move(dictionary));
    }
    case Type::binary:
    case Type::discarded:
        break;
    }
    throw readError("Invalid value.");
}

class Writer {
public:
    explicit Writer(JSONWritingOptions options) : options_(options) {}

    void write(const Value& value, int indent) {
        switch (value.kind()) {
        case Value::Kind::null:
            out_ += "null";
            return;
        case Value::Kind::boolean:
            out_ += *value.asBool() ? "true" : "false";
            return;
        case Value::Kind::integer:
            out_ += fmt::format("{}", *value.asInt64());
            return;
        case Value::Kind::unsignedInteger:
            out_ += fmt::format("{}", *value.asUInt64());
            return;
        case Value::Kind::real:
            writeDouble(*value.asDouble());
            return;
        case Value::Kind::string:
            writeString(*value.asString());
            return;
        case Value::Kind::array:
            writeArray(*value.asArray(), indent);
            return;
        case Value::Kind::dictionary:
            writeDictionary(*value.asDictionary(), indent);
            return;
        case Value::Kind::optional:
            write(*value.unwrapped(), indent);
            return;
        default:
            throw dataWriteInvalidError(
                fmt::format("Invalid type in JSON write ({}).", value.typeName()));
        }
    }

    std::string take() { return std::move(out_); }

private:
    void writeDouble(double number) {
        if (std::isnan(number)) {
            throw dataWriteInvalidError("Unable to encode Double.nan directly in JSON.");
        }
        if (std::isinf(number)) {
            throw dataWriteInvalidError(number < 0
                                            ? "Unable to encode -Double.infinity directly in JSON."
                                            : "Unable to encode Double.infinity directly in JSON.");
        }
        std::string text = describeDouble(number);
        // "-0" would read back as the integer 0, so negative zero keeps its fraction.
        if (text.ends_with(".0") && text != "-0.0") {
            text.resize(text.size() - 2);
        }
        out_ += text;
    }

    void writeString(std::string_view text) {
        out_ += '"';
        for (const char c : text) {
            switch (c) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '/':
                out_ += options_.withoutEscapingSlashes ? "/" : "\\/";
                break;
            case '\b':
                out_ += "\\b";
                break;
            case '\f':
                out_ += "\\f";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\t':
                out_ += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out_ += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
                } else {
                    out_ += c;
                }
            }
        }
        out_ += '"';
    }

    void writeArray(const Value::Array& array, int indent) {
        if (array.empty()) {
            out_ += "[]";
            return;
        }
        out_ += '[';
        bool first = true;
        for (const Value& element : array) {
            separate(first, indent + 1);
            write(element, indent + 1);
        }
        close(indent, ']');
    }

    // std::map already iterates in UTF-8 byte order, which is what `sortedKeys` asks for.
    void writeDictionary(const Value::Dictionary& dictionary, int indent) {
        if (dictionary.empty()) {
            out_ += "{}";
            return;
        }
        out_ += '{';
        bool first = true;
        for (const auto& [key, element] : dictionary) {
            separate(first, indent + 1);
            writeString(key);
            out_ += options_.prettyPrinted ? " : " : ":";
            write(element, indent + 1);
        }
        close(indent, '}');
    }

    void separate(bool& first, int indent) {
        if (!first) {
            out_ += ',';
        }
        first = false;
        newline(indent);
    }

    void close(int indent, char bracket) {
        newline(indent);
        out_ += bracket;
    }

    void newline(int indent) {
        if (options_.prettyPrinted) {
            out_ += '\n';
            out_.append(static_cast<std::size_t>(indent) * 2, ' ');
        }
    }

    JSONWritingOptions options_;
    std::string out_;
};

} // namespace

Value JSONSerialization::jsonObject(std::string_view text, JSONReadingOptions options) {
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::parse_error& error) {
        if (std::string_view(error.what()).find("expected end of input") !=
            std::string_view::npos) {
            throw readError("Garbage at end.");
        }
        throw readError(fmt::format("Invalid value around character {}.",
                                    error.byte == 0 ? 0 : error.byte - 1));
    } catch (const nlohmann::json::exception&) {
        throw readError("Number out of range.");
    }
    if (!options.allowFragments && !json.is_array() && !json.is_object()) {
        throw readError("JSON text did not start with array or object and option to allow "
                        "fragments not set.");
    }
    return toValue(json, 1);
}

Value JSONSerialization::jsonObject(const Data& data, JSONReadingOptions options) {
    return jsonObject(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                      options);
}

std::string JSONSerialization::string(const Value& value, JSONWritingOptions options) {
    Writer writer(options);
    writer.write(value, 0);
    return writer.take();
}

Data JSONSerialization::data(const Value& value, JSONWritingOptions options) {
    const std::string text = string(value, options);
    return Data(text.begin(), text.end());
}

} // namespace zestrel::platform
