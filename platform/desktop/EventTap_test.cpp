#include "platform/desktop/EventTap.h"

#include "platform/base/ProcessLocal.h"
#include "platform/desktop/Accessibility.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace zestrel::platform {
namespace {

constexpr int kFinderPid = 42;

class EventTapTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<EventSystem> system = EventSystem::current();
    std::vector<CGEventType> seen;
    int delivered = 0;

    EventTapTest() {
        system->setApplicationDelivery([this](int, const CGEventRef&) { ++delivered; });
        system->setKeyboardFocusProvider([] { return kFinderPid; });
    }

    CGEventTapCallBack recorder() {
        return [this](CGEventTapProxy, CGEventType type, const CGEventRef& event, void*) {
            seen.push_back(type);
            return event;
        };
    }

    CFMachPortRef finderTap(CGEventTapOptions options = kCGEventTapOptionDefault) {
        return CGEventTapCreateForPid(kFinderPid, kCGHeadInsertEventTap, options,
                                      CGEventMaskBit(CGEventType::keyDown), recorder(), nullptr);
    }

    static CFRunLoopSourceRef schedule(const CFMachPortRef& port) {
        auto source = CFMachPortCreateRunLoopSource(nullptr, port, 0);
        CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
        return source;
    }

    void pressX() { system->post(kCGHIDEventTap, CGEventCreateKeyboardEvent(nullptr, 7, true)); }

    std::vector<CGEventTapInformation> list() const {
        std::array<CGEventTapInformation, 100> taps{};
        std::uint32_t count = 0;
        EXPECT_EQ(CGGetEventTapList(100, taps.data(), &count), CGError::success);
        return {taps.begin(), taps.begin() + count};
    }
};

TEST_F(EventTapTest, NoActiveTapWithoutTrust) {
    Accessibility::current()->setTrusted(false);
    EXPECT_FALSE(finderTap());
    EXPECT_FALSE(CGEventTapCreate(kCGSessionEventTap, kCGHeadInsertEventTap,
                                  kCGEventTapOptionDefault, kCGEventMaskForAllEvents, recorder(),
                                  nullptr));
    // A listener may instead have the right to listen.
    EXPECT_TRUE(finderTap(kCGEventTapOptionListenOnly));
    Accessibility::current()->setListenEventAccess(false);
    EXPECT_FALSE(finderTap(kCGEventTapOptionListenOnly));
    Accessibility::current()->setTrusted(true);
    EXPECT_TRUE(finderTap());
    EXPECT_FALSE(CGEventTapCreateForPid(0, kCGHeadInsertEventTap, kCGEventTapOptionDefault, 0,
                                        recorder(), nullptr));
}

TEST_F(EventTapTest, TrustPromptsAndAccessRequestsAreRecorded) {
    const auto access = Accessibility::current();
    const Value::Dictionary prompt = {{kAXTrustedCheckOptionPrompt, Value(true)}};
    EXPECT_TRUE(AXIsProcessTrustedWithOptions(prompt));
    EXPECT_EQ(access->promptCount(), 0); // a trusted process is not prompted

    access->setTrusted(false);
    EXPECT_FALSE(AXIsProcessTrustedWithOptions(nullptr));
    EXPECT_FALSE(AXIsProcessTrustedWithOptions(
        Value::Dictionary{{kAXTrustedCheckOptionPrompt, Value(false)}}));
    EXPECT_EQ(access->promptCount(), 0);
    EXPECT_FALSE(AXIsProcessTrustedWithOptions(prompt));
    EXPECT_EQ(access->promptCount(), 1);
    EXPECT_FALSE(AXIsProcessTrusted());

    access->setPostEventAccess(false);
    EXPECT_FALSE(CGPreflightPostEventAccess());
    EXPECT_FALSE(CGRequestPostEventAccess());
    EXPECT_TRUE(CGRequestListenEventAccess());
    EXPECT_EQ(access->postEventAccessRequestCount(), 1);
    EXPECT_EQ(access->listenEventAccessRequestCount(), 1);
}

TEST_F(EventTapTest, TheListShowsOurTapsAndForeignOnes) {
    system->setOwnProcessIdentifier(300);
    const auto foreign = system->addForeignTap({.tappingProcess = 500,
                                                .processBeingTapped = 0,
                                                .location = kCGHIDEventTap,
                                                .options = kCGEventTapOptionListenOnly,
                                                .eventsOfInterest = 0x1C00,
                                                .enabled = false});
    const auto port = finderTap();
    ASSERT_TRUE(port);

    const auto taps = list();
    ASSERT_EQ(taps.size(), 2u);
    // Our head-inserted tap comes before the foreign tail-appended one.
    EXPECT_EQ(taps[0].eventTapID, port->eventTapID());
    EXPECT_EQ(taps[0].tappingProcess, 300);
    EXPECT_EQ(taps[0].processBeingTapped, kFinderPid);
    EXPECT_EQ(taps[0].options, kCGEventTapOptionDefault);
    EXPECT_EQ(taps[0].eventsOfInterest, 0x400u);
    EXPECT_TRUE(taps[0].enabled);
    EXPECT_EQ(taps[1].eventTapID, foreign);
    EXPECT_EQ(taps[1].tappingProcess, 500);
    EXPECT_EQ(taps[1].processBeingTapped, 0);
    EXPECT_EQ(taps[1].tapPoint, kCGHIDEventTap);
    EXPECT_EQ(taps[1].options, kCGEventTapOptionListenOnly);
    EXPECT_EQ(taps[1].eventsOfInterest, 0x1C00u);
    EXPECT_FALSE(taps[1].enabled);

    std::array<CGEventTapInformation, 1> one{};
    std::uint32_t count = 0;
    EXPECT_EQ(CGGetEventTapList(1, one.data(), &count), CGError::success);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(CGGetEventTapList(0, nullptr, &count), CGError::success);
    EXPECT_EQ(count, 2u);

    system->removeForeignTap(foreign);
    EXPECT_EQ(list().size(), 1u);
}

TEST_F(EventTapTest, TheListAnswersAnInjectedError) {
    system->setTapListError(static_cast<CGError>(1009));
    std::array<CGEventTapInformation, 100> taps{};
    std::uint32_t count = 7;
    EXPECT_EQ(CGGetEventTapList(100, taps.data(), &count), static_cast<CGError>(1009));
    EXPECT_EQ(count, 0u);
    system->setTapListError(std::nullopt);
    EXPECT_EQ(CGGetEventTapList(100, taps.data(), &count), CGError::success);
}

TEST_F(EventTapTest, TheListHoldsAtMostWhatRoomIsGiven) {
    for (int i = 0; i < 120; ++i) {
        system->addForeignTap({.tappingProcess = 1000 + i});
    }
    EXPECT_EQ(list().size(), 100u);
}

TEST_F(EventTapTest, ReleasingOrInvalidatingThePortRemovesTheTap) {
    auto port = finderTap();
    const auto source = schedule(port);
    ASSERT_EQ(list().size(), 1u);
    CFMachPortInvalidate(port);
    EXPECT_FALSE(CFMachPortIsValid(port));
    EXPECT_FALSE(CFRunLoopSourceIsValid(source)); // the port takes its source along
    EXPECT_TRUE(list().empty());

    port = finderTap();
    schedule(port);
    port.reset();
    EXPECT_TRUE(list().empty());
    pressX();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(delivered, 1);
}

TEST_F(EventTapTest, TheEndOfTheProcessRemovesItsTapsButNotForeignOnes) {
    system->addForeignTap({.tappingProcess = 500});
    const auto port = finderTap(); // held past the end, as a leak would
    schedule(port);
    pressX();
    ASSERT_EQ(seen.size(), 1u);

    resetProcess();
    EXPECT_FALSE(CFMachPortIsValid(port));
    EXPECT_FALSE(CGEventTapIsEnabled(port));
    const auto taps = list();
    ASSERT_EQ(taps.size(), 1u);
    EXPECT_EQ(taps[0].tappingProcess, 500);
    pressX();
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(delivered, 2);
}

struct DisableCase {
    void (EventSystem::*disable)(std::uint32_t);
    CGEventType notice;
};

TEST_F(EventTapTest, ADisabledTapsCallbackIsToldOnceOnTheRunLoop) {
    const DisableCase cases[] = {
        {&EventSystem::disableTapByTimeout, CGEventType::tapDisabledByTimeout},
        {&EventSystem::disableTapByUserInput, CGEventType::tapDisabledByUserInput},
    };
    for (const auto& c : cases) {
        seen.clear();
        const auto port = finderTap();
        schedule(port);
        ((*system).*c.disable)(port->eventTapID());
        ((*system).*c.disable)(port->eventTapID()); // already off: no second notice
        EXPECT_FALSE(CGEventTapIsEnabled(port));
        EXPECT_TRUE(seen.empty()); // the notice comes through the run loop
        pressX();
        EXPECT_TRUE(seen.empty()); // a disabled tap is skipped
        env.runUntilIdle();
        EXPECT_EQ(seen, std::vector<CGEventType>{c.notice});

        CGEventTapEnable(port, true);
        pressX();
        env.runUntilIdle();
        EXPECT_EQ(seen, (std::vector<CGEventType>{c.notice, CGEventType::keyDown}));
    }
}

TEST_F(EventTapTest, NoNoticeReachesAnInvalidatedSource) {
    const auto port = finderTap();
    const auto source = schedule(port);
    system->disableTapByTimeout(port->eventTapID());
    CFRunLoopSourceInvalidate(source);
    env.runUntilIdle();
    EXPECT_TRUE(seen.empty());
}

TEST_F(EventTapTest, ANoticeBeforeTheSourceWaitsForIt) {
    const auto port = finderTap();
    system->disableTapByUserInput(port->eventTapID());
    env.runUntilIdle();
    EXPECT_TRUE(seen.empty());
    schedule(port);
    env.runUntilIdle();
    EXPECT_EQ(seen, std::vector<CGEventType>{CGEventType::tapDisabledByUserInput});
}

TEST_F(EventTapTest, RunLoopSourceCreationCanBeMadeToFail) {
    const auto port = finderTap();
    system->setFaults({.runLoopSourceCreation = true});
    EXPECT_FALSE(CFMachPortCreateRunLoopSource(nullptr, port, 0));
}

} // namespace
} // namespace zestrel::platform
