// Keys a script presses and types, what the applications received, and the hot keys that
// take a press.

#include "console/Console.h"
#include "console/ConsoleFixture_test.h"
#include "console/LineReader.h"
#include "console/ProcessEnd_test.h"

#include "foundation/Logger.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/SimulatedApplication.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zestrel::console {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(ConsoleTest, TextThatTheLayoutCannotTypeIsAnError) {
    EXPECT_EQ(runScript("launch textedit\nlayout russian\ntype xyz\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("“x” cannot be typed on the Russian layout"));
}

TEST_F(ConsoleTest, PressTakesRawKeyCodesAndCapsLockAndPrintsWhatTheAppLogged) {
    platform::EventSystem::current()->addForeignTap(
        {.tappingProcess = 999,
         .options = platform::kCGEventTapOptionDefault,
         .eventsOfInterest = platform::CGEventMaskBit(platform::CGEventType::keyDown),
         .callback = [](platform::CGEventTapProxy, platform::CGEventType,
                        const platform::CGEventRef& event, void*) {
             logBuffer().append("\"KEY\" " + std::to_string(event->keyCode()));
             return event;
         }});
    ASSERT_EQ(runScript("layout russian\npress cmd+code:7\nlaunch textedit\npress caps+code:0\n"
                        "show keys textedit\nexpect log \"KEY\" 0\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("cmd+code:7 → Finder received cmd+ч\n  log: \"KEY\" 7\n"));
    EXPECT_THAT(out_.str(), HasSubstr("TextEdit's text: \"Ф\""));
}

TEST_F(ConsoleTest, AnApplicationsReceivedKeysAreKeptToTheLastOnes) {
    const auto finder = console_.desktop().application<platform::SimulatedApplication>(
        platform::kFinderBundleIdentifier);
    constexpr std::uint16_t kKeyA = 0;
    constexpr std::uint16_t kKeyZ = 6;
    for (std::size_t i = 0; i < 3; ++i) {
        finder->handleKeyEvent(kKeyZ, {}, "z");
    }
    for (std::size_t i = 0; i < Console::kKeptKeys; ++i) {
        finder->handleKeyEvent(kKeyA, {}, "a");
    }
    ASSERT_EQ(runScript("show keys finder\npress b\nshow keys finder\n"), 0) << errors_.str();
    const auto out = out_.str();
    // The oldest went first; what the console keeps, the Finder's own record no longer holds.
    EXPECT_THAT(out, HasSubstr("Finder received a, a,"));
    EXPECT_THAT(out, Not(HasSubstr(" z")));
    EXPECT_THAT(out, HasSubstr(", a, b\n"));
    EXPECT_THAT(finder->receivedEvents(), ::testing::IsEmpty());
    // Before its launch this program's own has none to show, and the error says how to start it.
    EXPECT_EQ(runScript("show keys zestrel\n"), 1);
    EXPECT_EQ(errors_.str(),
              "test.zestrel:1: Zestrel is not running: launch it first (launch zestrel)\n");
}

TEST_F(ConsoleTest, HotKeysAreListedAndAPressTheyTakeSaysSo) {
    using namespace platform;
    ASSERT_EQ(runScript("launch zestrel\n"), 0) << errors_.str();
    EventHotKeyRef hotKey;
    ASSERT_EQ(RegisterEventHotKey(7, cmdKey, {fourCharCode("QVKS"), 1}, GetEventDispatcherTarget(),
                                  0, &hotKey),
              noErr);
    EXPECT_EQ(runScript("show hotkeys\npress cmd+x\npress cmd+c\n"), 0);
    const std::string own = console_.desktop().ownApplication()->localizedName().value_or("");
    const std::string pid =
        std::to_string(console_.desktop().ownApplication()->processIdentifier());
    EXPECT_THAT(out_.str(),
                HasSubstr("  cmd+x by " + own + " (pid " + pid + "), id QVKS 1, enabled\n"));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+x → taken by the hot key of " + own));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+c → Finder received cmd+c"));

    UnregisterEventHotKey(hotKey);
    out_.str("");
    EXPECT_EQ(runScript("show hotkeys\n"), 0);
    EXPECT_THAT(out_.str(), HasSubstr("hot keys: none"));
}

TEST_F(ConsoleTest, HotKeysWithModifierBitsNoKeyGivesAreListedWithThem) {
    // Such a registration never matches a key, so it must not read as the plain combination.
    using namespace platform;
    EventHotKeyRef capsHeld;
    EventHotKeyRef highBits;
    ASSERT_EQ(RegisterEventHotKey(7, cmdKey | alphaLock, {fourCharCode("QVKS"), 1},
                                  GetEventDispatcherTarget(), 0, &capsHeld),
              noErr);
    ASSERT_EQ(RegisterEventHotKey(9, shiftKey | 0x10000u | 0x1u, {fourCharCode("QVKS"), 2},
                                  GetEventDispatcherTarget(), 0, &highBits),
              noErr);
    EXPECT_EQ(runScript("show hotkeys\npress cmd+x\n"), 0);
    EXPECT_THAT(out_.str(), HasSubstr("  cmd+x with other modifier bits 0x400 by "));
    EXPECT_THAT(out_.str(), HasSubstr("  shift+v with other modifier bits 0x10001 by "));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+x → Finder received cmd+x"));
    UnregisterEventHotKey(capsHeld);
    UnregisterEventHotKey(highBits);
}

TEST_F(ConsoleTest, APressAHotKeyTakesShowsWhatItsHandlerLogged) {
    ASSERT_EQ(runScript(kHotkeyMethod + "mkdir $TMP/A\nwrite $TMP/A/a.txt a\nlaunch zestrel\n"
                                        "open finder $TMP/A\nselect a.txt\npress cmd+x\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("cmd+x → taken by the hot key of Zestrel (pid "));
    EXPECT_THAT(out_.str(), HasSubstr("\n  log: \"CUT1\" "));
}

TEST_F(ConsoleTest, APressTheRecorderTakesSaysWhatItMadeOfItAndItsBeepIsASoundAScriptSees) {
    ASSERT_EQ(runScript(kHotkeyMethod +
                        "launch zestrel\nrecord shortcut cut\npress a\ntype K\ntype ab\n"
                        "show sounds\nexpect sounds 4\nanswer OK\npress cmd+q\n"
                        "press shift+cmd+k\nrecord shortcut paste\n"
                        "press shift+cmd+k\npress esc\npress esc\n"
                        "record shortcut cut\npress delete\ntype \"ab\\tc\"\n"),
              0)
        << errors_.str();
    const auto out = out_.str();
    EXPECT_THAT(out, HasSubstr("\na → Zestrel: the shortcut recorder refused it with a beep\n"));
    EXPECT_THAT(out,
                HasSubstr("\n\"K\" → Zestrel: the shortcut recorder refused it with a beep\n"));
    EXPECT_THAT(out, HasSubstr("\n\"ab\" → Zestrel: the shortcut recorder refused them with 2 "
                               "beeps\n"));
    EXPECT_THAT(out, HasSubstr("sounds: 0 plays, 0 sounds held, 4 beeps\n"));
    // Escape ends the recording; pressed again, it goes to the window.
    EXPECT_THAT(out, HasSubstr("\nesc → Zestrel: the shortcut recorder ended the recording, "
                               "recording nothing\n> press esc\nesc → Zestrel\n"));
    EXPECT_THAT(out, HasSubstr("\ncmd+q → Zestrel: the shortcut recorder refused it with the "
                               "alert \"This keyboard shortcut cannot be used"));
    // The shortcut is registered as soon as it is recorded, and takes the key's release.
    EXPECT_THAT(out, HasSubstr("\nshift+cmd+k → Zestrel: the shortcut recorder recorded ⇧⌘K for "
                               "“cut”\n"));
    // The cut's hot key takes the key before the paste's recorder sees it.
    EXPECT_THAT(out, HasSubstr("\nshift+cmd+k → taken by the hot key of Zestrel (pid "));
    // Delete clears the shortcut; typed keys are said in turn, Tab ending the recording and
    // the key after it going to the window.
    EXPECT_THAT(out, HasSubstr("\ndelete → Zestrel: the shortcut recorder cleared the shortcut "
                               "for “cut”\n"));
    EXPECT_THAT(out, HasSubstr("\n\"ab\\tc\" → Zestrel: the shortcut recorder refused them with 2 "
                               "beeps, then ended the recording, recording nothing, then Zestrel "
                               "received \"c\"\n"));
    EXPECT_EQ(runScript("expect sounds 0\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("0 sounds should have played; 6 sounds did"));
}

// Ways a recording is left waiting in the app, and the key that cuts afterwards.
struct LeftRecording {
    const char* name;
    const char* commands;
    const char* cutKey;
};

TEST(ConsoleRecorderTest, ARecordingEndsWhenAnotherAppComesForwardAndTheFinderKeepsItsHotKeys) {
    const LeftRecording ways[] = {
        {"left recording", "record shortcut cut\n", "cmd+x"},
        // The recorded shortcut's hot key takes the key before the new recording sees it.
        {"waiting on a key a hot key takes",
         "record shortcut cut\npress shift+cmd+k\nrecord shortcut cut\npress shift+cmd+k\n",
         "shift+cmd+k"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Session session;
        const std::string cutKey = way.cutKey;
        ASSERT_EQ(
            session.run(kHotkeyMethod +
                        "mkdir $TMP/A\nmkdir $TMP/B\nwrite $TMP/A/f.txt hi\nlaunch zestrel\n" +
                        way.commands + "open finder $TMP/A\nselect f.txt\npress " + cutKey +
                        "\nwait 1\nshow window\nopen finder $TMP/B\npress cmd+v\nwait 1\n"
                        "show keys finder\nactivate zestrel\nshow window\n"),
            0)
            << session.errors.str();
        const auto out = session.out.str();
        EXPECT_THAT(out, HasSubstr("\n" + cutKey + " → taken by the hot key of Zestrel (pid "));
        EXPECT_THAT(out, HasSubstr("\n  log: \"CUT1\""));
        EXPECT_THAT(out, HasSubstr("Finder received cmd+c, opt+cmd+v\n"));
        EXPECT_EQ(session.namesIn("A"), std::vector<std::string>{});
        EXPECT_EQ(session.namesIn("B"), std::vector<std::string>{"f.txt"});
        // In the back the window is not key and the recorder has stopped; back in front the
        // window is key again and the recorder waits for a click.
        EXPECT_THAT(out, HasSubstr("> show window\nwindow \"Record Shortcut\"\n"));
        EXPECT_THAT(out, HasSubstr("> show window\nwindow \"Record Shortcut\" [key]\n"));
        EXPECT_THAT(out, Not(HasSubstr("[editing]")));
    }
}

TEST(ConsoleRecorderTest, AnAnswerOrAClickFromTheBackBringsTheAppForwardFirst) {
    // With the Finder in front, an answer or a click is one in Zestrel's window, which comes
    // forward first with that window key: the recorder's refusal answered so lets the
    // recording go on in front, and the alert a switch shows in a window behind takes Return.
    const std::string refusal = "record shortcut cut\npress cmd+q\nactivate finder\n";
    const std::string recording = "> window \"Record Shortcut\" [key";
    const std::pair<std::string, std::string> ways[] = {
        {refusal + "OK\n", recording},
        {refusal + "answer OK\n", recording},
        {refusal + "click OK\n", recording},
        {"click menu Settings…\nactivate finder\ntoggle \"Play sound effect when cutting\"\n",
         "> window \"Zestrel Settings\" [key"},
        {"answer OK\nclick menu \"Share App\" holding ctrl+opt\n",
         "clicked “Share App” holding ctrl+opt\nZestrel comes forward"},
        {"click menu Settings…\nopen debug window\nactivate finder\n"
         "toggle \"Show menu bar icon\" in \"Zestrel Settings\"\npress return\n",
         "> return → Zestrel: pressed \"OK\" at the alert \"If you need"},
        {"click menu Settings…\ntoggle \"Show menu bar icon\"\nopen debug window\n"
         "activate finder\nOK\n",
         "> window \"Zestrel Settings\" [key"},
    };
    for (const auto& [way, shown] : ways) {
        SCOPED_TRACE(way);
        Session session;
        const auto realClock = onTheRealClock(session.env);
        std::istringstream in(kHotkeyMethod + "launch zestrel\n" + way +
                              "show frontmost\nshow window\n");
        session.console.runTerminal(in);
        const auto out = session.out.str();
        EXPECT_THAT(out, HasSubstr("Zestrel comes forward: the click is in its window\n"));
        EXPECT_THAT(out, HasSubstr("frontmost: Zestrel (pid "));
        EXPECT_THAT(out, HasSubstr(shown));
        EXPECT_EQ(out.find("[editing]") != std::string::npos, way.starts_with(refusal));
    }
}

TEST(ConsoleRecorderTest, KeysTypedAfterAnAlertsAnswerReachWhatIsBehindIt) {
    // Return ends the alert's run; the code after it runs before the next key is taken: the
    // recording goes on, or the app has quit and the Finder comes forward. The command ends
    // with its last key, also past two alerts, one in the other: the next line, read as soon
    // as it is asked for, runs only after them.
    struct Way {
        std::string lines;
        std::string said;
        std::string after; // what the next lines show, after the reply
    };
    const Way ways[] = {
        {kHotkeyMethod + "launch zestrel\nrecord shortcut cut\npress cmd+q\ntype \"a\\nb\"\n"
                         "show sounds\n",
         "\"a\\nb\" → Zestrel: pressed \"OK\" at the alert \"This keyboard shortcut cannot be "
         "used as it's already used by the “Quit Zestrel” menu item.\", then the shortcut "
         "recorder refused it with a beep\n",
         "sounds: 0 plays, 0 sounds held, 1 beep\n"},
        {"accessibility untrusted\nlaunch zestrel\ntype \"\\nq\"\nshow keys finder\n",
         "\"\\nq\" → Zestrel: pressed \"Quit and Open System Settings\" at the alert \"Zestrel "
         "requires accessibility access.\", then Finder received \"q\"\n",
         "Finder received q\n"},
        {kHotkeyMethod + "launch textedit\nlaunch zestrel\nlaunch panel\n"
                         "click menu \"Share App\" holding ctrl+opt\nactivate finder\n"
                         "press cmd+x\ntype \"\\n\\nabc\"\nactivate textedit\nshow keys textedit\n",
         "\"\\n\\nabc\" → Zestrel: pressed \"OK\" at the alert \"Did not cut because Finder "
         "was not frontmost\", then pressed \"OK\" at the alert \"Debug info copied to the "
         "clipboard\", then Zestrel had no window to take \"abc\"\n",
         "TextEdit received no keys\n"},
    };
    LineReader::linesComeTogether = true;
    const std::shared_ptr<void> apart(nullptr,
                                      [](void*) { LineReader::linesComeTogether = false; });
    for (const auto& [lines, said, after] : ways) {
        SCOPED_TRACE(lines);
        Session session;
        const auto realClock = onTheRealClock(session.env);
        std::istringstream in(lines);
        session.console.runTerminal(in);
        const auto out = session.out.str();
        EXPECT_THAT(out, HasSubstr(said));
        EXPECT_THAT(out, HasSubstr(after));
        EXPECT_LT(out.find(said), out.find(after));
    }
}

TEST_F(ConsoleTest, NoShortcutIsRecordedWhileTheEventTapsCut) {
    // A stored shortcut would register its hot key and take Command+V from every app.
    EXPECT_EQ(runScript("launch zestrel\nrecord shortcut paste\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("test.zestrel:2: Zestrel cuts with its event taps, which use no "
                          "shortcut: record shortcut is for the hotkey method"));
    errors_.str("");
    ASSERT_EQ(runScript("show windows\nshow hotkeys\nlaunch textedit\npress cmd+v\n"), 0)
        << errors_.str();
    EXPECT_THAT(out_.str(), Not(HasSubstr("Record Shortcut")));
    EXPECT_THAT(out_.str(), HasSubstr("hot keys: none"));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+v → TextEdit received cmd+v"));
}

} // namespace
} // namespace zestrel::console
