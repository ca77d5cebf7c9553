#pragma once

#include "platform/base/Value.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

namespace zestrel::platform {

// The platform's byte-count formatter with every unit allowed, zero spelled out and the
// exact count not appended, in English.
//
// File style is decimal (1 KB = 1000 bytes), memory style binary (1 KB = 1024 bytes).
// Bytes are counted whole ("1 byte", "999 bytes"); then the largest unit the count reaches,
// with no fraction digits for KB, one for MB and two for GB and above, trailing zeros
// dropped ("1 KB", "2 KB" for 1500, "1.5 MB", "1.23 GB", "1 MB" for 999 999). Rounding is
// to the nearest, ties to even, exactly on the integer count; a count that rounds up to a
// whole next unit is shown in it. Counts of a thousand and more, which only the memory
// style shows below the next unit, are grouped ("1,000 KB"). Zero is "Zero KB"; negative
// counts get a minus sign ("-1.5 MB").
struct ByteCountFormatter {
    enum class CountStyle { file, memory };
    static std::string string(std::int64_t byteCount, CountStyle countStyle = CountStyle::file);
};

// The platform's ISO 8601 date style with its default fields: the date and time in UTC,
// whole seconds (a fraction is dropped), "2026-01-31T12:00:00Z".
struct ISO8601FormatStyle {
    static std::string format(Date date);
};

// The platform's date and time styles of the current locale (English, United States), in the
// local time zone.
struct DateFormatStyle {
    // `formatted(date: .omitted, time: .shortened)`: "3:05 PM".
    static std::string shortenedTime(Date date);
    // `formatted(date: .abbreviated, time: .omitted)`: "Jan 5, 2026".
    static std::string abbreviatedDate(Date date);
    // `formatted()`: the numeric date and the shortened time, "1/5/2026, 3:05 PM".
    static std::string standard(Date date);
    // Whether both fall on the same day of the local calendar.
    static bool isSameDay(Date a, Date b);
};

// The platform's date-components formatter in the abbreviated units style ("1h 2m 5s").
// A time interval is split into the allowed units, largest first; the largest allowed unit
// takes all that is above it (with hours but no days, 25 hours are "25h") and the smallest
// drops what is below it (59.9 seconds are "59s"). Units that come out zero are left out;
// a zero interval is "0" with the smallest unit ("0s"). A negative interval gets a minus
// sign before the whole text.
class DateComponentsFormatter {
public:
    // The platform's calendar-unit values.
    enum class Unit : unsigned { day = 16, hour = 32, minute = 64, second = 128 };

    // Hours, minutes and seconds unless set; an empty list restores that default.
    void setAllowedUnits(std::initializer_list<Unit> units);

    // Nothing for a non-finite interval or one beyond 2^63 seconds.
    std::optional<std::string> string(double timeInterval) const;

private:
    unsigned allowedUnits_ = kDefaultUnits;
    static constexpr unsigned kDefaultUnits = static_cast<unsigned>(Unit::hour) |
                                              static_cast<unsigned>(Unit::minute) |
                                              static_cast<unsigned>(Unit::second);
};

} // namespace zestrel::platform
