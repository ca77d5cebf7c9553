#include "foundation/Duration.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "platform/base/Clock.h"
#include "platform/base/Error.h"

#include <cmath>
#include <limits>

namespace zestrel {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr std::int64_t kAttosecondsPerNanosecond = 1'000'000'000;

// Whole seconds times 10^9 plus the leftover attoseconds in whole nanoseconds. Only the sum
// may overflow within the domain; it then saturates toward the duration's own sign, so a
// very long negative duration stays negative.
std::int64_t nanosecondCount(const Duration& duration) {
    const auto [seconds, attoseconds] = duration.components();
    std::int64_t whole = 0;
    if (__builtin_mul_overflow(seconds, kNanosecondsPerSecond, &whole)) {
        platform::fatal("Duration of more than 9223372036 whole seconds cannot be counted in "
                        "nanoseconds");
    }
    std::int64_t sum = 0;
    if (__builtin_add_overflow(whole, attoseconds / kAttosecondsPerNanosecond, &sum)) {
        return seconds < 0 ? std::numeric_limits<std::int64_t>::min()
                           : std::numeric_limits<std::int64_t>::max();
    }
    return sum;
}

} // namespace

Duration Duration::seconds(double count) {
    return scaled(count, kAttosecondsPerSecond);
}

Duration Duration::milliseconds(double count) {
    return scaled(count, kAttosecondsPerSecond / 1'000);
}

Duration Duration::microseconds(double count) {
    return scaled(count, kAttosecondsPerSecond / 1'000'000);
}

Duration Duration::scaled(double count, std::int64_t attosecondsPerUnit) {
    if (std::isnan(count)) {
        platform::fatal("Duration cannot be made from NaN");
    }
    const double whole = std::trunc(count);
    // Beyond what 64-bit whole seconds hold (infinity included) the duration saturates.
    const double limit = static_cast<double>(max().attoseconds() / attosecondsPerUnit);
    if (whole >= limit) {
        return max();
    }
    if (whole <= -limit) {
        return min();
    }
    const auto fraction = static_cast<std::int64_t>((count - whole) * attosecondsPerUnit);
    return fromAttoseconds(static_cast<Attoseconds>(whole) * attosecondsPerUnit + fraction);
}

Duration Duration::wholeHours(std::int64_t count) {
    std::int64_t seconds = 0;
    if (__builtin_mul_overflow(count, std::int64_t{3600}, &seconds)) {
        platform::fatal("Duration of too many hours");
    }
    return Duration::seconds(seconds);
}

Duration Duration::wholeMinutes(std::int64_t count) {
    std::int64_t seconds = 0;
    if (__builtin_mul_overflow(count, std::int64_t{60}, &seconds)) {
        return count > 0 ? max() : min();
    }
    return Duration::seconds(seconds);
}

std::pair<double, double> Duration::secondsOfBounds(Duration lower, Duration upper) {
    const double from = lower.timeInterval();
    const double through = upper.timeInterval();
    if (from > through) {
        platform::fatal("Duration range with its lower bound above its upper bound");
    }
    return {from, through};
}

Duration Duration::random(Duration lower, Duration upper) {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    return random(lower, upper, generator);
}

Duration::Duration(const DispatchTimeInterval& interval) {
    using Case = DispatchTimeInterval::Case;
    switch (interval.kind()) {
    case Case::seconds:
        *this = seconds(interval.count());
        return;
    case Case::milliseconds:
        *this = milliseconds(interval.count());
        return;
    case Case::microseconds:
        *this = microseconds(interval.count());
        return;
    case Case::nanoseconds:
        *this = nanoseconds(interval.count());
        return;
    case Case::never:
        *this = seconds(std::numeric_limits<double>::infinity());
        return;
    }
    reportError(
        GeneralError::make("DispatchTimeInterval received a new enum case. Please handle it."));
}

Duration::Components Duration::components() const {
    const Attoseconds seconds = attoseconds_ / kAttosecondsPerSecond;
    if (seconds > std::numeric_limits<std::int64_t>::max() ||
        seconds < std::numeric_limits<std::int64_t>::min()) {
        platform::fatal("Duration too long for 64-bit whole seconds");
    }
    return {static_cast<std::int64_t>(seconds),
            static_cast<std::int64_t>(attoseconds_ % kAttosecondsPerSecond)};
}

platform::TimeInterval Duration::timeInterval() const {
    return static_cast<double>(nanosecondCount(*this)) / static_cast<double>(kNanosecondsPerSecond);
}

Duration operator+(Duration a, Duration b) {
    Duration::Attoseconds sum = 0;
    if (__builtin_add_overflow(a.attoseconds_, b.attoseconds_, &sum)) {
        platform::fatal("Duration overflow");
    }
    return Duration::fromAttoseconds(sum);
}

Duration operator-(Duration a, Duration b) {
    Duration::Attoseconds difference = 0;
    if (__builtin_sub_overflow(a.attoseconds_, b.attoseconds_, &difference)) {
        platform::fatal("Duration overflow");
    }
    return Duration::fromAttoseconds(difference);
}

DispatchTimeInterval::DispatchTimeInterval(const Duration& duration)
    : kind_(Case::nanoseconds), count_(nanosecondCount(duration)) {}

platform::Date dateWithTimeIntervalSinceNow(Duration interval) {
    return platform::currentDate().addingTimeInterval(interval.timeInterval());
}

platform::Date dateWithTimeIntervalSince1970(Duration interval) {
    return platform::Date::fromTimeIntervalSince1970(interval.timeInterval());
}

platform::Date dateWithTimeIntervalSinceReferenceDate(Duration interval) {
    return platform::Date{interval.timeInterval()};
}

platform::Date dateWithTimeInterval(Duration interval, platform::Date since) {
    return since.addingTimeInterval(interval.timeInterval());
}

std::shared_ptr<platform::Timer> makeTimer(Duration interval, bool repeats,
                                           platform::Timer::Block block) {
    return platform::Timer::make(interval.timeInterval(), repeats, std::move(block));
}

} // namespace zestrel
