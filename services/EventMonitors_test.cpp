#include "services/EventMonitors.h"

#include "platform/appkit/NSApplication.h"
#include "platform/concurrency/Task.h"
#include "platform/desktop/CGEvent.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <vector>

namespace zestrel {
namespace {

using platform::NSEvent;

std::shared_ptr<NSEvent> makeEvent(platform::CGEventType type, std::uint16_t keyCode = 0) {
    return std::make_shared<NSEvent>(platform::CGEvent(type, keyCode, {}), nullptr);
}

constexpr NSEvent::EventTypeMask kKeys = 3072; // key down and key up

class EventMonitorsTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    platform::NSApplication& app = platform::NSApplication::shared();
};

TEST_F(EventMonitorsTest, ALocalMonitorPublishesEveryEventAndItsCallbackMaySwallow) {
    std::vector<std::uint16_t> published;
    auto passing = LocalEventMonitor::make(1044)->start();
    auto subscription = passing->objectWillChange().sink(
        [&](const std::shared_ptr<NSEvent>& event) { published.push_back(event->keyCode()); });
    auto swallowing = LocalEventMonitor::make(kKeys, [](const std::shared_ptr<NSEvent>&) {
                          return std::shared_ptr<NSEvent>();
                      })->start();

    EXPECT_EQ(app.sendEvent(makeEvent(platform::CGEventType::keyDown, 5)), nullptr);
    // Mask 1044 has no key-up bit: the first monitor does not see it.
    EXPECT_EQ(app.sendEvent(makeEvent(platform::CGEventType::keyUp, 6)), nullptr);
    EXPECT_EQ(published, (std::vector<std::uint16_t>{5}));

    // Released monitors leave the events alone and publish nothing.
    swallowing.reset();
    auto event = makeEvent(platform::CGEventType::keyDown, 7);
    passing.reset();
    EXPECT_EQ(app.sendEvent(event), event);
    EXPECT_EQ(published, (std::vector<std::uint16_t>{5}));

    // One let go inside its own callback sees nothing from then on, not even the events of a
    // run that callback goes on into (an alert's).
    std::vector<std::uint16_t> seen;
    std::shared_ptr<LocalEventMonitor> letGo;
    letGo = LocalEventMonitor::make(kKeys, [&](const std::shared_ptr<NSEvent>& key) {
                seen.push_back(key->keyCode());
                letGo.reset();
                if (key->keyCode() == 8) {
                    app.sendEvent(makeEvent(platform::CGEventType::keyDown, 9));
                }
                return key;
            })->start();
    app.sendEvent(makeEvent(platform::CGEventType::keyDown, 8));
    EXPECT_EQ(seen, (std::vector<std::uint16_t>{8}));
}

TEST_F(EventMonitorsTest, ARunLoopPassFiltersMaskedEventsAndPutsTheRestBackInOrder) {
    std::vector<NSEvent::EventType> called;
    RunLoopLocalEventMonitor monitor(
        kKeys, platform::RunLoopMode::defaultMode, [&](const std::shared_ptr<NSEvent>& event) {
            called.push_back(event->type());
            return event->type() == NSEvent::EventType::keyDown ? nullptr : event;
        });
    app.postEvent(makeEvent(platform::CGEventType::leftMouseDown), false);
    app.postEvent(makeEvent(platform::CGEventType::keyDown), false);
    app.postEvent(makeEvent(platform::CGEventType::keyUp), false);

    // Not added yet: the pass does not run.
    platform::RunLoop::main().async([] {});
    env.runUntilIdle();
    EXPECT_TRUE(called.empty());

    platform::RunLoop::current().add(monitor.observer(), monitor.runLoopMode());
    platform::RunLoop::main().async([] {});
    env.runUntilIdle();
    platform::RunLoop::current().remove(monitor.observer(), monitor.runLoopMode());

    EXPECT_EQ(called.front(), NSEvent::EventType::keyDown);
    std::vector<NSEvent::EventType> left;
    while (auto event = app.nextEvent(NSEvent::kAnyEventMask, std::nullopt,
                                      platform::RunLoopMode::defaultMode, true)) {
        left.push_back(event->type());
    }
    EXPECT_EQ(left, (std::vector<NSEvent::EventType>{NSEvent::EventType::leftMouseDown,
                                                     NSEvent::EventType::keyUp}));
}

TEST_F(EventMonitorsTest, ARunLoopPassHandsEachEventOverOnceAndKeepsTheQueuesOrder) {
    const std::vector<std::shared_ptr<NSEvent>> queued{
        makeEvent(platform::CGEventType::keyUp, 1),
        makeEvent(platform::CGEventType::leftMouseDown),
        makeEvent(platform::CGEventType::keyDown, 3),
        makeEvent(platform::CGEventType::rightMouseUp),
        makeEvent(platform::CGEventType::keyUp, 5),
    };
    std::vector<std::shared_ptr<NSEvent>> called;
    std::unique_ptr<RunLoopLocalEventMonitor> monitor;
    monitor = std::make_unique<RunLoopLocalEventMonitor>(
        kKeys, platform::RunLoopMode::defaultMode, [&](const std::shared_ptr<NSEvent>& event) {
            called.push_back(event);
            // One pass only: the observer goes with the first event it hands over.
            platform::RunLoop::current().remove(monitor->observer(), monitor->runLoopMode());
            return event;
        });
    for (const auto& event : queued) {
        app.postEvent(event, false);
    }

    platform::RunLoop::current().add(monitor->observer(), monitor->runLoopMode());
    platform::RunLoop::main().async([] {});
    env.runUntilIdle();

    EXPECT_EQ(called, (std::vector<std::shared_ptr<NSEvent>>{queued[0], queued[2], queued[4]}));
    std::vector<std::shared_ptr<NSEvent>> left;
    while (auto event = app.nextEvent(NSEvent::kAnyEventMask, std::nullopt,
                                      platform::RunLoopMode::defaultMode, true)) {
        left.push_back(event);
    }
    EXPECT_EQ(left, queued);
}

class CarbonLocalEventMonitorTest : public EventMonitorsTest {
protected:
    static platform::EventRef rawKey(platform::UInt32 kind, platform::UInt32 keyCode) {
        auto event = platform::CreateEvent(platform::kEventClassKeyboard, kind);
        const platform::UInt32 modifiers = platform::cmdKey;
        event->setParameter(platform::kEventParamKeyCode, platform::typeUInt32, &keyCode,
                            sizeof keyCode);
        event->setParameter(platform::kEventParamKeyModifiers, platform::typeUInt32, &modifiers,
                            sizeof modifiers);
        return event;
    }
};

TEST_F(CarbonLocalEventMonitorTest, TheCallbackDecidesWhetherTheNextHandlerSeesTheEvent) {
    const auto target = platform::GetApplicationEventTarget();
    int behind = 0;
    platform::EventHandlerRef next;
    const platform::EventTypeSpec keyDown{platform::kEventClassKeyboard,
                                          platform::kEventRawKeyDown};
    platform::InstallEventHandler(
        target,
        [&](platform::EventHandlerCallRef, const platform::EventRef&, void*) {
            ++behind;
            return platform::noErr;
        },
        1, &keyDown, nullptr, &next);

    std::vector<std::uint16_t> seen;
    auto monitor = CarbonLocalEventMonitor::make({CarbonLocalEventMonitor::EventType::keyDown},
                                                 false, [&](const std::shared_ptr<NSEvent>& event) {
                                                     seen.push_back(event->keyCode());
                                                     return event->keyCode() == 7;
                                                 });
    monitor->start();
    monitor->start(); // a second start replaces the first handler
    EXPECT_EQ(platform::eventHandlerCount(target), 2u);

    EXPECT_EQ(platform::SendEventToEventTarget(rawKey(platform::kEventRawKeyDown, 7), target),
              platform::noErr);
    EXPECT_EQ(behind, 0);
    platform::SendEventToEventTarget(rawKey(platform::kEventRawKeyDown, 8), target);
    EXPECT_EQ(behind, 1);
    // A key-up is not among its events.
    platform::SendEventToEventTarget(rawKey(platform::kEventRawKeyUp, 7), target);
    EXPECT_EQ(seen, (std::vector<std::uint16_t>{7, 8}));

    std::weak_ptr<CarbonLocalEventMonitor> weak = monitor;
    monitor.reset();
    EXPECT_FALSE(weak.expired()) << "the installed handler keeps it";
    weak.lock()->stop();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(platform::eventHandlerCount(target), 1u);
    EXPECT_EQ(env.standardOutput(), "DEINIT - CarbonLocalEventMonitor\n");
}

TEST_F(CarbonLocalEventMonitorTest, NoEventsInstallNothing) {
    auto monitor = CarbonLocalEventMonitor::make({}, true, [](const auto&) { return true; });
    monitor->start();
    EXPECT_FALSE(monitor->isInstalled());
    EXPECT_EQ(platform::eventHandlerCount(platform::GetEventDispatcherTarget()), 0u);
}

TEST(HeadingDelegateTest, ReadingsFlowUntilAFailureEndsTheStreamWithIt) {
    platform::testing::TestEnvironment env;
    auto [stream, continuation] = HeadingDelegate::Stream::makeStream();
    platform::CLLocationManager manager;
    auto delegate = std::make_shared<HeadingDelegate>(continuation);
    manager.setDelegate(delegate);

    std::vector<double> seen;
    std::string failure;
    auto consumer = platform::Task<void>::run([&, stream = stream]() -> platform::Task<void> {
        try {
            while (auto heading = co_await stream.next()) {
                seen.push_back(heading->magneticHeading);
            }
        } catch (const platform::Error& error) {
            failure = error.nsError()->domain();
        }
    });
    manager.updateHeading({.magneticHeading = 90});
    env.runUntilIdle();
    manager.updateHeading({.magneticHeading = 180});
    manager.fail(platform::NSError::make("kCLErrorDomain", 1));
    manager.updateHeading({.magneticHeading = 270}); // after the end: dropped
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<double>{90, 180}));
    EXPECT_EQ(failure, "kCLErrorDomain");
}

TEST(HeadingDelegateDeathTest, ThePlainInitializerStopsTheProcess) {
    EXPECT_DEATH(HeadingDelegate{}, "unimplemented initializer 'init\\(\\)'");
}

} // namespace
} // namespace zestrel
