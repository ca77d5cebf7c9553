#include "platform/data/FileSafety.h"

#include "platform/testing/FileContents.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;
using platform::testing::contentsOf;
using platform::testing::modeOf;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

class FileSafetyTest : public ::testing::Test {
protected:
    FileSafetyTest() : folder_(env_.home() / "folder"), fd_(madeFolder(folder_)) {
        fs::create_directories(env_.home() / "outside");
        std::ofstream(outside()) << "outside";
    }

    static int madeFolder(const fs::path& path) {
        fs::create_directories(path);
        return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }

    fs::path outside() const { return env_.home() / "outside" / "target"; }

    std::optional<FileReplacementFailure> replace(const char* name, std::string_view bytes,
                                                  mode_t newFileMode) {
        return replaceFileAt(fd_.get(), name, std::as_bytes(std::span(bytes)), newFileMode);
    }

    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            found.push_back(entry.path().filename().string());
        }
        return found;
    }

    testing::TestEnvironment env_;
    fs::path folder_;
    FileDescriptor fd_;
};

TEST_F(FileSafetyTest, ANewFileGetsTheGivenModeAndAReplacedOneKeepsItsOwnAndItsLinksBytes) {
    const mode_t before = ::umask(027);
    EXPECT_EQ(replace("new", "new", 0666), std::nullopt);
    EXPECT_EQ(modeOf(folder_ / "new"), 0640u);

    std::ofstream(folder_ / "old") << "old";
    fs::permissions(folder_ / "old", fs::perms(0604));
    fs::create_hard_link(folder_ / "old", env_.home() / "outside" / "hard");
    EXPECT_EQ(replace("old", "replaced", 0600), std::nullopt);
    ::umask(before);
    EXPECT_EQ(modeOf(folder_ / "old"), 0604u);
    EXPECT_EQ(contentsOf(folder_ / "old"), "replaced");
    EXPECT_EQ(contentsOf(env_.home() / "outside" / "hard"), "old");
    EXPECT_THAT(names(), UnorderedElementsAre("new", "old"));
}

TEST_F(FileSafetyTest, ALinkAtTheNameIsReplacedNotWrittenThroughNorItsTargetsModeTaken) {
    fs::permissions(outside(), fs::perms(0604));
    fs::create_symlink(outside(), folder_ / "notes");
    const mode_t before = ::umask(022);
    EXPECT_EQ(replace("notes", "inside", 0600), std::nullopt);
    ::umask(before);
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(folder_ / "notes")));
    EXPECT_EQ(contentsOf(folder_ / "notes"), "inside");
    EXPECT_EQ(modeOf(folder_ / "notes"), 0600u);
    EXPECT_EQ(contentsOf(outside()), "outside");
}

TEST_F(FileSafetyTest, AFailedReplacementLeavesNothingBesideAndSaysWhy) {
    fs::create_directory(folder_ / "taken");
    const auto failure = replace("taken", "bytes", 0600);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->error, EISDIR);
    EXPECT_THAT(names(), UnorderedElementsAre("taken"));
    EXPECT_TRUE(fs::is_empty(folder_ / "taken"));

    // The path form says which file and why, and leaves the cause in errno for its callers.
    const auto text = writeFileAtomically(folder_ / "taken", Data{1});
    const int error = errno;
    EXPECT_THAT(text.value_or(""), HasSubstr(folder_.string() + "/.zestrel-write-"));
    EXPECT_THAT(text.value_or(""), HasSubstr(": Is a directory"));
    EXPECT_EQ(error, EISDIR);
    EXPECT_THAT(names(), UnorderedElementsAre("taken"));
}

TEST_F(FileSafetyTest, OnlyTheTemporariesAWriteOfTheNameMakesGoAsStale) {
    const std::string dead = temporaryNameFor("notes");
    const std::string alsoDead = temporaryNameFor("notes");
    const std::string ofA = temporaryNameFor("a");
    std::string capitals = dead;
    std::transform(
        capitals.begin() + static_cast<std::ptrdiff_t>(capitals.rfind('-') + 1), capitals.end(),
        capitals.begin() + static_cast<std::ptrdiff_t>(capitals.rfind('-') + 1), ::toupper);
    std::string broken = dead;
    broken.back() = broken.back() == '0' ? '1' : '0';
    const std::string linked = temporaryNameFor("notes");
    const std::string folder = temporaryNameFor("notes");
    // What a person may have named so, or no write of "notes" or "a" leaves.
    const std::vector<std::string> kept = {".notes.Ab12Cd",
                                           ".notes.backup",
                                           ".notes.Draft1",
                                           ".notes.ab-cd!",
                                           ".a.ab-cd!",
                                           ".a.backup",
                                           ".a.123456",
                                           "notes.Ab12Cd",
                                           ".zestrel-write-notes",
                                           temporaryNameFor("notes.txt"),
                                           temporaryNameFor(".notes"),
                                           capitals,
                                           broken,
                                           dead.substr(0, dead.size() - 1),
                                           dead + "0",
                                           ofA + "a"};
    for (const auto& name : kept) {
        std::ofstream(folder_ / name) << "a person's";
    }
    for (const auto& name : {dead, alsoDead, ofA}) {
        std::ofstream(folder_ / name) << "half written";
    }
    fs::create_symlink(outside(), folder_ / linked);
    fs::create_directory(folder_ / folder);

    removeStaleTemporaryFilesAt(fd_.get(), "notes");
    removeStaleTemporaryFilesAt(fd_.get(), "a");
    auto left = kept;
    left.push_back(linked);
    left.push_back(folder);
    EXPECT_THAT(names(), UnorderedElementsAreArray(left));
    EXPECT_EQ(contentsOf(outside()), "outside");
}

TEST_F(FileSafetyTest, ANameAsLongAsTheFileSystemTakesIsReplacedWithAShortTemporary) {
    const std::string longest(255, 'n');
    EXPECT_EQ(temporaryNameFor(longest).size(), temporaryNameFor("n").size());
    for (const std::string& name : {std::string(248, 'n'), longest}) {
        EXPECT_EQ(replace(name.c_str(), "first", 0600), std::nullopt) << name.size();
        EXPECT_EQ(replace(name.c_str(), "second", 0600), std::nullopt) << name.size();
        EXPECT_EQ(contentsOf(folder_ / name), "second");
    }
    EXPECT_EQ(names().size(), 2u);
}

} // namespace
} // namespace zestrel::platform
