#pragma once

#include "platform/base/ProcessTeardown.h"
#include "platform/testing/CannotRunHere.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <memory>
#include <string>
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

// Whether every folder from the root down to `folder` may be read and searched by others.
inline bool othersReach(const std::filesystem::path& folder) {
    for (auto at = folder;; at = at.parent_path()) {
        struct stat status {};
        if (::stat(at.c_str(), &status) != 0 ||
            (status.st_mode & (S_IROTH | S_IXOTH)) != (S_IROTH | S_IXOTH)) {
            return false;
        }
        if (at == at.root_path()) {
            return true;
        }
    }
}

constexpr uid_t kNobody = 65534;

// Makes the calling process the user `nobody`, with no other group; whether it could.
inline bool becomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

// Runs `body` in a child process as a user whom permission bits bind: as the unprivileged
// user `nobody` when this test runs as root, which ignores them (the child calls `become`).
// `body` works in a new folder it is given, which that user owns; afterwards it is removed
// with all in it. Nothing outside it is changed: for root it is made in `shared`, the
// machine's shared temporary folder, where every folder on the way is open to others already;
// for anyone else, in TMPDIR. Where root's part cannot run (`shared` is closed to others, or
// the child cannot become `nobody`), the test says so (`cannotRunHere`). `body`'s failed
// expectations fail the test.
inline void runUnprivileged(const std::function<void(const std::filesystem::path&)>& body,
                            const std::filesystem::path& shared = "/tmp",
                            bool (*become)() = becomeNobody) {
    namespace fs = std::filesystem;
    constexpr int kCannotBecomeNobody = 2;
    const bool root = ::geteuid() == 0;
    const fs::path place = root ? shared : fs::temp_directory_path();
    if (root && !othersReach(place)) {
        cannotRunHere("the unprivileged part cannot run: " + place.string() +
                      " is closed to other users");
        return;
    }
    std::string pattern = (place / "zestrel-user-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << "cannot make a folder in " << place;
    const fs::path folder = fs::canonical(pattern);
    // Removed however the test ends, an assertion's early return too.
    const std::shared_ptr<void> removal(nullptr, [&folder](void*) {
        unlockFolders(folder);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    });
    if (root) {
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
    }
    std::fflush(nullptr); // or the child writes again what this process has not written yet
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && !become()) {
            ::_exit(kCannotBecomeNobody);
        }
        try {
            body(folder);
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
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotBecomeNobody) {
        cannotRunHere("the unprivileged part cannot run: the test cannot run a process as "
                      "the user nobody");
        return;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged part failed (status " << status << ")";
}

} // namespace zestrel::platform::testing
