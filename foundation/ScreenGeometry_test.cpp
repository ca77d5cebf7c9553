#include "foundation/ScreenGeometry.h"

#include "platform/base/ProcessLocal.h"
#include "platform/desktop/NSScreen.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

class ScreenGeometryTest : public ::testing::Test {
protected:
    void setScreen(pf::CGRect visibleFrame, std::optional<pf::CGRect> auxiliary = std::nullopt) {
        pf::NSScreen::setScreens(
            {std::make_shared<pf::NSScreen>(pf::CGRect(0, 0, 1512, 982), visibleFrame, 2.0, 3,
                                            auxiliary),
             std::make_shared<pf::NSScreen>(pf::CGRect(1512, 0, 800, 600),
                                            pf::CGRect(1512, 0, 800, 600), 1.0, 4)});
    }
    pf::testing::TestEnvironment environment;
};

TEST_F(ScreenGeometryTest, DefaultScreenHasAVisibleMenuBar) {
    ASSERT_EQ(pf::NSScreen::screens().size(), 1u);
    EXPECT_EQ(pf::NSScreen::main()->deviceDescription().at("NSScreenNumber"), pf::Value(1));
    EXPECT_EQ(menuBarHeight(), 24.0);
    EXPECT_FALSE(dockHeightAtBottom().has_value());
    EXPECT_FALSE(isMenuBarHidden());
}

TEST_F(ScreenGeometryTest, NoScreens) {
    pf::NSScreen::setScreens({});
    EXPECT_EQ(pf::NSScreen::main(), nullptr);
    EXPECT_EQ(menuBarHeight(), 24.0);
    EXPECT_FALSE(dockHeightAtBottom().has_value());
    EXPECT_FALSE(isMenuBarHidden());
}

TEST_F(ScreenGeometryTest, CameraHousingMakesTheMenuBarTaller) {
    setScreen(pf::CGRect(0, 70, 1512, 878), pf::CGRect(870, 949, 642, 33));
    EXPECT_EQ(menuBarHeight(), 33.0);
    EXPECT_EQ(dockHeightAtBottom(), 70.0);
    EXPECT_FALSE(isMenuBarHidden());
    // An auxiliary area as wide as the screen is no camera housing.
    setScreen(pf::CGRect(0, 0, 1512, 958), pf::CGRect(0, 949, 1512, 33));
    EXPECT_EQ(menuBarHeight(), 24.0);
}

TEST_F(ScreenGeometryTest, MenuBarIsHiddenWhenTheVisibleFrameLeavesNoRoom) {
    setScreen(pf::CGRect(0, 70, 1512, 912)); // the Dock only
    EXPECT_TRUE(isMenuBarHidden());
    setScreen(pf::CGRect(0, 0, 1512, 958)); // 24 points: hidden below the bar and its line
    EXPECT_TRUE(isMenuBarHidden());
    setScreen(pf::CGRect(0, 0, 1512, 957));
    EXPECT_FALSE(isMenuBarHidden());
}

TEST_F(ScreenGeometryTest, ScreensAreResetWithTheProcess) {
    pf::NSScreen::setScreens({});
    pf::resetProcess();
    EXPECT_EQ(pf::NSScreen::screens().size(), 1u);
    EXPECT_EQ(pf::NSScreen::main()->visibleFrame(), pf::CGRect(0, 0, 1920, 1055));
}

} // namespace
} // namespace zestrel
