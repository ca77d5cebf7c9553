#include "foundation/TextUtilities.h"

#include <fmt/format.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cmath>

namespace zestrel {

namespace {

void appendLine(std::string& text, const std::string& key, const platform::Value& value) {
    if (!text.empty()) {
        text += '\n';
    }
    text += key;
    text += ": ";
    text += value.describe();
}

std::string sizeComponentText(double value) {
    if (std::fmod(value, 1.0) == 0) {
        return fmt::format("{:.0f}", value);
    }
    return platform::describeDouble(value);
}

double roundedByRule(double value, FloatingPointRoundingRule rule) {
    switch (rule) {
    case FloatingPointRoundingRule::toNearestOrAwayFromZero:
        return std::round(value);
    case FloatingPointRoundingRule::toNearestOrEven: {
        const double nearest = std::round(value);
        // A tie rounded away from zero lands on an odd number: step back toward zero.
        if (std::fabs(nearest - value) == 0.5 && std::fmod(nearest, 2.0) != 0) {
            return nearest - std::copysign(1.0, value);
        }
        return nearest;
    }
    case FloatingPointRoundingRule::up:
        return std::ceil(value);
    case FloatingPointRoundingRule::down:
        return std::floor(value);
    case FloatingPointRoundingRule::towardZero:
        return std::trunc(value);
    case FloatingPointRoundingRule::awayFromZero:
        return value < 0 ? std::floor(value) : std::ceil(value);
    }
    return value;
}

} // namespace

std::string keyValueLines(const OrderedDictionary<std::string, platform::Value>& dictionary) {
    std::string text;
    for (const std::string& key : dictionary.orderedKeys()) {
        appendLine(text, key, dictionary.valuesDictionary().at(key));
    }
    return text;
}

std::string keyValueLines(const platform::Value::Dictionary& dictionary) {
    std::string text;
    for (const auto& [key, value] : dictionary) {
        appendLine(text, key, value);
    }
    return text;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        text += parts[i];
    }
    return text;
}

std::string sizeText(const platform::CGSize& size) {
    return sizeComponentText(size.width) + "\u00D7" + sizeComponentText(size.height);
}

double rounded(double value, int places, FloatingPointRoundingRule rule) {
    if (places < 0) {
        return value;
    }
    double scale = 1;
    for (int i = 0; i < places; ++i) {
        scale *= 10;
    }
    return roundedByRule(value * scale, rule) / scale;
}

std::string trimmingWhitespaceAndNewlines(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    auto isBlank = [](UChar32 c) { return c >= 0 && u_isUWhiteSpace(c); };

    std::int32_t start = 0;
    while (start < length) {
        std::int32_t next = start;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (!isBlank(c)) {
            break;
        }
        start = next;
    }
    std::int32_t end = length;
    while (end > start) {
        std::int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, start, previous, c);
        if (isBlank(c)) {
            end = previous;
        } else {
            break;
        }
    }
    return std::string(
        text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

} // namespace zestrel
