#include "foundation/ScreenGeometry.h"

#include "platform/desktop/NSScreen.h"

namespace zestrel {
namespace {
constexpr platform::CGFloat kMenuBarHeight = 24;
constexpr platform::CGFloat kMenuBarHeightBesideCamera = 33;

std::shared_ptr<platform::NSScreen> firstScreen() {
    auto screens = platform::NSScreen::screens();
    return screens.empty() ? nullptr : screens.front();
}
} // namespace

platform::CGFloat menuBarHeight() {
    auto screen = firstScreen();
    if (screen && screen->auxiliaryTopRightArea() &&
        screen->auxiliaryTopRightArea()->size.width < screen->frame().size.width) {
        return kMenuBarHeightBesideCamera;
    }
    return kMenuBarHeight;
}

std::optional<platform::CGFloat> dockHeightAtBottom() {
    auto screen = firstScreen();
    if (!screen) {
        return std::nullopt;
    }
    const platform::CGFloat height = screen->visibleFrame().origin.y - screen->frame().origin.y;
    if (height == 0) {
        return std::nullopt;
    }
    return height;
}

bool isMenuBarHidden() {
    auto screen = firstScreen();
    if (!screen) {
        return false;
    }
    const platform::CGFloat room = screen->frame().size.height -
                                   screen->visibleFrame().size.height -
                                   dockHeightAtBottom().value_or(0);
    return room < menuBarHeight() + 1;
}

const platform::CGSize& defaultViewScales() {
    static const platform::CGSize scales{1.0, 1.0};
    return scales;
}

} // namespace zestrel
