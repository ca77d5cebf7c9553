#include "app/AppMain.h"

#include "app/Buttons.h"
#include "app/UserDebugWindow.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "foundation/QVApp.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/RunLoop.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/DesktopEnvironment.h"
#include "preferences/Prefs.h"
#include "ui/Pasteboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

namespace zestrel {
namespace {

namespace pf = platform;
using Flags = pf::NSEvent::ModifierFlags;

class AppMainTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;
    std::shared_ptr<pf::ScriptedModalResponder> responder = pf::ScriptedModalResponder::install();

    void launch() {
        launchApp();
        env.runUntilIdle();
    }
    static std::shared_ptr<pf::NSStatusItem> menuBarItem() {
        const auto* app = pf::swiftui::launchedApp();
        return app ? app->scenes->menuBarItem() : nullptr;
    }
    static std::string menu() { return pf::render(pf::outline(*menuBarItem()->menu())); }
    static bool clickMenu(std::string_view title) {
        return pf::click(pf::outline(*menuBarItem()->menu()), title);
    }
};

TEST_F(AppMainTest, TheMenuListsTheSupportCommandsInOrder) {
    launch();
    ASSERT_NE(menuBarItem(), nullptr);
    EXPECT_EQ(menuBarItem()->button()->image()->name(), "command");
    EXPECT_EQ(menuBarItem()->button()->title(), "Zestrel");
    // No store listing in this build: no Rate App; not in debug mode: no Debug.
    EXPECT_EQ(menu(), "menu \"Zestrel\"\n"
                      "  item \"About\"\n"
                      "  separator\n"
                      "  item \"Settings…\" [⌘,]\n"
                      "  separator\n"
                      "  item \"Send Feedback…\"\n"
                      "  separator\n"
                      "  item \"FAQ\"\n"
                      "  item \"Website\"\n"
                      "  separator\n"
                      "  item \"Share App\"\n"
                      "  item \"More Apps by Me\"\n"
                      "  separator\n"
                      "  item \"More\"\n"
                      "    menu \"More\"\n"
                      "      item \"The App Does Not Work\"\n"
                      "      separator\n"
                      "      item \"Copy Debug Info\"\n"
                      "  separator\n"
                      "  item \"Quit Zestrel\" [⌘q]\n");
}

TEST_F(AppMainTest, DebugModeAddsTheDebugCommand) {
    pf::NSEvent::setHeldModifierFlags(Flags::shift | Flags::control | Flags::capsLock);
    launch();
    pf::NSEvent::setHeldModifierFlags({});
    EXPECT_NE(menu().find("  item \"Debug\"\n  item \"More\""), std::string::npos);
}

TEST_F(AppMainTest, TheSupportObjectComesFirstSoItsWorkRunsBeforeTheLaunchSequence) {
    // The user-debug-window gesture: its work, posted by the support object, runs before the
    // controller's launch sequence logs the "x" key.
    // The window is made by that work (it takes its content's size then) and shown later.
    std::optional<std::size_t> linesWhenShown;
    const auto observer = pf::NotificationCenter::defaultCenter()->addObserver(
        pf::NSWindowDidResizeNotification, pf::Value(), [&](const pf::Notification& notification) {
            const auto window = notification.object.asObject<SwiftUIWindowForMenuBarApp>();
            if (!linesWhenShown && window) {
                linesWhenShown = env.logLines().size();
            }
        });
    pf::NSEvent::setHeldModifierFlags(Flags::shift | Flags::control | Flags::option);
    launch();
    pf::NSEvent::setHeldModifierFlags({});
    pf::NotificationCenter::defaultCenter()->removeObserver(observer);
    const auto lines = env.logLines();
    const auto at = [&lines](const std::string& text) {
        return static_cast<std::size_t>(std::find_if(lines.begin(), lines.end(),
                                                     [&](const std::string& line) {
                                                         return line.find(text) !=
                                                                std::string::npos;
                                                     }) -
                                        lines.begin());
    };
    ASSERT_TRUE(linesWhenShown.has_value());
    ASSERT_LT(at("\"key1\""), lines.size());
    EXPECT_LE(*linesWhenShown, at("\"key1\""));
    EXPECT_EQ(pf::UserDefaults::standard()->object("NSApplicationCrashOnExceptions"),
              pf::Value(true));
}

TEST_F(AppMainTest, AResetAtLaunchWipesTheSettingsAndTheNextInstanceStartsAfresh) {
    Prefs::set(AppPreferences::playSoundEffects(), false);
    pf::NSEvent::setHeldModifierFlags(Flags::shift | Flags::control | Flags::option |
                                      Flags::command);
    responder->enqueue(pf::ModalAnswer::button("Delete"));
    launch();
    pf::NSEvent::setHeldModifierFlags({});
    const auto alerts = pf::NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText,
              "Are you sure you want to delete the settings and data for Zestrel?");
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"Delete", "Cancel"}));
    EXPECT_TRUE(pf::NSApp().isTerminated());
    ASSERT_TRUE(env.desktop().relaunchRequested());
    // Only the relaunch's own mark is left for the new instance.
    const auto defaults = pf::UserDefaults::standard();
    EXPECT_EQ(defaults->persistentDomain(defaults->domainName()),
              (pf::Value::Dictionary{{"QVApp_wasRelaunched", pf::Value(true)}}));

    env.desktop().relaunchOwnApplication();
    launch();
    EXPECT_TRUE(Prefs::value(AppPreferences::playSoundEffects()));
    EXPECT_EQ(Prefs::value(Prefs::Key<std::int64_t>("QV_launchCount", 0)), 1);
}

TEST_F(AppMainTest, AResetWhoseRelaunchFailsShowsTheFailureAndQuits) {
    Prefs::set(AppPreferences::playSoundEffects(), false);
    // Nowhere to start a new instance from.
    env.desktop().uninstall(QVApp::id());
    pf::NSEvent::setHeldModifierFlags(Flags::shift | Flags::control | Flags::option |
                                      Flags::command);
    responder->enqueue(pf::ModalAnswer::button("Delete"));
    responder->enqueue(pf::ModalAnswer::button(0));
    launch();
    pf::NSEvent::setHeldModifierFlags({});

    ASSERT_EQ(pf::NSAlert::shownAlerts().size(), 2u);
    EXPECT_NE(env.logLines().back().find("PRESENTED ERROR:"), std::string::npos);
    EXPECT_FALSE(env.desktop().relaunchRequested());
    EXPECT_TRUE(pf::NSApp().isTerminated());
    // The settings stay wiped, and the next launch is not taken for a relaunch.
    const auto defaults = pf::UserDefaults::standard();
    const auto stored =
        defaults->persistentDomain(defaults->domainName()).value_or(pf::Value::Dictionary{});
    EXPECT_EQ(stored.count("playSoundEffects"), 0u);
    const auto relaunched = stored.find("QVApp_wasRelaunched");
    ASSERT_NE(relaunched, stored.end());
    EXPECT_EQ(relaunched->second, pf::Value(false));
}

TEST_F(AppMainTest, ReopeningAnswersFalseAndRevealsAHiddenIcon) {
    Prefs::set(AppPreferences::hideMenuBarIcon(), true);
    launch();
    env.advance(std::chrono::seconds(6));
    ASSERT_EQ(menuBarItem(), nullptr); // hidden again after the launch's reveal
    const auto delegate = pf::NSApp().delegate();
    ASSERT_NE(delegate, nullptr);
    EXPECT_FALSE(delegate->applicationShouldHandleReopen(pf::NSApp(), false));
    env.runUntilIdle();
    EXPECT_NE(menuBarItem(), nullptr);
    ASSERT_NE(pf::swiftui::launchedApp()->scenes->settingsWindow(), nullptr);
    EXPECT_TRUE(pf::swiftui::launchedApp()->scenes->settingsWindow()->isVisible());
    env.advance(std::chrono::seconds(6));
    EXPECT_EQ(menuBarItem(), nullptr);
    // Through the desktop, as opening it from the Finder does.
    env.desktop().reopen(env.desktop().ownApplication()->processIdentifier());
    env.runUntilIdle();
    EXPECT_NE(menuBarItem(), nullptr);
}

TEST_F(AppMainTest, TheMenusLinksLeadToTheirPages) {
    launch();
    for (const char* title : {"FAQ", "Website", "More Apps by Me", "The App Does Not Work"}) {
        ASSERT_TRUE(clickMenu(title)) << title;
        env.runUntilIdle();
    }
    std::vector<std::string> opened;
    for (const auto& url : pf::URLOpener::openedURLs()) {
        opened.push_back(url.absoluteString());
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"https://zestrel.app#faq", "https://zestrel.app",
                                                "https://zestrel.app/apps",
                                                "https://zestrel.app#not-working"}));
}

TEST_F(AppMainTest, TheMethodSwitchRelaunchesIntoSettingsEitherWay) {
    launch();
    const std::string method = "Use more reliable way of handling Command+X";
    // The first launch switches to the new method; off, then on again.
    for (const bool expected : {false, true}) {
        SCOPED_TRACE(expected);
        pf::swiftui::launchedApp()->scenes->showSettings();
        env.runUntilIdle();
        const auto settings = pf::swiftui::launchedApp()->scenes->settingsWindow();
        ASSERT_NE(settings, nullptr);
        ASSERT_TRUE(pf::click(pf::outline(*settings), method));
        env.runUntilIdle();
        EXPECT_EQ(Prefs::value(AppPreferences::newMethod()), expected);
        EXPECT_TRUE(pf::NSApp().isTerminated());
        ASSERT_TRUE(env.desktop().relaunchRequested());

        env.desktop().relaunchOwnApplication();
        launch();
        const auto reopened = pf::swiftui::launchedApp()->scenes->settingsWindow();
        ASSERT_NE(reopened, nullptr);
        EXPECT_TRUE(reopened->isVisible());
        EXPECT_EQ(Prefs::value(AppPreferences::newMethod()), expected);
    }
}

TEST_F(AppMainTest, ReopeningWithTheIconShownOpensNoWindow) {
    launch();
    env.advance(std::chrono::seconds(30));
    ASSERT_NE(menuBarItem(), nullptr);
    const auto visibleWindows = [] {
        std::size_t count = 0;
        for (const auto& window : pf::NSApp().windows()) {
            count += window->isVisible();
        }
        return count;
    };
    const std::size_t before = visibleWindows();
    env.desktop().reopen(env.desktop().ownApplication()->processIdentifier());
    env.runUntilIdle();
    EXPECT_EQ(visibleWindows(), before);
    EXPECT_EQ(pf::swiftui::launchedApp()->scenes->settingsWindow(), nullptr);
    EXPECT_NE(menuBarItem(), nullptr);
}

TEST_F(AppMainTest, TheLaunchDefaultsAreRegisteredNotStored) {
    launch();
    const auto defaults = pf::UserDefaults::standard();
    const auto stored =
        defaults->persistentDomain(defaults->domainName()).value_or(pf::Value::Dictionary{});
    for (const char* key : {"NSApplicationCrashOnExceptions", "NSAppSleepDisabled",
                            "NSDisableAutomaticTermination"}) {
        EXPECT_EQ(defaults->object(key), pf::Value(true)) << key;
        EXPECT_EQ(stored.count(key), 0u) << key;
    }
    // So a value the user stores wins over them.
    defaults->set(pf::Value(false), "NSAppSleepDisabled");
    env.desktop().relaunchOwnApplication();
    launch();
    EXPECT_EQ(pf::UserDefaults::standard()->object("NSAppSleepDisabled"), pf::Value(false));
}

TEST_F(AppMainTest, CopyDebugInfoPutsTheReportWithTheSourceMarker) {
    launch();
    ASSERT_TRUE(clickMenu("Copy Debug Info"));
    const auto pasteboard = pf::NSPasteboard::general();
    const auto text = pasteboard->stringForType(pf::NSPasteboardType::string);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("# Zestrel ", 0), 0u);
    EXPECT_EQ(pasteboard->stringForType(pasteboardTypeSource()), "com.quorvik.Zestrel");
}

TEST_F(AppMainTest, OnlyTheHiddenShareCopyKeepsTheReportOnThisMac) {
    launch();
    const auto pasteboard = pf::NSPasteboard::general();
    using Options = pf::NSPasteboard::ContentsOptions;
    ASSERT_TRUE(clickMenu("Copy Debug Info"));
    EXPECT_EQ(pasteboard->contentsOptions(), Options::none);
    pf::NSEvent::setHeldModifierFlags(Flags::control | Flags::option);
    Buttons::ShareApp::action();
    pf::NSEvent::setHeldModifierFlags({});
    env.runUntilIdle();
    EXPECT_EQ(pasteboard->contentsOptions(), Options::currentHostOnly);
    EXPECT_EQ(pasteboard->stringForType(pasteboardTypeSource()), "com.quorvik.Zestrel");
    ASSERT_TRUE(clickMenu("Copy Debug Info"));
    EXPECT_EQ(pasteboard->contentsOptions(), Options::none);
}

TEST_F(AppMainTest, ShareAppFollowsTheModifierKeysHeldExactly) {
    launch();
    const auto shareWindows = [] {
        std::size_t count = 0;
        for (const auto& window : pf::NSApp().windows()) {
            count += window->isVisible() && window->title() == "Share Zestrel";
        }
        return count;
    };
    pf::NSEvent::setHeldModifierFlags(Flags::control | Flags::option | Flags::capsLock);
    Buttons::ShareApp::action();
    env.runUntilIdle();
    EXPECT_EQ(pf::NSPasteboard::general()
                  ->stringForType(pf::NSPasteboardType::string)
                  .value_or("")
                  .rfind("# Zestrel ", 0),
              0u);
    ASSERT_FALSE(pf::NSAlert::shownAlerts().empty());
    EXPECT_EQ(pf::NSAlert::shownAlerts().back().messageText, "Debug info copied to the clipboard");
    EXPECT_EQ(shareWindows(), 0u);

    for (const Flags held :
         {Flags::control | Flags::option | Flags::shift, Flags::shift, Flags::command, Flags{}}) {
        pf::NSEvent::setHeldModifierFlags(held);
        Buttons::ShareApp::action();
        env.runUntilIdle();
    }
    EXPECT_EQ(shareWindows(), 4u); // a new window each time
    pf::NSEvent::setHeldModifierFlags(Flags::option);
    Buttons::ShareApp::action();
    env.runUntilIdle();
    pf::NSEvent::setHeldModifierFlags({});
    EXPECT_EQ(shareWindows(), 4u);
    const auto key = pf::NSApp().keyWindow();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->title(), "Dashboard"); // the developer debug window
}

TEST_F(AppMainTest, RateAppAsksOnceAndSendsFeedbackWhenChosen) {
    launch();
    responder->enqueue(pf::ModalAnswer::button("Send Feedback to Developer"));
    Buttons::RateApp::action();
    env.runUntilIdle();
    ASSERT_EQ(pf::NSAlert::shownAlerts().size(), 1u);
    EXPECT_EQ(pf::NSAlert::shownAlerts()[0].messageText, "Thanks for wanting to rate Zestrel");
    const auto opened = pf::URLOpener::openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].absoluteString().rfind("https://zestrel.app/feedback?", 0), 0u);
    EXPECT_NE(opened[0].absoluteString().find("extraInfo=From%20RateOnAppStoreButton"),
              std::string::npos);
    EXPECT_NE(opened[0].absoluteString().find("product=Zestrel"), std::string::npos);
    // Later clicks go to the review page, which this build (no store listing) does not have.
    Buttons::RateApp::action();
    env.runUntilIdle();
    EXPECT_EQ(pf::NSAlert::shownAlerts().size(), 1u);
    EXPECT_EQ(pf::URLOpener::openedURLs().size(), 1u);
}

TEST_F(AppMainTest, QuitEndsTheAppAndAboutStaysAboveOtherWindows) {
    launch();
    ASSERT_TRUE(clickMenu("About"));
    const auto windows = pf::NSApp().windows();
    const auto about = std::find_if(windows.begin(), windows.end(), [](const auto& window) {
        return window->title().empty() && std::dynamic_pointer_cast<pf::NSPanel>(window);
    });
    ASSERT_NE(about, windows.end());
    EXPECT_EQ((*about)->level().rawValue, pf::NSWindow::Level::modalPanel.rawValue);
    ASSERT_TRUE(clickMenu("Quit Zestrel"));
    EXPECT_TRUE(pf::NSApp().isTerminated());
}

// The launch's check that the icon shows in the menu bar, against what the person did.
class MenuBarIconCheckTest : public AppMainTest {
protected:
    static bool alerted() {
        const auto alerts = pf::NSAlert::shownAlerts();
        return std::any_of(alerts.begin(), alerts.end(), [](const pf::NSAlert::Record& alert) {
            return alert.messageText == "Zestrel Menu Bar Item Did Not Appear";
        });
    }
};

TEST_F(MenuBarIconCheckTest, AnIconHiddenInSettingsBeforeTheCheckRaisesNoAlert) {
    launch();
    env.advance(std::chrono::seconds(1));
    ASSERT_TRUE(clickMenu("Settings…"));
    env.runUntilIdle();
    const auto settings = pf::swiftui::launchedApp()->scenes->settingsWindow();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(pf::click(pf::outline(*settings), "Show menu bar icon"));
    env.runUntilIdle();
    ASSERT_EQ(menuBarItem(), nullptr);
    env.advance(std::chrono::seconds(10));
    EXPECT_FALSE(alerted());
}

TEST_F(MenuBarIconCheckTest, AnIconTheMenuBarHasNoRoomForRaisesTheAlert) {
    launch();
    env.advance(std::chrono::seconds(1));
    ASSERT_NE(menuBarItem(), nullptr);
    menuBarItem()->button()->window()->setOccluded(true);
    env.advance(std::chrono::seconds(10));
    EXPECT_TRUE(alerted());
}

TEST_F(AppMainTest, AtRestTheAppDoesNothing) {
    launch();
    // The launch settles: the icon's reveal, the welcome popover and its end, the checks.
    env.advance(std::chrono::seconds(30));
    const auto before = pf::RunLoop::main().performedCount();
    env.advance(std::chrono::minutes(1));
    EXPECT_EQ(pf::RunLoop::main().performedCount() - before, 0u);
    EXPECT_TRUE(pf::RunLoop::main().pendingItems().empty());
}

} // namespace
} // namespace zestrel
