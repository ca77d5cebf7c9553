#include "foundation/Duration.h"

#include "platform/base/Error.h"
#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>

namespace zestrel {

void PrintTo(const Duration& duration, std::ostream* out) {
    const auto [seconds, attoseconds] = duration.components();
    *out << seconds << " s + " << attoseconds << " as";
}

void PrintTo(const DispatchTimeInterval& interval, std::ostream* out) {
    *out << "case " << static_cast<int>(interval.kind()) << " count " << interval.count();
}

namespace {

namespace pf = platform;
using namespace std::chrono_literals;

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
// 9223372036 s and 0.9 s: the nanosecond count no longer fits 64 bits.
constexpr Duration kPastNanosecondRange{9'223'372'036, 900'000'000'000'000'000};

TEST(Duration, ComponentsCarryTheSignOfTheDuration) {
    EXPECT_EQ(Duration::seconds(1.5).components(),
              (Duration::Components{1, 500'000'000'000'000'000}));
    EXPECT_EQ(Duration::seconds(-1.5).components(),
              (Duration::Components{-1, -500'000'000'000'000'000}));
    EXPECT_EQ(Duration::nanoseconds(-1).components(), (Duration::Components{0, -1'000'000'000}));
    EXPECT_EQ(Duration::milliseconds(2.5), Duration::microseconds(2500));
    EXPECT_EQ(Duration::seconds(0.1), Duration::milliseconds(100));
}

TEST(Duration, NamedConstructorsOfMinutesHoursAndDays) {
    EXPECT_EQ(Duration::minutes(1.5), Duration::seconds(90));
    EXPECT_EQ(Duration::hours(0.5), Duration::seconds(1800));
    EXPECT_EQ(Duration::hours(2), Duration::seconds(7200));
    EXPECT_EQ(Duration::days(1), Duration::seconds(86400));
}

TEST(Duration, WholeMinutesAreExactAndSaturateBeyond64BitSeconds) {
    EXPECT_EQ(Duration::minutes(2), Duration::seconds(120));
    // A count this large loses its last digits when taken through a double.
    constexpr std::int64_t kLargest = kInt64Max / 60;
    EXPECT_EQ(Duration::minutes(kLargest), Duration::seconds(kLargest * 60));
    EXPECT_EQ(Duration::minutes(kLargest + 1), Duration::max());
    EXPECT_EQ(Duration::minutes(std::numeric_limits<std::int64_t>::min()), Duration::min());
    EXPECT_EQ(Duration::minutes(-kLargest), Duration::seconds(-kLargest * 60));
}

TEST(Duration, InfiniteSecondsSaturateAndNaNStops) {
    EXPECT_EQ(Duration::seconds(std::numeric_limits<double>::infinity()), Duration::max());
    EXPECT_EQ(Duration::seconds(-std::numeric_limits<double>::infinity()), Duration::min());
    EXPECT_EQ(Duration::max().components().seconds, kInt64Max);
    EXPECT_DEATH(Duration::seconds(std::nan("")), "NaN");
    EXPECT_DEATH(Duration::hours(kInt64Max / 3600 + 1), "hours");
}

TEST(Duration, FromDispatchTimeInterval) {
    EXPECT_EQ(Duration(DispatchTimeInterval::milliseconds(1500)), Duration::seconds(1.5));
    EXPECT_EQ(Duration(DispatchTimeInterval::nanoseconds(-1)), Duration(0, -1'000'000'000));
    EXPECT_EQ(Duration(DispatchTimeInterval::microseconds(7)), Duration::nanoseconds(7000));
    // Products are formed in 128 bits.
    EXPECT_EQ(Duration(DispatchTimeInterval::seconds(kInt64Max)).components(),
              (Duration::Components{kInt64Max, 0}));
    EXPECT_EQ(Duration(DispatchTimeInterval::never()), Duration::max());
}

TEST(Duration, UnknownDispatchCaseIsReportedAndGivesZero) {
    pf::testing::TestEnvironment env;
    const DispatchTimeInterval future(static_cast<DispatchTimeInterval::Case>(9), 5);
    EXPECT_EQ(Duration(future), Duration::zero());
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.front().localizedDescription(),
              "DispatchTimeInterval received a new enum case. Please handle it.");
}

TEST(Duration, SecondsAreTruncatedToTheNanosecond) {
    EXPECT_EQ(Duration(1, 1).timeInterval(), 1.0);
    EXPECT_EQ(DispatchTimeInterval(Duration(1, 1)),
              DispatchTimeInterval::nanoseconds(1'000'000'000));
    EXPECT_EQ(Duration(0, -1'500'000'000).timeInterval(), -1e-9);
    EXPECT_EQ(DispatchTimeInterval(Duration(0, -1'500'000'000)),
              DispatchTimeInterval::nanoseconds(-1));
    EXPECT_EQ(Duration::milliseconds(200).timeInterval(), 0.2);
}

TEST(Duration, NanosecondOverflowSaturatesTowardItsOwnSign) {
    EXPECT_EQ(kPastNanosecondRange.timeInterval(), 9223372036.854776);
    EXPECT_EQ(DispatchTimeInterval(kPastNanosecondRange),
              DispatchTimeInterval::nanoseconds(kInt64Max));
    EXPECT_EQ(kPastNanosecondRange.negated().timeInterval(), -9223372036.854776);
    EXPECT_EQ(DispatchTimeInterval(kPastNanosecondRange.negated()),
              DispatchTimeInterval::nanoseconds(kInt64Min));
}

TEST(Duration, WholeSecondsBeyondTheNanosecondRangeStop) {
    EXPECT_DEATH((void)Duration::seconds(9'223'372'037).timeInterval(), "nanoseconds");
    EXPECT_DEATH((void)Duration::max().timeInterval(), "nanoseconds");
}

TEST(Duration, RandomStaysWithinItsClosedRange) {
    std::mt19937_64 generator(7);
    const Duration lower = Duration::milliseconds(100);
    const Duration upper = Duration::milliseconds(300);
    for (int i = 0; i < 200; ++i) {
        const Duration drawn = Duration::random(lower, upper, generator);
        EXPECT_GE(drawn, lower);
        EXPECT_LE(drawn, upper);
    }
    EXPECT_EQ(Duration::random(Duration(0, 300'000'000'000'000'001),
                               Duration(0, 300'000'000'000'000'001)),
              Duration(0, 300'000'000'000'000'001));
    EXPECT_DEATH(Duration::random(upper, lower), "lower bound above");
}

TEST(Duration, DatesAndUnscheduledTimersFromDurations) {
    pf::testing::TestEnvironment env;
    const pf::Date now = env.clock().now();
    EXPECT_EQ(dateWithTimeIntervalSinceNow(Duration::seconds(90)), now.addingTimeInterval(90));
    EXPECT_EQ(dateWithTimeInterval(Duration::milliseconds(-500), now),
              now.addingTimeInterval(-0.5));
    EXPECT_EQ(dateWithTimeIntervalSince1970(Duration::seconds(0)).timeIntervalSince1970(), 0.0);
    EXPECT_EQ(
        dateWithTimeIntervalSinceReferenceDate(Duration::hours(1)).timeIntervalSinceReferenceDate,
        3600.0);

    int fired = 0;
    auto timer = makeTimer(Duration::milliseconds(250), false, [&](pf::Timer&) { ++fired; });
    env.advance(1s);
    EXPECT_EQ(fired, 0);
    pf::RunLoop::main().add(timer, pf::RunLoopMode::defaultMode);
    env.runUntilIdle();
    EXPECT_EQ(fired, 1);
}

TEST(DispatchTimeInterval, NeverIsLaterThanEveryOtherInterval) {
    const auto never = DispatchTimeInterval::never();
    const auto second = DispatchTimeInterval::seconds(1);
    EXPECT_TRUE(never >= never);
    EXPECT_TRUE(never <= never);
    EXPECT_FALSE(never < never);
    EXPECT_FALSE(never > never);
    EXPECT_TRUE(never > second);
    EXPECT_TRUE(second < never);
    EXPECT_TRUE(second <= never);
    EXPECT_FALSE(second >= never);
    EXPECT_FALSE(second > never);
    EXPECT_EQ(never, DispatchTimeInterval(DispatchTimeInterval::Case::never, 3));
}

TEST(DispatchTimeInterval, OtherCasesCompareByLengthAndEqualityByCase) {
    const auto second = DispatchTimeInterval::seconds(1);
    const auto thousandMilliseconds = DispatchTimeInterval::milliseconds(1000);
    EXPECT_FALSE(second < thousandMilliseconds);
    EXPECT_FALSE(second > thousandMilliseconds);
    EXPECT_TRUE(second <= thousandMilliseconds);
    EXPECT_TRUE(second >= thousandMilliseconds);
    EXPECT_NE(second, thousandMilliseconds);
    EXPECT_TRUE(DispatchTimeInterval::microseconds(999) < DispatchTimeInterval::milliseconds(1));
    EXPECT_TRUE(DispatchTimeInterval::nanoseconds(-5) < DispatchTimeInterval::nanoseconds(0));
    // A case this code does not know has no length.
    const DispatchTimeInterval future(static_cast<DispatchTimeInterval::Case>(9), 5);
    EXPECT_TRUE(future <= DispatchTimeInterval::nanoseconds(0));
    EXPECT_TRUE(future >= DispatchTimeInterval::nanoseconds(0));
    EXPECT_TRUE(future < DispatchTimeInterval::never());
    EXPECT_DEATH((void)(DispatchTimeInterval::seconds(kInt64Max) < second), "too long");
}

} // namespace
} // namespace zestrel
