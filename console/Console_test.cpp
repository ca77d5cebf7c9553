#include "console/Console.h"

#include "console/ScriptFile.h"

#include "foundation/Logger.h"
#include "platform/appkit/NSAlert.h"
#include "platform/base/Bundle.h"
#include "platform/base/Clock.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StandardStreams.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/desktop/SimulatedApplication.h"
#include "platform/system/SystemSound.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class ConsoleTest : public ::testing::Test {
protected:
    ConsoleTest() : tmp_(madeFolder(env_.home() / "tmp")), console_(tmp_, out_, errors_) {}

    static fs::path madeFolder(fs::path folder) {
        fs::create_directories(folder);
        return folder;
    }

    int runScript(const std::string& script) {
        std::istringstream in(script);
        return console_.runScript(in, "test.zestrel");
    }

    int runExample(const std::string& name) {
        std::ifstream in(fs::path(ZESTREL_EXAMPLES_DIR) / name);
        EXPECT_TRUE(in.is_open()) << name;
        return console_.runScript(in, name);
    }

    int runTerminal(const std::string& input) {
        std::istringstream in(input);
        return console_.runTerminal(in);
    }

    std::vector<std::string> namesIn(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string contentsOf(const fs::path& file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    platform::testing::TestEnvironment env_;
    fs::path tmp_;
    std::ostringstream out_;
    std::ostringstream errors_;
    Console console_;
};

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

TEST_F(ConsoleTest, CommandsNeedTheRightApplication) {
    EXPECT_EQ(runScript("launch textedit\nselect a.txt\n"), 1);
    EXPECT_THAT(errors_.str(),
                HasSubstr("the frontmost application, TextEdit, is not a file manager"));
}

TEST_F(ConsoleTest, TextThatTheLayoutCannotTypeIsAnError) {
    EXPECT_EQ(runScript("launch textedit\nlayout russian\ntype xyz\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("“x” cannot be typed on the Russian layout"));
}

TEST_F(ConsoleTest, WaitMovesTheVirtualClock) {
    const auto start = platform::clock().uptime();
    ASSERT_EQ(runScript("wait 2.5\n"), 0);
    EXPECT_EQ(platform::clock().uptime() - start, std::chrono::milliseconds(2500));
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

TEST_F(ConsoleTest, RefusedAccessQuitsTheAppAfterItsAlert) {
    ASSERT_EQ(runScript("accessibility untrusted\nanswer \"Quit and Open System Settings\"\n"
                        "launch zestrel\nexpect alert requires accessibility access.\n"
                        "expect opened Privacy_Accessibility\nshow apps\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("quit Zestrel (pid "));
    EXPECT_FALSE(console_.desktop().ownApplication());
}

TEST_F(ConsoleTest, TerminalPromptsRunsEachLineAndGoesOnAfterErrors) {
    EXPECT_EQ(runTerminal("echo hello\nfrobnicate\n\nshow frontmost\nquit\necho never\n"), 0);
    EXPECT_EQ(out_.str(), "zestrel> hello\nzestrel> zestrel> zestrel> frontmost: Finder (pid 301)\n"
                          "zestrel> ");
    EXPECT_THAT(errors_.str(), HasSubstr("error: unknown command “frobnicate”"));
}

TEST_F(ConsoleTest, TerminalFiresTimersBetweenCommandsAndSurvivesARelaunch) {
    EXPECT_EQ(runTerminal("write $TMP/a.txt A\nopen finder $TMP\nselect a.txt\npress cmd+c\n"
                          "wait 0.5\nshow pasteboard\nrelaunch\nwait 0.5\necho done\n"),
              0);
    EXPECT_EQ(errors_.str(), "");
    EXPECT_THAT(out_.str(), HasSubstr("public.file-url: file://$TMP/a.txt"));
    EXPECT_THAT(out_.str(), HasSubstr("relaunched"));
    // The end of input ends the session like `quit`.
    EXPECT_THAT(out_.str(), HasSubstr("zestrel> done\nzestrel> \n"));
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
)"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("wrote $TMP/two\\tparts (2 bytes)\n"));
    EXPECT_THAT(out_.str(), HasSubstr("wrote $TMP/line\\nbreak (0 bytes)\n"));
    EXPECT_THAT(out_.str(), HasSubstr("Finder selected line\\nbreak\n"));
    EXPECT_THAT(out_.str(), HasSubstr("): 1 item\n"));
    EXPECT_THAT(out_.str(), HasSubstr("public.utf8-plain-text: line\\nbreak\n"));
    EXPECT_THAT(out_.str(), HasSubstr("$TMP:\n  line\\nbreak\n  not\\xFFUTF-8\n  two\\tparts\n"));
    // What a script echoes is its own text.
    EXPECT_THAT(out_.str(), HasSubstr("\na\nb\n"));
}

TEST_F(ConsoleTest, WriteMakesAFileAsAnyNewFileIsMade) {
    const mode_t before = ::umask(022);
    EXPECT_EQ(runScript("write $TMP/new.txt x\n"), 0) << errors_.str();
    ::umask(before);
    EXPECT_EQ(fs::status(tmp_ / "new.txt").permissions(), fs::perms(0644));
}

TEST_F(ConsoleTest, ALineTooLongForAScriptIsRefusedAtThePromptAndTheNextIsRead) {
    const std::string line = "echo " + std::string(kLargestScript, 'x');
    EXPECT_EQ(runTerminal(line + "\necho after\n"), 0);
    EXPECT_EQ(errors_.str(), "error: the line “echo " + std::string(35, 'x') +
                                 "…” is too long: " + std::to_string(line.size()) +
                                 " bytes, over the 16 MB a script may hold\n");
    EXPECT_THAT(out_.str(), HasSubstr("zestrel> after\n"));
}

TEST_F(ConsoleTest, AFailedWriteSaysWhy) {
    fs::create_directory(tmp_ / "folder");
    EXPECT_EQ(runScript("write $TMP/folder x\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("cannot write $TMP/folder: Is a directory"));
    EXPECT_EQ(runScript("write $TMP/one.txt 1\nwrite $TMP/one.txt/two.txt 2\n"), 1);
    EXPECT_THAT(errors_.str(), HasSubstr("cannot write $TMP/one.txt/two.txt: Not a directory"));
}

// A person's own files beside the session's folder, and ways a script could reach them.
class ConsoleConfinementTest : public ConsoleTest {
protected:
    ConsoleConfinementTest() {
        outside_ = madeFolder(env_.home() / "outside");
        write(env_.home() / "notes.txt", "home notes");
        write(outside_ / "notes.txt", "outside notes");
        madeFolder(env_.home() / "tmpx");
        fs::create_directory_symlink(outside_, tmp_ / "out-link");
        fs::create_symlink(outside_ / "notes.txt", tmp_ / "notes-link");
        fs::create_symlink(outside_ / "new.txt", tmp_ / "new-link");
        before_ = filesOutside();
    }

    static void write(const fs::path& file, const std::string& contents) {
        std::ofstream(file) << contents;
    }

    // Every item outside the session's folder with what it holds.
    std::map<std::string, std::string> filesOutside() const {
        std::map<std::string, std::string> files;
        for (auto at = fs::recursive_directory_iterator(env_.home());
             at != fs::recursive_directory_iterator(); ++at) {
            if (at->path() == tmp_) {
                at.disable_recursion_pending();
                continue;
            }
            files[at->path().string()] = at->is_regular_file() ? contentsOf(at->path()) : "";
        }
        return files;
    }

    fs::path outside_;
    std::map<std::string, std::string> before_;
};

TEST_F(ConsoleConfinementTest, NoCommandReachesOutsideTheFolder) {
    const char* attempts[] = {
        "select /outside/notes.txt",
        "select ../notes.txt",
        "select notes.txt",
        "open finder $TMP/..",
        "open finder $TMP/../outside",
        "open finder $TMP/out-link",
        "open forklift $TMP/missing/../../outside",
        "mkdir $TMP/../made",
        "mkdir $TMP/out-link/made",
        "mkdir made",
        "write notes.txt overwritten",
        "write $TMP/../notes.txt overwritten",
        "write $TMP/out-link/notes.txt overwritten",
        "write $TMP/notes-link overwritten",
        "write $TMP/new-link made",
        "write $TMPx/a.txt made",
        "show folder $TMP/out-link",
        "open finder $TMP\nselect notes-link",
        "open finder $TMP\nselect out-link",
        "quit finder\nlaunch finder\nselect notes.txt",
        "expect folder $TMP/out-link notes.txt",
        "expect folder $TMP/.. tmp",
        "expect missing $TMP/../nothing-here",
        "expect missing $TMP/new-link",
        "expect missing /nothing-here",
    };
    for (const char* script : attempts) {
        errors_.str("");
        EXPECT_EQ(runScript(script), 1) << script;
        EXPECT_THAT(errors_.str(), HasSubstr("test.zestrel:")) << script;
    }
    EXPECT_THAT(errors_.str(), Not(HasSubstr(env_.home().string())));
    EXPECT_EQ(filesOutside(), before_);
}

TEST_F(ConsoleConfinementTest, WriteReplacesAHardLinkAndLeavesTheFileItShared) {
    fs::create_hard_link(outside_ / "notes.txt", tmp_ / "hard-link");
    ASSERT_EQ(runScript("write $TMP/hard-link overwritten\n"), 0) << errors_.str();
    EXPECT_EQ(contentsOf(tmp_ / "hard-link"), "overwritten\n");
    EXPECT_EQ(filesOutside(), before_);
}

TEST_F(ConsoleConfinementTest, AFolderWithLinkLoopsIsListedWithTheLinksAsLinks) {
    fs::create_symlink("loop-b", tmp_ / "loop-a");
    fs::create_symlink("loop-a", tmp_ / "loop-b");
    fs::create_symlink("itself", tmp_ / "itself");
    fs::create_directory(tmp_ / "folder");
    ASSERT_EQ(runScript("show folder $TMP\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("$TMP:\n  folder/\n  itself -> itself\n  loop-a -> loop-b\n"
                                      "  loop-b -> loop-a\n  new-link -> "));
    // Here the test's home is the app's, so its path reads as $HOME.
    EXPECT_THAT(out_.str(), HasSubstr("  out-link -> $HOME/outside\n"));
}

TEST_F(ConsoleConfinementTest, FileManagersStartInTheFolderAndPasteNothingFromOutside) {
    const auto finder = console_.desktop().application<platform::FileManagerApplication>(
        platform::kFinderBundleIdentifier);
    EXPECT_EQ(finder->currentFolder(), tmp_);
    ASSERT_EQ(runScript("launch forklift\nactivate forklift\n"), 0) << errors_.str();
    EXPECT_EQ(
        console_.desktop()
            .application<platform::FileManagerApplication>(platform::kForkLiftBundleIdentifier)
            ->currentFolder(),
        tmp_);

    // Outside files on the pasteboard, as another program could put them there.
    auto item = std::make_shared<platform::NSPasteboardItem>();
    item->setString(platform::URL::fileURL((outside_ / "notes.txt").string()).absoluteString(),
                    platform::NSPasteboardType::fileURL);
    console_.desktop().generalPasteboard()->clearContents();
    console_.desktop().generalPasteboard()->writeObjects({item});
    ASSERT_EQ(runScript("open finder $TMP\npress cmd+opt+v\nopen forklift $TMP\npress cmd+v\n"), 0)
        << errors_.str();
    EXPECT_FALSE(fs::exists(tmp_ / "notes.txt"));
    EXPECT_EQ(filesOutside(), before_);
}

// Lines from a terminal where nobody types after the given ones: asking for more calls
// `waiting`, and blocks until the test lets go.
class SilentTerminal : public std::streambuf {
public:
    SilentTerminal(std::string lines, std::function<void()> waiting)
        : lines_(std::move(lines)), waiting_(std::move(waiting)) {
        setg(lines_.data(), lines_.data(), lines_.data() + lines_.size());
    }
    void letGo() {
        std::lock_guard lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }

protected:
    int_type underflow() override {
        waiting_();
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return released_; });
        return traits_type::eof();
    }

private:
    std::string lines_;
    std::function<void()> waiting_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
};

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

TEST_F(ConsoleTest, TheAppsPrintsAreMarkedAndFollowTheReplyOfTheirCommand) {
    ASSERT_EQ(runScript("launch zestrel\nwait 2\nquit zestrel\necho after\n"), 0) << errors_.str();
    EXPECT_THAT(out_.str(),
                HasSubstr("> wait 2\n  app prints: ❤️ \n  app prints: EVENT TAPS\n"));
    EXPECT_THAT(out_.str(),
                ::testing::ContainsRegex("quit Zestrel \\(pid [0-9]+\\)\n"
                                         "  app prints: DEINIT - AppEventTap\nafter\n"));
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
    EXPECT_EQ(runScript("mkdir $TMP/made\n"), 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(tmp_ / "made"));
}

TEST_F(ConsoleTest, DefaultsAreWrittenReadDeletedAndKeptAcrossARelaunch) {
    ASSERT_EQ(runScript("defaults write newMethod true\n"
                        "defaults write names (\"a b\", 2, 0.5)\n"
                        "defaults read newMethod\nshow defaults\n"
                        "expect defaults newMethod true\n"
                        "defaults delete newMethod\ndefaults read newMethod\n"
                        "relaunch\nexpect defaults names (\"a b\",2,0.5)\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("> defaults read newMethod\nnewMethod = true\n"));
    EXPECT_THAT(out_.str(), HasSubstr(":\n  names = (\"a b\", 2, 0.5)\n  newMethod = true\n"));
    EXPECT_THAT(out_.str(), HasSubstr("newMethod is not set"));
    EXPECT_THAT(out_.str(), HasSubstr("ok: names = (\"a b\", 2, 0.5)"));
}

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

TEST_F(ConsoleTest, AnswersGoToTheNextAlertsAndAlertsAreShown) {
    ASSERT_EQ(runScript("answer \"Later\"\n"), 0);
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

// Settings' alert after the menu-bar icon is switched off, as the console quotes it.
const std::string kHideIconAlert =
    "\"If you need to access the menu bar icon, launch the app to reveal it for 5 seconds.\"";

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

TEST_F(ConsoleTest, ExpectationsOfTextsAndCountsAreExact) {
    const auto file = env_.home() / "cut.wav";
    const auto data = platform::Bundle::main()->dataAsset("CutSound");
    ASSERT_TRUE(data.has_value());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data->data()),
               static_cast<std::streamsize>(data->size()));
    platform::SystemSoundID sound = 0;
    ASSERT_EQ(
        platform::AudioServicesCreateSystemSoundID(platform::URL::fileURL(file.string()), sound),
        platform::kAudioServicesNoError);
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

} // namespace
} // namespace zestrel::console

namespace zestrel::console {
namespace {

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
}

TEST_F(ConsoleTest, HotKeysAreListedAndAPressTheyTakeSaysSo) {
    using namespace platform;
    EventHotKeyRef hotKey;
    ASSERT_EQ(RegisterEventHotKey(7, cmdKey, {fourCharCode("QVKS"), 1}, GetEventDispatcherTarget(),
                                  0, &hotKey),
              noErr);
    EXPECT_EQ(runScript("show hotkeys\npress cmd+x\npress cmd+c\n"), 0);
    const std::string own = console_.desktop().ownApplication()->localizedName().value_or("");
    const std::string pid =
        std::to_string(console_.desktop().ownApplication()->processIdentifier());
    EXPECT_THAT(out_.str(), HasSubstr("  cmd+x by " + own + " (pid " + pid +
                                      "), id QVKS 1, not listened to\n"));
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

} // namespace
} // namespace zestrel::console
