#include "platform/desktop/EventSystem.h"

#include "platform/desktop/Accessibility.h"
#include "platform/desktop/EventTap.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

constexpr int kFrontmostPid = 42;
constexpr int kOtherPid = 43;

struct Delivered {
    int pid;
    std::uint16_t keyCode;
    std::uint64_t flags;
};

class EventSystemTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<EventSystem> system = EventSystem::current();
    std::vector<std::string> calls;
    std::vector<Delivered> delivered;
    // Ports and sources held by the test, as the engine holds them.
    std::vector<CFMachPortRef> ports;
    std::vector<CFRunLoopSourceRef> sources;

    EventSystemTest() {
        system->setApplicationDelivery([this](int pid, const CGEventRef& event) {
            calls.push_back("app");
            delivered.push_back({pid, event->keyCode(), event->flags().rawValue});
        });
        system->setKeyboardFocusProvider([] { return kFrontmostPid; });
    }

    using Answer = std::function<CGEventRef(const CGEventRef&)>;

    static CGEventRef same(const CGEventRef& event) { return event; }

    CGEventTapCallBack recorder(std::string name, Answer answer) {
        return [this, name = std::move(name), answer = std::move(answer)](
                   CGEventTapProxy, CGEventType, const CGEventRef& event, void*) {
            calls.push_back(name);
            return answer(event);
        };
    }

    // A tap whose source is scheduled on the main run loop, in the common modes unless told.
    CFMachPortRef schedule(CFMachPortRef port, RunLoopMode mode = kCFRunLoopCommonModes) {
        EXPECT_TRUE(port);
        auto source = CFMachPortCreateRunLoopSource(nullptr, port, 0);
        CFRunLoopAddSource(CFRunLoopGetCurrent(), source, mode);
        ports.push_back(port);
        sources.push_back(source);
        return port;
    }

    CFMachPortRef tapAt(CGEventTapLocation location, std::string name, Answer answer = same,
                        CGEventTapPlacement place = kCGHeadInsertEventTap,
                        CGEventTapOptions options = kCGEventTapOptionDefault,
                        CGEventMask mask = CGEventMaskBit(CGEventType::keyDown)) {
        return schedule(CGEventTapCreate(location, place, options, mask,
                                         recorder(std::move(name), std::move(answer)), nullptr));
    }

    CFMachPortRef tapOn(int pid, std::string name, Answer answer = same,
                        CGEventTapPlacement place = kCGHeadInsertEventTap,
                        CGEventTapOptions options = kCGEventTapOptionDefault,
                        CGEventMask mask = CGEventMaskBit(CGEventType::keyDown)) {
        return schedule(CGEventTapCreateForPid(
            pid, place, options, mask, recorder(std::move(name), std::move(answer)), nullptr));
    }

    static CGEventRef commandKey(std::uint16_t keyCode) {
        auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, true);
        CGEventSetFlags(event, kCGEventFlagMaskCommand);
        return event;
    }
};

TEST_F(EventSystemTest, AnEventPassesEveryStageInOrder) {
    tapOn(kFrontmostPid, "process");
    tapOn(kOtherPid, "other process");
    tapAt(kCGAnnotatedSessionEventTap, "annotated");
    tapAt(kCGSessionEventTap, "session");
    tapAt(kCGHIDEventTap, "hid");
    system->setHotKeyStage([this](const CGEvent&) {
        calls.push_back("hot keys");
        return false;
    });

    CGEventPost(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"hid", "session", "annotated", "hot keys", "process",
                                               "app"}));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].pid, kFrontmostPid);

    calls.clear();
    CGEventPost(kCGSessionEventTap, commandKey(7));
    EXPECT_EQ(calls,
              (std::vector<std::string>{"session", "annotated", "hot keys", "process", "app"}));
    calls.clear();
    CGEventPost(kCGAnnotatedSessionEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"annotated", "hot keys", "process", "app"}));
}

TEST_F(EventSystemTest, HeadInsertedTapsComeFirst) {
    tapOn(kFrontmostPid, "tail 1", same, kCGTailAppendEventTap);
    tapOn(kFrontmostPid, "head 1", same, kCGHeadInsertEventTap);
    tapOn(kFrontmostPid, "tail 2", same, kCGTailAppendEventTap);
    tapOn(kFrontmostPid, "head 2", same, kCGHeadInsertEventTap);

    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"head 2", "head 1", "tail 1", "tail 2", "app"}));
}

TEST_F(EventSystemTest, ARewriteGoesOnWithoutReturningToItsTap) {
    int sawByLaterTap = -1;
    tapOn(kFrontmostPid, "later", [&sawByLaterTap](const CGEventRef& event) {
        sawByLaterTap = event->keyCode();
        return event;
    });
    tapAt(kCGSessionEventTap, "rewriter", [](const CGEventRef& event) {
        auto rewritten = CGEventCreateCopy(event);
        CGEventSetIntegerValueField(rewritten, kCGKeyboardEventKeycode, 8);
        return rewritten;
    });

    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"rewriter", "later", "app"}));
    EXPECT_EQ(sawByLaterTap, 8);
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].keyCode, 8);
}

TEST_F(EventSystemTest, AnActiveTapThatAnswersNothingDropsTheEvent) {
    tapOn(kFrontmostPid, "process");
    tapAt(kCGSessionEventTap, "dropper", [](const CGEventRef&) { return CGEventRef{}; });

    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"dropper"}));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(EventSystemTest, AListenersAnswerAndChangesAreIgnored) {
    tapOn(
        kFrontmostPid, "listener",
        [](const CGEventRef& event) {
            CGEventSetFlags(event, kCGEventFlagMaskAlternate);
            return CGEventRef{};
        },
        kCGHeadInsertEventTap, kCGEventTapOptionListenOnly);

    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"listener", "app"}));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].flags, kCGEventFlagMaskCommand.rawValue);
}

TEST_F(EventSystemTest, AConsumedHotKeyGoesNoFurther) {
    tapOn(kFrontmostPid, "process");
    system->setHotKeyStage([](const CGEvent& event) { return event.keyCode() == 7; });

    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_TRUE(calls.empty());
    system->post(kCGHIDEventTap, commandKey(9));
    EXPECT_EQ(calls, (std::vector<std::string>{"process", "app"}));
}

TEST_F(EventSystemTest, TapsSeeOnlyTheTypesOfTheirMask) {
    tapOn(kFrontmostPid, "key up", same, kCGHeadInsertEventTap, kCGEventTapOptionDefault,
          CGEventMaskBit(CGEventType::keyUp));
    tapOn(kFrontmostPid, "none", same, kCGHeadInsertEventTap, kCGEventTapOptionDefault, 0);

    system->post(kCGHIDEventTap, commandKey(7));
    system->post(kCGHIDEventTap, CGEventCreateKeyboardEvent(nullptr, 7, false));
    EXPECT_EQ(calls, (std::vector<std::string>{"app", "key up", "app"}));
}

TEST_F(EventSystemTest, ADisabledTapIsSkippedUntilEnabledAgain) {
    auto port = tapOn(kFrontmostPid, "process");
    CGEventTapEnable(port, false);
    EXPECT_FALSE(CGEventTapIsEnabled(port));
    system->post(kCGHIDEventTap, commandKey(7));
    CGEventTapEnable(port, true);
    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"app", "process", "app"}));
}

TEST_F(EventSystemTest, ATapCallsBackOnlyWhileItsSourceIsScheduled) {
    auto port = CGEventTapCreateForPid(
        kFrontmostPid, kCGHeadInsertEventTap, kCGEventTapOptionDefault,
        CGEventMaskBit(CGEventType::keyDown), recorder("process", same), nullptr);
    system->post(kCGHIDEventTap, commandKey(7)); // no source yet
    auto source = CFMachPortCreateRunLoopSource(nullptr, port, 0);
    EXPECT_EQ(CFMachPortCreateRunLoopSource(nullptr, port, 0), source); // one per port
    CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
    system->post(kCGHIDEventTap, commandKey(7));
    CFRunLoopRemoveSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
    system->post(kCGHIDEventTap, commandKey(7));
    CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
    CFRunLoopSourceInvalidate(source);
    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"app", "process", "app", "app", "app"}));
}

TEST_F(EventSystemTest, AThrowingTapPassesTheEventOnUnchanged) {
    tapOn(kFrontmostPid, "thrower",
          [](const CGEventRef&) -> CGEventRef { throw std::runtime_error("broken tap"); });
    system->post(kCGHIDEventTap, commandKey(7));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].keyCode, 7);
}

TEST_F(EventSystemTest, PostingNeedsTheRightToPostAndSomeoneWithFocus) {
    Accessibility::current()->setPostEventAccess(false);
    CGEventPost(kCGHIDEventTap, commandKey(7));
    EXPECT_TRUE(delivered.empty());

    Accessibility::current()->setPostEventAccess(true);
    system->setKeyboardFocusProvider([] { return 0; });
    CGEventPost(kCGHIDEventTap, commandKey(7));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(EventSystemTest, ThePostedEventIsTheStreamsOwnCopy) {
    auto event = commandKey(7);
    CGEventPost(kCGAnnotatedSessionEventTap, event);
    CGEventSetIntegerValueField(event, kCGKeyboardEventKeycode, 9);
    CGEventPost(kCGAnnotatedSessionEventTap, event);
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0].keyCode, 7);
    EXPECT_EQ(delivered[1].keyCode, 9);
}

TEST_F(EventSystemTest, AForeignTapWithACallbackActsInTheStream) {
    system->addForeignTap(
        {.tappingProcess = 500,
         .location = kCGSessionEventTap,
         .options = kCGEventTapOptionDefault,
         .eventsOfInterest = CGEventMaskBit(CGEventType::keyDown),
         .callback = recorder("foreign", [](const CGEventRef&) { return CGEventRef{}; })});
    system->post(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"foreign"}));
}

TEST_F(EventSystemTest, ATapIsServedOnlyInTheModesItsSourceWasAddedIn) {
    schedule(CGEventTapCreateForPid(kFrontmostPid, kCGTailAppendEventTap, kCGEventTapOptionDefault,
                                    CGEventMaskBit(CGEventType::keyDown), recorder("default", same),
                                    nullptr),
             kCFRunLoopDefaultMode);
    schedule(CGEventTapCreateForPid(kFrontmostPid, kCGTailAppendEventTap, kCGEventTapOptionDefault,
                                    CGEventMaskBit(CGEventType::keyDown),
                                    recorder("tracking", same), nullptr),
             RunLoopMode::eventTracking);
    tapOn(kFrontmostPid, "common", same, kCGTailAppendEventTap);

    // Not running: the loop counts as in its default mode.
    CGEventPost(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"default", "common", "app"}));

    auto postIn = [this](RunLoopMode mode) {
        calls.clear();
        bool posted = false;
        RunLoop::main().async([&] {
            CGEventPost(kCGHIDEventTap, commandKey(7));
            posted = true;
        });
        RunLoop::main().runInMode(mode, [&] { return posted; });
        return calls;
    };
    EXPECT_EQ(postIn(RunLoopMode::eventTracking),
              (std::vector<std::string>{"tracking", "common", "app"}));
    EXPECT_EQ(postIn(RunLoopMode::modalPanel), (std::vector<std::string>{"common", "app"}));
    EXPECT_EQ(postIn(RunLoopMode::defaultMode),
              (std::vector<std::string>{"default", "common", "app"}));

    // Removed from its one mode, a source serves nowhere; the key still reaches the app.
    CFRunLoopRemoveSource(CFRunLoopGetMain(), sources[0], kCFRunLoopDefaultMode);
    calls.clear();
    CGEventPost(kCGHIDEventTap, commandKey(7));
    EXPECT_EQ(calls, (std::vector<std::string>{"common", "app"}));
}

TEST_F(EventSystemTest, PostsAreRecordedWithTheirSourceAndRefusedWithoutTheRight) {
    const auto source = CGEventSourceCreate(kCGEventSourceStateCombinedSessionState);
    ASSERT_TRUE(source);
    CGEventSourceSetLocalEventsFilterDuringSuppressionState(
        source,
        kCGEventFilterMaskPermitLocalMouseEvents | kCGEventFilterMaskPermitSystemDefinedEvents,
        CGEventSuppressionState::suppressionInterval);
    auto event = CGEventCreateKeyboardEvent(source, 8, true);
    CGEventSetFlags(event, kCGEventFlagMaskCommand);
    CGEventPost(kCGAnnotatedSessionEventTap, event);

    Accessibility::current()->setPostEventAccess(false);
    CGEventPost(kCGHIDEventTap, commandKey(7));

    const auto posted = system->postedEvents();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].location, kCGAnnotatedSessionEventTap);
    EXPECT_EQ(posted[0].keyCode, 8);
    EXPECT_EQ(posted[0].flags, kCGEventFlagMaskCommand);
    EXPECT_EQ(posted[0].sourceState, kCGEventSourceStateCombinedSessionState);
    EXPECT_EQ(posted[0].suppressionFilter, 5u);
    EXPECT_FALSE(posted[0].refused);
    EXPECT_EQ(posted[1].location, kCGHIDEventTap);
    EXPECT_FALSE(posted[1].sourceState);
    EXPECT_TRUE(posted[1].refused);
    ASSERT_EQ(delivered.size(), 1u); // the refused one went nowhere
    EXPECT_EQ(delivered[0].keyCode, 8);

    system->clearPostedEvents();
    EXPECT_TRUE(system->postedEvents().empty());
}

TEST_F(EventSystemTest, APostFromInsideThePipelineRunsToTheEndBeforeTheCallReturns) {
    // As a hot-key handler does: it posts another keystroke while the first is on its way.
    bool handled = false;
    system->setHotKeyStage([&](const CGEvent& event) {
        if (event.keyCode() != 7 || handled) {
            return false;
        }
        handled = true;
        CGEventPost(kCGAnnotatedSessionEventTap, commandKey(8));
        EXPECT_EQ(delivered.size(), 1u); // already delivered, inside the post
        return true;
    });
    CGEventPost(kCGHIDEventTap, commandKey(7));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].keyCode, 8);
}

} // namespace
} // namespace zestrel::platform
