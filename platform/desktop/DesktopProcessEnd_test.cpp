#include "platform/base/ProcessTeardown.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ReportSink.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UnifiedLog.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventTap.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;
using testing::DesktopEnvironment;

class ProcessEndTest : public ::testing::Test {
protected:
    CFMachPortRef tapOnFinder() {
        auto port = CGEventTapCreateForPid(
            env.finder()->processIdentifier(), kCGHeadInsertEventTap, kCGEventTapOptionDefault,
            CGEventMaskBit(CGEventType::keyDown),
            [this](CGEventTapProxy, CGEventType, const CGEventRef& event, void*) {
                ++tapped;
                return event;
            },
            nullptr);
        CFRunLoopAddSource(CFRunLoopGetMain(), CFMachPortCreateRunLoopSource(nullptr, port, 0),
                           kCFRunLoopCommonModes);
        return port;
    }
    void pressC() {
        auto event = CGEventCreateKeyboardEvent(nullptr, testing::kVKC, true);
        EventSystem::current()->post(kCGHIDEventTap, event);
    }
    CFMachPortRef tapOnFinderAfterTheEnd() {
        return CGEventTapCreateForPid(
            env.finder()->processIdentifier(), kCGHeadInsertEventTap, kCGEventTapOptionDefault,
            CGEventMaskBit(CGEventType::keyDown),
            [](CGEventTapProxy, CGEventType, const CGEventRef& event, void*) { return event; },
            nullptr);
    }
    std::uint32_t tapCount() {
        std::uint32_t count = 0;
        CGGetEventTapList(0, nullptr, &count);
        return count;
    }

    DesktopEnvironment env;
    int tapped = 0;
};

TEST_F(ProcessEndTest, QuittingThisProgramTakesItsTapsAtOnce) {
    const auto port = tapOnFinder(); // still held, as the engine would hold it
    pressC();
    ASSERT_EQ(tapped, 1);

    env.desktop().terminate(env.desktop().ownApplication()->processIdentifier());
    EXPECT_FALSE(CFMachPortIsValid(port));
    EXPECT_EQ(tapCount(), 0u);
    pressC();
    EXPECT_EQ(tapped, 1);
    EXPECT_EQ(env.finder()->receivedEvents().size(), 2u); // the keys still reach the Finder
}

TEST_F(ProcessEndTest, TheEndAloneTakesTheProcesssTapsAndAGrabWithoutHotKeys) {
    // No desktop quits anything here: what goes, goes by the process's own teardown.
    const auto port = tapOnFinder();
    pressC();
    ASSERT_EQ(tapped, 1);
    int grabbed = 0;
    HotKeySystem::current()->setKeyboardGrab([&](const CGEvent&) { ++grabbed; });
    pressC(); // the grab takes it before the taps
    ASSERT_EQ(grabbed, 1);

    ProcessTeardown::run();
    EXPECT_FALSE(CFMachPortIsValid(port));
    EXPECT_EQ(tapCount(), 0u);
    pressC();
    EXPECT_EQ(tapped, 1);
    EXPECT_EQ(grabbed, 1);
    EXPECT_EQ(env.finder()->receivedEvents().size(), 2u);
}

TEST_F(ProcessEndTest, WhatItsCodeStillAsksFromAThreadOfItsOwnHasNoEffect) {
    const auto pasteboard = env.desktop().generalPasteboard();
    const auto changes = pasteboard->changeCount();
    const auto logLines = env.logLines().size();
    DispatchQueue queue("com.example.work");
    std::promise<void> started;
    std::promise<void> release;
    bool posted = false;
    queue.async([&, wait = release.get_future().share()] {
        started.set_value();
        wait.wait(); // the process ends meanwhile
        pasteboard->clearContents();
        pasteboard->setString("late", NSPasteboardType::string);
        UserDefaults::standard()->set(Value(true), "late");
        osLog(OSLog{"com.example", "work"}, OSLogType::error, "late");
        deliverReport(NSError::make(NSCocoaErrorDomain, 1));
        DispatchQueue::main().async([&] { posted = true; });
    });
    started.get_future().wait();
    ProcessTeardown::run();
    release.set_value();
    queue.sync([] {}); // after the block that went on
    env.runUntilIdle();

    EXPECT_EQ(pasteboard->changeCount(), changes);
    EXPECT_FALSE(pasteboard->stringForType(NSPasteboardType::string));
    EXPECT_TRUE(UserDefaults::standard()->object("late").isAbsent());
    EXPECT_EQ(env.logLines().size(), logLines);
    EXPECT_TRUE(env.reports().empty());
    EXPECT_FALSE(posted);
}

TEST_F(ProcessEndTest, QuittingAnotherApplicationTakesItsTaps) {
    const auto overlay = env.desktop().launch(kOverlayBundleIdentifier, false);
    EventSystem::current()->addForeignTap({.tappingProcess = overlay->processIdentifier()});
    EventSystem::current()->addForeignTap({.tappingProcess = 999});
    ASSERT_EQ(tapCount(), 2u);
    env.desktop().terminate(overlay->processIdentifier());
    std::array<CGEventTapInformation, 4> taps{};
    std::uint32_t count = 0;
    CGGetEventTapList(4, taps.data(), &count);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(taps[0].tappingProcess, 999);
}

TEST_F(ProcessEndTest, TheTeardownListRunsOnceWhenThisProgramQuitsAndNotForOthers) {
    std::vector<std::string> ran;
    ProcessTeardown::add([&] { ran.push_back("first"); });
    ProcessTeardown::add([&] { ran.push_back("second"); });

    env.desktop().terminate(env.finder()->processIdentifier());
    EXPECT_TRUE(ran.empty());

    env.desktop().terminate(env.desktop().ownApplication()->processIdentifier());
    EXPECT_EQ(ran, (std::vector<std::string>{"second", "first"}));
    env.desktop().launchOwnApplication();
    env.desktop().terminate(env.desktop().ownApplication()->processIdentifier());
    EXPECT_EQ(ran.size(), 2u);
}

TEST_F(ProcessEndTest, QuittingThisProgramEndsItsTimersAndObserversButNotTheDesktopsWork) {
    int fired = 0;
    int heard = 0;
    bool desktopWork = false;
    RunLoop::main().asyncAt(clock().uptime() + 1s, [&] { ++fired; });
    const auto token = NotificationCenter::workspaceCenter()->addObserver(
        std::nullopt, Value(), [&](const Notification&) { ++heard; });
    env.desktop().after(1s, [&] { desktopWork = true; });

    EXPECT_TRUE(env.desktop().quitOwnApplication());
    const int heardBefore = heard;
    EXPECT_FALSE(env.desktop().ownApplication());
    env.advance(2s);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(desktopWork);
    env.desktop().launch(kTextEditBundleIdentifier);
    EXPECT_EQ(heard, heardBefore);
    EXPECT_FALSE(env.desktop().quitOwnApplication());
}

TEST_F(ProcessEndTest, ThisProgramQuittingInFrontHearsNothingOfWhatComesForward) {
    auto& desktop = env.desktop();
    const auto own = desktop.ownApplication();
    ASSERT_TRUE(desktop.activate(own->processIdentifier()));
    int told = 0;
    NSWorkspace::shared()->keyValueObservers().addObserver(
        "frontmostApplication", NSKeyValueObservingOptionNew,
        [&](const KeyValueNotification&) { ++told; });
    NotificationCenter::workspaceCenter()->addObserver(std::nullopt, Value(),
                                                       [&](const Notification&) { ++told; });

    desktop.terminate(own->processIdentifier());
    EXPECT_EQ(told, 0);
    EXPECT_EQ(desktop.frontmostApplication()->bundleIdentifier(), kFinderBundleIdentifier);
}

TEST_F(ProcessEndTest, AnEndedProgramHoldsNothingAndRegistersNothing) {
    auto& desktop = env.desktop();
    const auto target = GetApplicationEventTarget();
    EventHotKeyRef before;
    ASSERT_EQ(RegisterEventHotKey(7, cmdKey, {fourCharCode("TEST"), 1}, target, 0, &before), noErr);
    HotKeySystem::current()->setKeyboardGrab([](const CGEvent&) {});
    int monitored = 0;
    NSEvent::addLocalMonitorForEvents(NSEvent::kAnyEventMask,
                                      [&](const std::shared_ptr<NSEvent>& event) {
                                          ++monitored;
                                          return event;
                                      });
    int ownKeys = 0;
    desktop.setOwnKeyEventHandler([&](std::uint16_t, auto, const std::string&) { ++ownKeys; });
    bool desktopWork = false;
    desktop.after(1s, [&] { desktopWork = true; });

    desktop.endOwnProcess();
    EXPECT_TRUE(HotKeySystem::current()->registrations().empty());
    EventHotKeyRef after;
    EXPECT_EQ(RegisterEventHotKey(9, cmdKey, {fourCharCode("TEST"), 2}, target, 0, &after),
              eventInternalErr);
    EXPECT_TRUE(HotKeySystem::current()->registrations().empty());
    EXPECT_EQ(tapOnFinderAfterTheEnd(), nullptr);
    HotKeySystem::current()->setKeyboardGrab([](const CGEvent&) {});
    pressC(); // neither grabbed nor seen by the monitor: it reaches the Finder
    EXPECT_EQ(env.finder()->receivedEvents().size(), 1u);
    desktop.setOwnKeyEventHandler([&](std::uint16_t, auto, const std::string&) { ++ownKeys; });
    desktop.deliverKeyEvent(desktop.ownApplication()->processIdentifier(), 8, {}, "c");
    NSEvent::runLocalMonitors(std::make_shared<NSEvent>(CGEvent(CGEventType::keyDown, 8, {}),
                                                        InputSources::current()->currentLayout()));
    EXPECT_EQ(monitored, 0);
    EXPECT_EQ(ownKeys, 0);
    env.advance(1s);
    EXPECT_TRUE(desktopWork);
}

TEST_F(ProcessEndTest, TheCopyLatencyIsASettingOfTheInstalledFileManager) {
    auto& desktop = env.desktop();
    desktop.setCopyLatency(kFinderBundleIdentifier, 300ms);
    EXPECT_EQ(env.finder()->copyLatency(), 300ms);

    // A relaunched Finder copies as slowly; ForkLift keeps its own setting.
    desktop.terminate(env.finder()->processIdentifier());
    desktop.launch(kFinderBundleIdentifier);
    const auto finder = env.finder();
    EXPECT_EQ(finder->copyLatency(), 300ms);
    const auto forkLift = env.launch<FileManagerApplication>(kForkLiftBundleIdentifier);
    EXPECT_EQ(forkLift->copyLatency(), FileManagerApplication::kDefaultCopyLatency);

    const auto folder = env.makeFolder("Files");
    env.writeFile(folder / "a.txt", "alpha");
    finder->openFolder(folder);
    finder->select({"a.txt"});
    const auto pasteboard = desktop.generalPasteboard();
    const auto count = pasteboard->changeCount();
    env.press(*finder, testing::kVKC, NSEvent::ModifierFlags::command, "c");
    env.advance(299ms);
    EXPECT_EQ(pasteboard->changeCount(), count);
    env.advance(1ms);
    EXPECT_EQ(pasteboard->changeCount(), count + 1);

    // One launch may still be given its own.
    finder->setCopyLatency(10ms);
    EXPECT_EQ(finder->copyLatency(), 10ms);
}

} // namespace
} // namespace zestrel::platform
