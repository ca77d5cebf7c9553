#include "console/ScratchFolder.h"

#include "platform/base/Error.h"
#include "platform/testing/TestEnvironment.h"
#include "platform/testing/Unprivileged.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;

// The session folders in the system's temporary folder, the test environment's own.
std::vector<fs::path> sessionFolders() {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
        folders.push_back(entry.path());
    }
    return folders;
}

TEST(ScratchFolderTest, AFatalErrorEndsTheProgramAsAFailedEndDoes) {
    platform::testing::TestEnvironment env;
    struct Case {
        const char* what;
        void (*program)();
        const char* said;
        bool kept;
    };
    const Case cases[] = {
        {"on the main thread",
         [] {
             ScratchFolder folder;
             std::ofstream(folder.files() / "a.txt") << "x";
             platform::fatal("work keeps posting work");
         },
         "^Fatal error: work keeps posting work\n$", false},
        {"on another thread",
         [] {
             ScratchFolder folder;
             std::thread([] { platform::fatal("used from another thread"); }).join();
         },
         "^Fatal error: used from another thread\n$", false},
        {"from the work a fatal error does first",
         [] {
             ScratchFolder folder;
             platform::addFatalHook([] { platform::fatal("the defaults cannot be written"); });
             platform::fatal("first");
         },
         "^Fatal error: first\nFatal error: the defaults cannot be written\n$", false},
        {"kept",
         [] {
             ScratchFolder folder;
             std::ofstream(folder.files() / "a.txt") << "x";
             folder.keep({{"$TMP", folder.files()}});
             platform::fatal("kept");
         },
         "\nzestrel: kept the session's folder /.*/zestrel-.*, which holds\n  \\$TMP: /.*/tmp\n$",
         true},
        {"after the end",
         [] {
             ScratchFolder folder;
             folder.end();
             platform::fatal("late");
         },
         "^Fatal error: late\n$", false},
    };
    for (const auto& [what, program, said, kept] : cases) {
        EXPECT_EXIT(program(), ::testing::ExitedWithCode(1), said) << what;
        const auto left = sessionFolders();
        ASSERT_EQ(left.size(), kept ? 1u : 0u) << what;
        if (kept) {
            EXPECT_TRUE(fs::exists(left.front() / "tmp" / "a.txt"));
            fs::remove_all(left.front());
        }
    }
}

// As at the end without a fatal error, a folder that cannot be removed is said: the person
// has it to remove.
TEST(ScratchFolderTest, AFatalErrorsEndSaysAFolderItCannotRemove) {
    platform::testing::TestEnvironment env;
    platform::testing::runUnprivileged([](const fs::path& user) {
        ::setenv("TMPDIR", user.c_str(), 1);
        EXPECT_EXIT(
            {
                ScratchFolder folder;
                const auto locked = folder.files() / "locked";
                fs::create_directory(locked);
                std::ofstream(locked / "a.txt") << "x";
                fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);
                platform::fatal("stuck");
            },
            ::testing::ExitedWithCode(1),
            "^Fatal error: stuck\nzestrel: cannot remove the session's folder " + user.string() +
                "/zestrel-[^/]+: Permission denied\n$");
        const auto left = sessionFolders();
        ASSERT_EQ(left.size(), 1u);
        EXPECT_TRUE(fs::exists(left.front() / "tmp" / "locked" / "a.txt"));
    });
}

} // namespace
} // namespace zestrel::console
