#include "platform/data/Formatters.h"

#include <array>
#include <cmath>
#include <fmt/format.h>

namespace zestrel::platform {

// MARK: ByteCountFormatter

namespace {

struct ByteUnit {
    const char* name;
    std::uint64_t size;
    int fractionDigits;
};

constexpr std::array<ByteUnit, 6> kByteUnits{{
    {"KB", 1'000ull, 0},
    {"MB", 1'000'000ull, 1},
    {"GB", 1'000'000'000ull, 2},
    {"TB", 1'000'000'000'000ull, 2},
    {"PB", 1'000'000'000'000'000ull, 2},
    {"EB", 1'000'000'000'000'000'000ull, 2},
}};

std::uint64_t powerOfTen(int exponent) {
    std::uint64_t result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= 10;
    }
    return result;
}

// The count in units of `size / 10^digits`, rounded to the nearest, ties to even.
std::uint64_t roundedCount(std::uint64_t magnitude, const ByteUnit& unit) {
    const std::uint64_t divisor = unit.size / powerOfTen(unit.fractionDigits);
    std::uint64_t quotient = magnitude / divisor;
    const std::uint64_t remainder = magnitude % divisor;
    if (2 * remainder > divisor || (2 * remainder == divisor && quotient % 2 == 1)) {
        ++quotient;
    }
    return quotient;
}

} // namespace

std::string ByteCountFormatter::string(std::int64_t byteCount) {
    if (byteCount == 0) {
        return "Zero KB";
    }
    const std::string sign = byteCount < 0 ? "-" : "";
    const std::uint64_t magnitude = byteCount < 0 ? 0 - static_cast<std::uint64_t>(byteCount)
                                                  : static_cast<std::uint64_t>(byteCount);
    if (magnitude < kByteUnits.front().size) {
        return fmt::format("{}{} {}", sign, magnitude, magnitude == 1 ? "byte" : "bytes");
    }
    std::size_t index = 0;
    while (index + 1 < kByteUnits.size() && magnitude >= kByteUnits[index + 1].size) {
        ++index;
    }
    std::uint64_t count = roundedCount(magnitude, kByteUnits[index]);
    // Rounding up may reach the next unit: 999 999 bytes are "1 MB", not "1000 KB".
    while (index + 1 < kByteUnits.size() &&
           count >= 1000 * powerOfTen(kByteUnits[index].fractionDigits)) {
        ++index;
        count = roundedCount(magnitude, kByteUnits[index]);
    }
    const ByteUnit& unit = kByteUnits[index];
    const std::uint64_t scale = powerOfTen(unit.fractionDigits);
    std::string text = fmt::format("{}{}", sign, count / scale);
    if (unit.fractionDigits > 0 && count % scale != 0) {
        std::string fraction = fmt::format("{:0{}}", count % scale, unit.fractionDigits);
        while (fraction.back() == '0') {
            fraction.pop_back();
        }
        text += "." + fraction;
    }
    return text + " " + unit.name;
}

// MARK: DateComponentsFormatter

namespace {

struct TimeUnit {
    DateComponentsFormatter::Unit unit;
    std::uint64_t seconds;
    const char* abbreviation;
};

constexpr std::array<TimeUnit, 4> kTimeUnits{{
    {DateComponentsFormatter::Unit::day, 86400, "d"},
    {DateComponentsFormatter::Unit::hour, 3600, "h"},
    {DateComponentsFormatter::Unit::minute, 60, "m"},
    {DateComponentsFormatter::Unit::second, 1, "s"},
}};

} // namespace

void DateComponentsFormatter::setAllowedUnits(std::initializer_list<Unit> units) {
    allowedUnits_ = 0;
    for (const Unit unit : units) {
        allowedUnits_ |= static_cast<unsigned>(unit);
    }
    if (allowedUnits_ == 0) {
        allowedUnits_ = kDefaultUnits;
    }
}

std::optional<std::string> DateComponentsFormatter::string(double timeInterval) const {
    if (!std::isfinite(timeInterval) || std::fabs(timeInterval) >= 0x1p63) {
        return std::nullopt;
    }
    std::uint64_t remaining = static_cast<std::uint64_t>(std::fabs(timeInterval));
    std::string text;
    const char* smallest = "s";
    for (const TimeUnit& unit : kTimeUnits) {
        if ((allowedUnits_ & static_cast<unsigned>(unit.unit)) == 0) {
            continue;
        }
        smallest = unit.abbreviation;
        const std::uint64_t count = remaining / unit.seconds;
        remaining %= unit.seconds;
        if (count > 0) {
            text += fmt::format("{}{}{}", text.empty() ? "" : " ", count, unit.abbreviation);
        }
    }
    if (text.empty()) {
        return fmt::format("0{}", smallest);
    }
    return timeInterval < 0 ? "-" + text : text;
}

} // namespace zestrel::platform
