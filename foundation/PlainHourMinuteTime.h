#pragma once

#include "foundation/Hasher.h"
#include "platform/data/Coding.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace zestrel {

struct PlainHourMinuteTimeRange;

// A wall-clock time of day without date or time zone, such as 22:30. The fields are not
// range checked. Stored as {"hour": h, "minute": m}.
struct PlainHourMinuteTime {
    std::int64_t hour = 0;
    std::int64_t minute = 0;

    // By hour, then minute.
    auto operator<=>(const PlainHourMinuteTime&) const = default;

    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(hour, "hour");
        container.encode(minute, "minute");
    }
    static PlainHourMinuteTime decode(const platform::Decoder& decoder) {
        const auto container = decoder.container();
        const auto hour = container.decode<std::int64_t>("hour");
        const auto minute = container.decode<std::int64_t>("minute");
        return PlainHourMinuteTime{hour, minute};
    }

    // A span from one time to another; see below.
    using Range = PlainHourMinuteTimeRange;
};

// A span from one time to another; `start` may come after `end` when the span crosses
// midnight (22:00 to 6:00). Stored as {"start": time, "end": time}.
struct PlainHourMinuteTimeRange {
    PlainHourMinuteTime start;
    PlainHourMinuteTime end;

    bool operator==(const PlainHourMinuteTimeRange&) const = default;

    void encode(platform::Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(start, "start");
        container.encode(end, "end");
    }
    static PlainHourMinuteTimeRange decode(const platform::Decoder& decoder) {
        const auto container = decoder.container();
        auto start = container.decode<PlainHourMinuteTime>("start");
        auto end = container.decode<PlainHourMinuteTime>("end");
        return PlainHourMinuteTimeRange{start, end};
    }
};

} // namespace zestrel

template <> struct std::hash<zestrel::PlainHourMinuteTime> {
    std::size_t operator()(const zestrel::PlainHourMinuteTime& time) const {
        return zestrel::Hasher().combine(time.hour).combine(time.minute).finalize();
    }
};

template <> struct std::hash<zestrel::PlainHourMinuteTime::Range> {
    std::size_t operator()(const zestrel::PlainHourMinuteTime::Range& range) const {
        return zestrel::Hasher()
            .combine(range.start.hour)
            .combine(range.start.minute)
            .combine(range.end.hour)
            .combine(range.end.minute)
            .finalize();
    }
};
