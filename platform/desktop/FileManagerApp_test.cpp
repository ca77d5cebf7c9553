#include "platform/desktop/FileManagerApp.h"

#include "platform/desktop/NSPasteboard.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/CannotRunHere.h"
#include "platform/testing/DesktopEnvironment.h"
#include "platform/testing/ForeignFileSystemFolder.h"
#include "platform/testing/Unprivileged.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <linux/fs.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::cannotRunHere;
using testing::DesktopEnvironment;
using testing::ForeignFileSystemFolder;
using testing::kVKC;
using testing::kVKV;
using testing::kVKX;
using testing::runUnprivileged;

constexpr auto kCommand = NSEvent::ModifierFlags::command;
constexpr auto kOption = NSEvent::ModifierFlags::option;

// An item's own modification time, to the nanosecond.
std::pair<std::time_t, long> modifiedTimeOf(const fs::path& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return {status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

class FileManagerTest : public ::testing::Test {
protected:
    FileManagerTest() {
        source = env.makeFolder("Source");
        target = env.makeFolder("Target");
        env.writeFile(source / "a.txt", "alpha");
        env.writeFile(source / "Folder" / "inner.txt", "inner");
        finder = env.finder();
        finder->openFolder(source);
        pasteboard = NSPasteboard::general();
    }

    // Command+C on the selection, with the copy given its time.
    void copy(const std::shared_ptr<FileManagerApplication>& app, std::vector<std::string> names) {
        app->openFolder(source);
        app->select(names);
        env.press(*app, kVKC, kCommand, "c");
        env.advance(app->copyLatency());
    }

    using Times = std::map<fs::path, std::pair<std::time_t, long>>;

    // The named items of `source` and all in them, links as themselves, each given a
    // modification time of its own in 2001: their times as read back (hard links share the
    // last), by path below `source`.
    Times aged(const std::vector<std::string>& names) const {
        Times times;
        for (const auto& name : names) {
            times[name];
            if (fs::is_directory(fs::symlink_status(source / name))) {
                for (const auto& entry : fs::recursive_directory_iterator(source / name)) {
                    times[entry.path().lexically_relative(source)];
                }
            }
        }
        long n = 0;
        for (const auto& [item, unset] : times) {
            const timespec set[] = {{0, UTIME_OMIT}, {981173106 + n, 123456789 - n}};
            EXPECT_EQ(::utimensat(AT_FDCWD, (source / item).c_str(), set, AT_SYMLINK_NOFOLLOW), 0)
                << item;
            ++n;
        }
        for (auto& [item, time] : times) {
            time = modifiedTimeOf(source / item);
        }
        return times;
    }

    static void expectTimesKept(const Times& times, const fs::path& in) {
        for (const auto& [item, was] : times) {
            EXPECT_EQ(modifiedTimeOf(in / item), was) << item;
        }
    }

    DesktopEnvironment env;
    fs::path source;
    fs::path target;
    std::shared_ptr<FileManagerApplication> finder;
    std::shared_ptr<NSPasteboard> pasteboard;
};

TEST_F(FileManagerTest, CommandCPutsTheSelectionOnThePasteboardAfterTheLatency) {
    finder->select({"a.txt", "Folder"});
    const auto count = pasteboard->changeCount();
    env.press(*finder, kVKC, kCommand, "c");

    env.advance(49ms);
    EXPECT_EQ(pasteboard->changeCount(), count);
    env.advance(1ms);
    EXPECT_EQ(pasteboard->changeCount(), count + 1);
    EXPECT_EQ(pasteboard->readFileURLs(),
              (std::vector<URL>{URL::fileURL((source / "a.txt").string()),
                                URL::fileURL((source / "Folder").string(), true)}));
    EXPECT_EQ(pasteboard->types(),
              (std::vector<NSPasteboardType>{NSPasteboardType::fileURL, NSPasteboardType::string}));
    EXPECT_EQ(finder->receivedEvents(), (std::vector<ReceivedKeyEvent>{{kVKC, kCommand, "c"}}));
}

TEST_F(FileManagerTest, TheCopyLatencyCanBeChanged) {
    finder->setCopyLatency(300ms);
    finder->select({"a.txt"});
    const auto count = pasteboard->changeCount();
    env.press(*finder, kVKC, kCommand | NSEvent::ModifierFlags::capsLock, "c");
    env.advance(299ms);
    EXPECT_EQ(pasteboard->changeCount(), count);
    env.advance(1ms);
    EXPECT_EQ(pasteboard->changeCount(), count + 1);
}

TEST_F(FileManagerTest, NothingSelectedOrAnotherChordLeavesThePasteboardAlone) {
    const auto count = pasteboard->changeCount();
    env.press(*finder, kVKC, kCommand, "c"); // nothing selected
    finder->select({"a.txt"});
    env.press(*finder, kVKC, kCommand | NSEvent::ModifierFlags::shift, "C");
    env.press(*finder, kVKX, kCommand, "x");
    env.press(*finder, kVKC, {}, "c");
    env.advance(1s);
    EXPECT_EQ(pasteboard->changeCount(), count);
    EXPECT_EQ(finder->receivedEvents().size(), 4u);
    EXPECT_EQ(finder->receivedEvents()[2], (ReceivedKeyEvent{kVKX, kCommand, "x"}));
    EXPECT_TRUE(fs::exists(source / "a.txt")); // Command+X is only recorded
}

TEST_F(FileManagerTest, ACopyLeavesOutWhatWentAndCopiesNothingFromAFolderItCannotOpen) {
    finder->select({"a.txt", "Folder"});
    fs::remove(source / "a.txt");
    finder->copySelection();
    env.advance(finder->copyLatency());
    EXPECT_EQ(pasteboard->readFileURLs(),
              (std::vector<URL>{URL::fileURL((source / "Folder").string(), true)}));
    ASSERT_EQ(env.desktop().logLines().size(), 1u);
    EXPECT_EQ(env.desktop().logLines()[0],
              "Finder: did not copy “" + (source / "a.txt").string() + "”: it no longer exists");

    // The folder shown, swapped for a link: a folder's URL would lose its slash.
    fs::rename(source, target / "Moved");
    fs::create_directory_symlink(target / "Moved", source);
    const auto count = pasteboard->changeCount();
    finder->copySelection();
    env.advance(finder->copyLatency());
    EXPECT_EQ(pasteboard->changeCount(), count);
    EXPECT_EQ(env.desktop().logLines().back(), "Finder: did not copy from “" + source.string() +
                                                   "”: a symbolic link stands in its way");
}

// A user whom permission bits bind: a folder it may read but not search cannot be listed, and
// what was selected in it is not copied as if it had gone.
TEST_F(FileManagerTest, SelectingAllFailsWhereTheItemsCannotBeLookedAt) {
    runUnprivileged([&](const fs::path& user) {
        fs::create_directory(user / "blind");
        std::ofstream(user / "blind" / "unseen") << "unseen";
        finder->openFolder(user / "blind");
        finder->select({"unseen"});
        fs::permissions(user / "blind", fs::perms(0444));
        EXPECT_THROW(finder->selectAll(), Error);
        EXPECT_EQ(finder->selection(), (std::vector<fs::path>{user / "blind" / "unseen"}));
        finder->copySelection();
        EXPECT_EQ(
            env.desktop().logLines(),
            (std::vector<std::string>{"Finder: did not copy from “" + (user / "blind").string() +
                                      "”: “unseen” cannot be examined: Permission denied"}));
    });
}

TEST_F(FileManagerTest, AMoveOntoAnotherFileSystemNamesWhatStayedWhereItWas) {
    const ForeignFileSystemFolder foreign(source);
    if (foreign.path().empty()) {
        return cannotRunHere("no second file system to move onto");
    }
    runUnprivileged([&](const fs::path& user) {
        fs::create_directories(user / "box" / "locked");
        std::ofstream(user / "box" / "locked" / "kept") << "kept";
        std::ofstream(user / "box" / "moved") << "moved";
        fs::permissions(user / "box" / "locked", fs::perms(0555));
        finder->openFolder(user);
        finder->select({"box"});
        finder->copySelection();
        env.advance(finder->copyLatency());
        finder->openFolder(foreign.path());
        finder->paste(true);
        EXPECT_EQ(DesktopEnvironment::readFile(foreign.path() / "box" / "locked" / "kept"), "kept");
        EXPECT_FALSE(fs::exists(user / "box" / "moved"));
        EXPECT_EQ(finder->selection(), (std::vector<fs::path>{foreign.path() / "box"}));
        ASSERT_EQ(env.desktop().logLines().size(), 1u);
        EXPECT_EQ(env.desktop().logLines()[0],
                  "Finder: moved “" + (user / "box").string() +
                      "” only in part: all of it was copied, but “" +
                      (user / "box" / "locked" / "kept").string() +
                      "” could not be removed where it was: Permission denied");
    });
}

// What is changed at the source while a move onto another file system runs is not lost: it
// stays there, with the folders that hold it, and its copy holds it as it was read, its times
// too.
TEST_F(FileManagerTest, AMoveOntoAnotherFileSystemLeavesWhatChangedMeanwhileWhereItWas) {
    const ForeignFileSystemFolder foreign(source);
    if (foreign.path().empty()) {
        return cannotRunHere("no second file system to move onto");
    }
    // Each file, what is done to it after the copy, within the same second and with its times
    // then put back to the nanosecond (as `touch -r` does), and what it then holds at its
    // source: nothing where it was moved.
    struct Row {
        fs::path file;
        std::string text;
        std::function<void(const fs::path&)> change;
        std::string stays;
    };
    const std::vector<Row> rows{
        {"inner/rewritten", "alpha", [](const fs::path& f) { std::ofstream(f) << "ALPHA"; },
         "ALPHA"},
        {"inner/remade", "alpha", // its number is often given again to the file made next
         [](const fs::path& f) {
             fs::remove(f);
             std::ofstream(f) << "ALPHA";
         },
         "ALPHA"},
        {"saved", "alpha", // written beside and renamed onto it, as editors save
         [](const fs::path& f) {
             std::ofstream(f.string() + "~") << "ALPHA";
             fs::rename(f.string() + "~", f);
         },
         "ALPHA"},
        {"grown", "one\n", [](const fs::path& f) { std::ofstream(f, std::ios::app) << "two\n"; },
         "one\ntwo\n"},
        {"inner/kept", "kept", nullptr, ""},
        // Two links of one file: the move's own removal of the first changes the other's status.
        {"linked", "linked", nullptr, ""},
        {"inner/linked-too", "linked", nullptr, ""},
    };
    const auto box = source / "box";
    for (const auto& row : rows) {
        env.writeFile(box / row.file, row.text);
    }
    fs::remove(box / "inner" / "linked-too");
    fs::create_hard_link(box / "linked", box / "inner" / "linked-too");
    fs::create_symlink("../saved", box / "inner" / "link");
    const auto times = aged({"box"});
    copy(finder, {"box"});
    finder->openFolder(foreign.path());
    finder->setMoveCopiedHook([&] {
        for (const auto& row : rows) {
            const auto file = box / row.file;
            struct stat was {};
            if (row.change && ::stat(file.c_str(), &was) == 0) {
                row.change(file);
                const timespec times[] = {was.st_atim, was.st_mtim};
                EXPECT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << row.file;
            }
        }
    });
    finder->paste(true);
    expectTimesKept(times, foreign.path());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.string());
        EXPECT_EQ(DesktopEnvironment::readFile(foreign.path() / "box" / row.file), row.text);
        if (row.stays.empty()) {
            EXPECT_FALSE(fs::exists(box / row.file));
        } else {
            EXPECT_EQ(DesktopEnvironment::readFile(box / row.file), row.stays);
        }
    }
    EXPECT_EQ(env.desktop().logLines(),
              std::vector<std::string>{
                  "Finder: moved “" + box.string() +
                  "” only in part: what changed during the move stayed where it was, and its "
                  "copy holds it as it was before: “" +
                  (box / "grown").string() + "”, “" + (box / "inner" / "remade").string() + "”, “" +
                  (box / "inner" / "rewritten").string() + "”, “" + (box / "saved").string() +
                  "”"});
}

// While held, names can be added to the folder and none removed (the append-only attribute,
// which only root may set, on a file system that has it).
class AppendOnly {
public:
    explicit AppendOnly(const fs::path& folder)
        : folder_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        held_ = set(true);
    }
    ~AppendOnly() {
        if (held_) {
            set(false);
        }
    }
    AppendOnly(const AppendOnly&) = delete;
    AppendOnly& operator=(const AppendOnly&) = delete;
    bool held() const { return held_; }

private:
    bool set(bool on) {
        int flags = 0;
        if (folder_.get() < 0 || ::ioctl(folder_.get(), FS_IOC_GETFLAGS, &flags) != 0) {
            return false;
        }
        flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
        return ::ioctl(folder_.get(), FS_IOC_SETFLAGS, &flags) == 0;
    }

    FileDescriptor folder_;
    bool held_ = false;
};

TEST_F(FileManagerTest, AFailedCopySaysWhatItCouldNotRemoveOfWhatItMade) {
    env.writeFile(source / "box" / "file", "file");
    ASSERT_EQ(::mkfifo((source / "box" / "pipe").c_str(), 0600), 0);
    copy(finder, {"box"});
    finder->openFolder(target);
    const AppendOnly appendOnly(target);
    if (!appendOnly.held()) {
        return cannotRunHere("the target folder cannot be made append-only here");
    }
    env.press(*finder, kVKV, kCommand, "v");
    ASSERT_EQ(env.desktop().logLines().size(), 1u);
    EXPECT_EQ(env.desktop().logLines()[0],
              "Finder: did not copy “" + (source / "box").string() +
                  "”: Operation not supported, and what it had made of “" +
                  (target / "box").string() +
                  "” could not all be removed: Operation not permitted");
    EXPECT_TRUE(fs::is_empty(target / "box"));
}

TEST_F(FileManagerTest, CommandVCopiesFilesAndFoldersIntoTheCurrentFolder) {
    fs::create_directory(source / "Folder" / "Sub");
    fs::create_symlink("inner.txt", source / "Folder" / "link");
    const auto times = aged({"a.txt", "Folder"});
    copy(finder, {"a.txt", "Folder"});
    finder->openFolder(target);
    env.press(*finder, kVKV, kCommand, "v");
    expectTimesKept(times, target);
    EXPECT_EQ(DesktopEnvironment::readFile(target / "a.txt"), "alpha");
    EXPECT_EQ(DesktopEnvironment::readFile(target / "Folder" / "inner.txt"), "inner");
    EXPECT_TRUE(fs::exists(source / "a.txt"));
    EXPECT_TRUE(fs::exists(source / "Folder" / "inner.txt"));
    EXPECT_EQ(finder->selection(), (std::vector<fs::path>{target / "a.txt", target / "Folder"}));
}

TEST_F(FileManagerTest, CommandOptionVMovesThem) {
    copy(finder, {"a.txt", "Folder"});
    finder->openFolder(target);
    env.press(*finder, kVKV, kCommand | kOption, "v");
    EXPECT_EQ(DesktopEnvironment::readFile(target / "a.txt"), "alpha");
    EXPECT_EQ(DesktopEnvironment::readFile(target / "Folder" / "inner.txt"), "inner");
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_FALSE(fs::exists(source / "Folder"));
}

TEST_F(FileManagerTest, ANameClashSkipsThatItemAndIsLogged) {
    env.writeFile(target / "a.txt", "already here");
    copy(finder, {"a.txt", "Folder"});
    finder->openFolder(target);
    env.press(*finder, kVKV, kCommand | kOption, "v");
    EXPECT_EQ(DesktopEnvironment::readFile(target / "a.txt"), "already here");
    EXPECT_EQ(DesktopEnvironment::readFile(source / "a.txt"), "alpha");
    EXPECT_TRUE(fs::exists(target / "Folder" / "inner.txt"));
    ASSERT_EQ(env.desktop().logLines().size(), 1u);
    EXPECT_EQ(env.desktop().logLines()[0],
              "Finder: did not paste “a.txt”: an item with that name already exists in “" +
                  target.string() + "”");

    // Pasting into the folder the items came from clashes with the items themselves; the
    // folder that was moved away is missing.
    finder->openFolder(source);
    env.press(*finder, kVKV, kCommand, "v");
    EXPECT_EQ(DesktopEnvironment::readFile(source / "a.txt"), "alpha");
    ASSERT_EQ(env.desktop().logLines().size(), 3u);
    EXPECT_EQ(env.desktop().logLines()[1],
              "Finder: did not paste “a.txt”: an item with that name already exists in “" +
                  source.string() + "”");
    EXPECT_EQ(env.desktop().logLines()[2],
              "Finder: did not paste “" + (source / "Folder").string() + "”: it no longer exists");
}

TEST_F(FileManagerTest, AFolderIsNeverPastedInsideItself) {
    copy(finder, {"Folder"});
    finder->openFolder(source / "Folder");
    env.press(*finder, kVKV, kCommand, "v");
    EXPECT_FALSE(fs::exists(source / "Folder" / "Folder"));
    EXPECT_EQ(env.desktop().logLines().size(), 1u);
}

// The check compares where things really are: through a link the folder is its own child.
TEST_F(FileManagerTest, AFolderIsNeverPastedInsideItselfThroughALink) {
    fs::create_directory_symlink(source / "Folder", target / "way-in");
    for (const auto chord : {kCommand, kCommand | kOption}) {
        copy(finder, {"Folder"});
        finder->openFolder(target / "way-in");
        env.press(*finder, kVKV, chord, "v");
        EXPECT_FALSE(fs::exists(source / "Folder" / "Folder"));
        EXPECT_EQ(DesktopEnvironment::readFile(source / "Folder" / "inner.txt"), "inner");
    }
    ASSERT_EQ(env.desktop().logLines().size(), 2u);
    EXPECT_EQ(env.desktop().logLines()[0],
              "Finder: did not paste “Folder”: a folder cannot go inside itself");

    // A link to the folder is only a link: it may go inside what it points to.
    fs::create_directory_symlink(source / "Folder", source / "link");
    copy(finder, {"link"});
    finder->openFolder(source / "Folder");
    env.press(*finder, kVKV, kCommand, "v");
    EXPECT_TRUE(fs::is_symlink(source / "Folder" / "link"));
}

TEST_F(FileManagerTest, SelectTakesOnlyNamesOfTheCurrentFolder) {
    finder->select({"a.txt"});
    for (const char* name : {"../Target", "/etc", "Folder/inner.txt", ".", "..", "", "Folder"}) {
        EXPECT_THROW(finder->select({"Folder", name}), Error) << name;
    }
    EXPECT_EQ(finder->selection(), (std::vector<fs::path>{source / "a.txt"}));
}

TEST(RealPathTest, ResolvesEveryLinkAlongThePath) {
    DesktopEnvironment env;
    const auto home = fs::canonical(env.home());
    const auto inside = env.makeFolder("inside");
    env.makeFolder("outside/deep");
    fs::create_directory_symlink(home / "outside" / "deep", inside / "deep-link");
    fs::create_symlink("../nowhere.txt", inside / "dangling");
    fs::create_symlink("loop-b", inside / "loop-a");
    fs::create_symlink("loop-a", inside / "loop-b");

    EXPECT_EQ(realPath(inside / "deep-link" / ".." / "x"), home / "outside" / "x");
    EXPECT_EQ(realPath(inside / "dangling"), home / "nowhere.txt");
    EXPECT_EQ(realPath(inside / "not-yet" / ".." / ".." / "x"), home / "x");
    EXPECT_EQ(realPath(inside / "." / "new" / ""), inside / "new");
    EXPECT_THROW(realPath(inside / "loop-a"), Error);
    EXPECT_THROW(realPath(std::string("/tmp/a\0b", 8)), Error);

    EXPECT_TRUE(isWithin(inside / "a", inside));
    EXPECT_TRUE(isWithin(inside, inside));
    EXPECT_FALSE(isWithin(home / "inside2", inside));
    EXPECT_FALSE(isWithin(home, inside));
}

// A confined file manager: the source folder is its whole world.
class ConfinedFileManagerTest : public FileManagerTest {
protected:
    ConfinedFileManagerTest() {
        outsideFile = env.writeFile(target / "private.txt", "keep me");
        finder->confine(source);
    }
    fs::path outsideFile;
};

TEST_F(ConfinedFileManagerTest, StartsInItsFolderAndStaysThere) {
    EXPECT_EQ(finder->currentFolder(), fs::canonical(source));
    EXPECT_EQ(env.desktop().windowServer().window(finder->browserWindow())->name, "Source");
    fs::create_directory_symlink(target, source / "way-out");
    EXPECT_THROW(finder->openFolder(target), Error);
    EXPECT_THROW(finder->openFolder(source / "way-out"), Error);
    EXPECT_THROW(finder->openFolder(source / ".."), Error);
    EXPECT_EQ(finder->currentFolder(), fs::canonical(source));
    finder->openFolder(source / "Folder");
}

TEST_F(ConfinedFileManagerTest, SelectsNothingThatLeadsOutside) {
    fs::create_symlink(outsideFile, source / "private-link");
    EXPECT_THROW(finder->select({"private-link"}), Error);
    EXPECT_THROW(finder->select({"../Target"}), Error);
    EXPECT_TRUE(finder->selection().empty());
}

TEST_F(ConfinedFileManagerTest, PastesNothingFromOutside) {
    auto forkLift = env.launch<FileManagerApplication>(kForkLiftBundleIdentifier, true);
    forkLift->openFolder(target);
    forkLift->select({"private.txt"});
    env.press(*forkLift, kVKC, kCommand, "c");
    env.advance(forkLift->copyLatency());
    ASSERT_EQ(pasteboard->readFileURLs().size(), 1u);

    env.desktop().activate(
        env.desktop().runningApplications(kFinderBundleIdentifier)[0]->processIdentifier());
    env.press(*finder, kVKV, kCommand | kOption, "v");
    EXPECT_EQ(DesktopEnvironment::readFile(outsideFile), "keep me");
    EXPECT_FALSE(fs::exists(source / "private.txt"));
    ASSERT_EQ(env.desktop().logLines().size(), 1u);
    EXPECT_EQ(env.desktop().logLines()[0],
              "Finder: did not paste “private.txt”: it lies outside “" +
                  fs::canonical(source).string() + "”");
}

TEST_F(ConfinedFileManagerTest, AFolderSwappedForALinkSinceItWasShownIsNotWorkedIn) {
    const auto elsewhere = env.makeFolder("Elsewhere");
    env.writeFile(elsewhere / "private.txt", "private");
    fs::create_directory(source / "Shown");
    finder->openFolder(source / "Shown");
    fs::rename(source / "Shown", source / "Moved");
    fs::create_directory_symlink(elsewhere, source / "Shown");

    EXPECT_THROW(finder->selectAll(), Error);
    EXPECT_THROW(finder->select({"private.txt"}), Error);
    auto item = std::make_shared<NSPasteboardItem>();
    item->setString(URL::fileURL((source / "a.txt").string()).absoluteString(),
                    NSPasteboardType::fileURL);
    pasteboard->clearContents();
    pasteboard->writeObjects({item});
    finder->paste(false);
    finder->paste(true);
    EXPECT_TRUE(fs::exists(source / "a.txt"));
    EXPECT_TRUE(fs::is_empty(source / "Moved"));
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
    ASSERT_FALSE(env.desktop().logLines().empty());
    EXPECT_EQ(env.desktop().logLines().back(), "Finder: did not paste into “" +
                                                   (fs::canonical(source) / "Shown").string() +
                                                   "”: a symbolic link stands in its way");
}

// Another process swaps the folder pasted into for a link to outside and back, again and
// again, while many files are moved or copied into it: none may land where the link leads.
TEST_F(ConfinedFileManagerTest, APasteNeverLandsThroughALinkSwappedInForItsFolder) {
    const auto elsewhere = env.makeFolder("Elsewhere");
    const auto into = source / "Into";
    const auto aside = source / "Aside";
    fs::create_directory(into);
    fs::create_directory_symlink(elsewhere, aside);
    const auto exchange = [&] {
        return ::renameat2(AT_FDCWD, into.c_str(), AT_FDCWD, aside.c_str(), RENAME_EXCHANGE);
    };
    ASSERT_EQ(exchange(), 0) << "the file system swaps no names";
    for (int round = 0; round < 10; ++round) {
        const auto files = source / ("Files" + std::to_string(round));
        std::vector<std::string> names;
        for (int i = 0; i < 50; ++i) {
            names.push_back("f" + std::to_string(round) + "-" + std::to_string(i));
            env.writeFile(files / names.back(), "x");
        }
        finder->openFolder(files);
        finder->select(names);
        finder->copySelection();
        env.advance(finder->copyLatency());
        if (fs::is_symlink(into)) {
            exchange();
        }
        finder->openFolder(into);
        std::atomic<bool> done{false};
        std::atomic<int> swaps{0};
        std::thread swapper([&] {
            while (!done) {
                exchange();
                ++swaps;
            }
        });
        while (swaps < 1) {
            std::this_thread::yield();
        }
        finder->paste(/*move=*/round % 2 == 0);
        done = true;
        swapper.join();
    }
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST_F(FileManagerTest, BothForkLiftEditionsAreFileManagers) {
    for (const char* id : {kForkLiftBundleIdentifier, kForkLiftSetappBundleIdentifier}) {
        auto forkLift = env.launch<FileManagerApplication>(id, true);
        ASSERT_NE(forkLift, nullptr) << id;
        copy(forkLift, {"a.txt"});
        forkLift->openFolder(target);
        env.press(*forkLift, kVKV, kCommand | kOption, "v");
        EXPECT_TRUE(fs::exists(target / "a.txt")) << id;
        fs::rename(target / "a.txt", source / "a.txt");
    }
}

TEST_F(FileManagerTest, ACopyPendingWhenTheFileManagerQuitsIsLost) {
    finder->select({"a.txt"});
    const auto count = pasteboard->changeCount();
    env.press(*finder, kVKC, kCommand, "c");
    NSWorkspace::shared()->frontmostApplication()->terminate();
    env.advance(1s);
    EXPECT_EQ(pasteboard->changeCount(), count);
    EXPECT_FALSE(finder->isRunning());
}

TEST_F(FileManagerTest, ACopyPendingAcrossARelaunchOfThisProgramStillHappens) {
    finder->select({"a.txt"});
    env.press(*finder, kVKC, kCommand, "c");
    env.advance(20ms);
    env.desktop().relaunchOwnApplication();
    env.advance(30ms);
    EXPECT_EQ(pasteboard->readFileURLs(),
              (std::vector<URL>{URL::fileURL((source / "a.txt").string())}));
}

TEST_F(FileManagerTest, TheBrowserWindowIsNamedAfterTheFolder) {
    auto window = env.desktop().windowServer().window(finder->browserWindow());
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(window->name, "Source");
    EXPECT_EQ(window->ownerName, "Finder");
    EXPECT_THROW(finder->openFolder(source / "a.txt"), Error);
    EXPECT_THROW(finder->select({"missing"}), Error);
}

TEST(SimulatedApplicationTest, TheTextEditorRecordsTypedText) {
    DesktopEnvironment env;
    auto editor = env.launch<TextEditorApplication>(kTextEditBundleIdentifier, true);
    ASSERT_NE(editor, nullptr);
    env.press(*editor, 4, NSEvent::ModifierFlags::shift, "H");
    env.press(*editor, 34, {}, "i");
    env.press(*editor, 18, {}, "é");
    env.press(*editor, 51, {}, "\x7f");
    env.press(*editor, 36, {}, "\r");
    env.press(*editor, kVKV, kCommand, "v");
    EXPECT_EQ(editor->text(), "Hi\n");
    EXPECT_EQ(editor->receivedEvents().size(), 6u);
}

TEST(SimulatedApplicationTest, TheOverlayCoversTheScreenAboveNormalWindows) {
    DesktopEnvironment env;
    auto overlay = env.launch<OverlayApplication>(kOverlayBundleIdentifier);
    ASSERT_NE(overlay, nullptr);
    auto running = env.desktop().runningApplication(overlay->processIdentifier());
    EXPECT_EQ(running->activationPolicy(), NSApplicationActivationPolicy::accessory);
    auto window = env.desktop().windowServer().window(overlay->overlayWindow());
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(window->bounds, WindowServer::mainScreenFrame());
    EXPECT_GT(window->layer, kCGMainMenuWindowLevel);
    EXPECT_EQ(env.desktop().windowServer().windows().front().number, overlay->overlayWindow());
}

TEST(SimulatedApplicationTest, ThePanelFloatsOverTheFrontWindowAndLeavesItsAppInFront) {
    DesktopEnvironment env;
    const auto finder = env.finder();
    const auto finderWindow = env.desktop().windowServer().windows(finder->processIdentifier());
    ASSERT_FALSE(finderWindow.empty());

    // Launched as a person launches it: asking for the front, which a panel does not take.
    auto panel = env.launch<PanelApplication>(kPanelBundleIdentifier, true);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(env.desktop().runningApplication(panel->processIdentifier())->activationPolicy(),
              NSApplicationActivationPolicy::accessory);
    EXPECT_EQ(env.desktop().frontmostApplication()->processIdentifier(),
              finder->processIdentifier());
    EXPECT_EQ(env.desktop().keyboardFocusProcessIdentifier(), finder->processIdentifier());

    const auto window = env.desktop().windowServer().window(panel->panelWindow());
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(window->layer, kCGFloatingWindowLevel);
    EXPECT_EQ(window->ownerName, "Panel");
    EXPECT_GE(window->bounds.size.width, 200);
    EXPECT_LE(window->bounds.size.width, 600);
    const auto& under = finderWindow.front().bounds;
    EXPECT_EQ(window->bounds.origin.x + window->bounds.size.width / 2,
              under.origin.x + under.size.width / 2);
    EXPECT_EQ(window->bounds.origin.y + window->bounds.size.height / 2,
              under.origin.y + under.size.height / 2);
    EXPECT_EQ(env.desktop().windowServer().windows().front().number, panel->panelWindow());

    // It can still be brought forward on purpose.
    EXPECT_TRUE(env.desktop().activate(panel->processIdentifier()));
    EXPECT_EQ(env.desktop().frontmostApplication()->processIdentifier(),
              panel->processIdentifier());
}

} // namespace
} // namespace zestrel::platform
