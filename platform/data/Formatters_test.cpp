#include "platform/data/Formatters.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

namespace zestrel::platform {
namespace {

TEST(ByteCountFormatter, FileStyleDecimalUnits) {
    struct Case {
        std::int64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"}, // a tie goes to the even count
        {2500, "2 KB"},
        {2501, "3 KB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"}, // 1000 KB after rounding moves up a unit
        {999'999, "1 MB"},
        {1'000'000, "1 MB"},
        {1'049'999, "1 MB"},
        {1'050'001, "1.1 MB"},
        {1'500'000, "1.5 MB"},
        {12'345'678, "12.3 MB"},
        {999'949'999, "999.9 MB"},
        {999'950'001, "1 GB"},
        {1'000'000'000, "1 GB"},
        {1'010'000'000, "1.01 GB"},
        {1'100'000'000, "1.1 GB"},
        {1'234'567'890, "1.23 GB"},
        {12'345'678'901, "12.35 GB"},
        {1'500'000'000'000, "1.5 TB"},
        {2'000'000'000'000'000, "2 PB"},
        {INT64_MAX, "9.22 EB"},
        {-1, "-1 byte"},
        {-999, "-999 bytes"},
        {-1'500'000, "-1.5 MB"},
        {INT64_MIN, "-9.22 EB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ByteCountFormatter::string(c.bytes), c.text) << c.bytes;
    }
}

TEST(ByteCountFormatter, MemoryStyleBinaryUnitsRollOverAndGroup) {
    using Style = ByteCountFormatter::CountStyle;
    struct Case {
        std::int64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "Zero KB"},
        {1000, "1,000 bytes"},
        {1024, "1 KB"},
        {1536, "2 KB"}, // 1.5 KB: the tie goes to the even count
        {1'000'000, "977 KB"},
        {1'047'552, "1,023 KB"},
        {1'048'064, "1 MB"}, // 1023.5 KB rounds to 1024 KB, a whole MB
        {1'572'864, "1.5 MB"},
        {52'428'800, "50 MB"},
        {1'288'490'189, "1.2 GB"},
        {INT64_MAX, "8 EB"},
        {-1'572'864, "-1.5 MB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ByteCountFormatter::string(c.bytes, Style::memory), c.text) << c.bytes;
    }
}

TEST(ISO8601FormatStyle, WholeSecondsInUTC) {
    EXPECT_EQ(ISO8601FormatStyle::format(Date::fromTimeIntervalSince1970(1768471200.0)),
              "2026-01-15T10:00:00Z");
    // The fraction is dropped, never rounded up into the next second or day.
    EXPECT_EQ(ISO8601FormatStyle::format(Date::fromTimeIntervalSince1970(1769903999.999)),
              "2026-01-31T23:59:59Z");
    EXPECT_EQ(ISO8601FormatStyle::format(Date{0}), "2001-01-01T00:00:00Z");
    EXPECT_EQ(ISO8601FormatStyle::format(Date::fromTimeIntervalSince1970(-0.5)),
              "1969-12-31T23:59:59Z");
}

// The local time zone, for the length of a test.
class LocalTimeZone {
public:
    explicit LocalTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            saved_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~LocalTimeZone() {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST(DateFormatStyle, TwelveHourTimesAndEnglishDatesInTheLocalZone) {
    const LocalTimeZone zone("America/New_York");
    // 2026-01-05 00:07:00 UTC is the evening before in New York.
    const Date date = Date::fromTimeIntervalSince1970(1767571620);
    EXPECT_EQ(DateFormatStyle::shortenedTime(date), "7:07 PM");
    EXPECT_EQ(DateFormatStyle::abbreviatedDate(date), "Jan 4, 2026");
    EXPECT_EQ(DateFormatStyle::standard(date), "1/4/2026, 7:07 PM");
    // Midnight and noon are 12, not 0.
    EXPECT_EQ(DateFormatStyle::shortenedTime(date.addingTimeInterval(5 * 3600 - 7 * 60)),
              "12:00 AM");
    EXPECT_EQ(DateFormatStyle::shortenedTime(date.addingTimeInterval(17 * 3600 - 7 * 60)),
              "12:00 PM");
    // The day is the local one: five hours later is the next local day, though the same UTC one.
    EXPECT_TRUE(DateFormatStyle::isSameDay(date, date.addingTimeInterval(4 * 3600)));
    EXPECT_FALSE(DateFormatStyle::isSameDay(date, date.addingTimeInterval(5 * 3600)));
    EXPECT_FALSE(DateFormatStyle::isSameDay(date, date.addingTimeInterval(-365 * 86400)));
}

TEST(DateComponentsFormatter, AbbreviatedHoursMinutesSeconds) {
    struct Case {
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {0, "0s"},       {0.9, "0s"},    {-0.5, "0s"},         {1, "1s"},       {59.9, "59s"},
        {60, "1m"},      {61, "1m 1s"},  {3600, "1h"},         {3605, "1h 5s"}, {3725, "1h 2m 5s"},
        {3720, "1h 2m"}, {90000, "25h"}, {-3725, "-1h 2m 5s"}, {-61, "-1m 1s"},
    };
    const DateComponentsFormatter formatter;
    for (const Case& c : cases) {
        EXPECT_EQ(formatter.string(c.seconds), c.text) << c.seconds;
    }
}

TEST(DateComponentsFormatter, DaysWhenAllowed) {
    DateComponentsFormatter formatter;
    formatter.setAllowedUnits(
        {DateComponentsFormatter::Unit::day, DateComponentsFormatter::Unit::hour,
         DateComponentsFormatter::Unit::minute, DateComponentsFormatter::Unit::second});
    EXPECT_EQ(formatter.string(90000), "1d 1h");
    EXPECT_EQ(formatter.string(86400 * 3 + 7), "3d 7s");
    EXPECT_EQ(formatter.string(59), "59s");

    formatter.setAllowedUnits(
        {DateComponentsFormatter::Unit::hour, DateComponentsFormatter::Unit::minute});
    EXPECT_EQ(formatter.string(3725), "1h 2m");
    EXPECT_EQ(formatter.string(59), "0m");

    formatter.setAllowedUnits({});
    EXPECT_EQ(formatter.string(3725), "1h 2m 5s");
}

TEST(DateComponentsFormatter, NonFiniteOrHugeIntervalsGiveNothing) {
    const DateComponentsFormatter formatter;
    EXPECT_FALSE(formatter.string(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(formatter.string(std::nan("")));
    EXPECT_FALSE(formatter.string(-1e300));
    EXPECT_TRUE(formatter.string(1e18));
}

} // namespace
} // namespace zestrel::platform
