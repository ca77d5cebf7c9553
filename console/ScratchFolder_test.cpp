#include "console/ScratchFolder.h"

#include "platform/base/Error.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace zestrel::console
