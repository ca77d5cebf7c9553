#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"

#include "platform/desktop/CGEvent.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSWorkspace.h"

#include <algorithm>
#include <utility>

namespace zestrel::platform {

std::shared_ptr<NSEvent> NSApplication::nextEvent(NSEvent::EventTypeMask mask,
                                                  std::optional<Date> /*untilDate*/,
                                                  RunLoopMode /*mode*/, bool dequeue) {
    threadChecker_.check();
    const auto found =
        std::find_if(eventQueue_.begin(), eventQueue_.end(), [mask](const auto& event) {
            return (mask & NSEvent::maskFor(event->type())) != 0;
        });
    if (found == eventQueue_.end()) {
        return nullptr;
    }
    auto event = *found;
    if (dequeue) {
        eventQueue_.erase(found);
    }
    return event;
}

void NSApplication::postEvent(std::shared_ptr<NSEvent> event, bool atStart) {
    threadChecker_.check();
    if (!event) {
        return;
    }
    if (atStart) {
        eventQueue_.push_front(std::move(event));
    } else {
        eventQueue_.push_back(std::move(event));
    }
}

std::shared_ptr<NSEvent> NSApplication::sendEvent(std::shared_ptr<NSEvent> event) {
    threadChecker_.check();
    std::shared_ptr<NSEvent> left;
    dispatchWithCurrentEvent(event, [&] {
        left = NSEvent::runLocalMonitors(event);
        if (left && left->type() == NSEvent::EventType::keyDown) {
            deliverKeyDown(*left);
        }
    });
    return left;
}

void NSApplication::dispatchWithCurrentEvent(std::shared_ptr<NSEvent> event,
                                             const std::function<void()>& dispatch) {
    threadChecker_.check();
    // Dispatch may send further events (a monitor, a nested run); each restores its own.
    auto outer = std::exchange(currentEvent_, std::move(event));
    struct Restore {
        NSApplication& app;
        std::shared_ptr<NSEvent>& outer;
        ~Restore() { app.currentEvent_ = std::move(outer); }
    } restore{*this, outer};
    dispatch();
}

void NSApplication::beginEventTracking() {
    threadChecker_.check();
    if (eventTrackingDepth_++ > 0) {
        return;
    }
    // The grab outlives no process: the application gives it back when tracking ends or
    // when it goes.
    HotKeySystem::current()->setKeyboardGrab([](const CGEvent& event) {
        NSApplication::shared().postEvent(
            std::make_shared<NSEvent>(event, InputSources::current()->currentLayout()), false);
    });
}

void NSApplication::endEventTracking() {
    threadChecker_.check();
    if (eventTrackingDepth_ == 0 || --eventTrackingDepth_ > 0) {
        return;
    }
    HotKeySystem::current()->setKeyboardGrab(nullptr);
    // The stand-in's menus act on no keys: what they were sent ends with them.
    eventQueue_.clear();
}

void NSApplication::handleReopen() {
    threadChecker_.check();
    if (terminated_) {
        return;
    }
    ++reopens_;
    // The menu bar's own windows (status items) and what floats above it do not count.
    const auto onScreen = orderedWindows();
    const bool hasVisibleWindows =
        std::any_of(onScreen.begin(), onScreen.end(), [](const auto& window) {
            return window->level().rawValue < NSWindow::Level::statusBar.rawValue;
        });
    if (auto delegate = this->delegate();
        delegate && !delegate->applicationShouldHandleReopen(*this, hasVisibleWindows)) {
        return;
    }
    if (hasVisibleWindows) {
        return;
    }
    for (const auto& window : windows()) {
        if (window->isMiniaturized()) {
            window->deminiaturize();
            return;
        }
    }
}

void NSApplication::followActivation() {
    // Another application coming to the front takes activation from this one; this one
    // coming to the front (a click on its window, the Dock) gives it back.
    activationObserver_ = NotificationCenter::workspaceCenter()->addObserver(
        NSWorkspaceDidActivateApplicationNotification, Value(), [](const Notification& note) {
            auto& app = NSApplication::shared();
            const auto found = note.userInfo.find(NSWorkspaceApplicationKey);
            const auto activated = found == note.userInfo.end()
                                       ? nullptr
                                       : found->second.asObject<NSRunningApplication>();
            const auto own = NSRunningApplication::current();
            if (!activated || !own || app.isTerminated()) {
                return;
            }
            if (activated->processIdentifier() == own->processIdentifier()) {
                app.activate();
            } else {
                app.deactivate();
            }
        });
}

void NSApplication::receiveOwnKeyEvents() {
    // The reopen event arrives like any Apple event: on the main run loop's next turn.
    Desktop::current()->setOwnReopenHandler(
        [] { DispatchQueue::main().async([] { NSApplication::shared().handleReopen(); }); });
    Desktop::current()->setOwnKeyEventHandler(
        [](std::uint16_t keyCode, NSEvent::ModifierFlags flags, const std::string&) {
            const CGEvent event(CGEventType::keyDown, keyCode, CGEventFlags{flags.rawValue});
            NSApplication::shared().sendEvent(
                std::make_shared<NSEvent>(event, InputSources::current()->currentLayout()));
        });
}

} // namespace zestrel::platform
