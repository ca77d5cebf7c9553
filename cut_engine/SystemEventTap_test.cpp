#include "cut_engine/SystemEventTap.h"

#include "platform/desktop/Accessibility.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zestrel {
namespace {

using platform::CGEventType;
using platform::NSEvent;
using platform::ReceivedKeyEvent;
using platform::testing::kVKX;

constexpr auto kCommand = NSEvent::ModifierFlags::command;

class SystemEventTapTest : public ::testing::Test {
protected:
    SystemEventTapTest() : finder(env.finder()) {}

    std::shared_ptr<SystemEventTap> tapFinder(std::vector<CGEventType> events = {
                                                  CGEventType::keyDown}) {
        return SystemEventTap::make(
            events, finder->processIdentifier(), platform::kCGAnnotatedSessionEventTap,
            platform::kCGHeadInsertEventTap, platform::kCGEventTapOptionDefault,
            [this](const std::shared_ptr<NSEvent>& event) {
                seen.push_back(event->keyCode());
                return answer ? answer(event) : event;
            });
    }

    void pressCommandX() {
        const auto event = platform::CGEventCreateKeyboardEvent(nullptr, kVKX, true);
        event->setFlags(platform::CGEventFlags{kCommand.rawValue});
        platform::EventSystem::current()->post(platform::kCGHIDEventTap, event);
    }

    void setFaults(bool toNSEvent, bool toCGEvent) {
        platform::EventSystem::Faults faults;
        faults.nsEventFromCGEvent = toNSEvent;
        faults.cgEventFromNSEvent = toCGEvent;
        platform::EventSystem::current()->setFaults(faults);
    }

    bool logged(const std::string& message) {
        const auto lines = env.logLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.starts_with(message + "\n\t[");
        });
    }

    const ReceivedKeyEvent commandX{kVKX, kCommand, "x"};

    platform::testing::DesktopEnvironment env;
    std::shared_ptr<platform::FileManagerApplication> finder;
    std::vector<std::uint16_t> seen;
    SystemEventTap::Action answer;
};

TEST(EventMaskTest, OneBitPerTypeAndNoneForTheDisableNotices) {
    EXPECT_EQ(eventMask({}), 0u);
    EXPECT_EQ(eventMask({CGEventType::keyDown}), 0x400u);
    EXPECT_EQ(eventMask({CGEventType::keyDown, CGEventType::keyUp, CGEventType::flagsChanged}),
              0x1C00u);
    EXPECT_EQ(eventMask({CGEventType::tapDisabledByTimeout, CGEventType::tapDisabledByUserInput}),
              0u);
}

TEST_F(SystemEventTapTest, AnAnsweredEventReachesTheAppAndNoAnswerDropsIt) {
    const auto tap = tapFinder();
    pressCommandX();
    EXPECT_EQ(finder->receivedEvents(), std::vector<ReceivedKeyEvent>{commandX});

    answer = [](const std::shared_ptr<NSEvent>&) { return std::shared_ptr<NSEvent>(); };
    pressCommandX();
    EXPECT_EQ(finder->receivedEvents().size(), 1u);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(SystemEventTapTest, ADisableNoticeReenablesTheTapWithoutCallingTheAction) {
    const auto tap = tapFinder();
    const auto system = platform::EventSystem::current();
    system->disableTapByTimeout(tap->port()->eventTapID());
    EXPECT_FALSE(platform::CGEventTapIsEnabled(tap->port()));
    env.runUntilIdle();
    EXPECT_TRUE(platform::CGEventTapIsEnabled(tap->port()));
    EXPECT_TRUE(logged("\"Tap disabled, enabling it again.\" \"timeout\""));

    system->disableTapByUserInput(tap->port()->eventTapID());
    env.runUntilIdle();
    EXPECT_TRUE(platform::CGEventTapIsEnabled(tap->port()));
    EXPECT_TRUE(logged("\"Tap disabled, enabling it again.\" \"userInput\""));
    EXPECT_TRUE(seen.empty());
}

TEST_F(SystemEventTapTest, AKeyThatCannotBeConvertedPassesUnchangedAndIsReported) {
    const auto tap = tapFinder();
    answer = [](const std::shared_ptr<NSEvent>&) -> std::shared_ptr<NSEvent> {
        ADD_FAILURE() << "the action is not called without an NSEvent";
        return nullptr;
    };
    setFaults(true, false);
    pressCommandX();
    answer = nullptr;
    setFaults(false, true);
    pressCommandX();

    EXPECT_EQ(finder->receivedEvents(), (std::vector<ReceivedKeyEvent>{commandX, commandX}));
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].localizedDescription(), "Failed to convert CGEvent to NSEvent");
    EXPECT_EQ(reports[1].localizedDescription(), "Failed to convert NSEvent to CGEvent");
}

TEST_F(SystemEventTapTest, ReleaseDisablesAndRemovesTheTap) {
    auto tap = tapFinder();
    const std::weak_ptr<platform::CFMachPort> port = tap->port();
    const auto source = tap->runLoopSource();
    tap.reset();
    EXPECT_FALSE(platform::CFRunLoopSourceIsValid(source));
    EXPECT_TRUE(port.expired());
    platform::CGEventTapInformation info;
    std::uint32_t count = 0;
    platform::CGGetEventTapList(1, &info, &count);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(logged("\"DEINIT - SystemEventTap\""));
    pressCommandX();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(finder->receivedEvents().size(), 1u);
}

TEST_F(SystemEventTapTest, ReleaseDisablesTheTapEvenWhileItsPortIsStillHeld) {
    auto tap = tapFinder();
    const platform::CFMachPortRef port = tap->port();
    tap.reset();
    // The port still names the tap, but nothing may call the released object back.
    ASSERT_FALSE(platform::CGEventTapIsEnabled(port));
    pressCommandX();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(finder->receivedEvents(), std::vector<ReceivedKeyEvent>{commandX});
}

TEST_F(SystemEventTapTest, AnEmptyEventListMakesATapThatSeesNothing) {
    const auto tap = tapFinder({});
    platform::CGEventTapInformation info;
    std::uint32_t count = 0;
    platform::CGGetEventTapList(1, &info, &count);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(info.eventsOfInterest, 0u);
    pressCommandX();
    EXPECT_TRUE(seen.empty());
}

TEST_F(SystemEventTapTest, ATapAtALocationSeesEveryProcessAndAListenerAsksToListen) {
    const auto tap =
        SystemEventTap::make({CGEventType::keyDown}, std::nullopt, platform::kCGSessionEventTap,
                             platform::kCGTailAppendEventTap, platform::kCGEventTapOptionListenOnly,
                             [this](const std::shared_ptr<NSEvent>& event) {
                                 seen.push_back(event->keyCode());
                                 return event;
                             });
    EXPECT_EQ(platform::Accessibility::current()->listenEventAccessRequestCount(), 1);
    pressCommandX();
    EXPECT_EQ(seen, std::vector<std::uint16_t>{kVKX});
}

TEST_F(SystemEventTapTest, ARefusedRunLoopSourceFails) {
    platform::EventSystem::Faults faults;
    faults.runLoopSourceCreation = true;
    platform::EventSystem::current()->setFaults(faults);
    try {
        tapFinder();
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.localizedDescription(), "Failed to create run loop source.");
    }
}

} // namespace
} // namespace zestrel
