// Expectations in a script: those that hold let it go on, one not met stops it and says why.

#include "console/Console.h"
#include "console/ConsoleFixture_test.h"

#include "foundation/Logger.h"
#include "platform/appkit/MailComposeService.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSSharingServicePicker.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/Value.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/system/SystemSound.h"
#include "platform/system/URLOpener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <ios>
#include <string>
#include <utility>

namespace zestrel::console {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(ConsoleTest, AnExpectationNotMetStopsTheScriptAndSaysWhy) {
    ASSERT_EQ(runScript("write $TMP/a/x.txt X\n"), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"expect folder $TMP/a y.txt", "$TMP/a should hold y.txt; it holds x.txt"},
        {"expect folder $TMP/a", "$TMP/a should hold nothing; it holds x.txt"},
        {"expect folder $TMP/a/x.txt", "$TMP/a/x.txt is not a folder"},
        {"expect missing $TMP/a/x.txt", "there is a file at $TMP/a/x.txt"},
        {"expect pasteboard files 1",
         "the pasteboard should hold 1 file; it holds 0 items (0 files)"},
        {"expect log CUT9", "no log line holds \"CUT9\""},
        {"expect alert Quit", "no alert shown holds \"Quit\""},
        {"expect opened mailto:", "nothing the app opened or handed on holds \"mailto:\""},
        {"expect defaults newMethod true", "newMethod should be true; it is not set"},
    };
    for (const auto& [line, message] : cases) {
        errors_.str("");
        out_.str("");
        EXPECT_EQ(runScript(std::string(line) + "\necho after\n"), 1) << line;
        EXPECT_EQ(errors_.str(),
                  std::string("test.zestrel:1: expectation not met: ") + message + "\n");
        EXPECT_THAT(out_.str(), Not(HasSubstr("after")));
    }
}

TEST_F(ConsoleTest, ExpectationsThatHoldLetTheScriptGoOn) {
    platform::URLOpener::open(*platform::URL::parse("mailto:someone@example.com"));
    ASSERT_EQ(runScript("expect pasteboard empty\nwrite $TMP/a/x.txt X\nmkdir $TMP/b\n"
                        "open finder $TMP/a\nselect x.txt\npress cmd+c\nwait 0.1\n"
                        "expect pasteboard files 1\nexpect folder $TMP/b\n"
                        "expect missing $TMP/b/x.txt\nexpect folder $TMP/a x.txt\n"
                        "expect opened someone@\nshow opened\nshow sounds\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("ok: the pasteboard holds 1 file"));
    EXPECT_THAT(out_.str(), HasSubstr("opened:\n  mailto:someone@example.com\n"));
    EXPECT_THAT(out_.str(), HasSubstr("sounds: 0 plays, 0 sounds held"));
}

TEST_F(ConsoleTest, AnExpectationNamesTheMostRecentThatHoldsItsText) {
    // Two of each in the first process, none in the second, two in the third: what the first
    // showed and handed on is kept through both ends.
    const auto show = [](const std::string& text, const std::string& path) {
        const auto alert = platform::NSAlert::make();
        alert->setMessageText(text);
        alert->addButton("OK");
        alert->present({});
        platform::URLOpener::open(*platform::URL::parse("https://example.com/" + path));
        platform::MailComposeService::record({{"team@example.com"}, "Mail of " + path, {}});
        platform::NSSharingServicePicker({platform::Value("Shared " + path)})
            .showRelativeToRect({}, nullptr, platform::NSRectEdge::minY);
        logMessage({"Logged " + path});
    };
    // The desktop's lines and the app's are one log as they came.
    const auto logOnTheDesktop = [this](const std::string& line) {
        console_.desktop().log("Finder: " + line);
    };
    ASSERT_EQ(runScript("launch zestrel\n"), 0) << errors_.str();
    show("Version 1 is out", "old/1");
    logOnTheDesktop("Logged old on the desktop");
    show("Version 2 is out", "old/2");
    logOnTheDesktop("did not paste old/3");
    ASSERT_EQ(runScript("relaunch\nrelaunch\n"), 0) << errors_.str();
    show("Release 3 is out", "new/3");
    logOnTheDesktop("did not paste new/3");
    show("Release 4 is out", "new/4");
    logOnTheDesktop("Logged on the desktop");
    ASSERT_EQ(runScript("expect alert is out\nexpect opened example.com\nexpect log Logged\n"
                        "expect log Logged new\nexpect log old\nexpect log new/\n"
                        "expect alert Version\nexpect opened /old/\nexpect log Logged old\n"
                        "expect alert Version 1\nexpect opened /old/1\nexpect log Logged old/1\n"
                        "expect opened Mail of old/1\nexpect opened Shared old/1\nshow log\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("ok: logged Finder: Logged on the desktop\n"
                                      "> expect log Logged new\nok: logged \"Logged new/4\"\n"
                                      "> expect log old\nok: logged Finder: did not paste old/3\n"
                                      "> expect log new/\nok: logged \"Logged new/4\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: logged \"Logged old/2\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("  \"Logged old/1\"\n  \"Logged old/2\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: opened Mail message to \"team@example.com\", subject "
                                      "\"Mail of old/1\""));
    EXPECT_THAT(out_.str(), HasSubstr("ok: opened share picker, items \"Shared old/1\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: alert \"Release 4 is out\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: opened https://example.com/new/4\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: alert \"Version 2 is out\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: opened https://example.com/old/2\n"));

    // As a system log keeps them, up to as many lines as one process's buffer holds in all;
    // and nothing an ended process asks to log as its objects go.
    console_.desktop().endOwnProcess();
    {
        const platform::ProcessTeardown::Destruction asItsObjectsGo;
        logMessage({"after its end"});
    }
    ASSERT_EQ(runScript("relaunch\n"), 0) << errors_.str();
    EXPECT_EQ(runScript("expect log after its end\n"), 1);
    for (std::ptrdiff_t line = 0; line < LogBuffer::capacity; ++line) {
        logMessage({"last process"});
    }
    EXPECT_EQ(runScript("expect log Logged new/4\n"), 1);
    ASSERT_EQ(runScript("quit zestrel\nexpect log last process\n"), 0) << errors_.str();
}

TEST_F(ConsoleTest, ExpectationsOfTextsAndCountsAreExact) {
    const auto sound = env_.cutSound();
    // More than are kept: every play counts.
    for (std::size_t play = 0; play <= platform::SystemSoundServer::kKeptPlays; ++play) {
        platform::AudioServicesPlaySystemSoundWithCompletion(sound, {});
    }
    const auto pasteboard = console_.desktop().generalPasteboard();
    pasteboard->clearContents();
    pasteboard->setString("Call the bank", platform::NSPasteboardType::string);
    EXPECT_EQ(runScript("expect sounds 10001\nexpect pasteboard text the bank\n"), 0)
        << errors_.str();
    const std::pair<const char*, const char*> unmet[] = {
        {"expect sounds 10000", "10000 sounds should have played; 10001 sounds did"},
        {"expect sounds 10002", "10002 sounds should have played; 10001 sounds did"},
        {"expect pasteboard text the shop",
         "the pasteboard's text should hold \"the shop\"; it holds 13 characters"},
    };
    for (const auto& [line, message] : unmet) {
        errors_.str("");
        EXPECT_EQ(runScript(std::string(line) + "\n"), 1) << line;
        EXPECT_EQ(errors_.str(),
                  std::string("test.zestrel:1: expectation not met: ") + message + "\n");
    }
}

TEST_F(ConsoleTest, SoundsAndBeepsAreTheMachinesAndOutliveTheApp) {
    // A cut plays the cut sound; the recorder beeps at a plain key. Then the app ends, in a
    // relaunch and in a quit: what was heard stays heard.
    ASSERT_EQ(runScript(kHotkeyMethod + "mkdir $TMP/A\nwrite $TMP/A/a.txt a\nlaunch zestrel\n"
                                        "open finder $TMP/A\nselect a.txt\npress cmd+x\nwait 1\n"
                                        "record shortcut cut\npress a\nexpect sounds 2\n"
                                        "relaunch\nshow sounds\nexpect sounds 2\n"
                                        "quit zestrel\nexpect sounds 2\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("sounds: 1 play, 0 sounds held, 1 beep\n"));
    EXPECT_EQ(runScript("expect sounds 0\n"), 1);
}

TEST_F(ConsoleTest, ExpectationsTakeTextsAsTheRepliesShowThem) {
    ASSERT_EQ(
        runScript("launch zestrel\nopen debug window\n"
                  "expect window fileDialogDefaultDirectory(\"$HOME/Downloads\")\n"
                  "answer \"Reveal “DiagnosticReports” Directory\"\nclick \"Send Crash Log\"\n"
                  "expect log did not reveal $HOME/Library/Logs/DiagnosticReports\n"
                  "click \"Show Debug Screen\"\nclick Files\nclick \"Copy Path\" #2\n"
                  "expect pasteboard text $HOME/Documents/com.quorvik.Zestrel\n"),
        0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("ok: logged Finder did not reveal $HOME/Library"));
    // The real path still holds, as it always did.
    const auto home = env_.home().string();
    EXPECT_EQ(runScript("expect pasteboard text " + home + "/Documents\n"), 0) << errors_.str();
}

TEST_F(ConsoleTest, AnExpectedTextReadsBackToOneText) {
    const auto pasteboard = console_.desktop().generalPasteboard();
    pasteboard->clearContents();
    pasteboard->setString("line\nbreak, back\\slash, \u202Eturned\x01",
                          platform::NSPasteboardType::string);
    // As the replies show it: a line break as \n, a backslash as \\, the others by number;
    // in a quoted word too.
    EXPECT_EQ(runScript("expect pasteboard text line\\nbreak\n"
                        "expect pasteboard text back\\\\slash\n"
                        "expect pasteboard text \"line\\nbreak\"\n"
                        "expect pasteboard text \\u{202E}turned\\x01\n"
                        "expect pasteboard text \"\\u{202e}turned\\x01\"\n"),
              0)
        << errors_.str();
    // Read back as the replies show them, these are other texts: not there.
    for (const char* line :
         {"expect pasteboard text back\\slash\n", "expect pasteboard text line\\\\nbreak\n"}) {
        EXPECT_EQ(runScript(line), 1) << line;
    }
}

} // namespace
} // namespace zestrel::console
