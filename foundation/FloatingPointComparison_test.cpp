#include "foundation/FloatingPointComparison.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zestrel {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kGreatest = std::numeric_limits<double>::max();

TEST(FloatingPointComparisonTest, FiniteValuesRelativeToTheLargerMagnitude) {
    EXPECT_TRUE(isAlmostEqual(1.0, 1.0 + 1e-12, 1e-8));
    EXPECT_FALSE(isAlmostEqual(1.0, 1.0 + 1e-6, 1e-8));
    EXPECT_TRUE(isAlmostEqual(0.0, 1e-320, 1e-8));
    EXPECT_FALSE(isAlmostEqual(0.0, 1e-300, 1e-8));
    EXPECT_TRUE(isAlmostEqual(1.0f, 1.0f + 1e-7f, 1e-6f));
}

TEST(FloatingPointComparisonTest, InfinitiesAndNaN) {
    EXPECT_TRUE(isAlmostEqual(kInfinity, kInfinity, 1e-8));
    EXPECT_FALSE(isAlmostEqual(kInfinity, -kInfinity, 1e-8));
    EXPECT_FALSE(isAlmostEqual(kNaN, kNaN, 1e-8));
    EXPECT_FALSE(isAlmostEqual(1.0, kNaN, 1e-8));
    EXPECT_TRUE(isAlmostEqual(kInfinity, kGreatest, 1e-8));
    EXPECT_TRUE(isAlmostEqual(kGreatest, kInfinity, 1e-8));
    EXPECT_TRUE(isAlmostEqual(-kInfinity, -kGreatest, 1e-8));
    EXPECT_FALSE(isAlmostEqual(-kInfinity, kGreatest, 1e-8));
    EXPECT_FALSE(isAlmostEqual(kInfinity, 1.0, 1e-8));
}

TEST(FloatingPointComparisonTest, AlmostZeroIsStrict) {
    EXPECT_TRUE(isAlmostZero(0.49, 0.5));
    EXPECT_TRUE(isAlmostZero(-0.49, 0.5));
    EXPECT_FALSE(isAlmostZero(0.5, 0.5));
}

} // namespace
} // namespace zestrel
