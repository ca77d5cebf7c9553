#include "app/DebugWindowController.h"

#include "app/DebugInfo.h"
#include "app/DebugScreens.h"
#include "foundation/ApplicationActivation.h"
#include "foundation/QVApp.h"
#include "foundation/TaskStarters.h"
#include "platform/concurrency/Task.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/desktop/NSScreen.h"
#include "platform/swiftui/NSHostingView.h"
#include "ui/Pasteboard.h"

#include <memory>

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;

namespace {

// The screen the window is on, or the one its frame lies on while it is not shown yet.
std::shared_ptr<pf::NSScreen> screenOf(const pf::NSWindow& window) {
    if (auto screen = window.screen()) {
        return screen;
    }
    const pf::CGRect frame = window.frame();
    for (const auto& screen : pf::NSScreen::screens()) {
        const pf::CGRect area = screen->frame();
        if (frame.origin.x < area.origin.x + area.size.width &&
            area.origin.x < frame.origin.x + frame.size.width &&
            frame.origin.y < area.origin.y + area.size.height &&
            area.origin.y < frame.origin.y + frame.size.height) {
            return screen;
        }
    }
    return nullptr;
}

} // namespace

pf::CGPoint debugWindowOrigin(pf::CGSize window, pf::CGSize visible) {
    return {visible.width * 0.0 + (visible.width - window.width) * 0.5,
            visible.height * 0.12 + (visible.height - window.height) * 0.5};
}

DebugWindowController::DebugWindowController()
    : SingletonWindowController(std::make_shared<SwiftUIWindowForMenuBarApp>()) {
    const auto window = this->window();
    window->setContentViewController(
        std::make_shared<ui::NSHostingController>(IOSDebug_MainView{}));
    if (const auto screen = screenOf(*window)) {
        const pf::CGSize size = window->frame().size;
        window->setFrame({debugWindowOrigin(size, screen->visibleFrame().size), size}, true);
    }
}

void DebugWindowController::show() {
    forceActivate();
    const auto controller = SingletonWindowController::shared<DebugWindowController>();
    if (!controller->window()) {
        return;
    }
    if (controller->shouldActivateWindowWhenAppIsAccessory) {
        forceActivate();
    }
    startMainActorTask(std::nullopt, []() -> pf::Task<void> {
        SingletonWindowController::show<DebugWindowController>();
        co_return;
    });
}

void copyDebugInfoToPasteboard(bool currentHostOnly) {
    const auto pasteboard = pf::NSPasteboard::general();
    pasteboard->prepareForNewContents(currentHostOnly
                                          ? pf::NSPasteboard::ContentsOptions::currentHostOnly
                                          : pf::NSPasteboard::ContentsOptions::none);
    pasteboard->setString(debugInfoText(), pf::NSPasteboardType::string);
    pasteboard->setString(QVApp::id(), pasteboardTypeSource());
}

} // namespace zestrel
