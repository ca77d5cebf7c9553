#include "platform/base/ProcessInfo.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

class OperatingSystemVersionTest : public ::testing::Test {
protected:
    ~OperatingSystemVersionTest() override { NSProcessInfo::setOperatingSystemVersion({15, 1, 0}); }
};

TEST_F(OperatingSystemVersionTest, ARecentMacOSUnlessTheMachineSaysOtherwise) {
    const auto version = NSProcessInfo::operatingSystemVersion();
    EXPECT_EQ(version.majorVersion, 15);
    EXPECT_EQ(version.minorVersion, 1);
    EXPECT_TRUE(NSProcessInfo::isOperatingSystemAtLeast({15, 0, 0}));
}

TEST_F(OperatingSystemVersionTest, AtLeastComparesMajorThenMinorThenPatch) {
    NSProcessInfo::setOperatingSystemVersion({14, 5, 2});
    EXPECT_FALSE(NSProcessInfo::isOperatingSystemAtLeast({15, 0, 0}));
    EXPECT_TRUE(NSProcessInfo::isOperatingSystemAtLeast({14, 5, 2}));
    EXPECT_TRUE(NSProcessInfo::isOperatingSystemAtLeast({14, 4, 9}));
    EXPECT_TRUE(NSProcessInfo::isOperatingSystemAtLeast({13, 9, 9}));
    EXPECT_FALSE(NSProcessInfo::isOperatingSystemAtLeast({14, 5, 3}));
    EXPECT_FALSE(NSProcessInfo::isOperatingSystemAtLeast({14, 6, 0}));
}

} // namespace
} // namespace zestrel::platform
