#include "hotkeys/Recorder.h"

#include "hotkeys/Hotkeys.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSSound.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/ProcessInfo.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace zestrel::Hotkeys {
namespace {

using platform::CGEventFlags;
using platform::CGPoint;
using platform::NSApp;
using platform::NSEvent;
using platform::NSWindow;
using platform::Value;
using Flags = NSEvent::ModifierFlags;

constexpr CGEventFlags kCommand = platform::kCGEventFlagMaskCommand;
constexpr CGEventFlags kShift = platform::kCGEventFlagMaskShift;
constexpr CGEventFlags kOption = platform::kCGEventFlagMaskAlternate;

// A recorder in a key window of this program, which is frontmost, so that the keys the
// desktop gets reach the recorder's event monitor.
class RecorderTest : public ::testing::Test {
protected:
    platform::testing::DesktopEnvironment env;
    std::shared_ptr<platform::ScriptedModalResponder> responder =
        platform::ScriptedModalResponder::install();
    std::shared_ptr<NSWindow> window;
    std::shared_ptr<RecorderCocoa> recorder;
    std::vector<std::optional<Shortcut>> reported;
    std::vector<bool> activeStatus;
    platform::ObserverToken statusToken =
        platform::NotificationCenter::defaultCenter()->addObserver(
            recorderActiveStatusDidChange, Value(),
            [this](const platform::Notification& notification) {
                activeStatus.push_back(
                    notification.userInfo.at("isActive").asBool().value_or(false));
            });

    RecorderTest() {
        NSApp().finishLaunching();
        env.desktop().activate(env.desktop().ownApplication()->processIdentifier());
        setSystemShortcuts({});
    }
    ~RecorderTest() override {
        platform::NotificationCenter::defaultCenter()->removeObserver(statusToken);
    }

    void show(const Name& name) {
        window = std::make_shared<NSWindow>(platform::CGRect(0, 0, 400, 100),
                                            NSWindow::StyleMask::titled);
        window->setContentView(std::make_shared<platform::NSView>());
        recorder = RecorderCocoa::make(name, [this](const std::optional<Shortcut>& shortcut) {
            reported.push_back(shortcut);
        });
        recorder->setFrame(platform::CGRect(50, 40, 130, 22));
        window->contentView()->addSubview(recorder);
        window->makeKeyAndOrderFront();
        env.runUntilIdle();
    }
    void startRecording() {
        ASSERT_TRUE(window->makeFirstResponder(recorder));
        ASSERT_TRUE(recorder->isRecording());
        activeStatus.clear();
    }
    void press(std::uint16_t keyCode, CGEventFlags flags = {}) {
        for (auto type : {platform::CGEventType::keyDown, platform::CGEventType::keyUp}) {
            platform::EventSystem::current()->post(
                platform::kCGHIDEventTap,
                std::make_shared<platform::CGEvent>(type, keyCode, flags));
        }
        env.runUntilIdle();
    }
    // A click released at a point of the window; answers what the application gets of it.
    std::shared_ptr<NSEvent> clickAt(CGPoint point) {
        return NSApp().sendEvent(NSEvent::mouseEvent(NSEvent::EventType::leftMouseUp, point));
    }
    static void setSystemShortcuts(std::vector<Shortcut> shortcuts) {
        Value::Array hotKeys;
        for (const auto& shortcut : shortcuts) {
            hotKeys.push_back(Value(Value::Dictionary{
                {"kHISymbolicHotKeyEnabled", Value(true)},
                {"kHISymbolicHotKeyCode", Value(shortcut.carbonKeyCode)},
                {"kHISymbolicHotKeyModifiers", Value(shortcut.carbonModifiers)}}));
        }
        platform::HotKeySystem::current()->setSymbolicHotKeys(platform::noErr,
                                                              Value(std::move(hotKeys)));
    }
    static std::vector<platform::NSAlert::Record> alerts() {
        return platform::NSAlert::shownAlerts();
    }
};

TEST_F(RecorderTest, RecordingAShortcutStoresReportsAndShowsIt) {
    const auto name = Name::fromRawValue("toggle");
    show(name);
    EXPECT_EQ(recorder->placeholderString(), "Record Shortcut");
    EXPECT_EQ(recorder->stringValue(), "");
    EXPECT_FALSE(recorder->isCancelButtonShown());
    EXPECT_EQ(recorder->intrinsicContentSize().width, 130);

    startRecording();
    EXPECT_EQ(recorder->placeholderString(), "Press Shortcut");
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(recorder->currentEditor()->insertionPointColorName(), "clearColor");

    press(Hotkeys::Key::k.rawValue, kCommand | kShift);

    const Shortcut commandShiftK(Hotkeys::Key::k, Flags::command | Flags::shift);
    EXPECT_EQ(getShortcut(name), commandShiftK);
    EXPECT_TRUE(isRegistered(commandShiftK));
    EXPECT_EQ(recorder->stringValue(), "⇧⌘K");
    EXPECT_TRUE(recorder->isCancelButtonShown());
    EXPECT_EQ(reported, (std::vector<std::optional<Shortcut>>{commandShiftK}));
    // Accepting ends recording and lets the hotkeys run again.
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(window->firstResponder(), nullptr);
    EXPECT_EQ(recorder->placeholderString(), "Record Shortcut");
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(activeStatus, (std::vector<bool>{false}));
    EXPECT_EQ(platform::NSSound::beepCount(), 0);
}

TEST_F(RecorderTest, KeysWithoutACommandOptionOrControlNeedToBeFunctionKeys) {
    const auto name = Name::fromRawValue("toggle");
    show(name);
    startRecording();

    press(Hotkeys::Key::a.rawValue);
    press(Hotkeys::Key::a.rawValue, kShift);
    EXPECT_EQ(platform::NSSound::beepCount(), 2);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(getShortcut(name), std::nullopt);

    press(Hotkeys::Key::f5.rawValue, kShift);
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::f5, Flags::shift));
    EXPECT_EQ(recorder->stringValue(), "⇧F5");
}

TEST_F(RecorderTest, SystemWideShortcutsAreRefusedExceptPlainF12) {
    const auto name = Name::fromRawValue("toggle");
    setSystemShortcuts(
        {Shortcut(Hotkeys::Key::space, Flags::command), Shortcut(Hotkeys::Key::f12, Flags{})});
    show(name);
    startRecording();
    responder->enqueue(platform::ModalAnswer::key(platform::AlertKey::returnKey));

    press(Hotkeys::Key::space.rawValue, kCommand);

    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].messageText,
              "This keyboard shortcut cannot be used as it's already a system-wide keyboard "
              "shortcut.");
    EXPECT_EQ(alerts()[0].informativeText,
              "Most system-wide keyboard shortcuts can be changed in “System Settings › Keyboard "
              "› Keyboard Shortcuts“.");
    EXPECT_TRUE(alerts()[0].asSheet);
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(reported.empty());
    // Recording stops for the alert and goes on after it.
    ASSERT_FALSE(activeStatus.empty());
    EXPECT_FALSE(activeStatus.front());
    EXPECT_TRUE(activeStatus.back());
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(window->firstResponder(), recorder);

    press(Hotkeys::Key::f12.rawValue);
    EXPECT_EQ(alerts().size(), 1u);
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::f12, Flags{}));
}

TEST_F(RecorderTest, ASystemWideConflictNeedsTheWholeShortcut) {
    const auto name = Name::fromRawValue("toggle");
    setSystemShortcuts({Shortcut(Hotkeys::Key::space, Flags::command)});
    show(name);
    startRecording();

    press(Hotkeys::Key::space.rawValue, kOption);
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::space, Flags::option));

    startRecording();
    press(Hotkeys::Key::space.rawValue, kCommand | kShift);
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::space, Flags::command | Flags::shift));
}

TEST_F(RecorderTest, EscapeIsSwallowedAndTabPassedOn) {
    show(Name::fromRawValue("toggle"));
    const auto keyDown = [](std::uint16_t keyCode) {
        return NSApp().sendEvent(NSEvent::eventWithCGEvent(std::make_shared<platform::CGEvent>(
            platform::CGEventType::keyDown, keyCode, CGEventFlags{})));
    };
    startRecording();
    EXPECT_EQ(keyDown(Hotkeys::Key::escape.rawValue), nullptr);
    EXPECT_FALSE(recorder->isRecording());

    startRecording();
    const auto tab = keyDown(Hotkeys::Key::tab.rawValue);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->keyCode(), Hotkeys::Key::tab.rawValue);
    EXPECT_FALSE(recorder->isRecording());
}

TEST_F(RecorderTest, AShortcutOfTheMainMenuIsRefusedNamingTheItem) {
    auto mainMenu = std::make_shared<platform::NSMenu>("Main");
    auto appItem = std::make_shared<platform::NSMenuItem>("Zestrel");
    auto appMenu = std::make_shared<platform::NSMenu>("Zestrel");
    appMenu->addItem(std::make_shared<platform::NSMenuItem>("Quit Zestrel", nullptr, "q"));
    appItem->setSubmenu(appMenu);
    mainMenu->addItem(appItem);
    NSApp().setMainMenu(mainMenu);
    const auto name = Name::fromRawValue("toggle");
    show(name);
    startRecording();
    responder->enqueue(platform::ModalAnswer::key(platform::AlertKey::returnKey));

    press(Hotkeys::Key::q.rawValue, kCommand);

    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].messageText,
              "This keyboard shortcut cannot be used as it's already used by the “Quit Zestrel” "
              "menu item.");
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(recorder->isRecording());

    // Another chord with the same key is free.
    press(Hotkeys::Key::q.rawValue, kCommand | kOption);
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::q, Flags::command | Flags::option));

    // Answered once the Finder has come forward, the alert starts no recording in the back,
    // where the window is not key: the hotkeys stay live for the application in front.
    startRecording();
    responder->enqueue(platform::ModalAnswer::button(0, std::chrono::seconds(1)));
    const auto finder = env.desktop().runningApplications("com.apple.finder")[0];
    platform::DispatchQueue::main().async([&] { finder->activate(); });
    press(Hotkeys::Key::q.rawValue, kCommand);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
}

TEST_F(RecorderTest, OptionAloneIsAcceptedOutsideTheSandbox) {
    const auto name = Name::fromRawValue("toggle");
    show(name);
    startRecording();
    press(Hotkeys::Key::k.rawValue, kOption);
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::k, Flags::option));
    EXPECT_TRUE(alerts().empty());
}

TEST_F(RecorderTest, OptionAloneIsRefusedInTheSandbox) {
    setenv("APP_SANDBOX_CONTAINER_ID", "com.quorvik.Zestrel", 1);
    const auto name = Name::fromRawValue("toggle");
    show(name);
    startRecording();
    responder->enqueue(platform::ModalAnswer::key(platform::AlertKey::returnKey));

    press(Hotkeys::Key::j.rawValue, kOption | kShift);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].messageText, "Option modifier must be combined with Command or Control.");
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(recorder->isRecording());

    press(Hotkeys::Key::j.rawValue, kOption | kCommand);
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::j, Flags::option | Flags::command));
}

TEST_F(RecorderTest, OptionAloneIsAcceptedInTheSandboxBeforeMacOS15) {
    setenv("APP_SANDBOX_CONTAINER_ID", "com.quorvik.Zestrel", 1);
    platform::NSProcessInfo::setOperatingSystemVersion({14, 7, 0});
    const auto name = Name::fromRawValue("toggle");
    show(name);
    startRecording();
    press(Hotkeys::Key::j.rawValue, kOption | kShift);
    EXPECT_EQ(getShortcut(name), Shortcut(Hotkeys::Key::j, Flags::option | Flags::shift));
    EXPECT_TRUE(alerts().empty());
    platform::NSProcessInfo::setOperatingSystemVersion({15, 1, 0});
}

TEST_F(RecorderTest, EscapeEndsRecordingAndDeleteClearsTheShortcut) {
    const Shortcut commandX(Hotkeys::Key::x, Flags::command);
    const Name name("cut", commandX);
    show(name);
    EXPECT_EQ(recorder->stringValue(), "⌘X");
    startRecording();
    EXPECT_TRUE(recorder->isCancelButtonShown());

    press(Hotkeys::Key::escape.rawValue);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(getShortcut(name), commandX);
    EXPECT_EQ(platform::NSSound::beepCount(), 0);

    startRecording();
    press(Hotkeys::Key::delete_.rawValue);
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_EQ(platform::UserDefaults::standard()->object(name.storageKey()), Value(false))
        << "a cleared default is remembered";
    EXPECT_FALSE(isRegistered(commandX));
    EXPECT_EQ(recorder->stringValue(), "");
    EXPECT_FALSE(recorder->isCancelButtonShown());
    EXPECT_EQ(reported, (std::vector<std::optional<Shortcut>>{std::nullopt}));
    EXPECT_TRUE(recorder->isRecording()) << "clearing keeps recording";

    // Nothing left to clear: Delete does nothing more.
    press(Hotkeys::Key::delete_.rawValue);
    EXPECT_EQ(reported.size(), 1u);
    EXPECT_TRUE(recorder->isRecording());
}

TEST_F(RecorderTest, ClicksOutsideTheControlEndRecordingAndPassOn) {
    show(Name::fromRawValue("toggle"));
    startRecording();
    // The control spans x 50-180 and y 40-62 of the window.
    EXPECT_EQ(clickAt({100, 50}), nullptr);
    EXPECT_EQ(clickAt({48, 50}), nullptr) << "2 points off the edge still counts as on it";
    EXPECT_TRUE(recorder->isRecording());

    EXPECT_NE(clickAt({100, 66}), nullptr);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
}

TEST_F(RecorderTest, TabTheWindowLosingKeyOrTheControlItsWindowEndRecording) {
    show(Name::fromRawValue("toggle"));
    startRecording();
    press(Hotkeys::Key::tab.rawValue);
    EXPECT_FALSE(recorder->isRecording());

    startRecording();
    auto other =
        std::make_shared<NSWindow>(platform::CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    other->makeKeyAndOrderFront();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(window->firstResponder(), nullptr);

    window->makeKeyAndOrderFront();
    env.runUntilIdle();
    startRecording();
    recorder->removeFromSuperview();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(isPaused());
}

TEST_F(RecorderTest, AWindowThatJustBecameKeyDoesNotFocusTheRecorderAtOnce) {
    show(Name::fromRawValue("toggle"));
    EXPECT_TRUE(recorder->canBecomeKeyView());

    auto other =
        std::make_shared<NSWindow>(platform::CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    other->makeKeyAndOrderFront();
    window->makeKeyAndOrderFront();
    EXPECT_FALSE(recorder->canBecomeKeyView());
    env.runUntilIdle();
    EXPECT_TRUE(recorder->canBecomeKeyView());
}

TEST_F(RecorderTest, RegisteredHotkeysDoNotRunWhileRecording) {
    const auto cut = Name::fromRawValue("cut");
    storeShortcut(Shortcut(Hotkeys::Key::x, Flags::command), cut);
    int ran = 0;
    onKeyDown(cut, [&ran] { ++ran; });
    show(Name::fromRawValue("toggle"));
    startRecording();

    press(Hotkeys::Key::x.rawValue, kCommand);
    EXPECT_EQ(ran, 0);

    press(Hotkeys::Key::escape.rawValue);
    press(Hotkeys::Key::x.rawValue, kCommand);
    EXPECT_EQ(ran, 1);
}

TEST_F(RecorderTest, TheTextFollowsTheNameAndItsStoredShortcut) {
    const auto first = Name::fromRawValue("first");
    const auto second = Name::fromRawValue("second");
    storeShortcut(Shortcut(Hotkeys::Key::s, Flags::command | Flags::option), second);
    show(first);

    recorder->setStringValue("typed");
    recorder->setShortcutName(Name::fromRawValue("first"));
    EXPECT_EQ(recorder->stringValue(), "typed") << "the same name leaves the text alone";
    recorder->setShortcutName(second);
    EXPECT_EQ(recorder->stringValue(), "⌥⌘S");

    storeShortcut(Shortcut(Hotkeys::Key::t, Flags::control), second);
    EXPECT_EQ(recorder->stringValue(), "⌃T");
    storeShortcut(Shortcut(Hotkeys::Key::u, Flags::control), first);
    EXPECT_EQ(recorder->stringValue(), "⌃T") << "another name's change is not this control's";
}

TEST_F(RecorderTest, ARecorderDroppedWhileRecordingResumesTheHotkeys) {
    auto loose = RecorderCocoa::make(Name::fromRawValue("toggle"));
    ASSERT_TRUE(loose->becomeFirstResponder());
    EXPECT_TRUE(isPaused());
    loose.reset();
    EXPECT_FALSE(isPaused());
}

// --- Menu items

class MenuItemShortcutTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::shared_ptr<platform::NSMenuItem> item = std::make_shared<platform::NSMenuItem>("Cut");
};

TEST_F(MenuItemShortcutTest, AShortcutBecomesTheKeyEquivalent) {
    setShortcut(*item, Shortcut(Hotkeys::Key::k, Flags::command | Flags::shift));
    EXPECT_EQ(item->keyEquivalent(), "k");
    EXPECT_EQ(item->keyEquivalentModifierMask(), Flags::command | Flags::shift);
    EXPECT_FALSE(item->allowsAutomaticKeyEquivalentLocalization());

    setShortcut(*item, std::optional<Shortcut>());
    EXPECT_EQ(item->keyEquivalent(), "");
    EXPECT_EQ(item->keyEquivalentModifierMask(), Flags{});
    EXPECT_TRUE(item->allowsAutomaticKeyEquivalentLocalization());
}

TEST_F(MenuItemShortcutTest, TheItemFollowsOnlyItsLatestName) {
    const auto first = Name::fromRawValue("first");
    const auto second = Name::fromRawValue("second");
    storeShortcut(Shortcut(Hotkeys::Key::x, Flags::command), first);
    setShortcut(*item, std::optional<Name>(first));
    EXPECT_EQ(item->keyEquivalent(), "x");

    storeShortcut(Shortcut(Hotkeys::Key::y, Flags::command), first);
    env.runUntilIdle();
    EXPECT_EQ(item->keyEquivalent(), "y");

    setShortcut(*item, std::optional<Name>(second));
    EXPECT_EQ(item->keyEquivalent(), "");
    storeShortcut(Shortcut(Hotkeys::Key::z, Flags::command), first);
    env.runUntilIdle();
    EXPECT_EQ(item->keyEquivalent(), "") << "the earlier name no longer writes over the item";
    storeShortcut(Shortcut(Hotkeys::Key::v, Flags::control), second);
    env.runUntilIdle();
    EXPECT_EQ(item->keyEquivalent(), "v");
    EXPECT_EQ(item->keyEquivalentModifierMask(), Flags::control);

    setShortcut(*item, std::optional<Name>());
    storeShortcut(Shortcut(Hotkeys::Key::w, Flags::control), second);
    env.runUntilIdle();
    EXPECT_EQ(item->keyEquivalent(), "");
}

} // namespace
} // namespace zestrel::Hotkeys
