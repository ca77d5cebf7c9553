// The event-tap method on the simulated desktop with real files: what the file managers
// receive, where the files end up, and what the app logs and reports on the way.
#include "cut_engine/AppState.h"

#include "cut_engine/AppPreferenceKeys.h"
#include "hotkeys/Hotkeys.h"
#include "platform/appkit/NSAlert.h"
#include "platform/concurrency/ObservationRegistrar.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/system/SystemSound.h"
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
using pf::NSPasteboard;
using pf::ReceivedKeyEvent;
using pf::testing::kVKC;
using pf::testing::kVKV;
using pf::testing::kVKX;
using ::testing::ElementsAre;

constexpr auto kCommand = NSEvent::ModifierFlags::command;
constexpr auto kOption = NSEvent::ModifierFlags::option;
constexpr auto kShift = NSEvent::ModifierFlags::shift;
constexpr auto kControl = NSEvent::ModifierFlags::control;
constexpr auto kCapsLock = NSEvent::ModifierFlags::capsLock;
constexpr auto kFunction = NSEvent::ModifierFlags::function;
constexpr auto kNumericPad = NSEvent::ModifierFlags::numericPad;

// A log line's message, without the location that follows it.
std::string messageOf(const std::string& line) {
    return line.substr(0, line.find("\n\t["));
}

class EventTapMethodTest : public ::testing::Test {
protected:
    EventTapMethodTest() {
        const auto scene = env.makeCutScene();
        source = scene.source;
        target = scene.target;
        finder = scene.finder;
    }

    void start() {
        app = AppState::makeUnlaunched();
        app->setUpListener();
    }

    static void press(std::uint16_t keyCode, NSEvent::ModifierFlags flags = kCommand) {
        const auto event = pf::CGEventCreateKeyboardEvent(nullptr, keyCode, true);
        event->setFlags(pf::CGEventFlags{flags.rawValue});
        pf::EventSystem::current()->post(pf::kCGHIDEventTap, event);
    }

    static void selectLayout(std::string_view identifier) {
        ASSERT_EQ(pf::InputSources::current()->select(identifier), pf::noErr);
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const auto& line : env.logLines()) {
            result.push_back(messageOf(line));
        }
        return result;
    }
    std::size_t countMessages(const std::string& prefix) const {
        const auto all = messages();
        return std::count_if(all.begin(), all.end(),
                             [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
    }
    std::vector<std::string> reportDescriptions() const {
        std::vector<std::string> result;
        for (const auto& report : env.reports()) {
            result.push_back(report.localizedDescription());
        }
        return result;
    }
    ReceivedKeyEvent lastReceived() const {
        const auto events = finder->receivedEvents();
        return events.empty() ? ReceivedKeyEvent{} : events.back();
    }
    static std::int64_t changeCount() { return NSPasteboard::general()->changeCount(); }

    pf::testing::DesktopEnvironment env;
    fs::path source;
    fs::path target;
    std::shared_ptr<pf::FileManagerApplication> finder;
    std::shared_ptr<AppState> app;
};

TEST_F(EventTapMethodTest, CutThenPasteMovesTheFilesAndEmptiesThePasteboardAfterwards) {
    start();
    const auto before = changeCount();
    press(kVKX);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKC, kCommand, "c"}));
    env.advance(600ms);
    const auto copied = std::to_string(changeCount());

    finder->openFolder(target);
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand | kOption, "v"}));
    env.runUntilIdle();
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(target / "a.txt"), "alpha");
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(target / "b.txt"), "beta");

    EXPECT_THAT(messages(), ::testing::IsSupersetOf(std::vector<std::string>{
                                "\"Event tap started\"", "\"CUT1\" " + std::to_string(before),
                                "\"CUT2\" " + copied, "\"CUT3\" " + copied, "\"CUT4\" " + copied,
                                "\"PASTE1\" Optional(" + copied + ") " + copied,
                                "\"PASTE2\" Optional(" + copied + ") " + copied}));
    for (const auto& line : env.logLines()) {
        if (line.rfind("\"CUT1\"", 0) == 0) {
            EXPECT_THAT(line, ::testing::HasSubstr("[setUpListener() in AppState:"));
        }
    }

    env.advance(199ms);
    EXPECT_FALSE(NSPasteboard::general()->readFileURLs().empty());
    // Cleared whatever was put there meanwhile.
    NSPasteboard::general()->clearContents();
    NSPasteboard::general()->setString("meanwhile", pf::NSPasteboardType::string);
    env.advance(1ms);
    EXPECT_EQ(NSPasteboard::general()->types(), std::vector<pf::NSPasteboardType>{});
    EXPECT_EQ(pf::SystemSoundServer::plays().size(), 1u);
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(EventTapMethodTest, TheHotkeysStayOffAndTheTapsServeEveryFileManager) {
    Hotkeys::storeShortcut(Hotkeys::Shortcut(7, 256), Hotkeys::Name::fromRawValue("cut"));
    env.launch<pf::FileManagerApplication>(pf::kForkLiftBundleIdentifier);
    env.launch<pf::FileManagerApplication>(pf::kForkLiftSetappBundleIdentifier);
    start();
    EXPECT_TRUE(Hotkeys::registeredShortcuts().empty());
    ASSERT_TRUE(app->eventTap());
    EXPECT_EQ(app->eventTap()->eventTaps().size(), 3u);
}

TEST_F(EventTapMethodTest, PendingCutStates) {
    start();
    // Idle, Command+V: plain, and said so.
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    EXPECT_EQ(countMessages("\"PASTE1\" nil 0"), 1u);
    EXPECT_EQ(countMessages("\"SKIPPING PASTE\""), 1u);

    // Pending, other keys: passed on, the cut stays.
    press(kVKX);
    env.advance(600ms);
    press(0 /* a */, kCommand);
    press(kVKX, {});
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKX, {}, "x"}));
    finder->openFolder(target);
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand | kOption, "v"}));
    env.runUntilIdle();

    // The move forgot the cut: the next Command+V is plain.
    env.clearCaptures();
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    EXPECT_EQ(countMessages("\"SKIPPING PASTE\""), 1u);
}

TEST_F(EventTapMethodTest, CommandCForgetsTheCut) {
    start();
    press(kVKX);
    env.advance(600ms);
    finder->select({}); // a copy of nothing leaves the pasteboard as it is
    press(kVKC);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKC, kCommand, "c"}));
    env.advance(600ms);
    finder->openFolder(target);
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    env.runUntilIdle();
    EXPECT_TRUE(fs::exists(source / "a.txt"));
    EXPECT_TRUE(fs::exists(target / "a.txt"));
}

TEST_F(EventTapMethodTest, ACopyElsewhereInBetweenMakesThePastePlain) {
    auto editor = env.launch<pf::TextEditorApplication>(pf::kTextEditBundleIdentifier);
    start();
    press(kVKX);
    env.advance(600ms);
    env.press(*editor, 0, {}, "a");
    editor->selectAll();
    editor->copy();
    ASSERT_EQ(NSPasteboard::general()->stringForType(pf::NSPasteboardType::string), "a");
    finder->openFolder(target);
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    EXPECT_EQ(countMessages("\"SKIPPING PASTE\""), 1u);
    EXPECT_TRUE(fs::exists(source / "a.txt"));
}

TEST_F(EventTapMethodTest, WithNothingSelectedAnOlderCopyOfFilesIsMoved) {
    start();
    finder->select({"a.txt"});
    press(kVKC);
    env.advance(600ms);
    finder->select({});
    press(kVKX);
    env.advance(600ms);
    finder->openFolder(target);
    press(kVKV);
    env.runUntilIdle();
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_TRUE(fs::exists(target / "a.txt"));
    EXPECT_TRUE(fs::exists(source / "b.txt"));
}

TEST_F(EventTapMethodTest, APasteWithoutFileURLsIsPlainAndForgetsTheCut) {
    NSPasteboard::general()->clearContents();
    NSPasteboard::general()->setString("text", pf::NSPasteboardType::string);
    start();
    finder->select({});
    press(kVKX);
    env.advance(600ms);
    press(kVKV);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    EXPECT_EQ(countMessages("\"SKIPPING PASTE\""), 1u);
}

TEST_F(EventTapMethodTest, OnlyTheModifierCommandCuts) {
    start();
    struct Case {
        NSEvent::ModifierFlags flags;
        bool cuts;
    };
    for (const auto& [flags, cuts] : {
             Case{kCommand, true},
             Case{kCommand | kCapsLock, true},
             Case{kCommand | kFunction, true},
             Case{kCommand | kNumericPad, true},
             Case{kCommand | kShift, false},
             Case{kCommand | kOption, false},
             Case{kCommand | kControl, false},
             Case{{}, false},
         }) {
        const auto cutsBefore = countMessages("\"CUT1\"");
        press(kVKX, flags);
        const auto received = lastReceived();
        EXPECT_EQ(received.keyCode, cuts ? kVKC : kVKX) << flags.rawValue;
        EXPECT_EQ(received.modifierFlags, flags) << flags.rawValue;
        EXPECT_EQ(countMessages("\"CUT1\""), cutsBefore + (cuts ? 1 : 0)) << flags.rawValue;
        env.advance(1s);
    }
}

TEST_F(EventTapMethodTest, LayoutsWithAndWithoutKeyCodeMode) {
    start();
    struct Case {
        const char* layout;
        bool useKeyCode;
        bool cuts;
    };
    for (const auto& [layout, useKeyCode, cuts] : {
             Case{"com.apple.keylayout.German", false, true},
             Case{"com.apple.keylayout.German", true, true},
             Case{"com.apple.keylayout.Russian", false, false},
             Case{"com.apple.keylayout.Russian", true, true},
         }) {
        selectLayout(layout);
        env.runUntilIdle();
        Prefs::set(AppPreferences::useKeyCode(), useKeyCode);
        press(kVKX);
        EXPECT_EQ(lastReceived().keyCode, cuts ? kVKC : kVKX) << layout << useKeyCode;
        env.advance(1s);
    }
}

TEST_F(EventTapMethodTest, OnTheRussianLayoutKeyCodeModeMovesTheFiles) {
    Prefs::set(AppPreferences::useKeyCode(), true);
    selectLayout("com.apple.keylayout.Russian");
    env.runUntilIdle();
    start();
    press(kVKX);
    env.advance(600ms);
    finder->openFolder(target);
    press(kVKV);
    env.runUntilIdle();
    EXPECT_EQ(lastReceived().modifierFlags, kCommand | kOption);
    EXPECT_TRUE(fs::exists(target / "b.txt"));
    EXPECT_FALSE(fs::exists(source / "b.txt"));
}

TEST_F(EventTapMethodTest, OnlyTheLatestCutsChecksAct) {
    start();
    press(kVKX);
    env.advance(100ms);
    press(kVKX);
    env.advance(1s);
    EXPECT_EQ(countMessages("\"CUT1\""), 2u);
    EXPECT_EQ(countMessages("\"CUT2\""), 1u);
    EXPECT_EQ(countMessages("\"CUT3\""), 1u);
    EXPECT_EQ(countMessages("\"CUT4\""), 1u);
}

TEST_F(EventTapMethodTest, ALaterCheckReportsAPasteboardThatMoved) {
    start();
    press(kVKX);
    env.advance(300ms);
    EXPECT_TRUE(env.reports().empty()) << "the first check absorbs the copy silently";
    const auto recorded = changeCount();
    NSPasteboard::general()->clearContents();
    env.advance(100ms);
    ASSERT_THAT(reportDescriptions(), ElementsAre("CUT3"));
    const auto userInfo = env.reports()[0].as<pf::NSError>()->userInfo();
    EXPECT_EQ(userInfo.at("changeCount"), pf::Value(std::optional(recorded)));
    EXPECT_EQ(userInfo.at("NSPasteboard.general.changeCount"), pf::Value(recorded + 1));

    NSPasteboard::general()->clearContents();
    env.advance(200ms);
    EXPECT_THAT(reportDescriptions(), ElementsAre("CUT3", "CUT4"));
    EXPECT_EQ(countMessages("\"CUT4\" " + std::to_string(changeCount())), 1u);
}

TEST_F(EventTapMethodTest, AKeyMismatchIsReportedOnceAtMost) {
    selectLayout("com.apple.keylayout.Russian");
    env.runUntilIdle();
    start();
    int draws = 0;
    app->setRandomBool([&] { return ++draws, false; });
    press(kVKX, {});
    EXPECT_EQ(draws, 1);
    EXPECT_TRUE(env.reports().empty()) << "the draw said no";

    app->setRandomBool([&] { return ++draws, true; });
    press(kVKX, {});
    EXPECT_EQ(draws, 1) << "the chance was spent";
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(EventTapMethodTest, AKeyMismatchReportSaysWhatTheKeyTyped) {
    start();
    app->setRandomBool([] { return true; });
    press(kVKX, {}); // the US X key is no mismatch
    EXPECT_TRUE(env.reports().empty());
    selectLayout("com.apple.keylayout.Russian");
    env.runUntilIdle();
    press(kVKV, {}); // not the key of "x": nothing to report
    EXPECT_TRUE(env.reports().empty());
    press(kVKX, {});
    ASSERT_THAT(reportDescriptions(), ElementsAre("Key mismatch"));
    const auto userInfo = env.reports()[0].as<pf::NSError>()->userInfo();
    EXPECT_EQ(userInfo.at("event.charactersIgnoringModifiers"), pf::Value("ч"));
    EXPECT_EQ(userInfo.at("event.keyCode"), pf::Value(7));
    EXPECT_EQ(userInfo.at("CGKeyCodeUtilities.fromCharacter"), pf::Value(7));
}

TEST_F(EventTapMethodTest, NoSoundWhenSoundEffectsAreOff) {
    Prefs::set(AppPreferences::playSoundEffects(), false);
    start();
    press(kVKX);
    env.advance(1s);
    EXPECT_EQ(lastReceived().keyCode, kVKC);
    EXPECT_TRUE(pf::SystemSoundServer::plays().empty());
}

TEST_F(EventTapMethodTest, ARefusedTapIsShownAndKeysPassUnchanged) {
    pf::Accessibility::current()->setTrusted(false);
    start();
    EXPECT_FALSE(app->eventTap());
    EXPECT_THAT(reportDescriptions(), ElementsAre("Failed to listen to system events."));
    EXPECT_EQ(countMessages("\"Tap error:\""), 1u);
    env.runUntilIdle();
    const auto alerts = pf::NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Failed to listen to system events.");
    // The alert brought the app forward; the person goes back to the Finder.
    env.desktop().activate(finder->processIdentifier());
    press(kVKX);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKX, kCommand, "x"}));
}

TEST_F(EventTapMethodTest, ANameClashAtTheDestinationLosesNoFile) {
    env.writeFile(target / "a.txt", "older");
    start();
    press(kVKX);
    env.advance(600ms);
    finder->openFolder(target);
    press(kVKV);
    env.runUntilIdle();
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(source / "a.txt"), "alpha");
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(target / "a.txt"), "older");
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(target / "b.txt"), "beta");
    EXPECT_FALSE(fs::exists(source / "b.txt"));
}

TEST_F(EventTapMethodTest, CutAndPasteInForkLift) {
    auto forkLift =
        env.launch<pf::FileManagerApplication>(pf::kForkLiftBundleIdentifier, /*activates=*/true);
    forkLift->openFolder(source);
    forkLift->select({"b.txt"});
    start();
    press(kVKX);
    env.advance(600ms);
    forkLift->openFolder(target);
    press(kVKV);
    env.runUntilIdle();
    EXPECT_TRUE(fs::exists(source / "a.txt"));
    EXPECT_FALSE(fs::exists(source / "b.txt"));
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(target / "b.txt"), "beta");
    EXPECT_TRUE(finder->receivedEvents().empty());
}

TEST_F(EventTapMethodTest, ARelaunchedFinderIsTappedAgain) {
    start();
    env.desktop().terminate(finder->processIdentifier());
    env.desktop().launch(pf::kFinderBundleIdentifier, true);
    env.runUntilIdle();
    finder = env.finder();
    finder->openFolder(source);
    finder->select({"a.txt"});
    press(kVKX);
    EXPECT_EQ(lastReceived(), (ReceivedKeyEvent{kVKC, kCommand, "c"}));
    env.advance(600ms);
    finder->openFolder(target);
    press(kVKV);
    env.runUntilIdle();
    EXPECT_TRUE(fs::exists(target / "a.txt"));
    EXPECT_FALSE(fs::exists(source / "a.txt"));
}

TEST_F(EventTapMethodTest, TheObservableFieldsTellTheirObservers) {
    app = AppState::shared();
    EXPECT_EQ(AppState::shared(), app);
    int changes = 0;
    pf::withObservationTracking([&] { return app->isMenuBarItemVisible(); }, [&] { ++changes; });
    EXPECT_TRUE(app->isMenuBarItemVisible());
    app->setIsMenuBarItemVisible(false);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(app->isMenuBarItemVisible());

    pf::withObservationTracking([&] { return app->eventTap(); }, [&] { ++changes; });
    app->setUpListener();
    EXPECT_EQ(changes, 2);
}

} // namespace
} // namespace zestrel
