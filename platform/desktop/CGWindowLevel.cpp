#include "platform/desktop/CGWindowLevel.h"

#include <limits>

namespace zestrel::platform {

CGWindowLevel CGWindowLevelForKey(CGWindowLevelKey key) {
    constexpr CGWindowLevel kBase = std::numeric_limits<std::int32_t>::min();
    constexpr CGWindowLevel kMaximum = std::numeric_limits<std::int32_t>::max() - 16;
    switch (key) {
    case kCGBaseWindowLevelKey:
        return kBase;
    case kCGMinimumWindowLevelKey:
        return kBase + 5;
    case kCGDesktopWindowLevelKey:
        return kCGDesktopWindowLevel;
    case kCGBackstopMenuLevelKey:
        return -20;
    case kCGNormalWindowLevelKey:
        return kCGNormalWindowLevel;
    case kCGFloatingWindowLevelKey:
    case kCGTornOffMenuWindowLevelKey:
        return kCGFloatingWindowLevel;
    case kCGDockWindowLevelKey:
        return 20;
    case kCGMainMenuWindowLevelKey:
        return kCGMainMenuWindowLevel;
    case kCGStatusWindowLevelKey:
        return kCGStatusWindowLevel;
    case kCGModalPanelWindowLevelKey:
        return 8;
    case kCGPopUpMenuWindowLevelKey:
        return 101;
    case kCGDraggingWindowLevelKey:
        return 500;
    case kCGScreenSaverWindowLevelKey:
        return 1000;
    case kCGMaximumWindowLevelKey:
        return kMaximum;
    case kCGOverlayWindowLevelKey:
        return 102;
    case kCGHelpWindowLevelKey:
        return 200;
    case kCGUtilityWindowLevelKey:
        return 19;
    case kCGDesktopIconWindowLevelKey:
        return kCGDesktopIconWindowLevel;
    case kCGCursorWindowLevelKey:
        return kMaximum - 1;
    case kCGAssistiveTechHighWindowLevelKey:
        return 1500;
    }
    return kBase;
}

CGWindowLevel CGShieldingWindowLevel() {
    return CGWindowLevelForKey(kCGMaximumWindowLevelKey) - 3;
}

} // namespace zestrel::platform
