#include "console/Console.h"

#include "platform/appkit/NSApplication.h"
#include "platform/data/UserDefaults.h"
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
    ASSERT_EQ(run("launch zestrel\nrecord shortcut paste\nanswer OK\npress cmd+q\n"
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
    EXPECT_THAT(errors_.str(), HasSubstr("controls are labelled “Delete”: button in row "
                                         "“QV_App_runOnce__switchToNewMethod32425”, button in "
                                         "row “QV_App_runOnce__switchToNewMethod755435”,"));
    EXPECT_THAT(errors_.str(), HasSubstr("say which with click \"Delete\" in \"TEXT\""));
    EXPECT_FALSE(defaults->object("QV_App_runOnce__switchToNewMethod32425").isAbsent());

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

    ASSERT_EQ(run("click Delete in \"no such row\"\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("no control “Delete” is in a row, section or window that shows "
                          "“no such row”"));
}

TEST_F(ConsoleMenusAndWindowsTest, InTheTitleOfAWindowBehindReachesItsControls) {
    ASSERT_EQ(run("launch zestrel\nclick menu Settings…\nopen debug window\n"
                  "toggle \"Show menu bar icon\" in \"Zestrel Settings\"\n"
                  "expect defaults hideMenuBarIcon true\n"),
              0)
        << errors_.str();
    // Without it the frontmost window is meant, which has no such switch.
    ASSERT_EQ(run("toggle \"Show menu bar icon\"\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("the window “Zestrel 1.0.0 — Debug” has no switch"));
}

TEST_F(ConsoleMenusAndWindowsTest, TheAppsWindowsAreListedAndClosed) {
    ASSERT_EQ(run("launch zestrel\nwait 6\nclick menu Settings…\nrecord shortcut cut\n"
                  "open debug window\nshow windows\n"),
              0)
        << errors_.str();
    const auto listed = out_.str();
    EXPECT_THAT(listed, HasSubstr("  102 Finder \"tmp\" layer 0 at "));
    EXPECT_THAT(listed, HasSubstr("  Zestrel window \"Zestrel 1.0.0 — Debug\" level 3 size "));
    EXPECT_THAT(listed, HasSubstr("  Zestrel window \"Zestrel Settings\" level 3 size "));
    EXPECT_THAT(listed, HasSubstr("  Zestrel window \"Record Shortcut\" level 0 size "));

    out_.str("");
    ASSERT_EQ(run("close window \"Zestrel Settings\"\nclose window\nshow windows\n"), 0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("closed “Zestrel Settings”"));
    EXPECT_THAT(out_.str(), HasSubstr("closed “Zestrel 1.0.0 — Debug”"));
    EXPECT_THAT(out_.str(), Not(HasSubstr("Zestrel window \"Zestrel Settings\"")));
    EXPECT_THAT(out_.str(), HasSubstr("Zestrel window \"Record Shortcut\""));

    ASSERT_EQ(run("close window Elsewhere\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("no window titled “Elsewhere” (windows: "));
}

} // namespace
} // namespace zestrel::console
