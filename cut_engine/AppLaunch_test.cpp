// The launch sequence on the simulated desktop: migrations, the "x" key, the forced hotkey,
// conflicting taps, the Accessibility check, the menu-bar icon and the method chosen.
#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/AppState.h"
#include "foundation/FeedbackMetadata.h"
#include "foundation/QVApp.h"
#include "hotkeys/Hotkeys.h"
#include "hotkeys/LegacyHotkeyNames.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Locale.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/KeyboardLayout.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/DesktopEnvironment.h"
#include "services/QVAppLaunch.h"
#include "services/QVAppRunOnce.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace zestrel {
namespace {

namespace pf = platform;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint16_t kKeyB = 11;

// The US layout with X and B traded, so "x" is not at the ANSI position.
std::shared_ptr<pf::KeyboardLayout> layoutWithXOnB() {
    const auto us = pf::KeyboardLayout::us();
    pf::KeyboardLayout::CharacterKeys keys;
    for (std::uint16_t code = 0; code < 128; ++code) {
        const auto plain = us->characters(code, false);
        const auto shifted = us->characters(code, true);
        if (plain && shifted && !pf::KeyboardLayout::modifierFlag(code) && plain->size() == 1 &&
            static_cast<unsigned char>((*plain)[0]) >= 0x20) {
            keys[code] =
                pf::KeyboardLayout::CharacterKey{*plain, *shifted, std::isalpha((*plain)[0]) != 0};
        }
    }
    std::swap(keys[pf::testing::kVKX], keys[kKeyB]);
    return std::make_shared<pf::KeyboardLayout>("com.example.keylayout.XonB", "X on B", true, keys);
}

class LaunchTest : public ::testing::Test {
protected:
    // The app's start-up: the controller is made, and the launch runs once the main run loop
    // gets to it.
    void launch() {
        app = AppState::shared();
        env.runUntilIdle();
    }
    // A later launch: a new process on the same desktop and defaults.
    void relaunch() {
        app.reset();
        env.desktop().relaunchOwnApplication();
        launch();
    }
    // An installation whose one-time switches to the event-tap method are behind it, and
    // whose user went back to the hotkeys.
    static void chooseHotkeyMethod() {
        QVApp::runOnce("switchToNewMethod32425");
        QVApp::runOnce("switchToNewMethod755435");
        Prefs::set(AppPreferences::newMethod(), false);
    }
    static void useLayoutWithXOnB() {
        const auto sources = pf::InputSources::current();
        sources->install(layoutWithXOnB());
        ASSERT_EQ(sources->setEnabled("com.example.keylayout.XonB", true), pf::noErr);
        ASSERT_EQ(sources->select("com.example.keylayout.XonB"), pf::noErr);
    }
    std::size_t countMessages(const std::string& prefix) const {
        const auto lines = env.logLines();
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    }
    std::vector<std::string> reportDescriptions() const {
        std::vector<std::string> result;
        for (const auto& report : env.reports()) {
            result.push_back(report.localizedDescription());
        }
        return result;
    }
    static std::size_t countOf(const std::string& text, const std::string& part) {
        std::size_t count = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
    static std::optional<Hotkeys::Shortcut> cutShortcut() {
        return Hotkeys::getShortcut(Hotkeys::Names::cut());
    }

    pf::testing::DesktopEnvironment env;
    std::shared_ptr<AppState> app;
};

TEST_F(LaunchTest, NothingHappensUntilTheMainRunLoopTurns) {
    app = AppState::shared();
    EXPECT_EQ(countMessages("\"key1\""), 0u);
    env.runUntilIdle();
    EXPECT_EQ(countMessages("\"key1\" 7"), 1u);
    EXPECT_EQ(countMessages("\"key2\" 7"), 1u);
}

TEST_F(LaunchTest, FirstLaunchSwitchesToTheEventTapMethodWithoutForcingTheKey) {
    pf::Locale::setCurrentLanguageCode("ja");
    useLayoutWithXOnB();
    launch();
    EXPECT_TRUE(Prefs::value(AppPreferences::newMethod()));
    EXPECT_TRUE(Prefs::value(AppPreferences::useKeyCode()));
    EXPECT_TRUE(app->eventTap());
    EXPECT_EQ(countMessages("\"Did force set key\""), 0u);
    EXPECT_EQ(cutShortcut(), (Hotkeys::Shortcut(7, 256)));

    // The user's later choice stands.
    Prefs::set(AppPreferences::useKeyCode(), false);
    relaunch();
    EXPECT_FALSE(Prefs::value(AppPreferences::useKeyCode()));
}

TEST_F(LaunchTest, HotkeyMethodOnAJapaneseOrChineseSystemStoresTheLayoutsXAtEveryLaunch) {
    for (const char* language : {"ja", "zh"}) {
        pf::Locale::setCurrentLanguageCode(language);
        chooseHotkeyMethod();
        useLayoutWithXOnB();
        Hotkeys::reset({Hotkeys::Names::cut()});
        relaunch();
        EXPECT_EQ(cutShortcut(), (Hotkeys::Shortcut(kKeyB, 256))) << language;
        EXPECT_FALSE(app->eventTap()) << "the hotkeys run instead";
    }
    EXPECT_EQ(countMessages("\"Did force set key\""), 2u);
}

TEST_F(LaunchTest, HotkeyMethodOnAnEnglishSystemForcesTheKeyOnlyWhenAsked) {
    chooseHotkeyMethod();
    useLayoutWithXOnB();
    launch();
    EXPECT_EQ(cutShortcut(), (Hotkeys::Shortcut(7, 256)));
    EXPECT_EQ(countMessages("\"Did force set key\""), 0u);

    Prefs::set(Prefs::Key<bool>("forceSetKey", false), true);
    relaunch();
    EXPECT_EQ(cutShortcut(), (Hotkeys::Shortcut(kKeyB, 256)));
    EXPECT_EQ(countMessages("\"Did force set key\""), 1u);
}

TEST_F(LaunchTest, AnXAwayFromItsUSPlaceIsReportedOncePerInstallation) {
    launch();
    EXPECT_THAT(reportDescriptions(), IsEmpty());

    useLayoutWithXOnB();
    relaunch();
    EXPECT_EQ(countMessages("\"key2\" 11"), 1u);
    ASSERT_THAT(reportDescriptions(), ElementsAre("Different key code"));
    EXPECT_EQ(env.reports()[0].as<pf::NSError>()->userInfo().at("cg"),
              pf::Value(std::uint64_t{kKeyB}));

    relaunch();
    EXPECT_EQ(countMessages("\"key2\" 11"), 2u);
    EXPECT_THAT(reportDescriptions(), ElementsAre("Different key code"));
}

TEST_F(LaunchTest, OnlyActiveKeyDownTapsOnEveryProcessOrOnTheFinderAreConflicts) {
    const auto events = pf::EventSystem::current();
    const auto keyDown = pf::CGEventMaskBit(pf::CGEventType::keyDown);
    const int finder =
        env.finder()
            ? env.desktop().runningApplications("com.apple.finder").front()->processIdentifier()
            : 0;
    const int textEdit = env.desktop().launch("com.apple.TextEdit", false)->processIdentifier();
    // Harmless: listening only, switched off, not for keys, or on another application.
    events->addForeignTap({.tappingProcess = 901, .eventsOfInterest = keyDown});
    events->addForeignTap({.tappingProcess = 902,
                           .options = pf::kCGEventTapOptionDefault,
                           .eventsOfInterest = keyDown,
                           .enabled = false});
    events->addForeignTap({.tappingProcess = 903,
                           .options = pf::kCGEventTapOptionDefault,
                           .eventsOfInterest = pf::CGEventMaskBit(pf::CGEventType::keyUp)});
    events->addForeignTap({.tappingProcess = 904,
                           .processBeingTapped = textEdit,
                           .options = pf::kCGEventTapOptionDefault,
                           .eventsOfInterest = keyDown});
    launch();
    EXPECT_THAT(env.standardOutput(), Not(HasSubstr("🌸")));

    // Conflicts: an active key-down tap on every process, and one on the Finder.
    events->addForeignTap({.tappingProcess = 905,
                           .options = pf::kCGEventTapOptionDefault,
                           .eventsOfInterest = keyDown});
    events->addForeignTap({.tappingProcess = 906,
                           .processBeingTapped = finder,
                           .options = pf::kCGEventTapOptionDefault,
                           .eventsOfInterest = keyDown});
    relaunch();
    relaunch();
    const auto output = env.standardOutput();
    EXPECT_EQ(countOf(output, "🌸 [\""), 2u) << "printed at each launch";
    const auto line = output.substr(output.find("🌸"));
    EXPECT_EQ(countOf(line.substr(0, line.find('\n')), "tappingProcess - ID: "), 2u);
    EXPECT_THAT(line, HasSubstr("\\n")) << "each description on one line, its breaks escaped";
    EXPECT_THAT(reportDescriptions(), ElementsAre("Potentially conflicting app"))
        << "reported once";
    const auto apps = env.reports()[0].as<pf::NSError>()->userInfo().at("apps").asArray();
    ASSERT_TRUE(apps);
    EXPECT_EQ(apps->size(), 2u);
}

TEST_F(LaunchTest, TheTapListIsPrintedASecondLaterOrItsFailureWhenUnreadable) {
    pf::EventSystem::current()->setTapListError(pf::CGError::rangeCheck);
    launch();
    EXPECT_THAT(env.standardOutput(), Not(HasSubstr("❤️")));
    env.advance(999ms);
    EXPECT_THAT(env.standardOutput(), Not(HasSubstr("❤️")));
    env.advance(1ms);
    EXPECT_THAT(env.standardOutput(), HasSubstr("❤️ <Failed to get event taps>\n"));
    EXPECT_THAT(reportDescriptions(), IsEmpty());
    EXPECT_TRUE(app->eventTap()) << "the launch goes on";
}

TEST_F(LaunchTest, RegistersItsSettingsAndDiagnosticsForTheReports) {
    launch();
    std::vector<std::string> names;
    for (const auto& provider : feedbackMetadataProviders()) {
        for (const auto& [name, value] : provider()) {
            names.push_back(name);
        }
    }
    EXPECT_THAT(names, ElementsAre("Setting - hideMenuBarIcon", "Setting - playSoundEffects",
                                   "Setting - newMethod", "Setting - useKeyCode"));
    EXPECT_EQ(feedbackMetadataValues().at("Keycode1"), pf::Value(std::uint64_t{7}));
    EXPECT_EQ(QVApp::debugInfoValues().value("Keycode1"), pf::Value(std::uint64_t{7}));

    const auto finderPID = QVApp::debugInfoValueProviders().value("finderPID");
    ASSERT_TRUE(finderPID);
    const int pid =
        env.desktop().runningApplications("com.apple.finder").front()->processIdentifier();
    EXPECT_EQ((*finderPID)(), pf::Value(pid));
    env.desktop().terminate(pid);
    EXPECT_TRUE((*finderPID)().isAbsent()) << "asked anew each time";
    const auto taps = QVApp::debugInfoValueProviders().value("eventTap");
    ASSERT_TRUE(taps);
    EXPECT_THAT(*(*taps)().asString(), HasSubstr("EVENT TAPS"));
}

TEST_F(LaunchTest, TheReviewRequestComesLastEvenWhenTheMethodFailed) {
    Prefs::set(Prefs::Key<std::int64_t>("QV_launchCount", 0), 4);
    Prefs::set(Prefs::Key<std::optional<pf::Date>>("QV_firstLaunchDate"),
               pf::Date::fromTimeIntervalSince1970(pf::testing::kFixedDateSince1970 - 30 * 86400));
    // Held Function+Control+Shift skip the check, so the refused tap is the method's failure.
    pf::Accessibility::current()->setTrusted(false);
    pf::NSEvent::setHeldModifierFlags(pf::NSEvent::ModifierFlags{0x860000});
    launch();
    EXPECT_FALSE(app->eventTap());
    EXPECT_THAT(reportDescriptions(), ElementsAre("Failed to listen to system events."));
    EXPECT_EQ(Prefs::value(Prefs::Key<std::int64_t>("QVApp_requestReview", 0)), 1);
}

class AccessibilityCheckTest : public LaunchTest {
protected:
    static std::vector<pf::NSAlert::Record> accessAlerts() {
        std::vector<pf::NSAlert::Record> found;
        for (const auto& alert : pf::NSAlert::shownAlerts()) {
            if (alert.messageText.find("requires accessibility access") != std::string::npos) {
                found.push_back(alert);
            }
        }
        return found;
    }
    static bool welcomeShown() {
        return pf::findNode(pf::outlineOfScreen(), "Hello, I'm " + QVApp::name()) != nullptr;
    }
    static std::shared_ptr<pf::NSStatusItem> makeStatusItem() {
        auto item = pf::NSStatusBar::system()->statusItem(pf::NSVariableStatusItemLength);
        item->button()->setTitle("Z");
        return item;
    }
};

TEST_F(AccessibilityCheckTest, FunctionControlShiftHeldSkipsTheCheckButNotWithCapsLockToo) {
    pf::Accessibility::current()->setTrusted(false);
    pf::NSEvent::setHeldModifierFlags(pf::NSEvent::ModifierFlags{0x860000});
    launch();
    EXPECT_EQ(pf::Accessibility::current()->postEventAccessRequestCount(), 0);
    EXPECT_THAT(accessAlerts(), IsEmpty());
    EXPECT_FALSE(pf::NSApp().isTerminated());

    pf::NSEvent::setHeldModifierFlags(pf::NSEvent::ModifierFlags{0x870000});
    relaunch();
    EXPECT_EQ(pf::Accessibility::current()->postEventAccessRequestCount(), 1);
    EXPECT_EQ(accessAlerts().size(), 1u);
}

TEST_F(AccessibilityCheckTest, RefusedAccessExplainsOpensTheSettingsPaneAndQuits) {
    pf::Accessibility::current()->setTrusted(false);
    launch();
    const auto alerts = accessAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    const std::string name = QVApp::name();
    EXPECT_EQ(alerts[0].messageText, name + " requires accessibility access.");
    EXPECT_EQ(alerts[0].informativeText,
              "You can manually grant access in System Settings. Launch " + name +
                  " again after granting access.");
    EXPECT_THAT(alerts[0].buttons, ElementsAre("Quit and Open System Settings"));
    EXPECT_EQ(alerts[0].style, pf::NSAlert::Style::warning);
    ASSERT_FALSE(pf::URLOpener::openedURLs().empty());
    EXPECT_EQ(pf::URLOpener::openedURLs().back().absoluteString(),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    EXPECT_TRUE(pf::NSApp().isTerminated());
    EXPECT_FALSE(app->eventTap()) << "nothing after the check runs";
    EXPECT_THAT(feedbackMetadataProviders(), IsEmpty());
    EXPECT_EQ(pf::Accessibility::current()->promptCount(), 1);
    EXPECT_EQ(pf::Accessibility::current()->postEventAccessRequestCount(), 1);

    relaunch();
    ASSERT_EQ(accessAlerts().size(), 1u);
    EXPECT_EQ(accessAlerts()[0].messageText,
              name + " requires accessibility access but no such access was granted.");
    EXPECT_TRUE(pf::NSApp().isTerminated());
}

TEST_F(AccessibilityCheckTest, WelcomePopoverHalfASecondAfterTheIconShowsAtTheFirstLaunchOnly) {
    auto item = makeStatusItem();
    launch();
    env.advance(499ms);
    EXPECT_FALSE(welcomeShown());
    env.advance(1ms);
    EXPECT_TRUE(welcomeShown());
    env.advance(10s);
    EXPECT_FALSE(welcomeShown()) << "it closes by itself";

    item.reset();
    relaunch();
    item = makeStatusItem();
    env.advance(2s);
    EXPECT_FALSE(welcomeShown());
}

TEST_F(AccessibilityCheckTest, WelcomePopoverGivesUpWhenTheIconStaysHiddenFiveSeconds) {
    auto item = makeStatusItem();
    item->setVisible(false);
    launch();
    env.advance(5s);
    item->setVisible(true);
    env.advance(2s);
    EXPECT_FALSE(welcomeShown());
    EXPECT_FALSE(QVApp::runOnce("welcomePopover")) << "the offer is spent";
}

TEST_F(AccessibilityCheckTest, WelcomePopoverWaitsForAnIconThatShowsInTime) {
    auto item = makeStatusItem();
    item->setVisible(false);
    launch();
    env.advance(3s);
    item->setVisible(true);
    env.advance(499ms);
    EXPECT_FALSE(welcomeShown());
    env.advance(1ms);
    EXPECT_TRUE(welcomeShown());
}

class MenuBarIconTest : public LaunchTest {
protected:
    void installSettingsMenu() {
        auto appMenu = std::make_shared<pf::NSMenu>("Zestrel");
        appMenu->addItem(
            "Settings…", [this](pf::NSMenuItem&) { ++settingsOpened; }, "");
        auto main = std::make_shared<pf::NSMenu>("Main");
        main->addItem("Zestrel", {}, "")->setSubmenu(appMenu);
        pf::NSApp().setMainMenu(main);
    }
    static void hideIcon(bool hidden) { Prefs::set(AppPreferences::hideMenuBarIcon(), hidden); }

    int settingsOpened = 0;
};

TEST_F(MenuBarIconTest, AHiddenIconShowsForFiveSecondsAfterLaunch) {
    hideIcon(true);
    launch();
    EXPECT_TRUE(app->isMenuBarItemVisible());
    env.advance(4999ms);
    EXPECT_TRUE(app->isMenuBarItemVisible());
    env.advance(1ms);
    EXPECT_FALSE(app->isMenuBarItemVisible());
}

TEST_F(MenuBarIconTest, TheSettingFollowsAtOnceAfterLaunch) {
    launch();
    env.advance(6s);
    EXPECT_TRUE(app->isMenuBarItemVisible());
    hideIcon(true);
    env.runUntilIdle();
    EXPECT_FALSE(app->isMenuBarItemVisible());
    hideIcon(false);
    env.runUntilIdle();
    EXPECT_TRUE(app->isMenuBarItemVisible());
}

TEST_F(MenuBarIconTest, AReopenWhileHiddenShowsItForFiveSecondsAndOpensSettings) {
    installSettingsMenu();
    hideIcon(true);
    launch();
    env.advance(6s);
    ASSERT_FALSE(app->isMenuBarItemVisible());
    app->revealMenuBarIconTemporarily();
    EXPECT_TRUE(app->isMenuBarItemVisible());
    env.runUntilIdle();
    EXPECT_EQ(settingsOpened, 1);
    env.advance(3s);
    app->revealMenuBarIconTemporarily();
    env.advance(2s);
    EXPECT_FALSE(app->isMenuBarItemVisible()) << "the first reopen's restore, 2 s after the second";
    EXPECT_EQ(settingsOpened, 2);
}

TEST_F(MenuBarIconTest, AReopenWhileShownOnlyShowsIt) {
    installSettingsMenu();
    launch();
    app->revealMenuBarIconTemporarily();
    env.advance(6s);
    EXPECT_TRUE(app->isMenuBarItemVisible());
    EXPECT_EQ(settingsOpened, 0);
}

} // namespace
} // namespace zestrel
