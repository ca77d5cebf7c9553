#include "platform/desktop/NSScreen.h"

#include "platform/base/Mutex.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"

#include <string>

namespace zestrel::platform {
namespace {

struct ScreenList {
    Mutex mutex;
    // The menu bar's 24 points and the line under it are outside the visible frame.
    std::vector<std::shared_ptr<NSScreen>> screens GUARDED_BY(mutex){builtInScreen()};

    static std::shared_ptr<NSScreen> builtInScreen() {
        auto screen =
            std::make_shared<NSScreen>(CGRect(0, 0, 1920, 1080), CGRect(0, 0, 1920, 1055), 1.0, 1);
        screen->setLocalizedName("Built-in Display");
        screen->setBuiltin(true);
        return screen;
    }
};

ScreenList& screenList() {
    static auto* const local = new ProcessLocal<ScreenList>;
    return local->get();
}

} // namespace

NSScreen::NSScreen(CGRect frame, CGRect visibleFrame, CGFloat backingScaleFactor,
                   std::uint32_t screenNumber, std::optional<CGRect> auxiliaryTopRightArea)
    : frame_(frame), visibleFrame_(visibleFrame), backingScaleFactor_(backingScaleFactor),
      screenNumber_(screenNumber), auxiliaryTopRightArea_(auxiliaryTopRightArea),
      localizedName_("Display " + std::to_string(screenNumber)) {}

Value::Dictionary NSScreen::deviceDescription() const {
    return {{"NSScreenNumber", Value(screenNumber_)}};
}

std::vector<std::shared_ptr<NSScreen>> NSScreen::screens() {
    ScreenList& list = screenList();
    MutexLock lock(list.mutex);
    return list.screens;
}

std::shared_ptr<NSScreen> NSScreen::main() {
    ScreenList& list = screenList();
    MutexLock lock(list.mutex);
    return list.screens.empty() ? nullptr : list.screens.front();
}

void NSScreen::setScreens(std::vector<std::shared_ptr<NSScreen>> screens) {
    ScreenList& list = screenList();
    {
        MutexLock lock(list.mutex);
        list.screens = std::move(screens);
    }
    NotificationCenter::defaultCenter()->post(NSApplicationDidChangeScreenParametersNotification);
}

} // namespace zestrel::platform
