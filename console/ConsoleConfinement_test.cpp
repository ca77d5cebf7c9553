#include "console/Console.h"
#include "console/ConsoleFixture_test.h"

#include "platform/base/Value.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/desktop/NSPasteboard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

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

    // Runs `work` while another process swaps the folder $TMP/swapped for a link to outside
    // and back, again and again.
    void whileSwappedForALinkOutside(const std::function<void()>& work) {
        const auto swapped = tmp_ / "swapped";
        const auto aside = tmp_ / "swapped-aside";
        fs::create_directory_symlink(outside_, aside);
        const auto exchange = [&] {
            return ::renameat2(AT_FDCWD, swapped.c_str(), AT_FDCWD, aside.c_str(), RENAME_EXCHANGE);
        };
        ASSERT_EQ(exchange(), 0) << "the file system swaps no names";
        std::atomic<bool> done{false};
        std::thread swapper([&] {
            while (!done) {
                exchange();
            }
        });
        work();
        done = true;
        swapper.join();
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

// The system reads a path up to its NUL: refused also in a command not parsed from a line.
TEST_F(ConsoleTest, APathWithANulIsRefusedWhenItsCommandRuns) {
    const std::string withNul("$TMP/n\0ul", 9);
    EXPECT_THROW(console_.run({CommandKind::write, {withNul, "x"}}), CommandError);
    EXPECT_THROW(console_.run({CommandKind::expect, {"missing", withNul}}), CommandError);
    EXPECT_TRUE(namesIn(tmp_).empty());
}

TEST_F(ConsoleConfinementTest, WriteReplacesALinkAtThePathAndNeverWritesThroughIt) {
    fs::create_directory(tmp_ / "inside");
    write(tmp_ / "inside" / "target.txt", "target");
    fs::create_symlink(tmp_ / "inside" / "target.txt", tmp_ / "inside-link");
    ASSERT_EQ(runScript("write $TMP/inside-link replaced\nwrite $TMP/notes-link replaced\n"
                        "write $TMP/new-link made\n"),
              0)
        << errors_.str();
    EXPECT_THAT(out_.str(), HasSubstr("wrote $TMP/inside-link (9 bytes)\n"));
    for (const char* name : {"inside-link", "notes-link", "new-link"}) {
        EXPECT_FALSE(fs::is_symlink(tmp_ / name)) << name;
    }
    EXPECT_EQ(contentsOf(tmp_ / "notes-link"), "replaced\n");
    EXPECT_EQ(contentsOf(tmp_ / "inside" / "target.txt"), "target");
    EXPECT_EQ(filesOutside(), before_);
}

TEST_F(ConsoleConfinementTest, MkdirNeverMakesFoldersThroughALinkSwappedInAfterItsCheck) {
    // A folder made through the link would land outside.
    fs::create_directory(tmp_ / "swapped");
    whileSwappedForALinkOutside([&] {
        for (int line = 0; line < 300; ++line) {
            runScript("mkdir $TMP/swapped/made" + std::to_string(line) + "/deeper\n");
        }
    });
    EXPECT_EQ(filesOutside(), before_);
}

TEST_F(ConsoleConfinementTest, ReadsNeverLookThroughALinkSwappedInAfterTheirCheck) {
    // What is outside must never be listed or found as if it were in the session's folder.
    fs::create_directory(tmp_ / "swapped");
    write(tmp_ / "swapped" / "inside.txt", "inside");
    whileSwappedForALinkOutside([&] {
        for (int line = 0; line < 300; ++line) {
            runScript("show folder $TMP/swapped\nexpect folder $TMP/swapped notes.txt\n");
            runScript("expect missing $TMP/swapped/notes.txt\n");
            runScript("expect missing $TMP/swapped/inside.txt\n");
        }
    });
    // Said once each, not with the whole output.
    const auto holds = [](const std::ostringstream& text, const char* part) {
        return text.str().find(part) != std::string::npos;
    };
    EXPECT_TRUE(holds(out_, "\n  inside.txt\n")) << "the folder was listed at times";
    EXPECT_FALSE(holds(out_, "\n  notes.txt\n"));
    EXPECT_FALSE(holds(out_, "holds notes.txt"));
    EXPECT_FALSE(holds(errors_, "there is a file at $TMP/swapped/notes.txt"));
    // A link on the way is no proof that nothing is there.
    EXPECT_TRUE(holds(errors_, "there is a file at $TMP/swapped/inside.txt"));
    EXPECT_FALSE(holds(out_, "nothing at $TMP/swapped/inside.txt"));
}

TEST_F(ConsoleConfinementTest, ExpectMissingNeverResolvesALinkAtOrOnItsPath) {
    fs::create_directory(tmp_ / "real");
    fs::create_directory_symlink(tmp_ / "real", tmp_ / "in-link");
    fs::create_symlink(tmp_ / "nowhere", tmp_ / "dangling");
    const std::pair<const char*, const char*> cases[] = {
        {"$TMP/dangling", "expectation not met: there is a link at $TMP/dangling"},
        {"$TMP/in-link", "expectation not met: there is a link at $TMP/in-link"},
        {"$TMP/in-link/y", "cannot look at $TMP/in-link/y: Not a directory"},
        {"$TMP/in-link/../y", "cannot look at $TMP/in-link/../y: Not a directory"},
        {"$TMP/real/..", "expectation not met: there is a folder at $TMP/real/.."},
    };
    for (const auto& [path, message] : cases) {
        errors_.str("");
        EXPECT_EQ(runScript("expect missing " + std::string(path) + "\n"), 1) << path;
        EXPECT_EQ(errors_.str(), "test.zestrel:1: " + std::string(message) + "\n");
    }
    EXPECT_EQ(runScript("expect missing $TMP/real/../y\n"), 0) << errors_.str();
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

} // namespace
} // namespace zestrel::console
