#include "platform/desktop/CGWindowLevel.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

TEST(CGWindowLevelTest, NamedLevelsStackAsTheWindowServerStacksThem) {
    const CGWindowLevelKey bottomToTop[] = {
        kCGBaseWindowLevelKey,        kCGMinimumWindowLevelKey,
        kCGDesktopWindowLevelKey,     kCGDesktopIconWindowLevelKey,
        kCGBackstopMenuLevelKey,      kCGNormalWindowLevelKey,
        kCGFloatingWindowLevelKey,    kCGModalPanelWindowLevelKey,
        kCGUtilityWindowLevelKey,     kCGDockWindowLevelKey,
        kCGMainMenuWindowLevelKey,    kCGStatusWindowLevelKey,
        kCGPopUpMenuWindowLevelKey,   kCGOverlayWindowLevelKey,
        kCGHelpWindowLevelKey,        kCGDraggingWindowLevelKey,
        kCGScreenSaverWindowLevelKey, kCGAssistiveTechHighWindowLevelKey,
        kCGCursorWindowLevelKey,      kCGMaximumWindowLevelKey};
    for (std::size_t i = 1; i < std::size(bottomToTop); ++i) {
        EXPECT_LT(CGWindowLevelForKey(bottomToTop[i - 1]), CGWindowLevelForKey(bottomToTop[i]))
            << "key " << bottomToTop[i];
    }
    EXPECT_EQ(CGWindowLevelForKey(kCGStatusWindowLevelKey), kCGStatusWindowLevel);
    EXPECT_GT(CGShieldingWindowLevel(), CGWindowLevelForKey(kCGAssistiveTechHighWindowLevelKey));
    EXPECT_LT(CGShieldingWindowLevel(), CGWindowLevelForKey(kCGMaximumWindowLevelKey));
}

} // namespace
} // namespace zestrel::platform
