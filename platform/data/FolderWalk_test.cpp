#include "platform/data/FolderWalk.h"

#include "platform/testing/FileContents.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;
using platform::testing::contentsOf;
using platform::testing::modeOf;
using ::testing::UnorderedElementsAre;

class FolderWalkTest : public ::testing::Test {
protected:
    FolderWalkTest() : from_(made("from")), to_(made("to")), outside_(made("outside")) {
        std::ofstream(outside_ / "kept") << "outside";
    }

    fs::path made(const char* name) {
        fs::create_directories(env_.home() / name);
        return env_.home() / name;
    }

    static FileDescriptor opened(const fs::path& folder) {
        return FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }

    static std::vector<std::string> namesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            names.push_back(entry.path().lexically_relative(folder).string());
        }
        return names;
    }

    testing::TestEnvironment env_;
    fs::path from_;
    fs::path to_;
    fs::path outside_;
};

TEST_F(FolderWalkTest, TheWalkOpensFoldersOnlyAndNeverALink) {
    fs::create_directories(from_ / "a" / "b");
    std::ofstream(from_ / "a" / "file") << "x";
    fs::create_directory_symlink(outside_, from_ / "a" / "link");
    const auto top = opened(from_);
    FileDescriptor folder(-1);
    EXPECT_EQ(openFolderBelow(top.get(), "a/b", folder), 0);
    EXPECT_EQ(openFolderBelow(top.get(), "a/link", folder), ELOOP);
    EXPECT_EQ(openFolderBelow(top.get(), "a/link/new", folder, true), ELOOP);
    EXPECT_EQ(openFolderBelow(top.get(), "a/file", folder), ENOTDIR);
    EXPECT_EQ(openFolderBelow(top.get(), "a/b/../b", folder), EINVAL);
    EXPECT_EQ(openFolderBelow(top.get(), "a/missing", folder), ENOENT);
    EXPECT_EQ(openFolderBelow(AT_FDCWD, from_ / "a" / "made" / "deeper", folder, true), 0);
    EXPECT_TRUE(fs::is_directory(from_ / "a" / "made" / "deeper"));
    EXPECT_THAT(namesIn(outside_), UnorderedElementsAre("kept"));
}

TEST_F(FolderWalkTest, ACopyKeepsBytesPermissionsLinksAndFoldersAndMakesNothingElsewhere) {
    fs::create_directories(from_ / "tree" / "locked");
    std::ofstream(from_ / "tree" / "file") << "bytes";
    fs::permissions(from_ / "tree" / "file", fs::perms(0640));
    std::ofstream(from_ / "tree" / "locked" / "inner") << "inner";
    fs::permissions(from_ / "tree" / "locked", fs::perms(0555));
    fs::create_directory_symlink(outside_, from_ / "tree" / "way-out");
    const auto from = opened(from_);
    const auto to = opened(to_);

    EXPECT_EQ(copyItemAt(from.get(), "tree", to.get()), 0);
    EXPECT_EQ(contentsOf(to_ / "tree" / "file"), "bytes");
    EXPECT_EQ(modeOf(to_ / "tree" / "file"), 0640u);
    EXPECT_EQ(modeOf(to_ / "tree" / "locked"), 0555u);
    EXPECT_EQ(contentsOf(to_ / "tree" / "locked" / "inner"), "inner");
    EXPECT_EQ(fs::read_symlink(to_ / "tree" / "way-out"), outside_);
    EXPECT_THAT(namesIn(outside_), UnorderedElementsAre("kept"));
    fs::permissions(from_ / "tree" / "locked", fs::perms(0755));
    fs::permissions(to_ / "tree" / "locked", fs::perms(0755));
}

TEST_F(FolderWalkTest, NothingIsReplacedAndAFailedCopyLeavesNothingBehind) {
    std::ofstream(from_ / "taken") << "new";
    std::ofstream(to_ / "taken") << "old";
    fs::create_directories(from_ / "half" / "a");
    std::ofstream(from_ / "half" / "a" / "file") << "x";
    ASSERT_EQ(::mkfifo((from_ / "half" / "pipe").c_str(), 0600), 0);
    const auto from = opened(from_);
    const auto to = opened(to_);

    EXPECT_EQ(copyItemAt(from.get(), "taken", to.get()), EEXIST);
    EXPECT_EQ(moveItemAt(from.get(), "taken", to.get()), EEXIST);
    EXPECT_EQ(contentsOf(to_ / "taken"), "old");
    EXPECT_EQ(contentsOf(from_ / "taken"), "new");
    EXPECT_EQ(copyItemAt(from.get(), "half", to.get()), ENOTSUP);
    EXPECT_THAT(namesIn(to_), UnorderedElementsAre("taken"));
    EXPECT_EQ(copyItemAt(from.get(), "missing", to.get()), ENOENT);
}

TEST_F(FolderWalkTest, AMoveAndARemovalTakeALinkAsItself) {
    fs::create_directories(from_ / "tree");
    fs::create_directory_symlink(outside_, from_ / "tree" / "way-out");
    fs::create_symlink(outside_ / "kept", from_ / "tree" / "file-link");
    const auto from = opened(from_);
    const auto to = opened(to_);

    EXPECT_EQ(moveItemAt(from.get(), "tree", to.get()), 0);
    EXPECT_FALSE(fs::exists(from_ / "tree"));
    EXPECT_THAT(namesIn(to_), UnorderedElementsAre("tree", "tree/way-out", "tree/file-link"));
    EXPECT_EQ(removeItemAt(to.get(), "tree"), 0);
    EXPECT_TRUE(fs::is_empty(to_));
    EXPECT_THAT(namesIn(outside_), UnorderedElementsAre("kept"));
    EXPECT_EQ(contentsOf(outside_ / "kept"), "outside");
}

} // namespace
} // namespace zestrel::platform
