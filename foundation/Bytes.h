#pragma once

#include "platform/data/Measurement.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zestrel {

// A count of bytes with decimal (1000-based) units. Sums and differences pass through a
// double, so counts beyond 2^53 are rounded as the platform rounds them.
struct Bytes {
    enum class Unit { bits, bytes, kilobytes, megabytes, gigabytes };

    std::int64_t bytes = 0;

    static Bytes zero() { return Bytes{0}; }
    // The value times 1000, 10^6 or 10^9, truncated toward zero. A value that is not finite
    // or does not fit 64 bits after scaling stops the process.
    static Bytes kilobytes(double value);
    static Bytes megabytes(double value);
    static Bytes gigabytes(double value);

    // A measurement in any information-storage unit, converted to bytes and truncated
    // toward zero; one that does not fit a byte count stops the process.
    static Bytes
    fromMeasurement(const platform::Measurement<platform::UnitInformationStorage>& measurement);
    // The count as a measurement in bytes.
    platform::Measurement<platform::UnitInformationStorage> measurement() const;

    // The count in `unit`: `bits` gives eight times the byte count.
    double value(Unit unit) const;

    // The formatted count, then the exact count: "1.5 MB (1500000)", "Zero KB (0)".
    std::string debugDescription() const;

    // A sum or difference beyond 64 bits stops the process. For sizes of files the program
    // does not control, `saturatingAdd` stops at the largest count instead.
    friend Bytes operator+(Bytes a, Bytes b);
    friend Bytes operator-(Bytes a, Bytes b);
    Bytes& operator+=(Bytes other) { return *this = *this + other; }
    Bytes& operator-=(Bytes other) { return *this = *this - other; }
    static Bytes saturatingAdd(Bytes a, Bytes b);

    auto operator<=>(const Bytes&) const = default;
};

// Bytes per unit: 0.125, 1, 1000, 1000000, 1000000000.
double rawValue(Bytes::Unit unit);
// Nothing for any number but the five above.
std::optional<Bytes::Unit> bytesUnit(double rawValue);

} // namespace zestrel

template <> struct std::hash<zestrel::Bytes> {
    std::size_t operator()(const zestrel::Bytes& value) const {
        return std::hash<std::int64_t>{}(value.bytes);
    }
};
