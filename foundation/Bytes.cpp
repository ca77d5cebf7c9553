#include "foundation/Bytes.h"

#include "platform/base/Error.h"
#include "platform/data/Formatters.h"

#include <array>
#include <cmath>
#include <limits>

namespace zestrel {
namespace {

// 2^63: the first double outside the signed 64-bit range.
constexpr double kTwoTo63 = 9223372036854775808.0;

constexpr std::array<std::pair<Bytes::Unit, double>, 5> kUnits{{
    {Bytes::Unit::bits, 0.125},
    {Bytes::Unit::bytes, 1},
    {Bytes::Unit::kilobytes, 1000},
    {Bytes::Unit::megabytes, 1000000},
    {Bytes::Unit::gigabytes, 1000000000},
}};

std::int64_t truncatedCount(double value, double scale) {
    const double scaled = std::trunc(value * scale);
    if (!std::isfinite(scaled) || scaled >= kTwoTo63 || scaled < -kTwoTo63) {
        platform::fatal("Bytes: " + std::to_string(value) + " times " + std::to_string(scale) +
                        " is outside the range of a byte count");
    }
    return static_cast<std::int64_t>(scaled);
}

// The exact result rounded to the nearest double, as the count is stored.
Bytes throughDouble(std::int64_t exact) {
    const double rounded = static_cast<double>(exact);
    if (rounded >= kTwoTo63 || rounded < -kTwoTo63) {
        platform::fatal("Bytes: the result " + std::to_string(exact) +
                        " is outside the range of a byte count");
    }
    return Bytes{static_cast<std::int64_t>(rounded)};
}

} // namespace

Bytes Bytes::kilobytes(double value) {
    return Bytes{truncatedCount(value, 1000)};
}
Bytes Bytes::megabytes(double value) {
    return Bytes{truncatedCount(value, 1000000)};
}
Bytes Bytes::gigabytes(double value) {
    return Bytes{truncatedCount(value, 1000000000)};
}

Bytes Bytes::fromMeasurement(
    const platform::Measurement<platform::UnitInformationStorage>& measurement) {
    return Bytes{
        truncatedCount(measurement.converted(platform::UnitInformationStorage::bytes()).value, 1)};
}

platform::Measurement<platform::UnitInformationStorage> Bytes::measurement() const {
    return {static_cast<double>(bytes), platform::UnitInformationStorage::bytes()};
}

double Bytes::value(Unit unit) const {
    return static_cast<double>(bytes) / rawValue(unit);
}

std::string Bytes::debugDescription() const {
    return platform::ByteCountFormatter::string(bytes) + " (" + std::to_string(bytes) + ")";
}

Bytes operator+(Bytes a, Bytes b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a.bytes, b.bytes, &sum)) {
        platform::fatal("Bytes: arithmetic overflow in " + std::to_string(a.bytes) + " + " +
                        std::to_string(b.bytes));
    }
    return throughDouble(sum);
}

Bytes operator-(Bytes a, Bytes b) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a.bytes, b.bytes, &difference)) {
        platform::fatal("Bytes: arithmetic overflow in " + std::to_string(a.bytes) + " - " +
                        std::to_string(b.bytes));
    }
    return throughDouble(difference);
}

Bytes Bytes::saturatingAdd(Bytes a, Bytes b) {
    // The largest count whose double form stays below 2^63.
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max() - 1023;
    constexpr std::int64_t kSmallest = std::numeric_limits<std::int64_t>::min();
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a.bytes, b.bytes, &sum)) {
        sum = a.bytes > 0 ? kLargest : kSmallest;
    }
    if (sum > kLargest) {
        sum = kLargest;
    }
    return throughDouble(sum);
}

double rawValue(Bytes::Unit unit) {
    for (const auto& [candidate, raw] : kUnits) {
        if (candidate == unit) {
            return raw;
        }
    }
    return 1;
}

std::optional<Bytes::Unit> bytesUnit(double raw) {
    for (const auto& [unit, candidate] : kUnits) {
        if (candidate == raw) {
            return unit;
        }
    }
    return std::nullopt;
}

} // namespace zestrel
