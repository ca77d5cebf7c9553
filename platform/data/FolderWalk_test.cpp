#include "platform/data/FolderWalk.h"

#include "platform/testing/CannotRunHere.h"
#include "platform/testing/FileContents.h"
#include "platform/testing/ForeignFileSystemFolder.h"
#include "platform/testing/TestEnvironment.h"
#include "platform/testing/Unprivileged.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;
using platform::testing::cannotRunHere;
using platform::testing::contentsOf;
using platform::testing::ForeignFileSystemFolder;
using platform::testing::modeOf;
using platform::testing::runUnprivileged;
using ::testing::UnorderedElementsAre;

// Bytes that a copy that stopped early, or wrote a piece twice, does not give back.
std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u;
    for (auto& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state);
    }
    return bytes;
}

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

    // The two folders `first` and `second` made in `folder`, in the order a listing gives them,
    // which is the order a copy comes to them.
    static std::pair<fs::path, fs::path> twoFoldersIn(const fs::path& folder) {
        fs::create_directories(folder / "first");
        fs::create_directories(folder / "second");
        std::vector<FolderEntry> entries;
        EXPECT_EQ(listFolder(opened(folder).get(), entries), 0);
        for (const auto& entry : entries) {
            if (entry.name == "first" || entry.name == "second") {
                const auto other = entry.name == "first" ? "second" : "first";
                return {folder / entry.name, folder / other};
            }
        }
        return {};
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

    EXPECT_EQ(copyItemAt(from.get(), "tree", to.get()).error, 0);
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

    EXPECT_EQ(copyItemAt(from.get(), "taken", to.get()).error, EEXIST);
    EXPECT_EQ(moveItemAt(from.get(), "taken", to.get()).error, EEXIST);
    EXPECT_EQ(contentsOf(to_ / "taken"), "old");
    EXPECT_EQ(contentsOf(from_ / "taken"), "new");
    EXPECT_EQ(copyItemAt(from.get(), "half", to.get()).error, ENOTSUP);
    EXPECT_THAT(namesIn(to_), UnorderedElementsAre("taken"));
    EXPECT_EQ(copyItemAt(from.get(), "missing", to.get()).error, ENOENT);
}

TEST_F(FolderWalkTest, ACopyAndAMoveKeepEveryByteOfLargeFiles) {
    const ForeignFileSystemFolder foreign(to_);
    const auto from = opened(from_);
    const auto to = opened(to_);
    const auto elsewhere = opened(foreign.path());
    for (const std::size_t size : {65535u, 65536u, 65537u, 3u * 1024 * 1024 + 7}) {
        const auto name = "file-" + std::to_string(size);
        const auto bytes = patterned(size);
        std::ofstream(from_ / name, std::ios::binary) << bytes;
        EXPECT_EQ(copyItemAt(from.get(), name, to.get()).error, 0);
        // Compared, not printed.
        EXPECT_TRUE(contentsOf(to_ / name) == bytes) << size;
        if (!foreign.path().empty()) {
            EXPECT_EQ(moveItemAt(from.get(), name, elsewhere.get()).error, 0);
            EXPECT_TRUE(contentsOf(foreign.path() / name) == bytes) << size;
            EXPECT_FALSE(fs::exists(from_ / name)) << size;
        }
    }
    if (foreign.path().empty()) {
        cannotRunHere("no second file system: the moves cannot run");
    }
}

// A user whom permission bits bind meets a folder it may not open after a read-only folder of
// its copy is complete.
TEST_F(FolderWalkTest, AFailedCopyOrMoveRemovesAllItMadeItsReadOnlyFoldersToo) {
    const ForeignFileSystemFolder foreign(from_);
    runUnprivileged([&](const fs::path& user) {
        const auto box = user / "box";
        const auto [done, refused] = twoFoldersIn(box);
        std::ofstream(done / "inner") << "inner";
        for (int i = 0; i < 6; ++i) {
            std::ofstream(box / ("file" + std::to_string(i))) << "six";
        }
        fs::permissions(done, fs::perms(0555));
        fs::permissions(refused, fs::perms(0));
        fs::create_directory(user / "to");
        const auto from = opened(user);
        const auto to = opened(user / "to");

        const auto copy = copyItemAt(from.get(), "box", to.get());
        EXPECT_EQ(copy.error, EACCES);
        EXPECT_EQ(copy.cleanupError, 0);
        EXPECT_TRUE(fs::is_empty(user / "to"));
        if (!foreign.path().empty()) {
            const auto move = moveItemAt(from.get(), "box", opened(foreign.path()).get());
            EXPECT_EQ(move.error, EACCES);
            EXPECT_EQ(move.cleanupError, 0);
            EXPECT_TRUE(fs::is_empty(foreign.path()));
            EXPECT_EQ(contentsOf(done / "inner"), "inner");
        }
    });
    if (foreign.path().empty()) {
        cannotRunHere("no second file system: the move cannot run");
    }
}

// The right to look at a folder's entries is taken away and given back, again and again, while
// it is listed and copied: each listing or copy fails, or holds every entry.
TEST_F(FolderWalkTest, AListingOrACopyThatSucceedsHoldsEveryEntry) {
    constexpr std::size_t kEntries = 50;
    runUnprivileged([&](const fs::path& user) {
        const auto flipping = user / "box" / "flipping";
        fs::create_directories(flipping);
        for (std::size_t i = 0; i < kEntries; ++i) {
            std::ofstream(flipping / std::to_string(i)) << "x";
        }
        fs::create_directory(user / "to");
        std::atomic<bool> done{false};
        // Closed for a moment now and then, so that some listings and copies succeed.
        std::thread flipper([&] {
            for (int turn = 0; !done; ++turn) {
                ::chmod(flipping.c_str(), turn % 100 == 0 ? 0644 : 0755);
            }
            ::chmod(flipping.c_str(), 0755);
        });
        const auto from = opened(user);
        const auto to = opened(user / "to");
        for (int round = 0; round < 50 && !::testing::Test::HasFailure(); ++round) {
            std::vector<FolderEntry> entries;
            const auto folder = opened(user / "box");
            FileDescriptor inner(::openat(folder.get(), "flipping", O_RDONLY | O_DIRECTORY));
            if (inner.get() >= 0 && listFolder(inner.get(), entries) == 0) {
                EXPECT_EQ(entries.size(), kEntries);
            }
            if (copyItemAt(from.get(), "box", to.get()).error == 0) {
                ::chmod((user / "to" / "box" / "flipping").c_str(), 0755);
                EXPECT_EQ(namesIn(user / "to" / "box" / "flipping").size(), kEntries);
                EXPECT_EQ(removeItemAt(to.get(), "box"), 0);
            }
            EXPECT_TRUE(fs::is_empty(user / "to"));
        }
        done = true;
        flipper.join();
    });
}

// Another file system: a move copies, then removes at the source only what it copied.
TEST_F(FolderWalkTest, AMoveOntoAnotherFileSystemRemovesOnlyWhatItCopied) {
    const ForeignFileSystemFolder foreign(from_);
    if (foreign.path().empty()) {
        return cannotRunHere("no second file system to move onto");
    }
    // What comes into the source while it moves is not the move's: it stays there.
    fs::create_directories(from_ / "tree" / "busy");
    for (int i = 0; i < 500; ++i) {
        std::ofstream(from_ / "tree" / "busy" / ("old" + std::to_string(i))) << "old";
    }
    std::atomic<bool> done{false};
    std::vector<std::string> added;
    std::thread adder([&] {
        for (int i = 0; !done; ++i) {
            const auto name = "new" + std::to_string(i);
            if (std::ofstream(from_ / "tree" / "busy" / name) << "new") {
                added.push_back(name);
            }
        }
    });
    const auto move = moveItemAt(opened(from_).get(), "tree", opened(foreign.path()).get());
    done = true;
    adder.join();
    EXPECT_EQ(move.error, 0);
    const auto lost = std::count_if(added.begin(), added.end(), [&](const std::string& name) {
        return !fs::exists(from_ / "tree" / "busy" / name) &&
               !fs::exists(foreign.path() / "tree" / "busy" / name);
    });
    EXPECT_EQ(lost, 0) << "of " << added.size() << " items that came during the move";
}

TEST_F(FolderWalkTest, AMoveAndARemovalTakeALinkAsItself) {
    fs::create_directories(from_ / "tree");
    fs::create_directory_symlink(outside_, from_ / "tree" / "way-out");
    fs::create_symlink(outside_ / "kept", from_ / "tree" / "file-link");
    const auto from = opened(from_);
    const auto to = opened(to_);

    EXPECT_EQ(moveItemAt(from.get(), "tree", to.get()).error, 0);
    EXPECT_FALSE(fs::exists(from_ / "tree"));
    EXPECT_THAT(namesIn(to_), UnorderedElementsAre("tree", "tree/way-out", "tree/file-link"));
    EXPECT_EQ(removeItemAt(to.get(), "tree"), 0);
    EXPECT_TRUE(fs::is_empty(to_));
    EXPECT_THAT(namesIn(outside_), UnorderedElementsAre("kept"));
    EXPECT_EQ(contentsOf(outside_ / "kept"), "outside");
}

} // namespace
} // namespace zestrel::platform
