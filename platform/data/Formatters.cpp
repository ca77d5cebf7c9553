#include "platform/data/Formatters.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <ctime>
#include <fmt/format.h>

namespace zestrel::platform {

// MARK: ByteCountFormatter

namespace {

struct ByteUnit {
    const char* name;
    std::uint64_t size;
    int fractionDigits;
};

constexpr std::array<ByteUnit, 6> kDecimalUnits{{
    {"KB", 1'000ull, 0},
    {"MB", 1'000'000ull, 1},
    {"GB", 1'000'000'000ull, 2},
    {"TB", 1'000'000'000'000ull, 2},
    {"PB", 1'000'000'000'000'000ull, 2},
    {"EB", 1'000'000'000'000'000'000ull, 2},
}};

constexpr std::array<ByteUnit, 6> kBinaryUnits{{
    {"KB", 1ull << 10, 0},
    {"MB", 1ull << 20, 1},
    {"GB", 1ull << 30, 2},
    {"TB", 1ull << 40, 2},
    {"PB", 1ull << 50, 2},
    {"EB", 1ull << 60, 2},
}};

std::uint64_t powerOfTen(int exponent) {
    std::uint64_t result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= 10;
    }
    return result;
}

// The count in units of `size / 10^digits`, rounded to the nearest, ties to even. Binary
// units do not divide by powers of ten, so the remainder is compared in 128 bits.
std::uint64_t roundedCount(std::uint64_t magnitude, const ByteUnit& unit) {
    const unsigned __int128 scaled =
        static_cast<unsigned __int128>(magnitude) * powerOfTen(unit.fractionDigits);
    auto quotient = static_cast<std::uint64_t>(scaled / unit.size);
    const unsigned __int128 remainder = scaled % unit.size;
    if (2 * remainder > unit.size || (2 * remainder == unit.size && quotient % 2 == 1)) {
        ++quotient;
    }
    return quotient;
}

// "1,023": groups of three digits.
std::string grouped(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (auto position = static_cast<std::ptrdiff_t>(digits.size()) - 3; position > 0;
         position -= 3) {
        digits.insert(static_cast<std::size_t>(position), 1, ',');
    }
    return digits;
}

} // namespace

std::string ByteCountFormatter::string(std::int64_t byteCount, CountStyle countStyle) {
    if (byteCount == 0) {
        return "Zero KB";
    }
    const auto& units = countStyle == CountStyle::memory ? kBinaryUnits : kDecimalUnits;
    const std::uint64_t step = units.front().size;
    const std::string sign = byteCount < 0 ? "-" : "";
    const std::uint64_t magnitude = byteCount < 0 ? 0 - static_cast<std::uint64_t>(byteCount)
                                                  : static_cast<std::uint64_t>(byteCount);
    if (magnitude < step) {
        return fmt::format("{}{} {}", sign, grouped(magnitude), magnitude == 1 ? "byte" : "bytes");
    }
    std::size_t index = 0;
    while (index + 1 < units.size() && magnitude >= units[index + 1].size) {
        ++index;
    }
    std::uint64_t count = roundedCount(magnitude, units[index]);
    // Rounding up may reach the next unit: 999 999 bytes are "1 MB", not "1000 KB".
    while (index + 1 < units.size() && count >= step * powerOfTen(units[index].fractionDigits)) {
        ++index;
        count = roundedCount(magnitude, units[index]);
    }
    const ByteUnit& unit = units[index];
    const std::uint64_t scale = powerOfTen(unit.fractionDigits);
    std::string text = sign + grouped(count / scale);
    if (unit.fractionDigits > 0 && count % scale != 0) {
        std::string fraction = fmt::format("{:0{}}", count % scale, unit.fractionDigits);
        while (fraction.back() == '0') {
            fraction.pop_back();
        }
        text += "." + fraction;
    }
    return text + " " + unit.name;
}

// MARK: ISO8601FormatStyle

std::string ISO8601FormatStyle::format(Date date) {
    const auto seconds = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", parts.tm_year + 1900,
                       parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
}

// MARK: DateFormatStyle

namespace {

std::tm localParts(Date date) {
    const auto seconds = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return parts;
}

} // namespace

std::string DateFormatStyle::shortenedTime(Date date) {
    const std::tm parts = localParts(date);
    const int hour = parts.tm_hour % 12 == 0 ? 12 : parts.tm_hour % 12;
    return fmt::format("{}:{:02} {}", hour, parts.tm_min, parts.tm_hour < 12 ? "AM" : "PM");
}

std::string DateFormatStyle::abbreviatedDate(Date date) {
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm parts = localParts(date);
    return fmt::format("{} {}, {}", kMonths.at(static_cast<std::size_t>(parts.tm_mon)),
                       parts.tm_mday, parts.tm_year + 1900);
}

std::string DateFormatStyle::standard(Date date) {
    const std::tm parts = localParts(date);
    return fmt::format("{}/{}/{}, {}", parts.tm_mon + 1, parts.tm_mday, parts.tm_year + 1900,
                       shortenedTime(date));
}

bool DateFormatStyle::isSameDay(Date a, Date b) {
    const std::tm first = localParts(a);
    const std::tm second = localParts(b);
    return first.tm_year == second.tm_year && first.tm_yday == second.tm_yday;
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
