// The legacy hotkey method on the simulated desktop: the hotkeys follow the frontmost
// application, a cut posts Command+C, a paste Command+Option+V or a plain Command+V, and a
// Command+X meant for a window above the Finder is handed on with one warning; no key it
// posts comes back to its own hotkeys.
#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/AppState.h"

#include "foundation/QVApp.h"
#include "foundation/StableHash.h"
#include "hotkeys/Hotkeys.h"
#include "hotkeys/LegacyHotkeyNames.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/desktop/WindowServer.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
namespace pf = platform;
using namespace std::chrono_literals;
using pf::NSEvent;
using pf::ReceivedKeyEvent;
using pf::testing::kVKC;
using pf::testing::kVKV;
using pf::testing::kVKX;
using ::testing::ElementsAre;

constexpr auto kCommand = NSEvent::ModifierFlags::command;
constexpr auto kOption = NSEvent::ModifierFlags::option;
const Hotkeys::Shortcut kCommandX(7, 256);
const Hotkeys::Shortcut kCommandV(9, 256);
const Hotkeys::Shortcut kCommandC(8, 256);
const Hotkeys::Shortcut kCommandOptionV(9, 2304);

class LegacyHotkeyMethodTest : public ::testing::Test {
protected:
    LegacyHotkeyMethodTest() {
        const auto scene = env.makeCutScene();
        source = scene.source;
        target = scene.target;
        finder = scene.finder;
        app = AppState::makeUnlaunched();
        app->setUpLegacyListener();
        env.runUntilIdle();
    }

    void press(std::uint16_t keyCode, NSEvent::ModifierFlags flags = kCommand) {
        for (const bool down : {true, false}) {
            const auto event = pf::CGEventCreateKeyboardEvent(nullptr, keyCode, down);
            event->setFlags(pf::CGEventFlags{flags.rawValue});
            pf::EventSystem::current()->post(pf::kCGHIDEventTap, event);
        }
        env.runUntilIdle();
    }

    // An accessory application's window in front of the Finder's, as a floating panel is.
    int showWindowAboveFinder(const std::string& bundleIdentifier, const std::string& name) {
        if (!env.desktop().installedApplication(bundleIdentifier)) {
            env.desktop().install(
                pf::InstalledApplication{bundleIdentifier,
                                         name,
                                         pf::URL::fileURL("/Applications/" + name + ".app", true),
                                         pf::NSApplicationActivationPolicy::accessory,
                                         {},
                                         {}});
        }
        const auto running = env.desktop().launch(bundleIdentifier, false);
        pf::ServerWindow window;
        window.ownerPID = running->processIdentifier();
        window.ownerName = name;
        window.bounds = {{100, 100}, {600, 400}};
        window.layer = pf::kCGFloatingWindowLevel;
        overlayWindow = env.desktop().windowServer().addWindow(window);
        return running->processIdentifier();
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const auto& line : env.logLines()) {
            result.push_back(line.substr(0, line.find("\n\t[")));
        }
        return result;
    }
    std::size_t countMessages(const std::string& prefix) const {
        const auto all = messages();
        return std::count_if(all.begin(), all.end(),
                             [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
    }
    ReceivedKeyEvent lastReceived() const {
        const auto events = finder->receivedEvents();
        return events.empty() ? ReceivedKeyEvent{} : events.back();
    }
    static std::vector<pf::EventSystem::PostedEvent> keyDownsPosted() {
        std::vector<pf::EventSystem::PostedEvent> downs;
        for (const auto& posted : pf::EventSystem::current()->postedEvents()) {
            if (posted.type == pf::CGEventType::keyDown) {
                downs.push_back(posted);
            }
        }
        return downs;
    }
    void cutAndPasteIntoTarget() {
        press(kVKX);
        env.advance(1s);
        finder->openFolder(target);
        press(kVKV);
    }

    pf::testing::DesktopEnvironment env;
    fs::path source;
    fs::path target;
    std::shared_ptr<pf::FileManagerApplication> finder;
    std::shared_ptr<AppState> app;
    pf::CGWindowID overlayWindow = pf::kCGNullWindowID;
};

TEST_F(LegacyHotkeyMethodTest, TheHotkeysAreOnlyRegisteredWhileAServedFileManagerIsFrontmost) {
    EXPECT_TRUE(Hotkeys::isRegistered(kCommandX));
    EXPECT_TRUE(Hotkeys::isRegistered(kCommandV));
    EXPECT_EQ(countMessages("\"ACTIVE APP\" Optional(\"com.apple.finder\") Optional(\"Finder\") "
                            "Optional(\"com.apple.finder\")"),
              1u);

    auto editor = env.launch<pf::TextEditorApplication>(pf::kTextEditBundleIdentifier, true);
    EXPECT_FALSE(Hotkeys::isRegistered(kCommandX));
    EXPECT_FALSE(Hotkeys::isRegistered(kCommandV));
    env.press(*editor, 0, {}, "a");
    press(0);
    press(kVKX);
    EXPECT_EQ(editor->text(), "") << "Command+X reached the editor";

    env.launch<pf::FileManagerApplication>(pf::kForkLiftSetappBundleIdentifier, true);
    EXPECT_FALSE(Hotkeys::isRegistered(kCommandX));
    env.launch<pf::FileManagerApplication>(pf::kForkLiftBundleIdentifier, true);
    EXPECT_TRUE(Hotkeys::isRegistered(kCommandX));
    EXPECT_TRUE(Hotkeys::isRegistered(kCommandV));
}

TEST_F(LegacyHotkeyMethodTest, ACutPostsCommandCAndFollowsTheCopyAtTheThreeChecks) {
    press(kVKX);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKC, kCommand, "c"}));
    const auto posted = pf::EventSystem::current()->postedEvents();
    ASSERT_EQ(posted.size(), 2u);
    for (const auto& event : posted) {
        EXPECT_EQ(event.location, pf::kCGAnnotatedSessionEventTap);
        EXPECT_EQ(event.keyCode, kVKC);
        EXPECT_EQ(event.flags, pf::kCGEventFlagMaskCommand);
        EXPECT_EQ(event.sourceState, pf::kCGEventSourceStateCombinedSessionState);
        EXPECT_EQ(event.suppressionFilter, pf::CGEventFilterMask{5});
    }
    EXPECT_EQ(posted[1].type, pf::CGEventType::keyUp);
    EXPECT_EQ(countMessages("\"CUT1\" 0"), 1u);
    EXPECT_THAT(env.logLines(), ::testing::Contains(::testing::StartsWith(
                                    "\"CUT1\" 0\n\t[setUpLegacyListener() in AppState:")));

    const auto checksAt = [&](pf::Nanoseconds step, const std::string& name) {
        env.advance(step - 1ms);
        EXPECT_EQ(countMessages(name), 0u) << name;
        env.advance(1ms);
        const auto copied = std::to_string(pf::NSPasteboard::general()->changeCount());
        EXPECT_EQ(countMessages(name + " " + copied), 1u) << name;
    };
    checksAt(200ms, "\"CUT2\"");
    checksAt(200ms, "\"CUT3\"");
    checksAt(600ms, "\"CUT4\"");
    EXPECT_GT(pf::NSPasteboard::general()->changeCount(), 0) << "the Finder copied";
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(LegacyHotkeyMethodTest, CutThenPasteMovesTheFilesInTheFinder) {
    cutAndPasteIntoTarget();
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand | kOption, "v"}));
    EXPECT_EQ(countMessages("\"PASTE KEYPRESS\""), 1u);
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(target / "b.txt"), "beta");

    // The paste used the cut up.
    finder->select({"a.txt"});
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
}

TEST_F(LegacyHotkeyMethodTest, CapsLockStillCutsAndCommandShiftXPasses) {
    press(kVKX, kCommand | NSEvent::ModifierFlags::shift);
    EXPECT_EQ(lastReceived(),
              (ReceivedKeyEvent{kVKX, kCommand | NSEvent::ModifierFlags::shift, "X"}));
    EXPECT_EQ(countMessages("\"CUT1\""), 0u);
    press(kVKX, kCommand | NSEvent::ModifierFlags::capsLock);
    EXPECT_EQ(lastReceived().keyCode, kVKC);
    EXPECT_EQ(countMessages("\"CUT1\""), 1u);
}

TEST_F(LegacyHotkeyMethodTest, CutThenPasteMovesTheFilesInForkLift) {
    auto forkLift = env.launch<pf::FileManagerApplication>(pf::kForkLiftBundleIdentifier, true);
    forkLift->openFolder(source);
    forkLift->select({"a.txt"});
    press(kVKX);
    env.advance(1s);
    forkLift->openFolder(target);
    press(kVKV);
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_TRUE(fs::exists(target / "a.txt"));
    EXPECT_TRUE(finder->receivedEvents().empty());
}

TEST_F(LegacyHotkeyMethodTest, APasteOverAChangedPasteboardIsPlainAndKeepsTheHotkey) {
    press(kVKX);
    env.advance(1s);
    pf::NSPasteboard::general()->clearContents();
    pf::NSPasteboard::general()->setString("text", pf::NSPasteboardType::string);
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    EXPECT_EQ(countMessages("\"SIMULATE PASTE\""), 1u);
    EXPECT_EQ(countMessages("\"PASTE\" Optional("), 1u);
    EXPECT_TRUE(Hotkeys::isRegistered(kCommandV));
    EXPECT_TRUE(fs::exists(source / "a.txt"));
}

// Shortcuts recorded as the very keys the method posts: a posted key never comes back to
// either hotkey.
struct RecordedOverPostedKeys {
    const char* name;
    Hotkeys::Shortcut cut;
    Hotkeys::Shortcut paste;
};

void PrintTo(const RecordedOverPostedKeys& keys, std::ostream* out) {
    *out << keys.name;
}

class LegacyHotkeyMethodRecordedTest
    : public LegacyHotkeyMethodTest,
      public ::testing::WithParamInterface<RecordedOverPostedKeys> {};

TEST_P(LegacyHotkeyMethodRecordedTest, ACutCopiesOnceAndThePasteMoves) {
    const auto& [name, cut, paste] = GetParam();
    Hotkeys::storeShortcut(cut, Hotkeys::Names::cut());
    Hotkeys::storeShortcut(paste, Hotkeys::Names::paste());
    for (const auto& shortcut : {cut, paste}) {
        press(shortcut.carbonKeyCode, modifierFlags(shortcut.carbonModifiers));
        env.advance(1s);
        finder->openFolder(target);
    }
    EXPECT_THAT(finder->receivedEvents(),
                ElementsAre(ReceivedKeyEvent{kVKC, kCommand, "c"},
                            ReceivedKeyEvent{kVKV, kCommand | kOption, "v"}));
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_TRUE(fs::exists(target / "a.txt"));
    EXPECT_TRUE(Hotkeys::isRegistered(cut) && Hotkeys::isRegistered(paste));
}

INSTANTIATE_TEST_SUITE_P(
    RecordedShortcuts, LegacyHotkeyMethodRecordedTest,
    ::testing::Values(RecordedOverPostedKeys{"CutOnCommandC", kCommandC, kCommandV},
                      RecordedOverPostedKeys{"PasteOnCommandOptionV", kCommandX, kCommandOptionV},
                      RecordedOverPostedKeys{"PasteOnCommandC", kCommandX, kCommandC}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LegacyHotkeyMethodTest, OnlyTheLatestCutsChecksUpdateTheCount) {
    press(kVKX);
    env.advance(100ms);
    press(kVKX);
    env.advance(2s);
    EXPECT_EQ(countMessages("\"CUT1\""), 2u);
    EXPECT_EQ(countMessages("\"CUT2\""), 1u);
    EXPECT_EQ(countMessages("\"CUT4\""), 1u);
}

TEST_F(LegacyHotkeyMethodTest, ACommandXHandedOnAbandonsTheCutForGood) {
    press(kVKX); // a cut in the Finder
    env.advance(100ms);
    pf::ScriptedModalResponder::install()->enqueue(pf::ModalAnswer::button("OK"));
    showWindowAboveFinder("com.example.Panel", "Panel");
    press(kVKX); // meant for the panel: handed on, and the cut above is abandoned
    env.desktop().windowServer().removeWindow(overlayWindow);
    env.advance(1s);
    // The warning brought the app forward; the person goes back to the Finder.
    env.desktop().activate(finder->processIdentifier());

    finder->openFolder(target);
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    EXPECT_TRUE(fs::exists(source / "a.txt")) << "the abandoned cut moved the files";
    EXPECT_EQ(countMessages("\"CUT2\""), 0u);
}

TEST_F(LegacyHotkeyMethodTest, AWindowAboveTheFinderGetsCommandXWithOneWarning) {
    const auto ownPid = env.desktop().ownApplication()->processIdentifier();
    // A menu-bar app: the warning activates it, which brings it forward.
    pf::NSApp().setActivationPolicy(pf::NSApplication::ActivationPolicy::accessory);
    pf::ScriptedModalResponder::install()->enqueue(pf::ModalAnswer::button("OK", 20ms));
    showWindowAboveFinder("com.example.Panel", "Panel");
    press(kVKX);

    auto alerts = pf::NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Did not cut because Finder was not frontmost");
    EXPECT_THAT(alerts[0].informativeText,
                ::testing::StartsWith("The frontmost app was “Panel”. This can happen"));
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"OK", "Ignore the App"}));
    EXPECT_EQ(countMessages("\"DID NOT CUT BECAUSE FINDER IS NOT FRONTMOST\" "
                            "Optional(\"com.example.Panel\")"),
              1u);
    ASSERT_EQ(env.reports().size(), 1u);
    const auto report = env.reports()[0];
    EXPECT_EQ(report.localizedDescription(), "DID NOT CUT");
    EXPECT_EQ(report.as<pf::NSError>()->userInfo().at("appOwningFrontmostWindow"),
              pf::Value("com.example.Panel"));

    const auto handedOn = keyDownsPosted();
    ASSERT_EQ(handedOn.size(), 1u);
    EXPECT_EQ(handedOn[0].location, pf::kCGHIDEventTap);
    EXPECT_EQ(handedOn[0].keyCode, kVKX);
    EXPECT_FALSE(handedOn[0].refused);
    EXPECT_EQ(countMessages("\"CUT1\""), 0u);
    const auto runOnceKey = "QV_App_runOnce__didNotCutWarning_" +
                            std::to_string(static_cast<std::int64_t>(
                                fnv1aHash(std::to_string(QVApp::build()) + " Panel")));
    EXPECT_EQ(pf::UserDefaults::standard()->object(runOnceKey), pf::Value(true));

    // Command+X in this app's own windows is not ours to catch.
    ASSERT_EQ(pf::NSWorkspace::shared()->frontmostApplication()->processIdentifier(), ownPid);
    EXPECT_FALSE(Hotkeys::isRegistered(kCommandX));
    env.desktop().activate(finder->processIdentifier());
    EXPECT_TRUE(Hotkeys::isRegistered(kCommandX));

    press(kVKX);
    EXPECT_EQ(pf::NSAlert::shownAlerts().size(), 1u) << "warned once";
    EXPECT_EQ(keyDownsPosted().size(), 2u);
    EXPECT_EQ(countMessages("\"CUT1\""), 0u);
}

TEST_F(LegacyHotkeyMethodTest, IgnoringTheAppLetsTheNextCommandXCut) {
    pf::ScriptedModalResponder::install()->enqueue(pf::ModalAnswer::button("Ignore the App"));
    showWindowAboveFinder("com.example.Panel", "Panel");
    press(kVKX);
    EXPECT_TRUE(
        Prefs::value(AppPreferences::ignoreList()).contains(BundleIdentifier{"com.example.Panel"}));
    env.desktop().activate(finder->processIdentifier());

    press(kVKX);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKC, kCommand, "c"}));
    EXPECT_EQ(countMessages("\"CUT1\""), 1u);
}

TEST_F(LegacyHotkeyMethodTest, ThePanelAppOverTheFinderIsWarnedAboutThenIgnored) {
    pf::NSApp().setActivationPolicy(pf::NSApplication::ActivationPolicy::accessory);
    pf::ScriptedModalResponder::install()->enqueue(pf::ModalAnswer::button("Ignore the App"));
    const auto panel = env.launch<pf::PanelApplication>(pf::kPanelBundleIdentifier, true);
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(Hotkeys::isRegistered(kCommandX)) << "the Finder stays frontmost";

    press(kVKX);
    const auto alerts = pf::NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Did not cut because Finder was not frontmost");
    EXPECT_THAT(alerts[0].informativeText, ::testing::StartsWith("The frontmost app was “Panel”."));
    EXPECT_EQ(countMessages("\"CUT1\""), 0u);
    EXPECT_TRUE(Prefs::value(AppPreferences::ignoreList())
                    .contains(BundleIdentifier{pf::kPanelBundleIdentifier}));

    // The person clicks the Finder's window; the panel still floats over it.
    env.desktop().activate(finder->processIdentifier());
    ASSERT_EQ(env.desktop().windowServer().windows().front().number, panel->panelWindow());
    press(kVKX);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKC, kCommand, "c"}));
    EXPECT_EQ(countMessages("\"CUT1\""), 1u);
    EXPECT_EQ(pf::NSAlert::shownAlerts().size(), 1u);
}

TEST_F(LegacyHotkeyMethodTest, OverlaysOnTheSkipListDoNotStopACut) {
    showWindowAboveFinder("com.pilotmoon.popclip", "PopClip");
    press(kVKX);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKC, kCommand, "c"}));
    EXPECT_TRUE(pf::NSAlert::shownAlerts().empty());
}

TEST_F(LegacyHotkeyMethodTest, AKnownOverlayGetsCommandXWithoutAWarning) {
    showWindowAboveFinder("com.raycast.macos", "Raycast");
    press(kVKX);
    EXPECT_TRUE(pf::NSAlert::shownAlerts().empty());
    EXPECT_TRUE(env.reports().empty());
    EXPECT_EQ(keyDownsPosted().size(), 1u);
    EXPECT_EQ(countMessages("\"DID NOT CUT BECAUSE FINDER IS NOT FRONTMOST\""), 1u);
    // Its warning was still used up.
    const auto flags = pf::UserDefaults::standard()->dictionaryRepresentation();
    EXPECT_TRUE(std::any_of(flags.begin(), flags.end(), [](const auto& entry) {
        return entry.first.rfind("QV_App_runOnce__didNotCutWarning_", 0) == 0;
    }));
}

TEST_F(LegacyHotkeyMethodTest, NoApplicationOwnsTheFrontWindowWhileTheScreenIsLocked) {
    ASSERT_EQ(AppState::appOwningFrontmostWindow(true)->bundleIdentifier.rawValue,
              pf::kFinderBundleIdentifier);
    showWindowAboveFinder("com.apple.loginwindow", "loginwindow");
    env.desktop().activate(
        env.desktop().runningApplications("com.apple.loginwindow")[0]->processIdentifier());
    EXPECT_EQ(AppState::appOwningFrontmostWindow(true), std::nullopt);
    EXPECT_EQ(AppState::appOwningFrontmostWindow(false), std::nullopt);
}

TEST_F(LegacyHotkeyMethodTest, NothingIsCutWhileThisAppIsFrontmost) {
    env.desktop().activate(env.desktop().ownApplication()->processIdentifier());
    Hotkeys::performKeyDown(Hotkeys::Name::fromRawValue("cut"));
    env.runUntilIdle();
    EXPECT_TRUE(pf::EventSystem::current()->postedEvents().empty());
    EXPECT_TRUE(pf::NSAlert::shownAlerts().empty());
}

} // namespace
} // namespace zestrel
