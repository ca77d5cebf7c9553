#include "platform/desktop/CarbonHotKeys.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

constexpr OSType kSignature = fourCharCode("TEST");
constexpr EventTypeSpec kHotKeyTypes[] = {{kEventClassKeyboard, kEventHotKeyPressed},
                                          {kEventClassKeyboard, kEventHotKeyReleased}};

class CarbonHotKeysTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
    std::vector<std::string> heard;
    EventHandlerRef handler;

    void listen(const char* who = "handler", OSStatus answer = noErr) {
        ASSERT_EQ(InstallEventHandler(
                      GetEventDispatcherTarget(),
                      [this, who, answer](EventHandlerCallRef, const EventRef& event, void*) {
                          EventHotKeyID id;
                          const OSStatus read =
                              GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID,
                                                nullptr, sizeof id, nullptr, &id);
                          heard.push_back(
                              std::string(who) +
                              (GetEventKind(event) == kEventHotKeyPressed ? " down " : " up ") +
                              (read == noErr ? std::to_string(id.id) : "unread"));
                          return answer;
                      },
                      2, kHotKeyTypes, nullptr, &handler),
                  noErr);
    }

    EventHotKeyRef registerKey(UInt32 keyCode, UInt32 modifiers, UInt32 id) {
        EventHotKeyRef ref;
        EXPECT_EQ(RegisterEventHotKey(keyCode, modifiers, {kSignature, id},
                                      GetEventDispatcherTarget(), 0, &ref),
                  noErr);
        return ref;
    }

    void press(std::uint16_t keyCode, CGEventFlags flags) {
        for (bool down : {true, false}) {
            EventSystem::current()->post(
                kCGHIDEventTap,
                std::make_shared<CGEvent>(down ? CGEventType::keyDown : CGEventType::keyUp, keyCode,
                                          flags));
        }
    }

    std::vector<ReceivedKeyEvent> finderKeys() { return env.finder()->receivedEvents(); }
};

TEST_F(CarbonHotKeysTest, ARegisteredCombinationStopsAtTheStageAndReachesItsOwnerLater) {
    listen();
    registerKey(7, cmdKey, 1);

    press(testing::kVKX, kCGEventFlagMaskCommand);
    EXPECT_TRUE(heard.empty()) << "sent on the run loop, not inside the pipeline";
    env.runUntilIdle();

    EXPECT_EQ(heard, (std::vector<std::string>{"handler down 1", "handler up 1"}));
    EXPECT_TRUE(finderKeys().empty());
}

// The dispatcher hands a hot key on in every mode: also while a main-queue block runs an alert,
// which holds the main queue's other blocks.
TEST_F(CarbonHotKeysTest, AHotKeyReachesItsOwnerWhileAMainQueueBlockWaitsOnAnAlert) {
    listen();
    registerKey(7, cmdKey, 1);
    RunLoop::main().machineAsyncAt(clock().uptime() + 1s,
                                   [this] { press(testing::kVKX, kCGEventFlagMaskCommand); });
    DispatchQueue::main().async([this] {
        RunLoop::main().runModal(RunLoopMode::modalPanel, [this] { return heard.size() == 2; });
        heard.push_back("alert ended");
    });
    env.runUntilIdle();
    EXPECT_EQ(heard, (std::vector<std::string>{"handler down 1", "handler up 1", "alert ended"}));
}

TEST_F(CarbonHotKeysTest, OnlyTheExactModifierBitsMatch) {
    listen();
    registerKey(7, cmdKey, 1);

    press(testing::kVKX, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);
    press(testing::kVKX, {});
    // Caps Lock is not one of the four bits, so it does not spoil the match.
    press(testing::kVKX, kCGEventFlagMaskCommand | kCGEventFlagMaskAlphaShift);
    env.runUntilIdle();

    EXPECT_EQ(finderKeys().size(), 2u);
    EXPECT_EQ(heard.size(), 2u);
}

TEST_F(CarbonHotKeysTest, HandlerChainPassesOnNotHandledAndStopsAtConsumed) {
    listen("back", noErr);
    EventHandlerRef back = handler;
    listen("front", eventNotHandledErr);
    registerKey(7, cmdKey, 1);

    press(testing::kVKX, kCGEventFlagMaskCommand);
    env.runUntilIdle();
    EXPECT_EQ(heard,
              (std::vector<std::string>{"front down 1", "back down 1", "front up 1", "back up 1"}));

    // Without its types a handler hears nothing; the key is still the hot key's.
    heard.clear();
    ASSERT_EQ(RemoveEventTypesFromHandler(back, 2, kHotKeyTypes), noErr);
    ASSERT_EQ(RemoveEventTypesFromHandler(handler, 2, kHotKeyTypes), noErr);
    press(testing::kVKX, kCGEventFlagMaskCommand);
    env.runUntilIdle();
    EXPECT_TRUE(heard.empty());
    EXPECT_TRUE(finderKeys().empty());
}

TEST_F(CarbonHotKeysTest, TheFirstOfTwoRegistrationsGetsTheKeyUntilItGoes) {
    listen();
    auto first = registerKey(7, cmdKey, 1);
    registerKey(7, cmdKey, 2);

    press(testing::kVKX, kCGEventFlagMaskCommand);
    ASSERT_EQ(UnregisterEventHotKey(first), noErr);
    EXPECT_EQ(UnregisterEventHotKey(first), eventHotKeyInvalidErr);
    env.runUntilIdle();
    // Unregistered before the run loop came round: its events are not sent.
    EXPECT_TRUE(heard.empty());

    press(testing::kVKX, kCGEventFlagMaskCommand);
    env.runUntilIdle();
    EXPECT_EQ(heard, (std::vector<std::string>{"handler down 2", "handler up 2"}));
}

TEST_F(CarbonHotKeysTest, RefusalsAndTheSandboxRuleLeaveNothingRegistered) {
    auto system = HotKeySystem::current();
    system->refuse(7, cmdKey, eventHotKeyExistsErr);
    EventHotKeyRef ref = std::make_shared<EventHotKey>();
    EXPECT_EQ(RegisterEventHotKey(7, cmdKey, {kSignature, 1}, GetEventDispatcherTarget(), 0, &ref),
              eventHotKeyExistsErr);
    EXPECT_EQ(ref, nullptr);

    system->setSandboxRule(true);
    system->setCallerSandboxed(true);
    for (UInt32 modifiers : {optionKey, optionKey | shiftKey}) {
        EXPECT_NE(
            RegisterEventHotKey(0, modifiers, {kSignature, 2}, GetEventDispatcherTarget(), 0, &ref),
            noErr);
    }
    EXPECT_EQ(RegisterEventHotKey(0, optionKey | cmdKey, {kSignature, 3},
                                  GetEventDispatcherTarget(), 0, &ref),
              noErr);
    system->setCallerSandboxed(false);
    EXPECT_EQ(
        RegisterEventHotKey(0, optionKey, {kSignature, 4}, GetEventDispatcherTarget(), 0, &ref),
        noErr);

    ASSERT_EQ(system->registrations().size(), 2u);
    EXPECT_EQ(system->registrations()[0].hotKeyID.id, 3u);
}

TEST_F(CarbonHotKeysTest, AQuittingProcessTakesItsHotKeysWithIt) {
    listen();
    registerKey(7, cmdKey, 1);
    const int own = env.desktop().ownApplication()->processIdentifier();
    EXPECT_EQ(HotKeySystem::current()->registrations().at(0).ownerProcessIdentifier, own);

    env.desktop().relaunchOwnApplication();

    EXPECT_TRUE(HotKeySystem::current()->registrations().empty());
    press(testing::kVKX, kCGEventFlagMaskCommand);
    env.runUntilIdle();
    EXPECT_EQ(finderKeys().size(), 1u);
}

TEST_F(CarbonHotKeysTest, ParameterReadsCanBeMadeToFail) {
    listen();
    registerKey(7, cmdKey, 1);
    HotKeySystem::current()->failParameterReads(kEventParamDirectObject, eventInternalErr);

    press(testing::kVKX, kCGEventFlagMaskCommand);
    env.runUntilIdle();

    EXPECT_EQ(heard, (std::vector<std::string>{"handler down unread", "handler up unread"}));
}

TEST_F(CarbonHotKeysTest, EventParametersKeepTheirTypeAndSize) {
    auto event = CreateEvent(kEventClassKeyboard, kEventRawKeyDown);
    const UInt32 keyCode = 7;
    ASSERT_EQ(SetEventParameter(event, kEventParamKeyCode, typeUInt32, sizeof keyCode, &keyCode),
              noErr);
    UInt32 read = 0;
    std::uint16_t small = 0;
    EXPECT_EQ(GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof read,
                                nullptr, &read),
              noErr);
    EXPECT_EQ(read, 7u);
    EXPECT_EQ(GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof small,
                                nullptr, &small),
              paramErr);
    EXPECT_EQ(GetEventParameter(event, kEventParamKeyCode, typeEventHotKeyID, nullptr, sizeof read,
                                nullptr, &read),
              eventParameterNotFoundErr);
    EXPECT_EQ(GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof read,
                                nullptr, &read),
              eventParameterNotFoundErr);
}

TEST_F(CarbonHotKeysTest, SymbolicHotKeysComeAsDictionariesOrAStatus) {
    Value hotKeys;
    ASSERT_EQ(CopySymbolicHotKeys(&hotKeys), noErr);
    ASSERT_NE(hotKeys.asArray(), nullptr);
    bool spotlight = false;
    for (const auto& entry : *hotKeys.asArray()) {
        const auto* dictionary = entry.asDictionary();
        ASSERT_NE(dictionary, nullptr);
        spotlight = spotlight || (dictionary->at("kHISymbolicHotKeyCode").asInt64() == 49 &&
                                  dictionary->at("kHISymbolicHotKeyModifiers").asInt64() == 256 &&
                                  dictionary->at("kHISymbolicHotKeyEnabled").asBool() == true);
    }
    EXPECT_TRUE(spotlight);

    HotKeySystem::current()->setSymbolicHotKeys(paramErr, Value(Value::Array{}));
    EXPECT_EQ(CopySymbolicHotKeys(&hotKeys), paramErr);
    EXPECT_TRUE(hotKeys.isAbsent());
}

TEST_F(CarbonHotKeysTest, AGrabTakesTheKeysTheHotKeysLeave) {
    listen();
    registerKey(7, cmdKey, 1);
    std::vector<std::uint16_t> grabbed;
    HotKeySystem::current()->setKeyboardGrab(
        [&](const CGEvent& event) { grabbed.push_back(event.keyCode()); });

    press(testing::kVKX, kCGEventFlagMaskCommand);
    press(testing::kVKC, kCGEventFlagMaskCommand);
    env.runUntilIdle();

    EXPECT_EQ(grabbed, (std::vector<std::uint16_t>{testing::kVKC, testing::kVKC}));
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_TRUE(finderKeys().empty());

    HotKeySystem::current()->setKeyboardGrab(nullptr);
    press(testing::kVKC, kCGEventFlagMaskCommand);
    EXPECT_EQ(finderKeys().size(), 1u);
}

} // namespace
} // namespace zestrel::platform
