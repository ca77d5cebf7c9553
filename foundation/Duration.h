#pragma once

#include "foundation/DispatchTimeInterval.h"
#include "platform/base/Timer.h"
#include "platform/base/Value.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <concepts>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <utility>

namespace zestrel {

// A signed length of time: a 128-bit count of attoseconds (10^-18 s). Its components are
// whole seconds and the attoseconds left over, both carrying the duration's sign.
class Duration {
public:
    using Attoseconds = __int128;
    static constexpr std::int64_t kAttosecondsPerSecond = 1'000'000'000'000'000'000;

    struct Components {
        std::int64_t seconds = 0;
        std::int64_t attoseconds = 0;
        bool operator==(const Components&) const = default;
    };

    constexpr Duration() = default;
    constexpr Duration(std::int64_t secondsComponent, std::int64_t attosecondsComponent)
        : attoseconds_(Attoseconds{secondsComponent} * kAttosecondsPerSecond +
                       attosecondsComponent) {}
    static constexpr Duration fromAttoseconds(Attoseconds attoseconds) {
        Duration duration;
        duration.attoseconds_ = attoseconds;
        return duration;
    }

    static constexpr Duration zero() { return {}; }
    // The longest durations whose whole seconds fit 64 bits. A count of seconds beyond them,
    // infinity included, gives these.
    static constexpr Duration max() {
        return {std::numeric_limits<std::int64_t>::max(), kAttosecondsPerSecond - 1};
    }
    static constexpr Duration min() {
        return {std::numeric_limits<std::int64_t>::min(), -(kAttosecondsPerSecond - 1)};
    }

    template <std::integral T> static constexpr Duration seconds(T count) {
        return scaled(count, kAttosecondsPerSecond);
    }
    template <std::integral T> static constexpr Duration milliseconds(T count) {
        return scaled(count, kAttosecondsPerSecond / 1'000);
    }
    template <std::integral T> static constexpr Duration microseconds(T count) {
        return scaled(count, kAttosecondsPerSecond / 1'000'000);
    }
    template <std::integral T> static constexpr Duration nanoseconds(T count) {
        return scaled(count, kAttosecondsPerSecond / 1'000'000'000);
    }
    // Fractions below an attosecond are truncated toward zero. NaN stops the process.
    static Duration seconds(double count);
    static Duration milliseconds(double count);
    static Duration microseconds(double count);

    static Duration minutes(double count) { return seconds(count * 60); }
    // Whole minutes; a count whose seconds overflow 64 bits saturates to max() or min().
    template <std::integral T> static Duration minutes(T count) {
        static_assert(sizeof(T) <= sizeof(std::int64_t));
        return wholeMinutes(static_cast<std::int64_t>(count));
    }
    static Duration hours(double count) { return seconds(count * 3600); }
    // Whole hours; a count whose seconds overflow 64 bits stops the process.
    template <std::integral T> static Duration hours(T count) {
        static_assert(sizeof(T) <= sizeof(std::int64_t));
        return wholeHours(static_cast<std::int64_t>(count));
    }
    static Duration days(double count) { return seconds(count * 86400); }

    // A duration drawn uniformly from the closed range of the bounds' seconds, at the
    // precision of a double. A lower bound above the upper one stops the process.
    static Duration random(Duration lower, Duration upper);
    template <std::uniform_random_bit_generator Generator>
    static Duration random(Duration lower, Duration upper, Generator& generator) {
        const auto [from, through] = secondsOfBounds(lower, upper);
        if (lower == upper) {
            return lower;
        }
        std::uniform_real_distribution<double> draw(
            from, std::nextafter(through, std::numeric_limits<double>::infinity()));
        return seconds(std::min(draw(generator), through));
    }

    // `never` is taken as `max()`. A case this code does not know is reported and gives zero.
    explicit Duration(const DispatchTimeInterval& interval);

    constexpr Attoseconds attoseconds() const { return attoseconds_; }
    // Stops the process when the whole seconds do not fit 64 bits.
    Components components() const;

    // Seconds, precise to the nanosecond, as dates and timers count them. A count of
    // nanoseconds beyond 64 bits saturates toward the duration's sign; whole seconds beyond
    // 9223372036 (about 292 years) stop the process.
    platform::TimeInterval timeInterval() const;

    Duration negated() const { return zero() - *this; }

    // Overflow of the 128-bit count stops the process.
    friend Duration operator+(Duration a, Duration b);
    friend Duration operator-(Duration a, Duration b);
    friend constexpr Duration operator-(Duration a) { return fromAttoseconds(-a.attoseconds_); }

    friend constexpr bool operator==(const Duration&, const Duration&) = default;
    friend constexpr auto operator<=>(Duration a, Duration b) {
        return a.attoseconds_ <=> b.attoseconds_;
    }

private:
    template <std::integral T>
    static constexpr Duration scaled(T count, std::int64_t attosecondsPerUnit) {
        static_assert(sizeof(T) <= sizeof(std::int64_t));
        return fromAttoseconds(Attoseconds{count} * attosecondsPerUnit);
    }
    static Duration scaled(double count, std::int64_t attosecondsPerUnit);
    static Duration wholeHours(std::int64_t count);
    static Duration wholeMinutes(std::int64_t count);
    static std::pair<double, double> secondsOfBounds(Duration lower, Duration upper);

    Attoseconds attoseconds_ = 0;
};

// Dates and timers made from durations instead of seconds.
platform::Date dateWithTimeIntervalSinceNow(Duration interval);
platform::Date dateWithTimeIntervalSince1970(Duration interval);
platform::Date dateWithTimeIntervalSinceReferenceDate(Duration interval);
platform::Date dateWithTimeInterval(Duration interval, platform::Date since);
// Unscheduled: add it to a run loop to start it.
std::shared_ptr<platform::Timer> makeTimer(Duration interval, bool repeats,
                                           platform::Timer::Block block);

} // namespace zestrel
