#include "services/EventNames.h"

#include <gtest/gtest.h>

#include <set>

namespace zestrel {
namespace {

using platform::CGEventFlags;
using platform::CGEventType;

TEST(EventNamesTest, TypesAreNamedAndUnknownOnesShowTheirNumber) {
    EXPECT_EQ(debugDescription(CGEventType::keyDown), "CGEventType.keyDown");
    EXPECT_EQ(debugDescription(CGEventType::tabletPointer), "CGEventType.tabletPointer");
    EXPECT_EQ(debugDescription(CGEventType::tapDisabledByUserInput),
              "CGEventType.tapDisabledByUserInput");
    EXPECT_EQ(debugDescription(static_cast<CGEventType>(8)), "CGEventType.<UNKNOWN>(8)");
    EXPECT_EQ(debugDescription(static_cast<CGEventType>(29)), "CGEventType.<UNKNOWN>(29)");
    EXPECT_EQ(debugDescription(static_cast<CGEventType>(0xFFFFFFFD)),
              "CGEventType.<UNKNOWN>(4294967293)");
}

TEST(EventNamesTest, FlagsNameEveryHeldModifierThenTheWholeNumber) {
    EXPECT_EQ(debugDescription(CGEventFlags::maskCommand | CGEventFlags::maskAlternate),
              "alternate, command (1572864)");
    EXPECT_EQ(debugDescription(CGEventFlags{}), " (0)");
    // Bits outside the table are counted in the number only.
    EXPECT_EQ(debugDescription(CGEventFlags{0x100008}), "command (1048584)");
    // The numeric pad is written after the function key although its bit is lower.
    EXPECT_EQ(debugDescription(CGEventFlags::maskNumericPad | CGEventFlags::maskSecondaryFn |
                               CGEventFlags::maskShift | CGEventFlags::maskNonCoalesced),
              "shift, secondaryFn, numericPad, nonCoalesced (10617088)");
    EXPECT_EQ(debugDescription(CGEventFlags{0xFF0100}),
              "alphaShift, shift, control, alternate, command, help, secondaryFn, numericPad, "
              "nonCoalesced (16711936)");
}

TEST(EventNamesTest, UserInputTypesLeaveMovesAndModifierChangesOut) {
    EXPECT_TRUE(isUserInteractionEventType(10));  // key down
    EXPECT_TRUE(isUserInteractionEventType(34));  // pressure
    EXPECT_TRUE(isUserInteractionEventType(37));  // direct touch
    EXPECT_TRUE(isUserInteractionEventType(18));  // rotate
    EXPECT_FALSE(isUserInteractionEventType(12)); // flags changed
    EXPECT_FALSE(isUserInteractionEventType(5));  // mouse moved
    EXPECT_FALSE(isUserInteractionEventType(8));  // mouse entered
    EXPECT_FALSE(isUserInteractionEventType(24)); // tablet proximity
    const auto& types = userInteractionEventTypes();
    EXPECT_EQ(std::set<std::uint32_t>(types.begin(), types.end()).size(), types.size());
    EXPECT_EQ(&types, &userInteractionEventTypes());
}

} // namespace
} // namespace zestrel
