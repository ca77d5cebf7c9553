// Alerts the app shows: answers queued for them or given while they wait, and what a script
// or the prompt says of them.

#include "console/Console.h"
#include "console/ConsoleFixture_test.h"

#include "platform/appkit/NSAlert.h"
#include "platform/desktop/Desktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace zestrel::console {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(ConsoleTest, RefusedAccessQuitsTheAppAfterItsAlert) {
    ASSERT_EQ(runScript("accessibility untrusted\nanswer \"Quit and Open System Settings\"\n"
                        "launch zestrel\nexpect alert requires accessibility access.\n"
                        "expect opened Privacy_Accessibility\nshow apps\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("quit Zestrel (pid "));
    EXPECT_FALSE(console_.desktop().ownApplication());
}

// The reset offer runs on the main queue ahead of the rest of the launch, which waits for its
// answer: no tap takes the Finder's keys until Cancel lets the launch go on.
TEST_F(ConsoleTest, TheLaunchWaitsOnTheResetOfferAndGoesOnAfterCancel) {
    ASSERT_EQ(runScript("mkdir $TMP/A\nwrite $TMP/A/f.txt hi\n"), 0) << errors_.str();
    const auto realClock = onTheRealClock(env_);
    ASSERT_EQ(runTerminal("launch zestrel holding shift+ctrl+opt+cmd\nshow taps\n"
                          "open finder $TMP/A\nselect f.txt\npress cmd+x\nCancel\nshow taps\n"
                          "activate finder\npress cmd+x\n"),
              0);
    const std::string out = out_.str();
    const auto cancelled = out.find("pressed \"Cancel\" at the alert \"Are you sure");
    ASSERT_NE(cancelled, std::string::npos) << out;
    EXPECT_THAT(out.substr(0, cancelled), HasSubstr("event taps: none\n"));
    EXPECT_THAT(out.substr(0, cancelled), HasSubstr("cmd+x → Finder received cmd+x\n"));
    EXPECT_THAT(out.substr(cancelled), HasSubstr("1. on Finder (pid "));
    EXPECT_THAT(out.substr(cancelled), HasSubstr("cmd+x → Finder received cmd+c\n"));
}

TEST_F(ConsoleTest, AnswersGoToTheNextAlertsAndAlertsAreShown) {
    // At the prompt an answer waits for as long as it takes its alert to come.
    ASSERT_EQ(runTerminal("answer \"Later\"\n"), 0);
    auto alert = platform::NSAlert::make();
    alert->setMessageText("Update now?");
    alert->setInformativeText("A new version is out.");
    alert->addButton("Now");
    alert->addButton("Later");
    EXPECT_EQ(alert->runModal(), platform::NSAlertFirstButtonReturn + 1);

    ASSERT_EQ(runScript("show alerts\nexpect alert new version\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("alerts:\n  1. warning \"Update now?\" \"A new version is "
                                      "out.\" buttons \"Now\", \"Later\", answered \"Later\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: alert \"Update now?\""));
}

TEST_F(ConsoleTest, AlertsTheAppsWindowsShowAreListedMetAndAnswered) {
    // The hide-icon alert of Settings: answered at once, with the alert waiting.
    ASSERT_EQ(runScript("launch zestrel\nclick menu Settings…\ntoggle \"Show menu bar icon\"\n"
                        "show alerts\nexpect alert launch the app to reveal it\nanswer OK\n"
                        "show alerts\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(),
                HasSubstr("  1. warning " + kHideIconAlert + " buttons \"OK\", showing\n"));
    EXPECT_THAT(out_.str(), HasSubstr("pressed \"OK\" at the alert " + kHideIconAlert));
    EXPECT_THAT(out_.str(),
                HasSubstr("  1. warning " + kHideIconAlert + " buttons \"OK\", answered \"OK\"\n"));
    ASSERT_EQ(runScript("expect window Zestrel Settings\n"), 0);
    EXPECT_EQ(runScript("expect window If you need\n"), 1) << "the answer dismissed it";

    // The debug window's confirmation, answered by a click on its button.
    out_.str("");
    ASSERT_EQ(runScript("open debug window\nclick \"Delete Data & Settings\"\n"
                        "expect alert Delete all data and settings for Zestrel?\n"
                        "click Cancel\nshow alerts\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("  2. warning \"Delete all data and settings for Zestrel?\" "
                                      "buttons \"Delete\", \"Cancel\", answered \"Cancel\"\n"));
    // An answer queued before is the next alert's, as for every alert.
    out_.str("");
    ASSERT_EQ(
        runScript("answer \"Reveal “DiagnosticReports” Directory\"\n"
                  "click \"Send Crash Log\"\nshow alerts\nexpect log Finder did not reveal\n"),
        0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("the next alert is answered"));
    EXPECT_THAT(out_.str(), HasSubstr("  3. warning \"How to send crash log\" \"Find the files "));
    EXPECT_THAT(out_.str(), HasSubstr("answered \"Reveal “DiagnosticReports” Directory\"\n"));
}

TEST_F(ConsoleTest, AnAnswerNamingNoButtonOfItsAlertFailsWhereItMeetsIt) {
    const std::string noNope =
        "the alert " + kHideIconAlert + " has no button \"Nope\" (its buttons: \"OK\")";
    // Queued before: the command that shows the alert fails.
    EXPECT_EQ(runScript("launch zestrel\nclick menu Settings…\nanswer \"Nope\"\n"
                        "toggle \"Show menu bar icon\"\necho after\n"),
              1);
    EXPECT_EQ(errors_.str(), "test.zestrel:4: " + noNope + "\n");
    EXPECT_THAT(out_.str(), Not(HasSubstr("after")));
    // Given while it waits: the answer fails, and the alert waits on for a better one.
    errors_.str("");
    out_.str("");
    EXPECT_EQ(runScript("answer Nope\n"), 1);
    EXPECT_EQ(errors_.str(), "test.zestrel:1: " + noNope + "\n");
    ASSERT_EQ(runScript("show alerts\nanswer OK\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("buttons \"OK\", showing\n"));
    EXPECT_THAT(out_.str(), HasSubstr("pressed \"OK\" at the alert"));

    // At the prompt the mistake is said, and the alert waits on.
    out_.str("");
    errors_.str("");
    EXPECT_EQ(runTerminal("answer Nope\ntoggle \"Show menu bar icon\"\n"
                          "toggle \"Show menu bar icon\"\nanswer Nope\nshow alerts\nOK\n"),
              0);
    EXPECT_EQ(errors_.str(), "error: " + noNope + "\nerror: " + noNope + "\n");
    EXPECT_THAT(out_.str(), HasSubstr("the next alert is answered \"Nope\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("  buttons \"OK\": type one to press it"));
    EXPECT_THAT(out_.str(), HasSubstr("buttons \"OK\", showing\nzestrel> pressed \"OK\""));
}

TEST_F(ConsoleTest, AScriptSaysOnceWhichAlertNobodyAnswered) {
    EXPECT_EQ(runScript("accessibility untrusted\nlaunch zestrel\necho next\nshow alerts\n"), 0)
        << errors_.str();
    const std::string said = "nobody answered the alert \"Zestrel requires accessibility access.\" "
                             "(buttons \"Quit and Open System Settings\"): answer \"BUTTON\" goes "
                             "before the command that shows it\n";
    EXPECT_THAT(out_.str(), HasSubstr(said + "next\n"));
    EXPECT_EQ(out_.str().find(said), out_.str().rfind(said));
    // An alert answered as queued says nothing of the kind.
    out_.str("");
    EXPECT_EQ(runScript("answer \"Quit and Open System Settings\"\nlaunch zestrel\n"), 0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("quit Zestrel"));
    EXPECT_THAT(out_.str(), Not(HasSubstr("nobody answered")));
}

TEST_F(ConsoleTest, TheTerminalShowsAWaitingAlertAndTakesItsButtonFromTheNextLine) {
    EXPECT_EQ(runTerminal("launch zestrel\nclick menu Settings…\ntoggle \"Show menu bar icon\"\n"
                          "show alerts\n\"OK\"\nshow alerts\nOK\n"),
              0);
    EXPECT_THAT(out_.str(),
                HasSubstr("switched “Show menu bar icon” off\nalert " + kHideIconAlert +
                          "\n  buttons \"OK\": type one to press it, or a command (the alert "
                          "waits for answer or click)\nzestrel> "));
    // A command typed meanwhile runs; then the button's name presses it.
    EXPECT_THAT(out_.str(),
                HasSubstr("buttons \"OK\", showing\nzestrel> pressed \"OK\" at the alert"));
    EXPECT_THAT(out_.str(), HasSubstr("answered \"OK\"\n"));
    // With no alert waiting, the word is a command again.
    EXPECT_THAT(errors_.str(), HasSubstr("error: unknown command “OK”"));
}

TEST_F(ConsoleTest, AnAnswerNoAlertTookFailsTheScriptAndIsListedAtThePrompt) {
    EXPECT_EQ(runScript("answer \"OK\"\necho done\n"), 1);
    EXPECT_EQ(errors_.str(), "test.zestrel:1: no alert took the answer \"OK\"\n");
    // Two answers, one alert: the second is named with its line.
    errors_.str("");
    EXPECT_EQ(runScript("launch zestrel\nclick menu Settings…\nanswer OK\nanswer Later\n"
                        "answer Again\ntoggle \"Show menu bar icon\"\nshow alerts\n"),
              1);
    EXPECT_EQ(errors_.str(), "test.zestrel:4: no alert took the answer \"Later\"; nor "
                             "\"Again\" (line 5)\n");
    EXPECT_THAT(out_.str(), HasSubstr("buttons \"OK\", answered \"OK\"\n"));
    // What a script left is not the next one's.
    errors_.str("");
    EXPECT_EQ(runScript("echo fine\n"), 0) << errors_.str();

    // At the prompt the answers wait, and `show alerts` lists them.
    out_.str("");
    EXPECT_EQ(runTerminal("answer OK\nanswer \"Not Now\"\nshow alerts\n"), 0);
    EXPECT_THAT(out_.str(),
                HasSubstr("answers waiting for the next alerts: \"OK\", \"Not Now\"\n"));
}

TEST_F(ConsoleTest, AnAnswerWithoutItsButtonIsTheOneErrorSaid) {
    // The alert gives up unanswered, but an answer did go before it: no advice to give one.
    EXPECT_EQ(runScript("accessibility untrusted\nanswer Nope\nlaunch zestrel\n"), 1);
    EXPECT_EQ(errors_.str(), "test.zestrel:3: the alert \"Zestrel requires accessibility "
                             "access.\" has no button \"Nope\" (its buttons: \"Quit and Open "
                             "System Settings\")\n");
    EXPECT_THAT(out_.str(), Not(HasSubstr("nobody answered")));
}

TEST_F(ConsoleTest, EveryAlertNobodyAnsweredIsSaidOnceWhateverProcessShowedIt) {
    // The recorder's refusal gives up unanswered and leaves the app running; the process
    // then ends, and a new one shows the alert again.
    const std::string refuse = "record shortcut cut\npress cmd+q\n";
    EXPECT_EQ(runScript(kHotkeyMethod + "launch zestrel\n" + refuse +
                        "quit zestrel\nlaunch zestrel\n" + refuse + "relaunch\n" + refuse +
                        "show alerts\n"),
              0)
        << errors_.str();
    const std::string said = "nobody answered the alert \"This keyboard shortcut cannot be used";
    EXPECT_EQ(occurrences(out_.str(), said), 3u) << out_.str();
    EXPECT_THAT(out_.str(), HasSubstr("\n  3. warning \"This keyboard shortcut"));
}

TEST_F(ConsoleTest, AnAlertOverAWindowNobodyAnsweredIsSaidWhenTheScriptOrItsAppEnds) {
    const std::string said = "nobody answered the alert " + kHideIconAlert + " (buttons \"OK\")";
    const std::string showIt =
        "launch zestrel\nclick menu Settings…\ntoggle \"Show menu bar icon\"\n";
    // Nothing waits on it, so it waits on past the ten minutes; the script's end says it.
    EXPECT_EQ(runScript(showIt + "wait 700\nshow alerts\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr(" buttons \"OK\", showing\n" + said));
    EXPECT_EQ(occurrences(out_.str(), said), 1u) << out_.str();
    // Its app ends first: said then, once, and listed as gone with it.
    out_.str("");
    EXPECT_EQ(runScript("quit zestrel\ndefaults write hideMenuBarIcon false\n" + showIt +
                        "relaunch\necho after\nshow alerts\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr(said + ": answer \"BUTTON\" goes before the command that "
                                             "shows it\nafter\n"));
    EXPECT_EQ(occurrences(out_.str(), said), 1u) << out_.str();
    EXPECT_THAT(out_.str(), HasSubstr("  2. warning " + kHideIconAlert +
                                      " buttons \"OK\", gone with its app\n"));
}

TEST_F(ConsoleTest, AnAppModalAlertWhoseAppQuitIsGoneWithIt) {
    // At the prompt the app is quit while it waits on its alert.
    const auto realClock = onTheRealClock(env_);
    EXPECT_EQ(runTerminal("accessibility untrusted\nlaunch zestrel\nquit zestrel\nshow alerts\n"
                          "show opened\n"),
              0);
    EXPECT_THAT(out_.str(), HasSubstr("buttons \"Quit and Open System Settings\", gone with its "
                                      "app\n"));
    EXPECT_THAT(out_.str(), Not(HasSubstr("ended with response")));
    // Ended as it waited: what its code does after the alert is not done.
    EXPECT_THAT(out_.str(), HasSubstr("opened: none"));
}

TEST_F(ConsoleTest, AnAlertLeftOpenThroughALongSessionIsFoundAndSaidOnceAtItsEnd) {
    // One alert stays open over the Settings window while a hundred others come and are
    // answered: `expect` still finds it behind them, and the script's end says it alone, once.
    std::string script = "launch zestrel\nclick menu Settings…\ntoggle \"Show menu bar icon\"\n"
                         "open debug window\n";
    for (int round = 0; round < 100; ++round) {
        script += "click \"Delete Data & Settings\"\nclick Cancel\n";
    }
    ASSERT_EQ(runScript(script + "expect alert launch the app to reveal it\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("ok: alert " + kHideIconAlert));
    EXPECT_EQ(occurrences(out_.str(), "nobody answered"), 1u) << out_.str();
    EXPECT_THAT(out_.str(), HasSubstr("nobody answered the alert " + kHideIconAlert));
}

} // namespace
} // namespace zestrel::console
