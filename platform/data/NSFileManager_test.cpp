#include "platform/data/NSFileManager.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

class NSFileManagerTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    NSFileManager& manager = NSFileManager::defaultManager();
    fs::path root = env.home() / "tree";

    void SetUp() override {
        fs::create_directories(root / "folder" / "inner");
        std::ofstream(root / "folder" / "a.txt") << "abc";
        std::ofstream(root / "folder" / "inner" / ".hidden") << "x";
    }
    void TearDown() override {
        // Give the test's home back its permissions, so it can be cleared.
        for (const auto& entry : fs::recursive_directory_iterator(
                 root, fs::directory_options::skip_permission_denied)) {
            std::error_code ignored;
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    static URL url(const fs::path& path) { return URL::fileURL(path.string()); }
    static std::vector<std::string> names(const std::vector<URL>& urls) {
        std::vector<std::string> result;
        for (const auto& item : urls) {
            result.push_back(item.lastPathComponent());
        }
        std::sort(result.begin(), result.end());
        return result;
    }
    Value fact(const fs::path& path, const char* key) {
        const auto values = manager.resourceValuesForKeys(url(path), {key});
        const auto found = values.find(key);
        return found == values.end() ? Value() : found->second;
    }
};

TEST_F(NSFileManagerTest, PermissionsAreAUsersEvenForTheSuperUser) {
    const fs::path folder = root / "folder";
    EXPECT_EQ(fact(folder, NSURLIsReadableKey), Value(true));
    fs::create_directories(root / "Tool.app" / "Contents");
    EXPECT_EQ(fact(root / "Tool.app", NSURLIsPackageKey), Value(true));
    EXPECT_EQ(fact(folder, NSURLIsPackageKey), Value(false));
    EXPECT_EQ(fact(folder / "a.txt", NSURLIsWritableKey), Value(true));
    fs::permissions(folder / "a.txt", fs::perms::owner_read, fs::perm_options::replace);
    fs::permissions(folder / "inner", fs::perms::owner_write, fs::perm_options::replace);
    EXPECT_EQ(fact(folder / "a.txt", NSURLIsWritableKey), Value(false));
    EXPECT_EQ(fact(folder / "a.txt", NSURLIsReadableKey), Value(true));
    EXPECT_EQ(fact(folder / "inner", NSURLIsReadableKey), Value(false));
    try {
        manager.contentsOfDirectoryAtURL(url(folder / "inner"));
        ADD_FAILURE() << "an unreadable folder was listed";
    } catch (const Error& error) {
        EXPECT_EQ(error.nsError()->code(), NSFileReadNoPermissionError);
    }
    // The walk lists the unreadable folder but does not enter it.
    const auto below = manager.enumeratorAtURL(url(folder));
    ASSERT_TRUE(below.has_value());
    EXPECT_EQ(names(*below), (std::vector<std::string>{"a.txt", "inner"}));
    EXPECT_FALSE(manager.enumeratorAtURL(url(folder / "inner")).has_value());
}

TEST_F(NSFileManagerTest, ListingAndWalkingIncludeHiddenItems) {
    EXPECT_EQ(names(manager.contentsOfDirectoryAtURL(url(root / "folder"))),
              (std::vector<std::string>{"a.txt", "inner"}));
    const auto below = manager.enumeratorAtURL(url(root));
    ASSERT_TRUE(below.has_value());
    EXPECT_EQ(names(*below), (std::vector<std::string>{".hidden", "a.txt", "folder", "inner"}));
    try {
        manager.contentsOfDirectoryAtURL(url(root / "missing"));
        ADD_FAILURE() << "a missing folder was listed";
    } catch (const Error& error) {
        EXPECT_EQ(error.nsError()->code(), NSFileReadNoSuchFileError);
    }
    EXPECT_FALSE(manager.enumeratorAtURL(url(root / "folder" / "a.txt")).has_value());
}

TEST_F(NSFileManagerTest, RemovingNeedsEveryFolderItChangesToBeWritable) {
    const fs::path folder = root / "folder";
    fs::permissions(folder / "inner", fs::perms::owner_read | fs::perms::owner_exec,
                    fs::perm_options::replace);
    // The folder inside cannot be emptied: nothing at all is removed.
    try {
        manager.removeItemAtURL(URL::fileURL(folder.string(), true));
        ADD_FAILURE() << "a folder holding a locked folder was removed";
    } catch (const Error& error) {
        EXPECT_EQ(error.nsError()->code(), NSFileWriteNoPermissionError);
    }
    EXPECT_TRUE(fs::exists(folder / "a.txt"));
    EXPECT_TRUE(fs::exists(folder / "inner" / ".hidden"));
    // An item of a folder that may not be written stays too.
    EXPECT_THROW(manager.removeItemAtURL(url(folder / "inner" / ".hidden")), Error);
    EXPECT_TRUE(fs::exists(folder / "inner" / ".hidden"));
    // An empty locked folder in a writable one goes, as a user could remove it.
    fs::create_directories(folder / "empty");
    fs::permissions(folder / "empty", fs::perms::none, fs::perm_options::replace);
    manager.removeItemAtURL(URL::fileURL((folder / "empty").string(), true));
    EXPECT_FALSE(fs::exists(folder / "empty"));
    manager.removeItemAtURL(url(folder / "a.txt"));
    EXPECT_FALSE(fs::exists(folder / "a.txt"));
}

// An ended process changes no file, neither its code after the end, nor a thread of its, nor
// its objects as they go; the machine's work under its code still does.
TEST_F(NSFileManagerTest, AnEndedProcessChangesNoFileAndTheMachineStillDoes) {
    // For each file the test makes: 0 once removed, the error's code while it stays, else -1.
    std::map<std::string, std::int64_t> codes;
    const auto remove = [&](const std::string& name) {
        std::ofstream(root / name) << name;
        try {
            manager.removeItemAtURL(url(root / name));
            codes[name] = fs::exists(root / name) ? -1 : 0;
        } catch (const Error& error) {
            codes[name] = fs::exists(root / name) ? error.nsError()->code() : -1;
        }
    };
    struct AsItGoes {
        ~AsItGoes() { goes(); }
        std::function<void()> goes;
    };
    static ProcessLocal<AsItGoes> object;
    object->goes = [&] { remove("destructor"); };
    DispatchQueue queue("com.example.files");
    std::promise<void> started, ended, done;
    queue.async([&, wait = ended.get_future().share()] {
        started.set_value();
        wait.wait();
        remove("thread");
        done.set_value();
    });
    started.get_future().wait();
    RunLoop::main().async([&] {
        ProcessTeardown::run();
        remove("main");
        const ProcessTeardown::MachineWork machine;
        remove("machine");
    });
    env.runUntilIdle();
    ended.set_value();
    done.get_future().wait();
    resetProcess();
    EXPECT_EQ(codes, (std::map<std::string, std::int64_t>{
                         {"destructor", 513}, {"machine", 0}, {"main", 513}, {"thread", 513}}));
}

// What a person reads when a file call fails: the item's name and what went wrong, with the
// system's reason beneath; the codes and the path, URL and POSIX error stay as they are.
TEST_F(NSFileManagerTest, FileErrorsNameTheItemAndWhatWentWrong) {
    const fs::path folder = root / "folder";
    fs::permissions(folder / "inner", fs::perms::owner_read | fs::perms::owner_exec,
                    fs::perm_options::replace);
    fs::create_directories(root / "locked");
    fs::permissions(root / "locked", fs::perms::owner_write, fs::perm_options::replace);
    const URL hidden = url(folder / "inner" / ".hidden");
    const URL gone = url(root / "gone.txt");
    struct Case {
        std::function<void()> call;
        std::int64_t code;
        std::string description;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {[&] { manager.removeItemAtURL(hidden); }, NSFileWriteNoPermissionError,
         "“.hidden” couldn’t be removed because you don’t have permission to access it.",
         "Permission denied"},
        {[&] { manager.removeItemAtURL(gone); }, NSFileNoSuchFileError,
         "“gone.txt” couldn’t be removed.", "No such file or directory"},
        {[&] { manager.trashItemAtURL(gone); }, NSFileNoSuchFileError,
         "“gone.txt” couldn’t be moved to the trash.", "No such file or directory"},
        {[&] { manager.contentsOfDirectoryAtURL(url(root / "missing")); },
         NSFileReadNoSuchFileError, "The folder “missing” doesn’t exist.",
         "No such file or directory"},
        {[&] { manager.contentsOfDirectoryAtURL(url(root / "locked")); },
         NSFileReadNoPermissionError,
         "The folder “locked” couldn’t be opened because you don’t have permission to see its "
         "contents.",
         "Permission denied"},
        {[&] { manager.contentsOfDirectoryAtURL(url(folder / "a.txt")); }, NSFileReadUnknownError,
         "The file “a.txt” couldn’t be opened.", "Not a directory"},
        {[&] { manager.resourceValuesForKeys(gone, {NSURLNameKey}); }, NSFileReadNoSuchFileError,
         "The file “gone.txt” couldn’t be opened because there is no such file.",
         "No such file or directory"},
    };
    for (const auto& [call, code, description, reason] : cases) {
        try {
            call();
            ADD_FAILURE() << "no error for " << description;
        } catch (const Error& error) {
            const auto object = error.nsError();
            EXPECT_EQ(object->domain(), NSCocoaErrorDomain);
            EXPECT_EQ(object->code(), code) << description;
            EXPECT_EQ(object->localizedDescription(), description);
            EXPECT_EQ(object->localizedFailureReason(), reason) << description;
            EXPECT_TRUE(object->userInfo().contains(NSFilePathErrorKey));
            EXPECT_TRUE(object->userInfo().contains(NSURLErrorKey));
            ASSERT_TRUE(object->underlyingError().has_value());
            EXPECT_EQ(object->underlyingError()->domain(), NSPOSIXErrorDomain);
        }
    }
}

} // namespace
} // namespace zestrel::platform
