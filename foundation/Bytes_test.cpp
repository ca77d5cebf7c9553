#include "foundation/Bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zestrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(BytesTest, EveryUnitIsFoundAgainByItsRawValueAndNoOtherNumberIsOne) {
    for (const auto unit : {Bytes::Unit::bits, Bytes::Unit::bytes, Bytes::Unit::kilobytes,
                            Bytes::Unit::megabytes, Bytes::Unit::gigabytes}) {
        EXPECT_EQ(bytesUnit(rawValue(unit)), unit);
        EXPECT_EQ(Bytes{2000000000}.value(unit) * rawValue(unit), 2000000000);
    }
    EXPECT_FALSE(bytesUnit(1024).has_value());
    EXPECT_EQ(Bytes{3}.value(Bytes::Unit::bits), 24);
    EXPECT_EQ(Bytes{1500}.value(Bytes::Unit::kilobytes), 1.5);
}

TEST(BytesTest, MeasurementsConvertToBytesAndTruncate) {
    using Storage = platform::UnitInformationStorage;
    EXPECT_EQ(Bytes::fromMeasurement({1.5, Storage::kilobytes()}), Bytes{1500});
    EXPECT_EQ(Bytes::fromMeasurement({2, Storage::kibibytes()}), Bytes{2048});
    EXPECT_EQ(Bytes::fromMeasurement({13, Storage::bits()}), Bytes{1});
    EXPECT_EQ(Bytes::fromMeasurement({-13, Storage::bits()}), Bytes{-1});
    const auto measured = Bytes{1234}.measurement();
    EXPECT_EQ(measured.value, 1234);
    EXPECT_EQ(measured.unit, Storage::bytes());
    EXPECT_EQ(measured.converted(Storage::kilobytes()).value, 1.234);
    EXPECT_EQ(Bytes::fromMeasurement(Bytes{-77}.measurement()), Bytes{-77});
}

TEST(BytesTest, ScaledInitializersTruncateTowardZero) {
    EXPECT_EQ(Bytes::kilobytes(1.5).bytes, 1500);
    EXPECT_EQ(Bytes::kilobytes(-0.0009).bytes, 0);
    EXPECT_EQ(Bytes::megabytes(-1.0000019).bytes, -1000001);
    EXPECT_EQ(Bytes::gigabytes(2).bytes, 2000000000);
}

TEST(BytesTest, DebugDescriptionAppendsTheExactCount) {
    EXPECT_EQ(Bytes::zero().debugDescription(), "Zero KB (0)");
    EXPECT_EQ(Bytes{1500000}.debugDescription(), "1.5 MB (1500000)");
}

TEST(BytesTest, SumsPassThroughADouble) {
    EXPECT_EQ((Bytes{2} + Bytes{3}).bytes, 5);
    Bytes count{10};
    count -= Bytes{15};
    EXPECT_EQ(count.bytes, -5);
    // 2^53 + 1 is not a double: it rounds to the even neighbour 2^53.
    constexpr std::int64_t kTwoTo53 = std::int64_t{1} << 53;
    EXPECT_EQ((Bytes{kTwoTo53} + Bytes{1}).bytes, kTwoTo53);
}

TEST(BytesTest, SaturatingAddStopsAtTheLargestCount) {
    const Bytes largest = Bytes::saturatingAdd(Bytes{kMax}, Bytes{kMax});
    EXPECT_LT(largest.bytes, kMax);
    EXPECT_GT(largest.bytes, kMax - 2048);
    EXPECT_EQ(Bytes::saturatingAdd(Bytes{1}, Bytes{2}).bytes, 3);
    EXPECT_EQ(
        Bytes::saturatingAdd(Bytes{std::numeric_limits<std::int64_t>::min()}, Bytes{-1}).bytes,
        std::numeric_limits<std::int64_t>::min());
}

using BytesDeathTest = ::testing::Test;

TEST_F(BytesDeathTest, OverflowStopsTheProcess) {
    EXPECT_DEATH(Bytes{kMax} + Bytes{1}, "overflow");
    // Fits 64 bits, but its double form is 2^63.
    EXPECT_DEATH(Bytes{kMax - 10} + Bytes{5}, "outside the range");
    EXPECT_DEATH(Bytes::kilobytes(NAN), "outside the range");
    EXPECT_DEATH(Bytes::gigabytes(1e10), "outside the range");
    EXPECT_DEATH(Bytes::fromMeasurement({1e7, platform::UnitInformationStorage::terabytes()}),
                 "outside the range");
}

} // namespace
} // namespace zestrel
