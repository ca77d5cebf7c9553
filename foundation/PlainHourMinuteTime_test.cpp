#include "foundation/PlainHourMinuteTime.h"

#include "platform/data/JSONCoder.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace zestrel {
namespace {

namespace pf = platform;
using Time = PlainHourMinuteTime;

TEST(PlainHourMinuteTimeTest, OrdersByHourThenMinute) {
    EXPECT_LT((Time{9, 59}), (Time{10, 0}));
    EXPECT_LT((Time{10, 0}), (Time{10, 1}));
    EXPECT_GT((Time{11, 0}), (Time{10, 59}));
    EXPECT_FALSE((Time{10, 0}) < (Time{10, 0}));
    EXPECT_FALSE((Time{10, 0}) > (Time{10, 0}));
    EXPECT_LE((Time{10, 0}), (Time{10, 0}));
}

TEST(PlainHourMinuteTimeTest, RangesAcrossMidnightRoundTripAsNestedObjects) {
    const Time::Range night{{22, 0}, {6, 0}};
    pf::JSONEncoder encoder;
    encoder.outputFormatting.sortedKeys = true;
    EXPECT_EQ(encoder.encodeToString(night),
              R"({"end":{"hour":6,"minute":0},"start":{"hour":22,"minute":0}})");
    EXPECT_EQ(pf::JSONDecoder().decode<Time::Range>(encoder.encode(night)), night);
}

TEST(PlainHourMinuteTimeTest, DecodingNeedsBothFieldsAndIgnoresOthers) {
    EXPECT_EQ(pf::JSONDecoder().decode<Time>(R"({"hour":7,"minute":5,"second":9})"), (Time{7, 5}));
    try {
        pf::JSONDecoder().decode<Time>(R"({"hour":7})");
        FAIL() << "decoded without minute";
    } catch (const pf::Error& error) {
        const auto* decoding = error.as<pf::DecodingError>();
        ASSERT_NE(decoding, nullptr);
        EXPECT_EQ(decoding->errorCase(), pf::DecodingError::Case::keyNotFound);
        EXPECT_EQ(decoding->key()->stringValue, "minute");
    }
}

TEST(PlainHourMinuteTimeTest, StartAndEndAreNotInterchangeable) {
    const Time::Range evening{{18, 0}, {22, 0}};
    const Time::Range swapped{{22, 0}, {18, 0}};
    EXPECT_NE(evening, swapped);
    EXPECT_NE(std::hash<Time::Range>{}(evening), std::hash<Time::Range>{}(swapped));
    const std::unordered_set<Time> times{{1, 2}, {2, 1}, {1, 2}};
    EXPECT_EQ(times.size(), 2u);
}

} // namespace
} // namespace zestrel
