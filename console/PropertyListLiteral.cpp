#include "console/PropertyListLiteral.h"

#include "console/ConsoleText.h"
#include "console/ScriptCommand.h"
#include "platform/base/UTF8.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace zestrel::console {

using platform::Value;

namespace {

// Each character a quoted string escapes, and the letter after the backslash.
constexpr std::pair<char, char> kEscapes[] = {
    {'\n', 'n'}, {'\t', 't'}, {'\r', 'r'}, {'"', '"'}, {'\\', '\\'}};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text), whole_(text) {}

    Value document() {
        Value value = parse();
        skipSpaces();
        if (!text_.empty()) {
            fail("unexpected “" + std::string(text_) + "” after the value");
        }
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        // A long value is named by its start, so the message stays readable.
        throw CommandError("“" + startOf(whole_, 40) + "” is not a property-list value: " + why +
                           " (write true, false, a number, a \"quoted string\" or an array "
                           "like (1, \"two\"))");
    }

    void skipSpaces() {
        while (!text_.empty() && (text_.front() == ' ' || text_.front() == '\t')) {
            text_.remove_prefix(1);
        }
    }

    Value parse() {
        skipSpaces();
        if (text_.empty()) {
            fail("a value is missing");
        }
        const char c = text_.front();
        if (c == '"') {
            return quoted();
        }
        if (c == '(') {
            return array();
        }
        if (c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9')) {
            return number();
        }
        const auto word = bareWord();
        if (word == "true") {
            return true;
        }
        if (word == "false") {
            return false;
        }
        fail(word.empty() ? "unexpected “" + std::string(1, c) + "”"
                          : "“" + std::string(word) + "” needs double quotes to be a string");
    }

    std::string_view bareWord() {
        std::size_t length = 0;
        while (length < text_.size() && text_[length] != ',' && text_[length] != ')' &&
               text_[length] != ' ' && text_[length] != '\t') {
            ++length;
        }
        const auto word = text_.substr(0, length);
        text_.remove_prefix(length);
        return word;
    }

    Value quoted() {
        text_.remove_prefix(1);
        std::string out;
        for (;;) {
            if (text_.empty()) {
                fail("a quoted string has no closing quote");
            }
            const char c = text_.front();
            text_.remove_prefix(1);
            if (c == '"') {
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (text_.empty()) {
                fail("a quoted string ends in a backslash");
            }
            try {
                out += takeEscape(text_);
            } catch (const CommandError& error) {
                fail(error.message());
            }
        }
    }

    Value array() {
        if (depth_ == kDeepestNesting) {
            fail("arrays nest deeper than " + std::to_string(kDeepestNesting) + " levels");
        }
        const DepthGuard nested(depth_);
        text_.remove_prefix(1);
        Value::Array elements;
        skipSpaces();
        if (!text_.empty() && text_.front() == ')') {
            text_.remove_prefix(1);
            return elements;
        }
        for (;;) {
            elements.push_back(parse());
            skipSpaces();
            if (text_.empty()) {
                fail("an array has no closing parenthesis");
            }
            const char c = text_.front();
            text_.remove_prefix(1);
            if (c == ')') {
                return elements;
            }
            if (c != ',') {
                fail(std::string("expected “,” or “)” in an array, not “") + c + "”");
            }
        }
    }

    Value number() {
        const auto word = bareWord();
        std::string_view digits = word.starts_with('+') ? word.substr(1) : word;
        std::int64_t integer = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), integer);
        if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty()) {
            return integer;
        }
        double real = 0;
        auto [realEnd, realError] =
            std::from_chars(digits.data(), digits.data() + digits.size(), real);
        if (realError == std::errc() && realEnd == digits.data() + digits.size() &&
            !digits.empty() && std::isfinite(real)) {
            return real;
        }
        fail("“" + std::string(word) + "” is not a number");
    }

    struct DepthGuard {
        explicit DepthGuard(int& counter) : depth(counter) { ++depth; }
        ~DepthGuard() { --depth; }
        int& depth;
    };

    std::string_view text_;
    std::string_view whole_;
    int depth_ = 0;
};

} // namespace

Value parsePropertyListLiteral(std::string_view text) {
    return Parser(text).document();
}

std::optional<char> escapeLetter(char c) {
    for (const auto& [character, letter] : kEscapes) {
        if (c == character) {
            return letter;
        }
    }
    return std::nullopt;
}

std::optional<char> escapedCharacter(char letter) {
    for (const auto& [character, written] : kEscapes) {
        if (letter == written) {
            return character;
        }
    }
    return std::nullopt;
}

namespace {

// The number that the hexadecimal digits at the front of `text` write, when `digits` of them
// (`exactly`) or 1 to `digits` are there; they are removed.
std::optional<std::uint32_t> takeHexadecimal(std::string_view& text, std::size_t digits,
                                             bool exactly) {
    std::uint32_t number = 0;
    const auto [end, failure] =
        std::from_chars(text.data(), text.data() + std::min(digits, text.size()), number, 16);
    const auto taken = static_cast<std::size_t>(end - text.data());
    if (failure != std::errc() || (exactly && taken != digits)) {
        return std::nullopt;
    }
    text.remove_prefix(taken);
    return number;
}

} // namespace

std::optional<Escape> escapeAt(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string_view whole = text;
    const char letter = text.front();
    text.remove_prefix(1);
    std::optional<std::uint32_t> number;
    if (const auto escaped = escapedCharacter(letter)) {
        number = static_cast<unsigned char>(*escaped);
    } else if (letter == 'x') {
        number = takeHexadecimal(text, 2, true);
    } else if (letter == 'u' && text.starts_with('{')) {
        text.remove_prefix(1);
        number = takeHexadecimal(text, 6, false);
        if (!text.starts_with('}')) {
            return std::nullopt;
        }
        text.remove_prefix(1);
    }
    if (!number) {
        return std::nullopt;
    }
    return Escape{letter, *number, whole.size() - text.size()};
}

std::string takeEscape(std::string_view& text) {
    // Named without their backslash: the message shows a backslash doubled, as every reply.
    const auto escape = escapeAt(text);
    if (!escape) {
        if (text.front() == 'x') {
            throw CommandError("the escape “x” takes two hexadecimal digits, as in “xFF”");
        }
        if (text.front() == 'u') {
            throw CommandError("the escape “u” takes a character's hexadecimal number in "
                               "braces, as in “u{202E}”");
        }
        throw CommandError("unknown escape “" + std::string(1, text.front()) +
                           "” after a backslash");
    }
    text.remove_prefix(escape->length);
    if (escape->letter != 'x' && escape->letter != 'u') {
        return std::string(1, static_cast<char>(escape->number));
    }
    if (escape->number == 0) {
        throw CommandError("a NUL character cannot be written");
    }
    if (escape->letter == 'x') {
        return std::string(1, static_cast<char>(escape->number));
    }
    if (escape->number > 0x10FFFF || (escape->number >= 0xD800 && escape->number <= 0xDFFF)) {
        throw CommandError("the escape “u{" + fmt::format("{:X}", escape->number) +
                           "}” is no character");
    }
    return platform::encodeUTF8(static_cast<char32_t>(escape->number));
}

std::string quotedString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (const auto letter = escapeLetter(c)) {
            out += '\\';
            out += *letter;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string propertyListLiteral(const Value& value) {
    using Kind = Value::Kind;
    switch (value.kind()) {
    case Kind::boolean:
        return *value.asBool() ? "true" : "false";
    case Kind::integer:
        return std::to_string(*value.asInt64());
    case Kind::unsignedInteger:
        return std::to_string(*value.asUInt64());
    case Kind::real: {
        char buffer[64];
        const double real = *value.asDouble();
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, real);
        std::string text(buffer, error == std::errc() ? end : buffer);
        // A whole real still reads as a real.
        if (text.find_first_of(".eEn") == std::string::npos) {
            text += ".0";
        }
        return text;
    }
    case Kind::string:
        return quotedString(*value.asString());
    case Kind::data: {
        std::string out = "<";
        for (const auto byte : *value.asData()) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", byte);
            out += hex;
        }
        return out + ">";
    }
    case Kind::date:
        return quotedString(value.asDate()->description());
    case Kind::array: {
        std::string out = "(";
        bool first = true;
        for (const auto& element : *value.asArray()) {
            out += first ? "" : ", ";
            out += propertyListLiteral(element);
            first = false;
        }
        return out + ")";
    }
    case Kind::dictionary: {
        std::string out = "{";
        for (const auto& [key, element] : *value.asDictionary()) {
            out += quotedString(key) + " = " + propertyListLiteral(element) + "; ";
        }
        return out + "}";
    }
    case Kind::absent:
        return "<absent>";
    default:
        return "<not a property-list value>";
    }
}

} // namespace zestrel::console
