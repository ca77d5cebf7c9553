#include "console/Console.h"
#include "console/ConsoleFixture_test.h"

#include "platform/appkit/NSApplication.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Accessibility.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// The app's menu and windows driven as a person would, and the mistakes a script can make.
class ConsoleMenusAndWindowsTest : public ::testing::Test {
protected:
    ConsoleMenusAndWindowsTest() : tmp_(made(env_.home() / "tmp")), console_(tmp_, out_, errors_) {}

    static fs::path made(fs::path folder) {
        fs::create_directories(folder);
        return folder;
    }
    int run(const std::string& script) {
        std::istringstream in(script);
        return console_.runScript(in, "test.zestrel");
    }

    platform::testing::TestEnvironment env_;
    fs::path tmp_;
    std::ostringstream out_;
    std::ostringstream errors_;
    Console console_;
};

TEST_F(ConsoleMenusAndWindowsTest, MenuRowsMatchWithOrWithoutTheirEllipsis) {
    ASSERT_EQ(run("launch zestrel\nclick menu Settings\nexpect window \"Launch at login\"\n"
                  "click menu \"Copy Debug Info…\"\nexpect pasteboard text Zestrel\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("clicked “Settings…”\n"));
    EXPECT_THAT(out_.str(), HasSubstr("clicked “Copy Debug Info”\n"));
    // Three dots typed for the ellipsis.
    out_.str("");
    ASSERT_EQ(run("click menu \"Send Feedback...\"\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("clicked “Send Feedback…”\n"));
}

TEST_F(ConsoleMenusAndWindowsTest, ASubmenuIsNotACommandAndItsRowsAreNamed) {
    ASSERT_EQ(run("launch zestrel\nclick menu More\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("test.zestrel:2: “More” is a submenu: click one of its rows "
                          "(“The App Does Not Work”, “Copy Debug Info”)"));
}

TEST_F(ConsoleMenusAndWindowsTest, UnknownTitlesLabelsAndWindowsNameWhatThereIs) {
    ASSERT_EQ(run("launch zestrel\nclick menu Nothing\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("test.zestrel:2: the menu has no command “Nothing” "
                                         "(rows: “About”, “Settings…”,"));
    errors_.str("");
    ASSERT_EQ(run("click menu Settings…\nclick Nothing\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("the window “Zestrel Settings” has no control “Nothing” "
                                         "(it offers “Launch at login”, “Show menu bar icon”,"));
    errors_.str("");
    ASSERT_EQ(run("show window Elsewhere\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("no window titled “Elsewhere” (windows: “Zestrel Settings”)"));
    errors_.str("");
    ASSERT_EQ(run("toggle \"Help, the app does not work\"\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("has no switch “Help, the app does not work”"));
    // A mistake changes nothing: the switches are as they were.
    EXPECT_TRUE(platform::UserDefaults::standard()->object("hideMenuBarIcon").asBool() ==
                std::optional<bool>(false));
}

TEST_F(ConsoleMenusAndWindowsTest, MenusNeedTheRunningAppAndItsIcon) {
    ASSERT_EQ(run("show menu\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("Zestrel is not running: launch it first"));
    errors_.str("");
    ASSERT_EQ(run("launch zestrel\ndefaults write hideMenuBarIcon true\nwait 6\nshow menu\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("Zestrel's menu-bar icon is hidden: reopen the app"));
    errors_.str("");
    ASSERT_EQ(run("reopen zestrel\nexpect menu Quit Zestrel\n"), 0) << errors_.str();
}

TEST_F(ConsoleMenusAndWindowsTest, ARecordedShortcutIsStoredAndARefusedOneLeavesTheOld) {
    ASSERT_EQ(run("show dock\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("Zestrel is not running"));
    ASSERT_EQ(run(kHotkeyMethod + "launch zestrel\nrecord shortcut paste\nanswer OK\npress cmd+q\n"
                                  "expect alert “Quit Zestrel” menu item\n"
                                  "expect defaults Hotkeys_paste "
                                  "\"{\\\"carbonKeyCode\\\":9,\\\"carbonModifiers\\\":256}\"\n"
                                  "press ctrl+cmd+p\nexpect window ⌃⌘P\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("recording the shortcut “paste”"));
    EXPECT_NE(platform::UserDefaults::standard()->object("Hotkeys_paste").asString(), nullptr);
    EXPECT_THAT(*platform::UserDefaults::standard()->object("Hotkeys_paste").asString(),
                HasSubstr("\"carbonKeyCode\":35"));
}

TEST_F(ConsoleMenusAndWindowsTest, LaunchGesturesAreHeldThroughTheLaunch) {
    ASSERT_EQ(run("launch zestrel holding shift+ctrl\nshow menu\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("launched Zestrel (pid "));
    EXPECT_THAT(out_.str(), HasSubstr(" holding shift+ctrl\n"));
    EXPECT_THAT(out_.str(), HasSubstr("  item \"Debug\"\n"));
}

TEST_F(ConsoleMenusAndWindowsTest, TheDebugWindowsOpenFromTheProgramAndTheirRowsWork) {
    ASSERT_EQ(run("open debug window\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("test.zestrel:1: Zestrel is not running: launch it first"));
    errors_.str("");
    ASSERT_EQ(run("launch zestrel\nopen debug window\nopen debug window\n"
                  "click \"Show Debug Screen\"\nclick Logs\nshow window Logs\n"
                  "show window \"Zestrel 1.0.0 — Debug\"\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("Zestrel shows “Zestrel 1.0.0 — Debug”"));
    EXPECT_THAT(out_.str(), HasSubstr("window \"Logs\" [key, level 3]"));
    EXPECT_THAT(out_.str(), HasSubstr("row \"Logs\" [selected]"));
    EXPECT_THAT(out_.str(), HasSubstr("window \"Zestrel 1.0.0 — Debug\" [level 3]\n"));
    // The gesture opens the same window.
    errors_.str("");
    ASSERT_EQ(run("quit zestrel\nlaunch zestrel holding shift+ctrl+opt\n"
                  "expect window Send Crash Log\n"),
              0)
        << errors_.str();
}

TEST_F(ConsoleMenusAndWindowsTest, QuitFromTheMenuEndsTheAppButNotTheDesktop) {
    ASSERT_EQ(run("launch zestrel\nclick menu \"Quit Zestrel\"\nshow apps\nopen finder $TMP\n"), 0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("quit Zestrel (pid "));
    EXPECT_THAT(out_.str(), Not(HasSubstr("accessory\n")));
    EXPECT_THAT(out_.str(), HasSubstr("Finder shows $TMP"));
}

TEST_F(ConsoleMenusAndWindowsTest, ScriptsWithWrongMenuAndWindowCommandsRunNothing) {
    for (const char* line : {"click menu \"Share App\" holding ctrl+nothing", "click",
                             "click menu Share holding", "open debug", "open debug windows",
                             "open window debug", "pick Method", "toggle", "launch zestrel holding",
                             "expect pasteboard text", "expect sounds many", "show window a b"}) {
        errors_.str("");
        EXPECT_EQ(run(std::string("launch zestrel\n") + line + "\n"), 1) << line;
        EXPECT_THAT(errors_.str(), HasSubstr("test.zestrel:2: ")) << line;
    }
    EXPECT_THAT(out_.str(), Not(HasSubstr("launched")));
}

TEST_F(ConsoleMenusAndWindowsTest, ALabelSeveralControlsShareIsNamedByWhatItIsIn) {
    const auto defaults = platform::UserDefaults::standard();
    ASSERT_EQ(run("launch zestrel\nopen debug window\nclick \"Show Debug Screen\"\n"
                  "click \"User Defaults\"\n"),
              0)
        << errors_.str();
    // Every stored setting has its Delete: none is taken for the first one.
    ASSERT_EQ(run("click Delete\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("controls are labelled “Delete”: #1 button in row "
                                         "“QV_App_runOnce__switchToNewMethod32425”, #2 button in "
                                         "row “QV_App_runOnce__switchToNewMethod755435”,"));
    EXPECT_THAT(errors_.str(), HasSubstr("say which with click \"Delete\" in \"TEXT\""));
    EXPECT_FALSE(defaults->object("QV_App_runOnce__switchToNewMethod32425").isAbsent());

    // Two rows show the text: neither is taken for the other, and the number says which.
    errors_.str("");
    ASSERT_EQ(run("click Delete in QV_App_runOnce__switchToNewMethod\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("2 controls are labelled “Delete” in what shows "
                          "“QV_App_runOnce__switchToNewMethod”: #1 button in row "
                          "“QV_App_runOnce__switchToNewMethod32425”, #2 button in row "
                          "“QV_App_runOnce__switchToNewMethod755435”; say which with click "
                          "\"Delete\" in \"QV_App_runOnce__switchToNewMethod\" #N"));
    EXPECT_FALSE(defaults->object("QV_App_runOnce__switchToNewMethod32425").isAbsent());
    EXPECT_FALSE(defaults->object("QV_App_runOnce__switchToNewMethod755435").isAbsent());
    ASSERT_EQ(run("click Delete in QV_App_runOnce__switchToNewMethod #3\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("there is no #3: 2 controls are labelled “Delete”"));
    ASSERT_EQ(run("click Delete in QV_App_runOnce__switchToNewMethod #2\n"), 0) << errors_.str();
    EXPECT_FALSE(defaults->object("QV_App_runOnce__switchToNewMethod32425").isAbsent());
    EXPECT_TRUE(defaults->object("QV_App_runOnce__switchToNewMethod755435").isAbsent());

    errors_.str("");
    ASSERT_EQ(run("click Delete in QV_launchCount\n"), 0) << errors_.str();
    EXPECT_TRUE(defaults->persistentDomain(defaults->domainName())->count("QV_launchCount") == 0);
    EXPECT_FALSE(defaults->object("QV_App_runOnce__switchToNewMethod32425").isAbsent());
    // The row before the list around it: the toolbar's Copy is in what shows "More".
    ASSERT_EQ(run("click Copy in QV_previousLaunchedVersion\nexpect pasteboard text 1.0.0\n"
                  "click Copy in More\nexpect pasteboard text QV_previousLaunchedVersion: "
                  "1.0.0\n"),
              0)
        << errors_.str();

    // Only what a row shows counts, not how it is drawn: every value is in a monospaced font.
    ASSERT_EQ(run("click Copy in monospaced\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("no control “Copy” is in a row, section or window that "
                                         "shows “monospaced”"));

    ASSERT_EQ(run("click Delete in \"no such row\"\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("no control “Delete” is in a row, section or window that shows "
                          "“no such row”"));
}

TEST_F(ConsoleMenusAndWindowsTest, InTheTitleOfAWindowBehindReachesItsControls) {
    // The click makes that window key in front of the app's windows, so the alert its switch
    // shows takes Return.
    ASSERT_EQ(run("launch zestrel\nclick menu Settings…\nopen debug window\n"
                  "toggle \"Show menu bar icon\" in \"Zestrel Settings\"\n"
                  "expect defaults hideMenuBarIcon true\nshow windows\npress return\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("front to back:\n  Zestrel window \"Zestrel Settings\" level "
                                      "3 size 320x332, key\n  Zestrel window \"Zestrel 1.0.0"));
    EXPECT_THAT(out_.str(), HasSubstr("return → Zestrel: pressed \"OK\" at the alert \"If you"));
    // Without it the frontmost window is meant, which has no such button.
    ASSERT_EQ(run("click \"Show Debug Screen\"\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("the window “Zestrel Settings” has no control"));
}

TEST_F(ConsoleMenusAndWindowsTest, TheAppsWindowsAreListedAndClosed) {
    ASSERT_EQ(run(kHotkeyMethod +
                  "launch zestrel\nwait 6\nclick menu Settings…\nrecord shortcut cut\n"
                  "open debug window\nshow windows\n"),
              0)
        << errors_.str();
    const auto listed = out_.str();
    const auto finder = listed.find("  102 Finder \"tmp\" layer 0 at ");
    const auto debug = listed.find("  Zestrel window \"Zestrel 1.0.0 — Debug\" level 3 size ");
    const auto settings = listed.find("  Zestrel window \"Zestrel Settings\" level 3 size ");
    const auto recorder = listed.find("  Zestrel window \"Record Shortcut\" level 0 size ");
    ASSERT_NE(finder, std::string::npos);
    ASSERT_NE(debug, std::string::npos);
    ASSERT_NE(settings, std::string::npos);
    ASSERT_NE(recorder, std::string::npos);
    // Front to back: Zestrel is active, so its window of the Finder's level is in front too.
    EXPECT_LT(debug, settings);
    EXPECT_LT(settings, recorder);
    EXPECT_LT(recorder, finder);
    // With the Finder active, its window comes before Zestrel's of the same level only.
    out_.str("");
    ASSERT_EQ(run("activate finder\nshow windows\nactivate zestrel\n"), 0) << errors_.str();
    const auto behind = out_.str();
    EXPECT_LT(behind.find("\"Zestrel Settings\" level 3"), behind.find("102 Finder \"tmp\""));
    EXPECT_LT(behind.find("102 Finder \"tmp\""), behind.find("\"Record Shortcut\" level 0"));
    out_.str("");

    out_.str("");
    ASSERT_EQ(run("close window \"Zestrel Settings\"\nclose window\nshow windows\n"), 0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("closed “Zestrel Settings”"));
    EXPECT_THAT(out_.str(), HasSubstr("closed “Zestrel 1.0.0 — Debug”"));
    EXPECT_THAT(out_.str(), Not(HasSubstr("Zestrel window \"Zestrel Settings\"")));
    EXPECT_THAT(out_.str(), HasSubstr("Zestrel window \"Record Shortcut\""));

    ASSERT_EQ(run("close window Elsewhere\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("no window titled “Elsewhere” (windows: "));
    EXPECT_THAT(errors_.str(), HasSubstr("the untitled popover showing \"Hello, I'm Zestrel\""));
    EXPECT_THAT(errors_.str(), Not(HasSubstr("“”")));
}

TEST_F(ConsoleMenusAndWindowsTest, AnAlertIsNamedByItsTextAndItsWindowStaysOpenUnderIt) {
    const std::string alert =
        "the alert \"If you need to access the menu bar icon, launch the app to reveal it for 5 "
        "seconds.\"";
    ASSERT_EQ(run("launch zestrel\nclick menu Settings…\ntoggle \"Show menu bar icon\"\n"), 0)
        << errors_.str();
    ASSERT_EQ(run("click Nope\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr(alert + " has no control “Nope” (it offers “OK”)"));
    // What lies under it cannot be reached until it is answered.
    ASSERT_EQ(run("toggle \"Show menu bar icon\"\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr(alert + " has no switch “Show menu bar icon”"));
    EXPECT_EQ(run("expect defaults hideMenuBarIcon true\n"), 0);
    errors_.str("");
    ASSERT_EQ(run("close window \"Zestrel Settings\"\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("the app waits on " + alert +
                                         " over “Zestrel Settings”: answer it first"));
    ASSERT_EQ(run("expect window Zestrel Settings\nclick OK\nclose window \"Zestrel Settings\"\n"),
              0)
        << errors_.str();
}

TEST_F(ConsoleMenusAndWindowsTest, ThePanelOfAnAlertTheAppWaitsOnIsNotClosed) {
    // On the real clock, as at the terminal, the alert waits for the person for as long as
    // it takes.
    const auto realClock = onTheRealClock(env_);
    platform::Accessibility::current()->setTrusted(false);
    std::istringstream in("launch zestrel\nshow windows\nclose window\nshow alerts\n"
                          "\"Quit and Open System Settings\"\n");
    console_.runTerminal(in);
    EXPECT_THAT(errors_.str(), HasSubstr("error: the app waits on the alert \"Zestrel requires "
                                         "accessibility access.\": answer it first"));
    EXPECT_THAT(out_.str(), HasSubstr("buttons \"Quit and Open System Settings\", showing\n"));
    EXPECT_THAT(out_.str(), HasSubstr("pressed \"Quit and Open System Settings\" at the alert"));
}

TEST_F(ConsoleMenusAndWindowsTest, AnAppModalAlertHoldsTheMenuAndEveryWayIntoTheWindows) {
    // The Accessibility alert, over no other window of the app: all a person can do is answer.
    const auto realClock = onTheRealClock(env_);
    platform::Accessibility::current()->setTrusted(false);
    const std::string ways =
        "click menu Settings…\nclick menu \"Quit Zestrel\"\nopen debug window\n"
        "reopen zestrel\nlaunch zestrel\nrecord shortcut cut\n";
    std::istringstream in("launch zestrel\n" + ways + "show windows\nshow apps\n" +
                          "\"Quit and Open System Settings\"\n");
    console_.runTerminal(in);
    EXPECT_EQ(occurrences(errors_.str(), "error: the app waits on the alert \"Zestrel requires "
                                         "accessibility access.\": answer it first\n"),
              6u)
        << errors_.str();
    for (const char* acted :
         {"clicked", "Zestrel Settings", "reopened", "Zestrel shows", "recording the shortcut"}) {
        EXPECT_THAT(out_.str(), Not(HasSubstr(acted))) << acted;
    }
    // Still running under it, until the answer quits it.
    EXPECT_THAT(out_.str(), HasSubstr("Zestrel (com.quorvik.Zestrel)"));
    EXPECT_THAT(out_.str(), HasSubstr("pressed \"Quit and Open System Settings\" at the alert"));
}

TEST_F(ConsoleMenusAndWindowsTest, AnAppModalAlertOverTheRecorderHoldsTheAppsOtherWindows) {
    // The recorder's refusal runs app-modally for its window, with Settings open beside it.
    const auto realClock = onTheRealClock(env_);
    const std::string refusal = "the alert \"This keyboard shortcut cannot be used as it's already "
                                "used by the “Quit Zestrel” menu item.\"";
    std::istringstream in(
        kHotkeyMethod + "launch zestrel\nclick menu Settings…\nrecord shortcut cut\npress cmd+q\n"
                        "toggle \"Show menu bar icon\" in \"Zestrel Settings\"\nclick menu About\n"
                        "press cmd+k\npress return\nshow window \"Record Shortcut\"\n"
                        "click menu About\n");
    console_.runTerminal(in);
    EXPECT_THAT(errors_.str(), HasSubstr("“Zestrel Settings” waits on " + refusal));
    EXPECT_THAT(errors_.str(),
                HasSubstr("error: the app waits on " + refusal + ": answer it first\n"));
    EXPECT_EQ(occurrences(out_.str(), "clicked “About”"), 1u) << out_.str();
    EXPECT_EQ(platform::UserDefaults::standard()->object("hideMenuBarIcon").asBool(),
              std::optional<bool>(false));
    // The recording ends around the alert: its keys go to the alert alone, none is recorded
    // behind it, and the recording goes on once it is answered.
    EXPECT_THAT(out_.str(), HasSubstr("cmd+k → Zestrel: " + refusal +
                                      " took the key and did nothing with it\n"));
    EXPECT_THAT(out_.str(), HasSubstr("return → Zestrel: pressed \"OK\" at " + refusal +
                                      "\ncmd+q → Zestrel: the shortcut recorder refused it with " +
                                      refusal + "\n"));
    EXPECT_THAT(out_.str(), HasSubstr("    search field \"⌘X\" [editing]\n"));
}

TEST_F(ConsoleMenusAndWindowsTest, TheAppsHomeReadsAsHome) {
    ASSERT_EQ(run("launch zestrel\nopen debug window\nshow window\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("fileDialogDefaultDirectory(\"$HOME/Downloads\")"));
    EXPECT_THAT(out_.str(), Not(HasSubstr(env_.home().string())));
}

const std::string kDeleteDialog = "the alert \"Delete all data and settings for Zestrel?\"";

TEST_F(ConsoleMenusAndWindowsTest, WhatAnAlertCoversIsOutOfReachByEveryWay) {
    ASSERT_EQ(run("launch zestrel\nclick menu Settings…\nopen debug window\n"
                  "click \"Delete Data & Settings\"\n"),
              0)
        << errors_.str();
    // A click on what the dialog covers, whatever shown text points at it.
    const std::pair<const char*, const char*> refused[] = {
        {"click Quit\n", " has no control “Quit” (it offers “Delete”, “Cancel”)"},
        {"click Quit in \"Feedback\"\n", "“Zestrel 1.0.0 — Debug” waits on "},
        {"close window\n", "the app waits on "},
    };
    for (const auto& [line, said] : refused) {
        errors_.str("");
        EXPECT_EQ(run(line), 1) << line;
        EXPECT_THAT(errors_.str(), HasSubstr(said)) << line;
        EXPECT_THAT(errors_.str(), HasSubstr(kDeleteDialog)) << line;
    }
    // Its keys: Command+Q, the Quit button's, and Command+W reach the dialog alone.
    ASSERT_EQ(run("press cmd+q\npress cmd+w\nshow apps\nexpect window Delete all data\n"), 0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("cmd+q → Zestrel: " + kDeleteDialog +
                                      " took the key and did nothing with it\n"));
    EXPECT_THAT(out_.str(), HasSubstr("Zestrel (com.quorvik.Zestrel)"));
    // A window it does not cover is in reach.
    ASSERT_EQ(run("toggle \"Play sound effect when cutting\" in \"Zestrel Settings\"\n"), 0)
        << errors_.str();
    // Escape answers it, and the window is free again; also when the window that had the
    // keyboard closed while the app was in the back: coming forward, the one under it takes it.
    ASSERT_EQ(run("click menu Settings…\nactivate finder\nclose window \"Zestrel Settings\"\n"
                  "activate zestrel\npress esc\nclose window\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("esc → Zestrel: pressed \"Cancel\" at " + kDeleteDialog));
}

TEST_F(ConsoleMenusAndWindowsTest, TheIconAlertHoldsSettingsAgainstInAndCommandW) {
    ASSERT_EQ(run("launch zestrel\nclick menu Settings…\ntoggle \"Show menu bar icon\"\n"), 0)
        << errors_.str();
    ASSERT_EQ(run("toggle \"Play sound effect when cutting\" in \"Launch at login\"\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("“Zestrel Settings” waits on the alert \"If you need"));
    ASSERT_EQ(run("press cmd+w\nexpect window Play sound effect when cutting\" [on]\n"
                  "press return\nexpect window Zestrel Settings\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("return → Zestrel: pressed \"OK\" at the alert"));
}

TEST_F(ConsoleMenusAndWindowsTest, AnAlertWhoseAppEndedIsNoLongerShowing) {
    ASSERT_EQ(run("launch zestrel\nopen debug window\nclick \"Delete Data & Settings\"\n"
                  "quit zestrel\nshow alerts\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("buttons \"Delete\", \"Cancel\", gone with its app\n"));
    EXPECT_THAT(out_.str(), Not(HasSubstr(", showing")));
}

} // namespace
} // namespace zestrel::console
