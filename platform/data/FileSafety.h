#pragma once

#include "platform/base/Value.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>

namespace zestrel::platform {

// An open file descriptor, closed by its owner.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    // Moving hands the descriptor over: one owner closes it.
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) {
                ::close(fd_);
            }
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
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
// A symbolic link at `path` stays: the file it leads to is the one replaced. Returns the
// failure's text, or nothing on success.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               const Data& bytes);

// The file a path leads to once its symbolic links are followed (the path itself when it is
// none, or when the links go round in a circle).
std::filesystem::path resolvedFilePath(const std::filesystem::path& path);

// Removes the temporary files that writes of `path` left behind when the process died in the
// middle of one. Call it before anything in this process writes `path`.
void removeStaleTemporaryFiles(const std::filesystem::path& path);

// Moves an unreadable file aside to "<path>.corrupt-<timestamp>" without replacing anything
// already there: the user's bytes are never destroyed. Returns the new path.
std::optional<std::filesystem::path> moveFileAside(const std::filesystem::path& path);

std::string errnoText(int error);

} // namespace zestrel::platform
