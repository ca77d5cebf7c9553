#pragma once

#include "platform/testing/Unprivileged.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace zestrel::platform::testing {

// A new folder on another file system than `near` (in /dev/shm, a memory file system), so that
// a rename from one to the other fails with EXDEV; removed with all in it by its owner, also
// what is read-only there. None
// where the machine has no such file system: `path()` is then empty.
class ForeignFileSystemFolder {
public:
    explicit ForeignFileSystemFolder(const std::filesystem::path& near) {
        struct stat here {};
        struct stat there {};
        std::string pattern = "/dev/shm/zestrel-test-XXXXXX";
        if (::stat(near.c_str(), &here) == 0 && ::stat("/dev/shm", &there) == 0 &&
            here.st_dev != there.st_dev && ::mkdtemp(pattern.data()) != nullptr) {
            ::chmod(pattern.c_str(), 01777); // for a user the test becomes, as /dev/shm is
            path_ = pattern;
        }
    }
    ~ForeignFileSystemFolder() {
        if (!path_.empty()) {
            unlockFolders(path_);
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ForeignFileSystemFolder(const ForeignFileSystemFolder&) = delete;
    ForeignFileSystemFolder& operator=(const ForeignFileSystemFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace zestrel::platform::testing
