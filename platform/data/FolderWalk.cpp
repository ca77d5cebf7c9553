#include "platform/data/FolderWalk.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <utility>

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int errorOf(int result) {
    return result == 0 ? 0 : errno;
}

int copyBytes(int from, int to) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t count = ::read(from, buffer.data(), buffer.size());
        if (count == 0) {
            return 0;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (const int error = writeAll(to, buffer.data(), static_cast<std::size_t>(count))) {
            return error;
        }
    }
}

std::string linkTargetAt(int folder, const char* name, off_t size) {
    // A link's size is its target's length where the file system keeps it.
    std::string target(std::max<std::size_t>(static_cast<std::size_t>(size), PATH_MAX), '\0');
    const ssize_t length = ::readlinkat(folder, name, target.data(), target.size());
    target.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    return target;
}

// Copies the item, telling whether it made anything at `name` in `to` (so that only what it
// made is removed on a failure).
int copyItemInto(int from, const char* name, int to, bool& made) {
    struct stat status {};
    if (::fstatat(from, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (S_ISLNK(status.st_mode)) {
        const std::string target = linkTargetAt(from, name, status.st_size);
        if (target.empty()) {
            return errno != 0 ? errno : EIO;
        }
        made = ::symlinkat(target.c_str(), to, name) == 0;
        return made ? 0 : errno;
    }
    if (S_ISDIR(status.st_mode)) {
        FileDescriptor source(::openat(from, name, kFolderFlags));
        if (source.get() < 0) {
            return errno;
        }
        if (::mkdirat(to, name, 0700) != 0) {
            return errno;
        }
        made = true;
        FileDescriptor copy(::openat(to, name, kFolderFlags));
        std::vector<FolderEntry> entries;
        int error = copy.get() < 0 ? errno : listFolder(source.get(), entries);
        for (std::size_t i = 0; error == 0 && i < entries.size(); ++i) {
            bool inner = false;
            error = copyItemInto(source.get(), entries[i].name.c_str(), copy.get(), inner);
        }
        if (error != 0) {
            return error;
        }
        // Its own permissions last, so a folder that may not be written is filled first.
        return ::fstat(source.get(), &status) != 0
                   ? errno
                   : errorOf(::fchmod(copy.get(), status.st_mode & 07777));
    }
    if (!S_ISREG(status.st_mode)) {
        return ENOTSUP;
    }
    // Not blocking: something swapped in since the look (a named pipe) is refused below.
    FileDescriptor source(::openat(from, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (source.get() < 0) {
        return errno;
    }
    if (::fstat(source.get(), &status) != 0) {
        return errno;
    }
    if (!S_ISREG(status.st_mode)) {
        return ENOTSUP;
    }
    FileDescriptor copy(
        ::openat(to, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (copy.get() < 0) {
        return errno;
    }
    made = true;
    if (const int error = copyBytes(source.get(), copy.get())) {
        return error;
    }
    if (::fchmod(copy.get(), status.st_mode & 07777) != 0) {
        return errno;
    }
    return copy.close() ? 0 : errno;
}

} // namespace

int openFolderBelow(int from, const fs::path& relative, FileDescriptor& folder, bool make) {
    FileDescriptor at(::openat(from, relative.is_absolute() ? "/" : ".", kFolderFlags));
    if (at.get() < 0) {
        return errno;
    }
    for (const auto& part : relative.relative_path()) {
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            return EINVAL;
        }
        if (make && ::mkdirat(at.get(), part.c_str(), 0777) != 0 && errno != EEXIST) {
            return errno;
        }
        FileDescriptor next(::openat(at.get(), part.c_str(), kFolderFlags));
        if (next.get() < 0) {
            // The system may call a link a mere non-folder: told apart here.
            const int error = errno;
            struct stat status {};
            return error == ENOTDIR &&
                           ::fstatat(at.get(), part.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                           S_ISLNK(status.st_mode)
                       ? ELOOP
                       : error;
        }
        at = std::move(next);
    }
    folder = std::move(at);
    return 0;
}

int listFolder(int folder, std::vector<FolderEntry>& entries) {
    // A descriptor of its own, since closing the listing closes the descriptor it was given.
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) {
        return errno;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::fdopendir(own), ::closedir);
    if (!listing) {
        const int error = errno;
        ::close(own);
        return error;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing.get());
        if (!entry) {
            return errno;
        }
        const std::string_view name = entry->d_name;
        struct stat status {};
        if (name == "." || name == ".." ||
            ::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        FolderEntry item{std::string(name), status.st_mode, {}};
        if (item.isLink()) {
            item.linkTarget = linkTargetAt(folder, entry->d_name, status.st_size);
        }
        entries.push_back(std::move(item));
    }
}

int copyItemAt(int from, const std::string& name, int to) {
    bool made = false;
    const int error = copyItemInto(from, name.c_str(), to, made);
    if (error != 0 && made) {
        removeItemAt(to, name);
    }
    return error;
}

int moveItemAt(int from, const std::string& name, int to) {
    int error = errorOf(::renameat2(from, name.c_str(), to, name.c_str(), RENAME_NOREPLACE));
    if (error == EINVAL) {
        // A file system that cannot refuse to replace: look first, then rename.
        struct stat status {};
        error = ::fstatat(to, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0
                    ? EEXIST
                    : errorOf(::renameat(from, name.c_str(), to, name.c_str()));
    }
    if (error != EXDEV) {
        return error;
    }
    if (const int error = copyItemAt(from, name, to)) {
        return error;
    }
    return removeItemAt(from, name);
}

int removeItemAt(int folder, const std::string& name) {
    struct stat status {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (!S_ISDIR(status.st_mode)) {
        return errorOf(::unlinkat(folder, name.c_str(), 0));
    }
    FileDescriptor inner(::openat(folder, name.c_str(), kFolderFlags));
    std::vector<FolderEntry> entries;
    int error = inner.get() < 0 ? errno : listFolder(inner.get(), entries);
    for (std::size_t i = 0; error == 0 && i < entries.size(); ++i) {
        error = removeItemAt(inner.get(), entries[i].name);
    }
    return error != 0 ? error : errorOf(::unlinkat(folder, name.c_str(), AT_REMOVEDIR));
}

} // namespace zestrel::platform
