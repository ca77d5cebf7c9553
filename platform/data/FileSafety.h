#pragma once

#include "platform/base/Value.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace zestrel::platform {

// An open file descriptor, closed by its owner.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closes now, reporting the failure that a close can reveal.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Replaces `path` with `bytes` so that a reader sees either the old file or the new one.
// Returns the failure's text, or nothing on success.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               const Data& bytes);

// Moves an unreadable file aside to "<path>.corrupt-<timestamp>" without replacing anything
// already there: the user's bytes are never destroyed. Returns the new path.
std::optional<std::filesystem::path> moveFileAside(const std::filesystem::path& path);

std::string errnoText(int error);

} // namespace zestrel::platform
