#include "hotkeys/CarbonHotkeys.h"

#include "hotkeys/Hotkeys.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::CarbonHotkeys {
namespace {

using namespace std::chrono_literals;
using Hotkeys::Shortcut;
using platform::CGEventType;
using platform::EventRef;

const Shortcut kCommandX(7, 256);

class CarbonHotkeysTest : public ::testing::Test {
protected:
    platform::testing::DesktopEnvironment env;
    std::vector<std::string> calls;

    void add(const Shortcut& shortcut, const std::string& who = "") {
        registerShortcut(
            shortcut, [this, who](const Shortcut&) { calls.push_back(who + "down"); },
            [this, who](const Shortcut&) { calls.push_back(who + "up"); });
    }
    static void post(CGEventType type, std::uint16_t keyCode = platform::testing::kVKX,
                     platform::CGEventFlags flags = platform::kCGEventFlagMaskCommand) {
        platform::EventSystem::current()->post(
            platform::kCGHIDEventTap, std::make_shared<platform::CGEvent>(type, keyCode, flags));
    }
    void press() {
        post(CGEventType::keyDown);
        post(CGEventType::keyUp);
        env.runUntilIdle();
    }
    std::size_t finderKeys() { return env.finder()->receivedEvents().size(); }

    static EventRef hotKeyEvent(platform::UInt32 kind, platform::OSType signature,
                                platform::UInt32 id) {
        auto event = platform::CreateEvent(platform::kEventClassKeyboard, kind);
        const platform::EventHotKeyID hotKeyID{signature, id};
        event->setParameter(platform::kEventParamDirectObject, platform::typeEventHotKeyID,
                            &hotKeyID, sizeof hotKeyID);
        return event;
    }
    static EventRef rawKeyEvent(platform::UInt32 kind, platform::UInt32 keyCode,
                                platform::UInt32 modifiers) {
        auto event = platform::CreateEvent(platform::kEventClassKeyboard, kind);
        event->setParameter(platform::kEventParamKeyCode, platform::typeUInt32, &keyCode,
                            sizeof keyCode);
        event->setParameter(platform::kEventParamKeyModifiers, platform::typeUInt32, &modifiers,
                            sizeof modifiers);
        return event;
    }
};

TEST_F(CarbonHotkeysTest, IdentifiersCountFromOneAndARefusalSpendsOne) {
    platform::HotKeySystem::current()->refuse(9, 256, platform::eventHotKeyExistsErr);
    add(kCommandX);
    add(Shortcut(9, 256));
    add(Shortcut(8, 256));
    // Outside the 32-bit range the system takes: refused without asking it.
    add(Shortcut(std::int64_t{1} << 33, 256));

    std::vector<std::int64_t> ids;
    for (const auto& [id, hotKey] : hotKeys()) {
        ids.push_back(hotKey->carbonHotKeyId);
    }
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 3}));
    const auto registered = platform::HotKeySystem::current()->registrations();
    ASSERT_EQ(registered.size(), 2u);
    EXPECT_EQ(registered[1].hotKeyID.id, 3u);
    EXPECT_EQ(registered[1].hotKeyID.signature, 0x51564B53u);
}

TEST_F(CarbonHotkeysTest, UnregisteringAShortcutTakesEveryEntryOfIt) {
    add(kCommandX, "first ");
    add(kCommandX, "second ");
    ASSERT_EQ(hotKeys().size(), 2u);
    press();
    EXPECT_EQ(calls, (std::vector<std::string>{"first down", "first up"}));

    unregister(kCommandX);
    EXPECT_TRUE(hotKeys().empty());
    press();
    EXPECT_EQ(finderKeys(), 1u);
}

TEST_F(CarbonHotkeysTest, SwitchingOffAndOnRegistersEveryEntryAgainUnderItsIdentifier) {
    add(kCommandX);
    setEnabled(false);
    press();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(finderKeys(), 1u);
    ASSERT_EQ(hotKeys().size(), 1u) << "the table keeps it";

    setEnabled(true);
    setEnabled(true);
    press();
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(platform::HotKeySystem::current()->registrations().size(), 1u);
    EXPECT_EQ(platform::HotKeySystem::current()->registrations()[0].hotKeyID.id, 1u);

    // A hot key the system no longer takes leaves the table when it comes back.
    setEnabled(false);
    platform::HotKeySystem::current()->refuse(7, 256, platform::eventHotKeyExistsErr);
    setEnabled(true);
    EXPECT_TRUE(hotKeys().empty());
}

TEST_F(CarbonHotkeysTest, EventsThatAreNotOursArePassedOn) {
    add(kCommandX);
    using platform::eventNotHandledErr;
    using platform::kEventHotKeyPressed;
    EXPECT_EQ(eventHandlerCallback(nullptr, nullptr, nullptr), eventNotHandledErr);
    EXPECT_EQ(handleHotKeyEvent(hotKeyEvent(kEventHotKeyPressed, kSignature, 99)),
              eventNotHandledErr);
    EXPECT_EQ(
        handleHotKeyEvent(hotKeyEvent(kEventHotKeyPressed, platform::fourCharCode("ABCD"), 1)),
        eventNotHandledErr);
    EXPECT_EQ(eventHandlerCallback(nullptr, hotKeyEvent(4, kSignature, 1), nullptr),
              eventNotHandledErr);
    EXPECT_EQ(
        eventHandlerCallback(nullptr, rawKeyEvent(platform::kEventRawKeyRepeat, 7, 256), nullptr),
        eventNotHandledErr);
    EXPECT_EQ(handleRawKeyEvent(rawKeyEvent(platform::kEventRawKeyRepeat, 7, 256)),
              eventNotHandledErr);
    EXPECT_EQ(handleRawKeyEvent(rawKeyEvent(platform::kEventRawKeyDown, 7, 512)),
              eventNotHandledErr);
    EXPECT_TRUE(calls.empty());

    // Caps Lock and other bits are dropped before matching.
    EXPECT_EQ(handleRawKeyEvent(rawKeyEvent(platform::kEventRawKeyDown, 7, 256 | 1024)),
              platform::noErr);
    EXPECT_EQ(calls, (std::vector<std::string>{"down"}));
}

TEST_F(CarbonHotkeysTest, AFailedParameterReadAnswersItsStatus) {
    add(kCommandX);
    auto hotKey = hotKeyEvent(platform::kEventHotKeyPressed, kSignature, 1);
    hotKey->failReads(platform::kEventParamDirectObject, platform::eventInternalErr);
    EXPECT_EQ(handleHotKeyEvent(hotKey), platform::eventInternalErr);

    for (auto parameter : {platform::kEventParamKeyCode, platform::kEventParamKeyModifiers}) {
        auto raw = rawKeyEvent(platform::kEventRawKeyDown, 7, 256);
        raw->failReads(parameter, platform::paramErr);
        EXPECT_EQ(handleRawKeyEvent(raw), platform::paramErr);
    }
    EXPECT_TRUE(calls.empty());

    // Through the system: the read fails, the key is still consumed.
    platform::HotKeySystem::current()->failParameterReads(platform::kEventParamDirectObject,
                                                          platform::eventInternalErr);
    press();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(finderKeys(), 0u);
}

TEST_F(CarbonHotkeysTest, WithoutAnInstalledHandlerEntriesWaitForALaterRegistration) {
    platform::setInstallEventHandlerFailure(platform::eventInternalErr);
    add(kCommandX);
    EXPECT_FALSE(hasEventHandler());
    press();
    EXPECT_TRUE(calls.empty()) << "nobody listens yet";

    platform::setInstallEventHandlerFailure(platform::noErr);
    add(Shortcut(9, 256));
    EXPECT_TRUE(hasEventHandler());
    press();
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "up"}));
}

TEST_F(CarbonHotkeysTest, WhileAMenuTracksTheRunLoopMonitorServesTheHotKeys) {
    Hotkeys::observeMenuTracking();
    add(kCommandX);
    auto menu = std::make_shared<platform::NSMenu>("Menu");
    menu->addItem("Item", {}, "");
    platform::ScriptedModalResponder::install()->enqueue(platform::MenuPick{"", 1s});
    std::size_t registeredWhileOpen = 99;
    std::size_t leftInQueue = 99;
    platform::RunLoop::main().asyncAt(platform::clock().uptime() + 100ms, [&] {
        registeredWhileOpen = platform::HotKeySystem::current()->registrations().size();
        post(CGEventType::keyDown);
        post(CGEventType::keyDown, platform::testing::kVKC);
        post(CGEventType::keyUp);
        platform::RunLoop::main().asyncAt(platform::clock().uptime() + 100ms, [&] {
            leftInQueue = platform::NSApplication::shared().queuedEventCount();
        });
    });
    menu->popUp(nullptr, platform::CGPoint{}, nullptr);

    EXPECT_EQ(registeredWhileOpen, 0u);
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(leftInQueue, 1u) << "only the Command+C stays for the menu";
    EXPECT_EQ(finderKeys(), 0u);

    // Closed: the hot key is the system's again, under its old identifier.
    ASSERT_EQ(platform::HotKeySystem::current()->registrations().size(), 1u);
    EXPECT_EQ(platform::HotKeySystem::current()->registrations()[0].hotKeyID.id, 1u);
    press();
    EXPECT_EQ(calls.size(), 4u);
}

TEST_F(CarbonHotkeysTest, SwitchedOffWhileAMenuTracksTheRunLoopMonitorServesNothing) {
    Hotkeys::observeMenuTracking();
    add(kCommandX);
    auto menu = std::make_shared<platform::NSMenu>("Menu");
    menu->addItem("Item", {}, "");
    platform::ScriptedModalResponder::install()->enqueue(platform::MenuPick{"", 1s});
    std::size_t leftInQueue = 99;
    platform::RunLoop::main().asyncAt(platform::clock().uptime() + 100ms, [&] {
        setEnabled(false);
        post(CGEventType::keyDown);
        post(CGEventType::keyUp);
        platform::RunLoop::main().asyncAt(platform::clock().uptime() + 100ms, [&] {
            leftInQueue = platform::NSApplication::shared().queuedEventCount();
        });
    });
    menu->popUp(nullptr, platform::CGPoint{}, nullptr);

    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(leftInQueue, 2u) << "the keys stay the menu's";
    EXPECT_TRUE(platform::HotKeySystem::current()->registrations().empty());
    setEnabled(true);
    press();
    EXPECT_EQ(calls, (std::vector<std::string>{"down", "up"}));
}

} // namespace
} // namespace zestrel::CarbonHotkeys
