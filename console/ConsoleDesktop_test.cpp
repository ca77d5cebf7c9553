// The desktop a session drives: the app's process and its engine, its settings and what it
// hands on, and the files a script writes and shows.

#include "console/Console.h"
#include "console/ConsoleFixture_test.h"
#include "console/ConsoleText.h"
#include "console/PropertyListLiteral.h"

#include "platform/desktop/Accessibility.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/FileManagerApp.h"

#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(ConsoleTest, CommandsNeedTheRightApplication) {
    EXPECT_EQ(runScript("launch textedit\nselect a.txt\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("the frontmost application, TextEdit, is not a file manager"));
}

TEST_F(ConsoleTest, ASelectionHoldsAnItemOnce) {
    for (const std::string manager : {"finder", "forklift"}) {
        errors_.str("");
        EXPECT_EQ(runScript("write $TMP/a.txt A\nopen " + manager +
                            " $TMP\nselect a.txt\nselect a.txt a.txt\n"),
                  1);
        EXPECT_EQ(errors_.str(), "test.zestrel:4: “a.txt” is named twice: a selection holds an "
                                 "item once.\n");
    }
}

// The cut is only taken as the file manager's copy once its checks have seen the copy land.
TEST_F(ConsoleTest, EnginePasteBeforeTheCutSettlesIsAPlainPaste) {
    ASSERT_EQ(runScript("mkdir $TMP/to\nwrite $TMP/from/a.txt A\nopen finder $TMP/from\n"
                        "select a.txt\nlaunch zestrel\npress cmd+x\nwait 0.1\n"
                        "open finder $TMP/to\npress cmd+v\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("cmd+v → Finder received cmd+v\n"));
    EXPECT_THAT(namesIn(tmp_ / "from"), ElementsAre("a.txt"));
    EXPECT_THAT(namesIn(tmp_ / "to"), ElementsAre("a.txt"));
}

TEST_F(ConsoleTest, EngineRunsFromLaunchAndACopyForgetsTheCut) {
    ASSERT_EQ(
        runScript("mkdir $TMP/to\nwrite $TMP/from/a.txt A\nopen finder $TMP/from\n"
                  "select a.txt\npress cmd+x\nlaunch zestrel\nlaunch zestrel\n"
                  // Opened again, the app comes forward; the person goes back.
                  "activate finder\npress cmd+x\nwait 1\npress cmd+c\nwait 1\nopen finder $TMP/to\n"
                  "press cmd+v\n"),
        0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("> press cmd+x\ncmd+x → Finder received cmd+x\n"))
        << "before the launch keys pass untouched";
    EXPECT_THAT(out_.str(), HasSubstr("> launch zestrel\nlaunched Zestrel (pid "));
    EXPECT_THAT(out_.str(), HasSubstr("> launch zestrel\nZestrel already runs (pid "));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+x → Finder received cmd+c\n"));
    EXPECT_THAT(out_.str(), HasSubstr("  log: \"CUT1\" 0\n> wait 1"));
    EXPECT_THAT(out_.str(), HasSubstr("cmd+v → Finder received cmd+v\n"));
    EXPECT_THAT(namesIn(tmp_ / "from"), ElementsAre("a.txt"));
    EXPECT_THAT(namesIn(tmp_ / "to"), ElementsAre("a.txt"));
}

TEST_F(ConsoleTest, RelaunchStartsTheEngineAgainAndKeepsTheDesktop) {
    ASSERT_EQ(runScript("open finder $TMP\nlaunch zestrel\nwait 1\nrelaunch\nshow taps\n"
                        "show frontmost\nwait 1\n"),
              0)
        << errors_.str();
    const auto own = std::to_string(console_.desktop().ownApplication()->processIdentifier());
    EXPECT_THAT(out_.str(), HasSubstr("Zestrel relaunched (pid " + own + ")"));
    // The old process's tap went with it; the new process tapped the Finder again.
    EXPECT_THAT(out_.str(), HasSubstr("event taps:\n  2. on Finder (pid 301), by Zestrel (pid " +
                                      own + "), filter, key down\n> "));
    EXPECT_THAT(out_.str(), HasSubstr("frontmost: Finder"));
    EXPECT_EQ(console_.desktop()
                  .application<platform::FileManagerApplication>(platform::kFinderBundleIdentifier)
                  ->currentFolder(),
              fs::absolute(tmp_).lexically_normal());
}

// Before its launch, as after a quit, the app runs for no command: none lists, ends, brings
// forward or restarts it, and nothing is started or changed by asking.
TEST_F(ConsoleTest, TheAppThatDoesNotRunIsNotRunningForEveryCommand) {
    const std::string notRunning = "Zestrel is not running: launch it first (launch zestrel)\n";
    const auto own = [this] { return console_.desktop().ownApplication(); };
    for (const bool launchedAndQuit : {false, true}) {
        SCOPED_TRACE(launchedAndQuit ? "after a quit" : "before the launch");
        if (launchedAndQuit) {
            ASSERT_EQ(runScript("launch zestrel\nquit zestrel\n"), 0) << errors_.str();
        }
        for (const char* command :
             {"quit zestrel", "activate zestrel", "reopen zestrel", "relaunch"}) {
            out_.str("");
            errors_.str("");
            EXPECT_EQ(runScript(std::string(command) + "\n"), 1) << command;
            EXPECT_EQ(errors_.str(), "test.zestrel:1: " + notRunning) << command;
            EXPECT_FALSE(own()) << command;
        }
        out_.str("");
        ASSERT_EQ(runScript("show apps\nshow frontmost\n"), 0) << errors_.str();
        EXPECT_THAT(out_.str(), Not(HasSubstr("Zestrel"))) << out_.str();
        EXPECT_THAT(out_.str(), HasSubstr("frontmost: Finder"));
    }
    ASSERT_EQ(runScript("launch zestrel\nshow apps\n"), 0) << errors_.str();
    ASSERT_TRUE(own());
    EXPECT_THAT(out_.str(), HasSubstr(" Zestrel (com.quorvik.Zestrel) accessory\n"));
}

TEST_F(ConsoleTest, QuittingZestrelEndsItsProcessAndLaunchStartsANewOne) {
    ASSERT_EQ(runScript("open finder $TMP\nlaunch zestrel\nquit zestrel\nshow taps\n"
                        "launch zestrel\nshow frontmost\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("> quit zestrel\nquit Zestrel (pid "));
    EXPECT_THAT(out_.str(), HasSubstr("event taps: none"));
    EXPECT_THAT(out_.str(), HasSubstr("launched Zestrel (pid "));
    EXPECT_TRUE(console_.desktop().ownApplication());
}

TEST_F(ConsoleTest, TheAppsPrintsAreMarkedAndFollowTheReplyOfTheirCommand) {
    ASSERT_EQ(runScript("launch zestrel\nwait 2\nquit zestrel\necho after\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(),
                HasSubstr("> wait 2\n  app prints: ❤️ \n  app prints: EVENT TAPS\n"));
    EXPECT_THAT(out_.str(),
                ::testing::ContainsRegex("quit Zestrel \\(pid [0-9]+\\)\n"
                                         "  app prints: DEINIT - AppEventTap\nafter\n"));
}

TEST_F(ConsoleTest, DefaultsAreWrittenReadDeletedAndKeptAcrossARelaunch) {
    ASSERT_EQ(runScript("defaults write newMethod true\n"
                        "defaults write names (\"a b\", 2, 0.5)\n"
                        "defaults read newMethod\nshow defaults\n"
                        "expect defaults newMethod true\n"
                        "defaults delete newMethod\ndefaults read newMethod\n"
                        "defaults delete newMethod\n"
                        "launch zestrel\nrelaunch\nexpect defaults names (\"a b\",2,0.5)\n"),
              0)
        << errors_.str();
    EXPECT_EQ(occurrences(out_.str(), "deleted newMethod"), 1u);
    EXPECT_THAT(out_.str(), HasSubstr("newMethod is not in the defaults of com.quorvik.Zestrel: "
                                      "nothing deleted\n"));
    EXPECT_THAT(out_.str(), HasSubstr("> defaults read newMethod\nnewMethod = true\n"));
    EXPECT_THAT(out_.str(), HasSubstr(":\n  names = (\"a b\", 2, 0.5)\n  newMethod = true\n"));
    EXPECT_THAT(out_.str(), HasSubstr("newMethod is not set"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: names = (\"a b\", 2, 0.5)"));
}

TEST_F(ConsoleTest, ADefaultTheDatabaseCannotStoreFailsItsCommandWithTheReason) {
    // The file size limit is a child's alone, which ignores SIGXFSZ as the program does: a
    // write over the limit fails with EFBIG.
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        ::alarm(60); // a child that hangs ends, and so does the test
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string statuses =
            std::to_string(runScript("defaults write small 1\ndefaults write big \"" +
                                     std::string(4096, 'x') + "\"\necho after\n"));
        statuses += std::to_string(runScript("defaults read big\ndefaults write other 2\n"));
        const rlimit none{0, 1024}; // not even a smaller file
        ::setrlimit(RLIMIT_FSIZE, &none);
        statuses += std::to_string(runScript("defaults delete small\n"));
        ::setrlimit(RLIMIT_FSIZE, &limit);
        statuses += std::to_string(runScript("defaults read small\nlaunch zestrel\nrelaunch\n"
                                             "defaults read small\ndefaults read big\n"));
        const std::string text = statuses + "\n" + errors_.str() + out_.str();
        const bool written =
            ::write(report[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(report[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t count; (count = ::read(report[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    // What was not stored is not kept either, and later writes are judged on their own.
    const std::string file = " could not be stored: cannot write "
                             "$HOME/.config/zestrel/Preferences/com.quorvik.Zestrel.plist: "
                             "File too large\n";
    EXPECT_THAT(text, ::testing::StartsWith("1010\ntest.zestrel:2: big" + file +
                                            "test.zestrel:1: small" + file));
    EXPECT_EQ(occurrences(text, "\nsmall = 1\n"), 3u);
    EXPECT_EQ(occurrences(text, "\nbig is not set\n"), 2u);
    EXPECT_THAT(text, HasSubstr("\nother = 2\n"));
    EXPECT_THAT(text, Not(HasSubstr("deleted")));
    EXPECT_THAT(text, Not(HasSubstr("after")));
}

TEST_F(ConsoleTest, WhatTheAppHandsToMailAndToSharePickersIsShown) {
    ASSERT_EQ(runScript("launch zestrel\nshow opened\nopen debug window\nclick Email\n"
                        "click \"Show Debug Screen\"\nclick \"Share Debug Info\"\nshow opened\n"
                        "expect opened debug-info.txt\nexpect opened Zestrel — Debug info\n"
                        "expect opened Bundle Identifier: com.quorvik.Zestrel\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("opened: none\n"));
    EXPECT_THAT(out_.str(),
                HasSubstr("opened:\n  Mail message to \"support@zestrel.app\", subject \"Zestrel "
                          "— Debug info\", attachments \"debug-info.txt\"\n  share picker in "
                          "\"Dashboard\", items \"# Zestrel 1.0.0 (1)…\" ("));
    EXPECT_THAT(out_.str(), HasSubstr("ok: opened Mail message to \"support@zestrel.app\""));
    EXPECT_THAT(out_.str(), HasSubstr("ok: opened share picker in \"Dashboard\""));
}

TEST_F(ConsoleTest, AccessibilityAndTheCopyLatencyAreSettingsOfTheDesktop) {
    ASSERT_EQ(runScript("accessibility untrusted\nlatency forklift 2\nlatency finder 0.3\n"
                        "write $TMP/a.txt A\nopen finder $TMP\nselect a.txt\npress cmd+c\n"
                        "wait 0.2\nexpect pasteboard empty\nwait 0.1\nexpect pasteboard files 1\n"),
              0)
        << errors_.str();
    EXPECT_FALSE(platform::Accessibility::current()->isTrusted());
    EXPECT_EQ(console_.desktop().copyLatency(platform::kForkLiftSetappBundleIdentifier),
              std::chrono::seconds(2));
    ASSERT_EQ(runScript("accessibility trusted\n"), 0);
    EXPECT_TRUE(platform::Accessibility::current()->isTrusted());
}

TEST_F(ConsoleTest, NamesAreShownOnOneLine) {
    std::ofstream(tmp_ / "not\xFFUTF-8");
    ASSERT_EQ(runScript(R"(write "$TMP/two\tparts" x
write "$TMP/line\nbreak"
open finder $TMP
select "line\nbreak"
press cmd+c
wait 1
show pasteboard
show folder $TMP
echo "a\nb"
echo "x\u{41}y" and "a\tb"
)"
                        "echo \x1B]0;title\x07\xFF\tend\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("wrote $TMP/two\\tparts (2 bytes)\n"));
    EXPECT_THAT(out_.str(), HasSubstr("wrote $TMP/line\\nbreak (0 bytes)\n"));
    EXPECT_THAT(out_.str(), HasSubstr("Finder selected line\\nbreak\n"));
    EXPECT_THAT(out_.str(), HasSubstr("): 1 item\n"));
    EXPECT_THAT(out_.str(), HasSubstr("public.utf8-plain-text: line\\nbreak\n"));
    EXPECT_THAT(out_.str(), HasSubstr("$TMP:\n  line\\nbreak\n  not\\xFFUTF-8\n  two\\tparts\n"));
    // What a script echoes is its own text, its line breaks too; but as in every reply, no
    // control or broken byte reaches the terminal as it is.
    EXPECT_THAT(out_.str(),
                HasSubstr("\na\nb\n\"x\\u{41}y\" and \"a\\tb\"\n\\x1B]0;title\\x07\\xFF\\tend\n"));
}

TEST(ConsoleText, EveryShownTextReadsBackToOneText) {
    const std::pair<std::string, std::string> shown[] = {
        {"a\nb", R"(a\nb)"},
        {R"(a\nb)", R"(a\\nb)"},
        {"\xFF", R"(\xFF)"},
        {R"(\xFF)", R"(\\xFF)"},
        // C1 controls, bidirectional marks, overrides and isolates, line and paragraph
        // separators: escaped as the controls below a space are.
        {"\xC2\x9B[31m \xC2\x85", R"(\u{9B}[31m \u{85})"},
        {"\xE2\x80\xAE"
         "abc\xE2\x80\xAC",
         R"(\u{202E}abc\u{202C})"},
        {"\xE2\x81\xA6\xE2\x81\xA9\xE2\x80\x8F\xD8\x9C", R"(\u{2066}\u{2069}\u{200F}\u{61C})"},
        {"\xE2\x80\xA8\xE2\x80\xA9", R"(\u{2028}\u{2029})"},
        {"caf\xC3\xA9 \xE2\x80\x94 \xE2\x80\x9C"
         "a\xE2\x80\x9D",
         "caf\xC3\xA9 \xE2\x80\x94 \xE2\x80\x9C"
         "a\xE2\x80\x9D"},
        // What `quotedString` wrote keeps its escapes; a quote that opens no literal is
        // escaped when another quote follows it.
        {quotedString("say \"hi\"\n") + " " + quotedString(R"(a\b)"), R"("say \"hi\"\n" "a\\b")"},
        {quotedString("\x01\xE2\x80\xAE"), R"("\x01\u{202E}")"},
        {"\"a\nb\" \"x", R"(\"a\nb" "x)"},
        {R"("a\nb")", R"("a\nb")"},
        {R"("a\qb")", R"(\"a\\qb")"},
        // A literal as a person types it keeps every escape a quoted word knows, also one
        // whose character no text may hold; one a quoted word does not know opens none.
        {R"("x\u{41}y" and "a\tb\r\xFF")", R"("x\u{41}y" and "a\tb\r\xFF")"},
        {R"("\u{0}" "\x00" "\u{DFFF}")", R"("\u{0}" "\x00" "\u{DFFF}")"},
        {R"("\u{12" "\x4")", R"(\"\\u{12" "\\x4")"},
        {"5\" tall", "5\" tall"},
    };
    for (const auto& [text, expected] : shown) {
        EXPECT_EQ(escapedControls(text), expected) << text;
    }
    // Every text of up to five of these characters shows as no other does.
    const std::string alphabet[] = {"\"", "\\", "n", "\n", "\xC2\x85"};
    std::map<std::string, std::string> seen;
    std::vector<std::string> texts{""};
    for (std::size_t length = 0; length < 5; ++length) {
        std::vector<std::string> longer;
        for (const auto& text : texts) {
            for (const auto& character : alphabet) {
                longer.push_back(text + character);
            }
        }
        for (const auto& text : longer) {
            const auto [at, isNew] = seen.emplace(escapedControls(text), text);
            ASSERT_TRUE(isNew) << "\"" << text << "\" and \"" << at->second << "\" both show as "
                               << at->first;
        }
        texts = std::move(longer);
    }
}

TEST(ConsoleText, AFolderIsNamedWhereAPathStartsWithIt) {
    EXPECT_EQ(
        withPathNamed("/d/plain “/d/plain/a” (/d/plain) x=/d/plain, file:///d/plain/a\n/d/plain:",
                      "/d/plain", "$TMP"),
        "$TMP “$TMP/a” ($TMP) x=$TMP, file://$TMP/a\n$TMP:");
    // Other paths that only hold its text.
    const std::string others = "/d/plainer/q /d/plain.bak /x/d/plain a/d/plain";
    EXPECT_EQ(withPathNamed(others, "/d/plain", "$TMP"), others);
}

TEST_F(ConsoleTest, ANameShowsAsNoOtherNameDoes) {
    ASSERT_EQ(runScript("write \"$TMP/line/a\\nb\"\nwrite \"$TMP/slash/a\\\\nb\"\n"
                        "show folder $TMP/line\nshow folder $TMP/slash\n"
                        "expect folder $TMP/slash \"a\\\\nb\"\nexpect folder $TMP/line \"a\\nb\"\n"
                        "echo C1 \xC2\x9B[2J bidi \xE2\x80\xAE"
                        "cba \xE2\x80\xA8 end\n"
                        "defaults write k \"a\\\\b\"\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("$TMP/line:\n  a\\nb\n"));
    EXPECT_THAT(out_.str(), HasSubstr("$TMP/slash:\n  a\\\\nb\n"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: $TMP/slash holds a\\\\nb\n"));
    EXPECT_THAT(out_.str(), HasSubstr("\nC1 \\u{9B}[2J bidi \\u{202E}cba \\u{2028} end\n"));
    EXPECT_THAT(out_.str(), HasSubstr("\nk = \"a\\\\b\"\n"));
    EXPECT_EQ(runScript("expect folder $TMP/line \"a\\\\nb\"\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("expectation not met: $TMP/line should hold a\\\\nb; it holds a\\nb\n"));
    // A message is shown once: its backslashes are not doubled twice.
    errors_.str("");
    EXPECT_EQ(runScript("select \"a\\\\b/c\"\n"), 1);
    EXPECT_THAT(errors_.str(), ::testing::StartsWith("test.zestrel:1: “a\\\\b/c” is not a name:"));
    errors_.str("");
    EXPECT_EQ(runScript("mkdir $TMP/a\\b\nmkdir $TMP/a\\b/c\nmkdir $TMP/a\\b/c\n"), 0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("made $TMP/a\\\\b/c\n> mkdir $TMP/a\\\\b/c\n"
                                      "$TMP/a\\\\b/c was already there\n"));
}

TEST_F(ConsoleTest, WriteMakesAFileAsAnyNewFileIsMade) {
    const mode_t before = ::umask(022);
    EXPECT_EQ(runScript("write $TMP/new.txt x\n"), 0) << errors_.str();
    ::umask(before);
    EXPECT_EQ(fs::status(tmp_ / "new.txt").permissions(), fs::perms(0644));
}

TEST_F(ConsoleTest, AFailedWriteSaysWhy) {
    fs::create_directory(tmp_ / "folder");
    EXPECT_EQ(runScript("write $TMP/folder x\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("cannot write $TMP/folder: Is a directory"));
    EXPECT_EQ(runScript("write $TMP/one.txt 1\nwrite $TMP/one.txt/two.txt 2\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("cannot write $TMP/one.txt/two.txt: Not a directory"));
    EXPECT_EQ(runScript("write $TMP/new/ x\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("“$TMP/new/” names a folder"));
    EXPECT_EQ(namesIn(tmp_), (std::vector<std::string>{"folder", "one.txt"}));
}

TEST(ConsoleNames, FoldersWhoseNamesNeedEscapesAreStillWrittenByName) {
    platform::testing::TestEnvironment env;
    // The session's folder and the app's home as a TMPDIR and a HOME may be named.
    const auto tmp = env.home() / "tmp\tspot\xFF";
    const auto home = env.home() / "home\tspot\xFE";
    fs::create_directories(tmp);
    fs::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    std::ostringstream out;
    std::ostringstream errors;
    {
        Console console(tmp, out, errors);
        std::istringstream script("write $TMP/a.txt x\nshow folder $TMP\nlaunch zestrel\n"
                                  "open debug window\nshow window\nmkdir $TMP/a.txt/b\n");
        EXPECT_EQ(console.runScript(script, "test.zestrel"), 1);
    }
    EXPECT_THAT(out.str(), HasSubstr("wrote $TMP/a.txt (2 bytes)\n"));
    EXPECT_THAT(out.str(), HasSubstr("\n$TMP:\n  a.txt\n"));
    EXPECT_THAT(out.str(), HasSubstr("fileDialogDefaultDirectory(\"$HOME/Downloads\")"));
    EXPECT_THAT(errors.str(), HasSubstr("test.zestrel:6: cannot make $TMP/a.txt/b: "));
    // Neither folder's real name, as it is or escaped.
    EXPECT_THAT(out.str() + errors.str(), Not(HasSubstr("spot")));
}

TEST(ConsoleNames, WithTheRootFolderAsTheSessionsPathsAreShownAsTheyAre) {
    platform::testing::TestEnvironment env;
    const auto home = fs::canonical(env.home()).string();
    std::ostringstream out;
    std::ostringstream errors;
    {
        Console console("/", out, errors);
        std::istringstream script("echo / a/b $TMP $TMP/x $TMPer " + home + "er " + home + "/q\n");
        EXPECT_EQ(console.runScript(script, "test.zestrel"), 0) << errors.str();
    }
    // The app's home is still named, where a path starts with it.
    EXPECT_EQ(out.str(), "/ a/b / /x $TMPer " + home + "er $HOME/q\n");
}

TEST(ConsoleNames, FileURLsWriteTheFoldersByNameWhereTheyArePercentEncoded) {
    platform::testing::TestEnvironment env;
    const auto tmp = env.home() / "tmp 100% \tspot";
    fs::create_directories(tmp);
    std::ostringstream out;
    std::ostringstream errors;
    {
        Console console(tmp, out, errors);
        std::istringstream script("write $TMP/a.txt x\nopen finder $TMP\nselect a.txt\n"
                                  "press cmd+c\nwait 1\nshow pasteboard\n");
        EXPECT_EQ(console.runScript(script, "test.zestrel"), 0) << errors.str();
    }
    EXPECT_THAT(out.str(), HasSubstr("public.file-url: file://$TMP/a.txt\n"));
    EXPECT_THAT(out.str(), Not(HasSubstr("spot")));
}

} // namespace
} // namespace zestrel::console
