#include "console/FileReplacement.h"

#include "platform/data/FileSafety.h"

#include "platform/testing/FileContents.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
using platform::testing::contentsOf;
using platform::testing::modeOf;
using ::testing::HasSubstr;

class FileReplacementTest : public ::testing::Test {
protected:
    FileReplacementTest() : folder_(env_.home() / "session"), outside_(env_.home() / "outside") {
        fs::create_directories(folder_);
        fs::create_directories(outside_);
        std::ofstream(outside_ / "notes.txt") << "outside";
    }

    // A `write` of the session in `folder_`.
    std::optional<std::string> replaced(const fs::path& file, std::string_view contents) {
        return replaceFileWithin(folder_, file, contents, stale_);
    }

    platform::testing::TestEnvironment env_;
    fs::path folder_;
    fs::path outside_;
    platform::StaleTemporaryFiles stale_;
};

TEST_F(FileReplacementTest, ALinkAtThePathIsReplacedNeverWrittenThrough) {
    // What a link put there after the path was checked leaves: the link goes, its target stays.
    fs::create_symlink(outside_ / "notes.txt", folder_ / "notes.txt");
    EXPECT_EQ(replaced(folder_ / "notes.txt", "inside\n"), std::nullopt);
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(folder_ / "notes.txt")));
    EXPECT_EQ(contentsOf(folder_ / "notes.txt"), "inside\n");
    EXPECT_EQ(contentsOf(outside_ / "notes.txt"), "outside");
    // A link where a folder on the way was is not followed either.
    fs::create_directory_symlink(outside_, folder_ / "sub");
    const auto failure = replaced(folder_ / "sub" / "notes.txt", "x");
    ASSERT_TRUE(failure.has_value());
    EXPECT_THAT(*failure, HasSubstr("Not a directory"));
    EXPECT_EQ(contentsOf(outside_ / "notes.txt"), "outside");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside_), fs::directory_iterator()), 1);
}

TEST_F(FileReplacementTest, ANewFileGetsTheUsualModeAndAReplacedOneKeepsItsOwn) {
    const mode_t before = ::umask(027);
    EXPECT_EQ(replaced(folder_ / "a" / "b" / "new.txt", "new\n"), std::nullopt);
    EXPECT_EQ(modeOf(folder_ / "a" / "b" / "new.txt"), 0640u);
    EXPECT_EQ(modeOf(folder_ / "a"), 0750u);
    std::ofstream(folder_ / "old.txt") << "old";
    fs::permissions(folder_ / "old.txt", fs::perms(0604));
    EXPECT_EQ(replaced(folder_ / "old.txt", "replaced"), std::nullopt);
    EXPECT_EQ(modeOf(folder_ / "old.txt"), 0604u);
    EXPECT_EQ(contentsOf(folder_ / "old.txt"), "replaced");
    ::umask(before);
    // Nothing is left beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

TEST_F(FileReplacementTest, AFolderInTheWayIsReported) {
    fs::create_directory(folder_ / "folder");
    EXPECT_EQ(replaced(folder_ / "folder", "x"), "Is a directory");
    EXPECT_THAT(replaced(outside_ / "notes.txt", "x").value_or(""), HasSubstr("is not inside"));
    EXPECT_EQ(contentsOf(outside_ / "notes.txt"), "outside");
}

TEST_F(FileReplacementTest, AWriteRemovesWhatAKilledWriteOfTheNameLeftBeside) {
    std::ofstream(folder_ / platform::temporaryNameFor("notes.txt")) << "half";
    EXPECT_EQ(replaced(folder_ / "notes.txt", "whole"), std::nullopt);
    EXPECT_EQ(contentsOf(folder_ / "notes.txt"), "whole");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(FileReplacementTest, AFolderIsLookedAtOnceForWhatKilledWritesLeft) {
    // Found by the first write into the folder, removed by the write of their own name.
    const auto other = platform::temporaryNameFor("other.txt");
    fs::create_directories(folder_ / "sub");
    std::ofstream(folder_ / "sub" / other) << "half";
    std::ofstream(folder_ / "sub" / platform::temporaryNameFor("later.txt")) << "half";
    EXPECT_EQ(replaced(folder_ / "sub" / "first.txt", "first"), std::nullopt);
    EXPECT_TRUE(fs::exists(folder_ / "sub" / other));
    // One that comes after the look is not looked for again: no write lists its folder anew.
    const auto afterwards = platform::temporaryNameFor("other.txt");
    std::ofstream(folder_ / "sub" / afterwards) << "half";
    EXPECT_EQ(replaced(folder_ / "sub" / "other.txt", "other"), std::nullopt);
    EXPECT_EQ(replaced(folder_ / "sub" / "later.txt", "later"), std::nullopt);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_ / "sub")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_THAT(names,
                ::testing::UnorderedElementsAre("first.txt", "other.txt", "later.txt", afterwards));
}

TEST_F(FileReplacementTest, AWriteLeavesAPersonsFilesBesideItsTarget) {
    // Names as a person gives them, some of the form this program's temporaries once had.
    const std::pair<const char*, const char*> cases[] = {{"report", ".report.backup"},
                                                         {"notes.txt", ".notes.txt.Draft1"},
                                                         {"notes.txt", ".notes.txt.Ab12Cd"},
                                                         {"a", ".a.ab-cd!"},
                                                         {"a", ".a.123456"},
                                                         {"a", ".a.aaaaaa"}};
    for (const auto& [target, beside] : cases) {
        std::ofstream(folder_ / beside) << "important";
        EXPECT_EQ(replaced(folder_ / target, "draft"), std::nullopt);
        EXPECT_EQ(contentsOf(folder_ / beside), "important") << beside;
    }
}

TEST_F(FileReplacementTest, FoldersAreMadeWithTheUsualModeAndAnExistingOneIsFine) {
    // A umask that a fixed 0755 or 0700 would not match.
    const mode_t before = ::umask(002);
    bool made = false;
    EXPECT_EQ(makeFoldersWithin(folder_, folder_ / "a" / "b" / "c", &made), std::nullopt);
    EXPECT_TRUE(made);
    ::umask(before);
    EXPECT_TRUE(fs::is_directory(folder_ / "a" / "b" / "c"));
    EXPECT_EQ(modeOf(folder_ / "a"), 0775u);
    EXPECT_EQ(modeOf(folder_ / "a" / "b" / "c"), 0775u);
    for (const auto& there : {folder_ / "a" / "b", folder_ / "a" / "b" / "c", folder_}) {
        EXPECT_EQ(makeFoldersWithin(folder_, there, &made), std::nullopt) << there;
        EXPECT_FALSE(made) << there;
    }
}

TEST_F(FileReplacementTest, MakingFoldersNeverGoesThroughALink) {
    fs::create_directory_symlink(outside_, folder_ / "sub");
    EXPECT_EQ(makeFoldersWithin(folder_, folder_ / "sub" / "new"), "Not a directory");
    // A link at the last name stands where a folder was: not a folder there already.
    EXPECT_EQ(makeFoldersWithin(folder_, folder_ / "sub"), "Not a directory");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside_), fs::directory_iterator()), 1);
}

TEST_F(FileReplacementTest, AFileWhereAFolderGoesIsReported) {
    std::ofstream(folder_ / "file") << "x";
    EXPECT_EQ(makeFoldersWithin(folder_, folder_ / "file"), "File exists");
    EXPECT_EQ(makeFoldersWithin(folder_, folder_ / "file" / "below"), "Not a directory");
    EXPECT_THAT(makeFoldersWithin(folder_, outside_ / "new").value_or(""),
                HasSubstr("is not inside"));
    EXPECT_FALSE(fs::exists(outside_ / "new"));
}

TEST_F(FileReplacementTest, ReadsGoThroughNoLinkAndSayWhatIsThere) {
    fs::create_directories(folder_ / "sub");
    std::ofstream(folder_ / "sub" / "inside.txt") << "inside";
    std::ofstream(folder_ / "file") << "x";
    fs::create_directory_symlink(outside_, folder_ / "link");
    std::vector<platform::FolderEntry> entries;
    EXPECT_EQ(listFolderWithin(folder_, folder_ / "sub", entries), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "inside.txt");
    for (const char* notAFolder : {"link", "file", "missing", "link/deeper"}) {
        entries.clear();
        EXPECT_EQ(listFolderWithin(folder_, folder_ / notAFolder, entries), ENOTDIR) << notAFolder;
        EXPECT_TRUE(entries.empty()) << notAFolder;
    }

    // What is at a path: the item itself, a link too; nothing past a missing folder; a file or
    // a link on the way is not looked through and proves nothing absent.
    const std::pair<const char*, std::optional<mode_t>> items[] = {
        {"sub/inside.txt", S_IFREG}, {"sub", S_IFDIR}, {"link", S_IFLNK}, {"missing", std::nullopt},
        {"missing/x", std::nullopt},
    };
    for (const auto& [item, kind] : items) {
        std::optional<mode_t> found;
        EXPECT_EQ(lookWithin(folder_, folder_ / item, found), 0) << item;
        EXPECT_EQ(found ? std::optional<mode_t>(*found & S_IFMT) : std::nullopt, kind) << item;
    }
    for (const char* item : {"link/notes.txt", "file/x"}) {
        std::optional<mode_t> found;
        EXPECT_EQ(lookWithin(folder_, folder_ / item, found), ENOTDIR) << item;
        EXPECT_FALSE(found.has_value()) << item;
    }
}

} // namespace
} // namespace zestrel::console
