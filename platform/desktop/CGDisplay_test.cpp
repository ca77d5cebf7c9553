#include "platform/desktop/CGDisplay.h"

#include "platform/base/NotificationCenter.h"
#include "platform/desktop/NSScreen.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

class CGDisplayTest : public ::testing::Test {
protected:
    testing::TestEnvironment environment;
};

TEST_F(CGDisplayTest, FactsFollowTheArrangementInTheServersCoordinates) {
    // A Retina panel, a display above its right half, and one to the left hanging lower.
    auto panel =
        std::make_shared<NSScreen>(CGRect(0, 0, 1512, 982), CGRect(0, 0, 1512, 949), 2.0, 1);
    panel->setBuiltin(true);
    auto above = std::make_shared<NSScreen>(CGRect(800, 982, 2560, 1440),
                                            CGRect(800, 982, 2560, 1415), 1.0, 7);
    auto left = std::make_shared<NSScreen>(CGRect(-1080, -500, 1080, 1920),
                                           CGRect(-1080, -500, 1080, 1920), 1.5, 9);
    NSScreen::setScreens({panel, above, left});

    EXPECT_EQ(CGMainDisplayID(), 1u);
    EXPECT_EQ(CGDisplayBounds(1), CGRect(0, 0, 1512, 982));
    EXPECT_EQ(CGDisplayBounds(7), CGRect(800, -1440, 2560, 1440));
    EXPECT_EQ(CGDisplayBounds(9), CGRect(-1080, -438, 1080, 1920));
    EXPECT_EQ(CGDisplayPixelsWide(1), 3024u);
    EXPECT_EQ(CGDisplayPixelsHigh(1), 1964u);
    EXPECT_EQ(CGDisplayPixelsWide(9), 1620u);
    EXPECT_EQ(CGDisplayPixelsHigh(9), 2880u);
    EXPECT_TRUE(CGDisplayIsMain(1));
    EXPECT_FALSE(CGDisplayIsMain(7));
    EXPECT_TRUE(CGDisplayIsBuiltin(1));
    EXPECT_FALSE(CGDisplayIsBuiltin(9));
    EXPECT_TRUE(CGDisplayIsOnline(9));
    EXPECT_EQ(above->localizedName(), "Display 7");

    // A display that was unplugged answers nothing.
    NSScreen::setScreens({panel});
    EXPECT_FALSE(CGDisplayIsOnline(7));
    EXPECT_EQ(CGDisplayBounds(7), CGRectZero);
    EXPECT_EQ(CGDisplayPixelsWide(7), 0u);
    NSScreen::setScreens({});
    EXPECT_EQ(CGMainDisplayID(), 0u);
    EXPECT_FALSE(CGDisplayIsMain(0));
}

TEST_F(CGDisplayTest, TheStandardMachineHasOneBuiltInDisplay) {
    ASSERT_EQ(NSScreen::screens().size(), 1u);
    EXPECT_EQ(NSScreen::main()->localizedName(), "Built-in Display");
    EXPECT_TRUE(CGDisplayIsBuiltin(CGMainDisplayID()));
    EXPECT_EQ(CGDisplayPixelsWide(CGMainDisplayID()), 1920u);
}

TEST_F(CGDisplayTest, ChangingTheScreensIsAnnounced) {
    int changes = 0;
    std::size_t seen = 0;
    auto token = NotificationCenter::defaultCenter()->addObserver(
        NSApplicationDidChangeScreenParametersNotification, Value(), [&](const Notification&) {
            ++changes;
            seen = NSScreen::screens().size();
        });
    NSScreen::setScreens(
        {NSScreen::main(),
         std::make_shared<NSScreen>(CGRect(1920, 0, 800, 600), CGRect(1920, 0, 800, 600), 1.0, 2)});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(seen, 2u); // observers already see the new arrangement
    NotificationCenter::defaultCenter()->removeObserver(token);
}

} // namespace
} // namespace zestrel::platform
