#pragma once

#include "platform/base/ProcessTeardown.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zestrel::platform::testing {

// Gives every folder from `path` down its owner's full access again, so that what a test left
// read-only can be removed by a user whom permission bits bind.
inline void unlockFolders(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return;
    }
    ::chmod(path.c_str(), (status.st_mode & 07777) | S_IRWXU);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        unlockFolders(entry.path());
    }
}

// Runs `body` in a child process as a user whom permission bits bind: as the unprivileged
// user `nobody` when this test runs as root, which ignores them. `body` works in `folder`, a
// new folder that user owns (its parents are made readable for it), whose folders are all
// unlocked again afterwards; its failed expectations fail the test.
inline void runUnprivileged(const std::filesystem::path& folder,
                            const std::function<void()>& body) {
    constexpr uid_t kNobody = 65534;
    const bool root = ::geteuid() == 0;
    std::filesystem::create_directories(folder);
    if (root) {
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        for (auto parent = folder.parent_path(); parent != parent.root_path();
             parent = parent.parent_path()) {
            struct stat status {};
            ASSERT_EQ(::stat(parent.c_str(), &status), 0);
            // Readable too: the folder walk opens each folder on the way.
            if ((status.st_mode & (S_IROTH | S_IXOTH)) != (S_IROTH | S_IXOTH)) {
                ASSERT_EQ(::chmod(parent.c_str(), (status.st_mode & 07777) | S_IROTH | S_IXOTH), 0);
            }
        }
    }
    std::fflush(nullptr); // or the child writes again what this process has not written yet
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(2);
        }
        try {
            body();
        } catch (const std::exception& error) {
            ADD_FAILURE() << "thrown: " << error.what();
        } catch (...) {
            platform::ProcessStop::passOn();
            ADD_FAILURE() << "thrown";
        }
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged part failed (status " << status << ")";
    unlockFolders(folder);
}

} // namespace zestrel::platform::testing
