// Scripts and the prompt: the examples run, mistakes found before anything runs, the
// terminal's lines, and interruptions.

#include "console/Console.h"
#include "console/ConsoleFixture_test.h"
#include "console/ScriptCommand.h"
#include "console/ScriptFile.h"

#include "platform/base/Clock.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StandardStreams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <istream>
#include <sstream>
#include <streambuf>
#include <string>
#include <system_error>
#include <utility>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

TEST_F(ConsoleTest, CutAndPasteExampleMovesTheFiles) {
    ASSERT_EQ(runExample("cut-and-paste.zestrel"), 0) << errors_.str();
    EXPECT_EQ(errors_.str(), "");
    EXPECT_THAT(namesIn(tmp_ / "Inbox"), ElementsAre("todo.txt"));
    EXPECT_THAT(namesIn(tmp_ / "Archive"), ElementsAre("invoice.pdf", "notes.txt"));
    EXPECT_EQ(contentsOf(tmp_ / "Archive" / "notes.txt"), "Call the bank on Monday\n");
    EXPECT_THAT(out_.str(), HasSubstr("cmd+x → Finder received cmd+c"));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+v → Finder received opt+cmd+v"));
    // Paths read as the script wrote them.
    EXPECT_THAT(out_.str(), HasSubstr("Finder shows $TMP/Archive"));
    EXPECT_THAT(out_.str(), Not(HasSubstr(tmp_.string())));
}

TEST_F(ConsoleTest, PlainCopyExampleCopiesAndCutDoesNothing) {
    ASSERT_EQ(runExample("plain-copy.zestrel"), 0) << errors_.str();
    EXPECT_THAT(namesIn(tmp_ / "Photos"), ElementsAre("beach.jpg", "hills.jpg"));
    EXPECT_THAT(namesIn(tmp_ / "Backup"), ElementsAre("beach.jpg", "hills.jpg"));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+x → Finder received cmd+x"));
}

TEST_F(ConsoleTest, LayoutsExampleTypesEachLayoutsCharacters) {
    ASSERT_EQ(runExample("layouts.zestrel"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("y → TextEdit received z"));
    EXPECT_THAT(out_.str(), HasSubstr("code:7 → TextEdit received ч"));
    EXPECT_THAT(out_.str(), HasSubstr("TextEdit's text: \"zyGrüßeччмирФå ok\""));
    EXPECT_THAT(out_.str(), HasSubstr("public.utf8-plain-text: zyGrüßeччмирФå ok"));
}

TEST_F(ConsoleTest, ScriptWithAnUnknownCommandRunsNothing) {
    EXPECT_EQ(runScript("mkdir $TMP/made\n# a comment\n\nfrobnicate\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("test.zestrel:4: unknown command “frobnicate”"));
    EXPECT_FALSE(fs::exists(tmp_ / "made"));
    EXPECT_EQ(out_.str(), "");
}

TEST_F(ConsoleTest, MistakesAnywhereInAScriptAreFoundBeforeAnythingRuns) {
    const std::string deep(50'000, '(');
    const std::pair<std::string, std::string> mistakes[] = {
        {"open finder $TMP/a/../../elsewhere", "test.zestrel:3: “$TMP/a/../../elsewhere” leads "
                                               "outside $TMP"},
        {"echo \"unfinished", "test.zestrel:3: the quoted word “\"unfinished” has no closing "
                              "quote"},
        // A NUL byte as it is, not as its escape: the file "n" would be written.
        {"write $TMP/n" + std::string(1, '\0') + "ul hi",
         "test.zestrel:3: “$TMP/n\\x00ul”: a NUL character cannot be written in a path"},
        {"echo n" + std::string(1, '\0') + "ul",
         "test.zestrel:3: “n\\x00ul”: a NUL character cannot be written"},
        {"defaults write deep " + deep + std::string(deep.size(), ')'),
         "test.zestrel:3: “" + std::string(40, '(') +
             "…” is not a property-list value: arrays nest deeper than 100 levels"},
    };
    for (const auto& [line, error] : mistakes) {
        errors_.str("");
        EXPECT_EQ(runScript("mkdir $TMP/made\necho ran\n" + line + "\n"), 1) << line;
        EXPECT_THAT(errors_.str(), HasSubstr(error)) << line;
        EXPECT_FALSE(fs::exists(tmp_ / "made")) << line;
        EXPECT_EQ(out_.str(), "") << line;
    }
}

TEST_F(ConsoleTest, ScriptStopsAtTheFirstFailingCommand) {
    EXPECT_EQ(runScript("mkdir $TMP/a\nopen finder $TMP/missing\nmkdir $TMP/b\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("test.zestrel:2: "));
    EXPECT_THAT(errors_.str(), HasSubstr("$TMP/missing"));
    EXPECT_TRUE(fs::exists(tmp_ / "a"));
    EXPECT_FALSE(fs::exists(tmp_ / "b"));
}

TEST_F(ConsoleTest, QuitEndsAScriptWithSuccess) {
    EXPECT_EQ(runScript("echo one\nquit\necho two\n"), 0);
    EXPECT_EQ(out_.str(), "one\n> quit\n");
}

TEST_F(ConsoleTest, ScriptWithAnUnknownApplicationRunsNothing) {
    EXPECT_EQ(runScript("mkdir $TMP/made\nlaunch safari\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("test.zestrel:2: unknown application “safari”"));
    EXPECT_FALSE(fs::exists(tmp_ / "made"));
}

TEST_F(ConsoleTest, AByteOrderMarkIsSkipped) {
    EXPECT_EQ(runScript("\xEF\xBB\xBF"
                        "echo hi\n"),
              0)
        << errors_.str();
    EXPECT_EQ(out_.str(), "hi\n");
    // At the very start of what the prompt reads too, piped or pasted; only there.
    for (const auto from : {Console::Input::terminal, Console::Input::notTerminal}) {
        out_.str("");
        errors_.str("");
        std::istringstream in("\xEF\xBB\xBF"
                              "echo hi\n\xEF\xBB\xBF"
                              "echo again\n");
        console_.runTerminal(in, from);
        EXPECT_EQ(out_.str(), "zestrel> hi\nzestrel> zestrel> \n");
        EXPECT_THAT(errors_.str(), HasSubstr(": unknown command “\xEF\xBB\xBF"
                                             "echo”"));
    }
}

// Serves its text, then fails as a device with an input error does.
class FailingInput : public std::streambuf {
public:
    explicit FailingInput(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override { throw std::system_error(EIO, std::generic_category()); }

private:
    std::string text_;
};

TEST_F(ConsoleTest, AnInputThatCannotBeReadOnEndsTheSessionAsAScriptThatCannotBeRead) {
    // What came before runs; the line the failure cut short does not.
    for (const auto from : {Console::Input::terminal, Console::Input::notTerminal}) {
        out_.str("");
        errors_.str("");
        FailingInput failing("echo one\nmkdir $TMP/cut");
        std::istream in(&failing);
        EXPECT_EQ(console_.runTerminal(in, from), 2);
        EXPECT_EQ(out_.str(), "zestrel> one\nzestrel> \n");
        EXPECT_EQ(errors_.str(),
                  std::string(from == Console::Input::terminal ? "error" : "stdin:2") +
                      ": cannot read the standard input: Input/output error\n");
    }
    EXPECT_FALSE(fs::exists(tmp_ / "cut"));
}

TEST_F(ConsoleTest, WaitMovesTheVirtualClock) {
    const auto start = platform::clock().uptime();
    ASSERT_EQ(runScript("wait 2.5\n"), 0);
    EXPECT_EQ(platform::clock().uptime() - start, std::chrono::milliseconds(2500));
}

TEST_F(ConsoleTest, HelpListsEveryCommandAndTellsWhatOneDoes) {
    ASSERT_EQ(runScript("help\nhelp close\n"), 0) << errors_.str();
    for (const auto& syntax : commandSyntaxes()) {
        EXPECT_THAT(out_.str(), HasSubstr("\n  " + std::string(syntax.usage) + "\n"));
        // The parser knows each word help lists.
        EXPECT_NO_THROW(parseCommand("help " + std::string(syntax.word))) << syntax.word;
    }
    EXPECT_THAT(out_.str(), HasSubstr("> help close\nclose window [\"TITLE\"]\n  closes the app's "
                                      "window titled TITLE, or its frontmost one\n"));
}

TEST_F(ConsoleTest, TerminalPromptsRunsEachLineAndGoesOnAfterErrors) {
    // Read from an input that is no terminal, each error names its line, and the status tells
    // that a command failed; where none did, it ends as well.
    for (const auto from : {Console::Input::terminal, Console::Input::notTerminal}) {
        const bool typed = from == Console::Input::terminal;
        out_.str("");
        errors_.str("");
        std::istringstream in("echo hello\n\nfrobnicate\nshow frontmost\nquit\necho never\n");
        EXPECT_EQ(console_.runTerminal(in, from), typed ? 0 : 1);
        EXPECT_EQ(out_.str(), "zestrel> hello\nzestrel> zestrel> zestrel> frontmost: Finder (pid "
                              "301)\nzestrel> ");
        EXPECT_THAT(errors_.str(), StartsWith(std::string(typed ? "error" : "stdin:3") +
                                              ": unknown command “frobnicate”"));
    }
    std::istringstream in("echo hello\n");
    EXPECT_EQ(console_.runTerminal(in, Console::Input::notTerminal), 0);
}

TEST_F(ConsoleTest, TerminalFiresTimersBetweenCommandsAndSurvivesARelaunch) {
    EXPECT_EQ(
        runTerminal("write $TMP/a.txt A\nopen finder $TMP\nselect a.txt\npress cmd+c\n"
                    "wait 0.5\nshow pasteboard\nlaunch zestrel\nrelaunch\nwait 0.5\necho done\n"),
        0);
    EXPECT_EQ(errors_.str(), "");
    EXPECT_THAT(out_.str(), HasSubstr("public.file-url: file://$TMP/a.txt"));
    EXPECT_THAT(out_.str(), HasSubstr("relaunched"));
    // The end of input ends the session like `quit`.
    EXPECT_THAT(out_.str(), HasSubstr("zestrel> done\nzestrel> \n"));
}

TEST_F(ConsoleTest, ALineTooLongForAScriptIsRefusedAtThePromptAndTheNextIsRead) {
    const std::string line = "echo " + std::string(kLargestScript, 'x');
    EXPECT_EQ(runTerminal(line + "\necho after\n"), 0);
    EXPECT_EQ(errors_.str(), "error: the line “echo " + std::string(35, 'x') +
                                 "…” is too long: " + std::to_string(line.size()) +
                                 " bytes, over the 16 MB a script may hold\n");
    EXPECT_THAT(out_.str(), HasSubstr("zestrel> after\n"));
}

TEST_F(ConsoleTest, AnInterruptionEndsThePromptAsQuitDoes) {
    // The reader may be left waiting for its line, and may still be finishing it while the
    // process exits: terminal and stream are never destroyed, not even by static destructors.
    static auto* terminal =
        new SilentTerminal("echo one\n", [this] { console_.interrupt(SIGINT); });
    static auto* input = new std::istream(terminal);
    EXPECT_EQ(console_.runTerminal(*input), 128 + SIGINT);
    terminal->letGo();
    EXPECT_EQ(out_.str(), "zestrel> one\nzestrel> \n");
}

TEST_F(ConsoleTest, WhatTheAppPrintsWhileThePromptWaitsIsWrittenAtOnce) {
    auto& loop = platform::RunLoop::main();
    // Printed while nobody types; the interruption comes after it on the main run loop.
    static auto* terminal = new SilentTerminal("echo one\n", [this, &loop] {
        platform::writeStandardOutput("late line\n");
        loop.async([this] { console_.interrupt(SIGINT); });
    });
    static auto* input = new std::istream(terminal);
    EXPECT_EQ(console_.runTerminal(*input), 128 + SIGINT);
    terminal->letGo();
    EXPECT_EQ(out_.str(), "zestrel> one\nzestrel> \n  app prints: late line\nzestrel> \n");
}

TEST_F(ConsoleTest, AnInterruptedScriptRunsNoFurtherCommand) {
    console_.interrupt(SIGTERM);
    // One that comes while the session ends does not change how it ended.
    console_.interrupt(SIGINT);
    EXPECT_EQ(runScript("mkdir $TMP/made\n"), 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(tmp_ / "made"));
}

} // namespace
} // namespace zestrel::console
