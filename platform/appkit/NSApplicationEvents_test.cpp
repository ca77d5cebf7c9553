#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/desktop/CarbonEvents.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

UInt32 readUInt32(const EventRef& event, EventParamName name) {
    UInt32 value = 0;
    EXPECT_EQ(GetEventParameter(event, name, typeUInt32, nullptr, sizeof value, nullptr, &value),
              noErr);
    return value;
}

class NSApplicationEventsTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;

    static void post(CGEventType type, std::uint16_t keyCode, CGEventFlags flags = {}) {
        EventSystem::current()->post(kCGHIDEventTap,
                                     std::make_shared<CGEvent>(type, keyCode, flags));
    }
    static std::shared_ptr<NSEvent> event(CGEventType type, std::uint16_t keyCode = 0) {
        return std::make_shared<NSEvent>(CGEvent(type, keyCode, {}), nullptr);
    }

    // Opens a menu that stays open for a second; `whileOpen` runs a moment after it opened.
    static void trackMenu(std::function<void()> whileOpen) {
        auto menu = std::make_shared<NSMenu>("Menu");
        menu->addItem("Item", {}, "");
        ScriptedModalResponder::install()->enqueue(MenuPick{"", 1s});
        RunLoop::main().asyncAt(clock().uptime() + 100ms, std::move(whileOpen));
        menu->popUp(nullptr, CGPoint{}, nullptr);
    }
};

TEST_F(NSApplicationEventsTest, WhileAMenuTracksKeysWaitInTheQueueWithTheirCarbonEvent) {
    auto& app = NSApplication::shared();
    std::vector<std::shared_ptr<NSEvent>> taken;
    trackMenu([&] {
        post(CGEventType::keyDown, testing::kVKX, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);
        post(CGEventType::keyUp, testing::kVKX, kCGEventFlagMaskCommand);
        EXPECT_EQ(app.queuedEventCount(), 2u);
        // A peek leaves it; a key-up mask skips the key-down.
        EXPECT_NE(
            app.nextEvent(NSEvent::kAnyEventMask, std::nullopt, RunLoopMode::defaultMode, false),
            nullptr);
        taken.push_back(app.nextEvent(NSEvent::maskFor(NSEvent::EventType::keyUp), std::nullopt,
                                      RunLoopMode::defaultMode, true));
        taken.push_back(
            app.nextEvent(NSEvent::kAnyEventMask, std::nullopt, RunLoopMode::defaultMode, true));
        EXPECT_EQ(
            app.nextEvent(NSEvent::kAnyEventMask, std::nullopt, RunLoopMode::defaultMode, true),
            nullptr);
        post(CGEventType::keyDown, testing::kVKC);
    });

    ASSERT_EQ(taken.size(), 2u);
    ASSERT_TRUE(taken[0] && taken[1]);
    const auto up = taken[0]->eventRef();
    const auto down = taken[1]->eventRef();
    EXPECT_EQ(GetEventKind(up), kEventRawKeyUp);
    EXPECT_EQ(GetEventKind(down), kEventRawKeyDown);
    EXPECT_EQ(readUInt32(down, kEventParamKeyCode), testing::kVKX);
    EXPECT_EQ(readUInt32(down, kEventParamKeyModifiers), cmdKey | shiftKey);
    EXPECT_EQ(readUInt32(up, kEventParamKeyModifiers), cmdKey);
    EXPECT_TRUE(env.finder()->receivedEvents().empty());

    // Tracking over: what the menu was left goes with it and the Finder has the keyboard.
    EXPECT_EQ(app.queuedEventCount(), 0u);
    post(CGEventType::keyDown, testing::kVKC);
    EXPECT_EQ(env.finder()->receivedEvents().size(), 1u);
}

TEST_F(NSApplicationEventsTest, PostedEventsGoToEitherEndOfTheQueue) {
    auto& app = NSApplication::shared();
    app.postEvent(event(CGEventType::keyDown, 1), false);
    app.postEvent(event(CGEventType::keyDown, 2), false);
    app.postEvent(event(CGEventType::keyDown, 3), true);
    std::vector<int> order;
    while (auto next = app.nextEvent(NSEvent::kAnyEventMask, std::nullopt, RunLoopMode::defaultMode,
                                     true)) {
        order.push_back(next->keyCode());
    }
    EXPECT_EQ(order, (std::vector<int>{3, 1, 2}));
}

TEST_F(NSApplicationEventsTest, ObserversRunOnlyInTheirMode) {
    std::vector<RunLoopMode> seen;
    auto observer = std::make_shared<RunLoopObserver>(
        RunLoopActivity::beforeSources, true,
        [&](RunLoopActivity) { seen.push_back(RunLoop::main().currentMode()); });
    RunLoop::main().add(observer, RunLoopMode::eventTracking);

    RunLoop::main().async([] {});
    env.runUntilIdle();
    EXPECT_TRUE(seen.empty());

    trackMenu([] {});
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), RunLoopMode::eventTracking);

    RunLoop::main().remove(observer, RunLoopMode::eventTracking);
    seen.clear();
    trackMenu([] {});
    EXPECT_TRUE(seen.empty());
}

TEST_F(NSApplicationEventsTest, LocalMonitorsSeeWhatTheApplicationReceivesAndMaySwallowIt) {
    std::vector<std::string> seen;
    auto keyDowns = NSEvent::addLocalMonitorForEvents(
        NSEvent::maskFor(NSEvent::EventType::keyDown), [&](const std::shared_ptr<NSEvent>& e) {
            seen.push_back("first " + std::to_string(e->keyCode()));
            return e->keyCode() == testing::kVKC ? nullptr : e;
        });
    auto all = NSEvent::addLocalMonitorForEvents(
        NSEvent::kAnyEventMask, [&](const std::shared_ptr<NSEvent>& e) {
            seen.push_back("second " + std::to_string(e->keyCode()));
            return e;
        });

    auto& app = NSApplication::shared();
    EXPECT_EQ(app.sendEvent(event(CGEventType::keyDown, testing::kVKC)), nullptr);
    EXPECT_NE(app.sendEvent(event(CGEventType::keyUp, testing::kVKC)), nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"first 8", "second 8"}));

    // Once launched, the keys the desktop hands this program go through the monitors.
    NSEvent::removeMonitor(keyDowns);
    seen.clear();
    app.finishLaunching();
    env.desktop().activate(env.desktop().ownApplication()->processIdentifier());
    post(CGEventType::keyDown, testing::kVKX, kCGEventFlagMaskCommand);
    EXPECT_EQ(seen, (std::vector<std::string>{"second 7"}));
    NSEvent::removeMonitor(all);
}

} // namespace
} // namespace zestrel::platform

namespace zestrel::platform {
namespace {

TEST(CurrentEventTest, TheEventBeingSentIsCurrentOnlyWhileItIsDispatched) {
    testing::DesktopEnvironment env;
    auto& app = NSApplication::shared();
    const auto outer =
        NSEvent::mouseEvent(NSEvent::EventType::leftMouseDown, {}, {CGPoint{5, 6}, 1, 1, 1, 2, 1});
    const auto inner =
        NSEvent::mouseEvent(NSEvent::EventType::leftMouseUp, {}, {CGPoint{5, 6}, 2, 1, 2, 2, 0});
    std::vector<std::shared_ptr<NSEvent>> seenByMonitor;
    auto monitor = NSEvent::addLocalMonitorForEvents(
        NSEvent::kAnyEventMask, [&](const std::shared_ptr<NSEvent>& event) {
            seenByMonitor.push_back(app.currentEvent());
            if (event == outer) {
                app.sendEvent(inner); // a nested dispatch gives the outer event back after
                seenByMonitor.push_back(app.currentEvent());
            }
            return event;
        });
    EXPECT_EQ(app.sendEvent(outer), outer);
    EXPECT_EQ(seenByMonitor, (std::vector<std::shared_ptr<NSEvent>>{outer, inner, outer}));
    EXPECT_EQ(app.currentEvent(), nullptr);
    NSEvent::removeMonitor(monitor);

    EXPECT_EQ(inner->clickCount(), 2);
    EXPECT_EQ(inner->locationInWindow(), (CGPoint{5, 6}));
    EXPECT_EQ(NSEvent::mouseEvent(NSEvent::EventType::keyDown, {}, {}), nullptr);
    // A key event has no click in it.
    EXPECT_EQ(
        std::make_shared<NSEvent>(CGEvent(CGEventType::keyDown, 7, {}), nullptr)->clickCount(), 0);
}

} // namespace
} // namespace zestrel::platform
