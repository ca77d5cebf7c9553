#pragma once

#include "platform/base/Value.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// Why a file could not be replaced: the step that failed, the file in the folder it acted on
// and the error number.
struct FileReplacementFailure {
    std::string action; // as "cannot write"
    std::string name;   // empty when the step acted on the folder itself
    int error = 0;

    // "cannot write <folder>/<name>: <error text>", for the folder's path.
    std::string describe(const std::filesystem::path& folder) const;
};

// Replaces the entry `name` (a plain name) of the open folder `folder` with a file holding
// `bytes`, so that a reader sees either the old file or the new one: a temporary beside it
// (`temporaryNameFor(name)`) is written, flushed, renamed onto the name, and the folder
// flushed. Whatever is at the name goes (a link too, never written through; a folder there is
// refused), and a file hard-linked elsewhere keeps what it held. A replaced regular file keeps
// its mode; a new file gets `newFileMode` less the umask. Nothing is left beside the name on a
// failure. Returns the failure, or nothing.
std::optional<FileReplacementFailure> replaceFileAt(int folder, std::string_view name,
                                                    std::span<const std::byte> bytes,
                                                    mode_t newFileMode);

// Replaces `path` with `bytes` so that a reader sees either the old file or the new one,
// making the folders on the way (a new file is private, 0600).
// A symbolic link at `path` stays: the file it leads to is the one replaced. Returns the
// failure's text, or nothing on success, when errno also holds the failure's cause.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               const Data& bytes);

// The file a path leads to once its symbolic links are followed (the path itself when it is
// none, or when the links go round in a circle).
std::filesystem::path resolvedFilePath(const std::filesystem::path& path);

// Removes the temporary files that writes of `path` left behind when the process died in the
// middle of one. Call it before anything in this process writes `path`.
void removeStaleTemporaryFiles(const std::filesystem::path& path);

// The same for `name` in the open folder `folder`: removes the regular files there whose
// names only a write of `name` gives its temporary, never a link, a folder, a temporary of
// another name or any name a person chose.
void removeStaleTemporaryFilesAt(int folder, std::string_view name);

// Removes what killed writes left beside their targets as `removeStaleTemporaryFilesAt` does,
// looking in each folder once: the first write into a folder lists it and notes the
// temporaries there; each write then removes only those of its own name, so the cost of a
// write does not grow with the files beside it. A temporary that comes into a folder after its
// look (another process killed in a write meanwhile) stays. One owner calls it, on one thread.
class StaleTemporaryFiles {
public:
    // Before a write of `name` in the open folder `folder`.
    void removeAt(int folder, std::string_view name);

private:
    // By folder (device and inode): what its look found and no write has removed yet.
    std::map<std::pair<dev_t, ino_t>, std::vector<std::string>> found_;
};

// A fresh name for the temporary of a write of `name`: ".zestrel-write-" and 32 hexadecimal
// digits, the last 16 sealing the first to `name`; always 47 bytes, however long `name` is.
std::string temporaryNameFor(std::string_view name);

// Moves an unreadable file aside to "<path>.corrupt-<timestamp>" without replacing anything
// already there: the user's bytes are never destroyed. Returns the new path.
std::optional<std::filesystem::path> moveFileAside(const std::filesystem::path& path);

std::string errnoText(int error);

// Writes all of `bytes` to the descriptor, again after a short write or an interruption.
// Answers the errno of a failed write, or 0.
int writeAll(int fd, const char* bytes, std::size_t size);

} // namespace zestrel::platform
