#include "ui/MenuBarAppWindows.h"

#include "foundation/ApplicationActivation.h"
#include "foundation/DispatchTimeInterval.h"
#include "foundation/LaunchModes.h"
#include "platform/appkit/NSAnimationContext.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/StandardStreams.h"
#include "platform/concurrency/Continuation.h"
#include "platform/desktop/NSWorkspace.h"

#include <chrono>
#include <cstdint>
#include <utility>

namespace zestrel {

namespace pf = platform;
using pf::CGRect;
using pf::NSEvent;
using pf::NSWindow;

bool handleMenuBarWindowKey(NSWindow& window, const NSEvent& event) {
    if (launchGestureFlags(event.eventModifierFlags()) != NSEvent::ModifierFlags::command) {
        return false;
    }
    const auto characters = event.charactersIgnoringModifiers();
    if (characters == "w") {
        window.performClose();
        return true;
    }
    if (characters == "m") {
        window.performMiniaturize();
        return true;
    }
    return false;
}

// --- Window and panel

SwiftUIWindowForMenuBarApp::SwiftUIWindowForMenuBarApp()
    : SwiftUIWindowForMenuBarApp(kMenuBarAppWindowContentRect, kMenuBarAppWindowStyle,
                                 BackingStoreType::buffered, true) {
    setDisplaysWhenScreenProfileChanges(true);
}

SwiftUIWindowForMenuBarApp::SwiftUIWindowForMenuBarApp(CGRect contentRect, StyleMask styleMask,
                                                       BackingStoreType backing, bool defer)
    : NSWindow(contentRect, styleMask, backing, defer) {}

CGRect
SwiftUIWindowForMenuBarApp::constrainFrameRect(const CGRect& frame,
                                               const std::shared_ptr<pf::NSScreen>& screen) const {
    return allowedAboveMenuBar ? frame : NSWindow::constrainFrameRect(frame, screen);
}

void SwiftUIWindowForMenuBarApp::cancelOperation() {
    if (shouldCloseOnEscapePress) {
        performClose();
    }
}

void SwiftUIWindowForMenuBarApp::keyDown(const NSEvent& event) {
    if (!handleMenuBarWindowKey(*this, event)) {
        NSWindow::keyDown(event);
    }
}

SwiftUIPanelForMenuBarApp::SwiftUIPanelForMenuBarApp()
    : SwiftUIPanelForMenuBarApp(kMenuBarAppWindowContentRect, kMenuBarAppWindowStyle,
                                BackingStoreType::buffered, true) {
    setDisplaysWhenScreenProfileChanges(true);
}

SwiftUIPanelForMenuBarApp::SwiftUIPanelForMenuBarApp(CGRect contentRect, StyleMask styleMask,
                                                     BackingStoreType backing, bool defer)
    : NSPanel(contentRect, styleMask, backing, defer) {}

CGRect
SwiftUIPanelForMenuBarApp::constrainFrameRect(const CGRect& frame,
                                              const std::shared_ptr<pf::NSScreen>& screen) const {
    return allowedAboveMenuBar ? frame : NSPanel::constrainFrameRect(frame, screen);
}

void SwiftUIPanelForMenuBarApp::keyDown(const NSEvent& event) {
    if (!handleMenuBarWindowKey(*this, event)) {
        NSPanel::keyDown(event);
    }
}

// --- Showing

pf::Task<void> showWindow(std::shared_ptr<NSWindow> window, WindowShowOptions options) {
    const auto order = [&window, &options] {
        if (options.makeKey) {
            window->makeKeyAndOrderFront();
        } else {
            window->orderFront();
        }
    };
    if (!options.animated) {
        order();
        co_return;
    }
    window->setAlphaValue(0);
    order();
    try {
        co_await pf::Task<>::sleep(std::chrono::milliseconds(100));
    } catch (const pf::Error&) {
        // A sleep ended early is ignored; cancellation is checked below.
    }
    if (pf::TaskStatics::isCurrentCancelled()) {
        window->setAlphaValue(1);
        co_return;
    }
    const auto delay = DispatchTimeInterval(options.delay).count();
    try {
        co_await pf::Task<>::sleep(pf::Nanoseconds(std::max<std::int64_t>(delay, 0)));
    } catch (const pf::Error&) {
        // As above.
    }
    if (pf::TaskStatics::isCurrentCancelled() ||
        pf::NSWorkspace::shared()->accessibilityDisplayShouldReduceMotion()) {
        window->setAlphaValue(1);
        co_return;
    }
    const double seconds = options.duration.timeInterval();
    auto fade = [window, seconds,
                 timing = options.timingFunction](pf::CheckedContinuation<void> continuation) {
        pf::NSAnimationContext::runAnimationGroup(
            [&window, seconds, &timing](pf::NSAnimationContext& context) {
                context.setDuration(seconds);
                context.setTimingFunction(timing);
                pf::animator(window).setAlphaValue(1);
            },
            [continuation] { continuation.resume(); });
    };
    co_await pf::withCheckedContinuation<void>(std::move(fade));
}

// --- Singleton controllers

SingletonWindowController::SingletonWindowController(std::shared_ptr<NSWindow> window)
    : NSWindowController(std::move(window)) {}

void SingletonWindowController::adopt() {
    adoptWindow();
    if (const auto own = window()) {
        own->setDelegate(std::dynamic_pointer_cast<SingletonWindowController>(shared_from_this()));
    }
}

std::map<std::type_index, std::shared_ptr<SingletonWindowController>>&
SingletonWindowController::registry() {
    static pf::ProcessLocal<std::map<std::type_index, std::shared_ptr<SingletonWindowController>>>
        controllers;
    return *controllers;
}

void SingletonWindowController::windowWillClose(const pf::Notification& /*notification*/) {
    // The window's call holds this delegate for its duration, so erasing is safe here.
    registry().erase(std::type_index(typeid(*this)));
}

void SingletonWindowController::showWindow(const std::shared_ptr<pf::NSObject>& /*sender*/) {}

void SingletonWindowController::showShared(
    const std::shared_ptr<SingletonWindowController>& controller) {
    auto window = controller->window();
    if (!window) {
        return;
    }
    if (controller->shouldActivateWindowWhenAppIsAccessory) {
        forceActivate();
    }
    pf::Task<void>::runOnMain([window]() -> pf::Task<void> {
        const WindowShowOptions options;
        co_await zestrel::showWindow(window, options);
    });
}

// --- Hosting windows

std::map<std::string, std::shared_ptr<SwiftUIWindow>>& SwiftUIWindow::registry() {
    static pf::ProcessLocal<std::map<std::string, std::shared_ptr<SwiftUIWindow>>> windows;
    return *windows;
}

std::shared_ptr<SwiftUIWindow> SwiftUIWindow::make(std::type_index contentType) {
    auto window = std::make_shared<SwiftUIWindow>(Passkey(), contentType);
    window->setDelegate(window);
    return window;
}

SwiftUIWindow::SwiftUIWindow(Passkey, std::type_index contentType)
    : NSWindow(kMenuBarAppWindowContentRect, kMenuBarAppWindowStyle, BackingStoreType::buffered,
               true),
      contentType_(contentType) {}

SwiftUIWindow::~SwiftUIWindow() {
    pf::print("SwiftUIWindow - DEINIT");
}

void SwiftUIWindow::windowWillClose(const pf::Notification& /*notification*/) {
    setContentViewController(nullptr);
    auto& windows = registry();
    for (auto entry = windows.begin(); entry != windows.end();) {
        entry = entry->second.get() == this ? windows.erase(entry) : std::next(entry);
    }
}

void SwiftUIWindow::cancel() {
    if (closeOnEsc) {
        close();
    }
}

bool SwiftUIWindow::respondsToAction(std::string_view action) const {
    return action == "cancel:" || NSWindow::respondsToAction(action);
}

void SwiftUIWindow::performAction(std::string_view action,
                                  const std::shared_ptr<pf::NSObject>& sender) {
    if (action == "cancel:") {
        cancel();
        return;
    }
    NSWindow::performAction(action, sender);
}

CGRect SwiftUIWindow::constrainFrameRect(const CGRect& frame,
                                         const std::shared_ptr<pf::NSScreen>& screen) const {
    if (constrainWindowToScreen && screen) {
        return clampToScreen(frame, screen->frame().size);
    }
    return NSWindow::constrainFrameRect(frame, screen);
}

CGRect SwiftUIWindow::clampToScreen(CGRect frame, pf::CGSize screen) {
    auto& [x, y] = frame.origin;
    auto& [width, height] = frame.size;
    if (screen.width <= width) {
        width = screen.width;
        x = 0;
    }
    if (screen.height <= height) {
        height = screen.height;
        y = 0;
    }
    if (screen.width < x + width) {
        x = screen.width - width;
    }
    if (screen.height < y + height) {
        y = screen.height - height;
    }
    if (y < -30) {
        y = 0;
    }
    if (x < 0) {
        x = 0;
    }
    return frame;
}

std::shared_ptr<SwiftUIWindow> SwiftUIWindow::windowForId(const std::string& identifier) const {
    const auto found = registry().find(identifier);
    if (found == registry().end() || found->second->contentType_ != contentType_) {
        return nullptr;
    }
    return found->second;
}

void SwiftUIWindow::registerWindow(const std::shared_ptr<SwiftUIWindow>& window,
                                   const std::string& identifier) {
    registry()[identifier] = window;
}

std::shared_ptr<SwiftUIWindow> SwiftUIWindow::show(bool activate, bool reuseExisting) {
    auto me = std::static_pointer_cast<SwiftUIWindow>(self());
    if (reuseExisting && !identifier().empty()) {
        if (auto existing = windowForId(identifier()); existing && existing != me) {
            if (activate) {
                forceActivate();
                existing->makeKeyAndOrderFront();
            } else {
                existing->orderFront();
            }
            return existing;
        }
        registerWindow(me, identifier());
    }
    const auto controller = pf::NSWindowController::make(me);
    controller->setShouldCascadeWindows(false);
    if (activate) {
        forceActivate();
        controller->showWindow(nullptr);
    } else {
        orderFront();
    }
    return me;
}

} // namespace zestrel
