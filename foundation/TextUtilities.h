#pragma once

#include "foundation/OrderedDictionary.h"
#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zestrel {

// One "key: value" line per entry in key order, joined by "\n" (none after the last line).
// Values are written as printing shows them: texts bare, optionals as Optional(...) or nil.
std::string keyValueLines(const OrderedDictionary<std::string, platform::Value>& dictionary);
// The same, in the dictionary's own iteration order.
std::string keyValueLines(const platform::Value::Dictionary& dictionary);

// Merges `other` into `target` in place; where both hold a key, `other`'s value wins.
template <class V>
void merge(std::map<std::string, V>& target, const std::map<std::string, V>& other) {
    for (const auto& [key, value] : other) {
        target.insert_or_assign(key, value);
    }
}
template <class V>
void merge(std::unordered_map<std::string, V>& target,
           const std::unordered_map<std::string, V>& other) {
    for (const auto& [key, value] : other) {
        target.insert_or_assign(key, value);
    }
}

// "1920×1080": whole numbers without a fraction, others in their shortest form ("10×20.5").
std::string sizeText(const platform::CGSize& size);

enum class FloatingPointRoundingRule {
    toNearestOrAwayFromZero,
    toNearestOrEven,
    up,
    down,
    towardZero,
    awayFromZero,
};

// The value times 10^places, rounded by `rule`, divided by 10^places, all in double
// arithmetic (so 1.005 to two places gives 1.0). Negative `places` answer the value.
double rounded(double value, int places, FloatingPointRoundingRule rule);

// 1970-01-01 00:00:00 UTC.
inline platform::Date epoch() {
    return platform::Date::fromTimeIntervalSince1970(0);
}

// The parts with the separator between them ("a, b"); empty for none.
std::string joined(const std::vector<std::string>& parts, std::string_view separator);

// Trims Unicode white space and line breaks at both ends.
std::string trimmingWhitespaceAndNewlines(std::string_view text);

} // namespace zestrel
