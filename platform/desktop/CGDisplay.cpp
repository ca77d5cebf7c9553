#include "platform/desktop/CGDisplay.h"

#include "platform/desktop/NSScreen.h"

#include <cmath>
#include <memory>
#include <vector>

namespace zestrel::platform {
namespace {

CGDirectDisplayID numberOf(const NSScreen& screen) {
    const auto description = screen.deviceDescription();
    const auto found = description.find("NSScreenNumber");
    if (found == description.end()) {
        return 0;
    }
    return static_cast<CGDirectDisplayID>(found->second.asUInt64().value_or(0));
}

std::shared_ptr<NSScreen> screenWithNumber(CGDirectDisplayID display) {
    for (const auto& screen : NSScreen::screens()) {
        if (numberOf(*screen) == display) {
            return screen;
        }
    }
    return nullptr;
}

std::size_t pixels(CGFloat points, CGFloat scale) {
    const double value = std::floor(points * scale);
    return value > 0 ? static_cast<std::size_t>(value) : 0;
}

} // namespace

CGDirectDisplayID CGMainDisplayID() {
    const auto main = NSScreen::main();
    return main ? numberOf(*main) : 0;
}

CGRect CGDisplayBounds(CGDirectDisplayID display) {
    const auto screen = screenWithNumber(display);
    const auto main = NSScreen::main();
    if (!screen || !main) {
        return CGRectZero;
    }
    // Flip about the main display's top edge.
    const CGRect& frame = screen->frame();
    const CGFloat top = main->frame().origin.y + main->frame().size.height;
    return CGRect(frame.origin.x, top - (frame.origin.y + frame.size.height), frame.size.width,
                  frame.size.height);
}

std::size_t CGDisplayPixelsWide(CGDirectDisplayID display) {
    const auto screen = screenWithNumber(display);
    return screen ? pixels(screen->frame().size.width, screen->backingScaleFactor()) : 0;
}

std::size_t CGDisplayPixelsHigh(CGDirectDisplayID display) {
    const auto screen = screenWithNumber(display);
    return screen ? pixels(screen->frame().size.height, screen->backingScaleFactor()) : 0;
}

boolean_t CGDisplayIsMain(CGDirectDisplayID display) {
    return display != 0 && CGMainDisplayID() == display;
}

boolean_t CGDisplayIsBuiltin(CGDirectDisplayID display) {
    const auto screen = screenWithNumber(display);
    return screen && screen->isBuiltin();
}

boolean_t CGDisplayIsOnline(CGDirectDisplayID display) {
    return screenWithNumber(display) != nullptr;
}

} // namespace zestrel::platform
