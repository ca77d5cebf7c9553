#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace zestrel::platform::testing {

// What a test reads back of a file: all its bytes (none when it cannot be read).
inline std::string contentsOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The permission bits of what is at `path`, a link's own rather than its target's.
inline mode_t modeOf(const std::filesystem::path& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode & 07777;
}

} // namespace zestrel::platform::testing
