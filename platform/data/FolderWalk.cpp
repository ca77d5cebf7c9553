#include "platform/data/FolderWalk.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
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

// The times a copy sets, as `futimens` takes them: its source's modification time. Its access
// time stays its own, since the copy's reading sets the source's too.
std::array<timespec, 2> keptTimes(const struct stat& status) {
    return {timespec{0, UTIME_OMIT}, status.st_mtim};
}

// What a copy made, item by item, with the identity of each one's source and its state as the
// copy read it: a move removes at its source only what it copied, never what came there since
// nor what changed since it was read.
struct CopiedItem {
    std::string name;
    dev_t device = 0;
    ino_t inode = 0;
    bool isFolder = false;
    off_t size = 0;
    timespec modified{};
    // Set by the system at every change of the bytes or of the status (times, mode, links,
    // extended attributes) and by no one else, so a rewrite that puts the size and the
    // modification time back still shows in it; compared to the nanosecond, since a change
    // after a look at the file gets a time of its own however soon it comes (Linux 6.13 on).
    // Our copy only reads, which sets the access time alone. Removing a hard link of the file
    // elsewhere sets it too: the file then stays as changed, the side that loses nothing.
    timespec statusChanged{};
    std::vector<CopiedItem> inner;

    void noteSource(const struct stat& status) {
        device = status.st_dev;
        inode = status.st_ino;
        isFolder = S_ISDIR(status.st_mode);
        size = status.st_size;
        modified = status.st_mtim;
        statusChanged = status.st_ctim;
    }
    bool isSourceOf(const struct stat& status) const {
        return status.st_dev == device && status.st_ino == inode;
    }
    // A folder's own times are not compared, as an entry made and removed again sets them: its
    // entries are, one by one, and one that came since keeps it. `unlinked` is the time this
    // move's own removal of another link of the file set, if it did.
    bool changedSince(const struct stat& status, const timespec* unlinked) const {
        return !isFolder && (status.st_size != size || !sameTime(status.st_mtim, modified) ||
                             !sameTime(status.st_ctim, unlinked ? *unlinked : statusChanged));
    }

    static bool sameTime(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
};

// Removing a hard link sets the status-change time of the file's other links: the time this
// move's own removals set, by file, so that a link it removes later is compared with it.
using OwnUnlinks = std::map<std::pair<dev_t, ino_t>, timespec>;

int unlinkNoting(int folder, const CopiedItem& item, nlink_t links, OwnUnlinks& unlinked) {
    FileDescriptor file(
        links > 1 ? ::openat(folder, item.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1);
    if (::unlinkat(folder, item.name.c_str(), 0) != 0) {
        return errno;
    }
    struct stat status {};
    if (file.get() >= 0 && ::fstat(file.get(), &status) == 0 && item.isSourceOf(status)) {
        unlinked[{item.device, item.inode}] = status.st_ctim;
    }
    return 0;
}

// Whether the entry `name` of `folder` is gone: a copy leaves out what went while it ran.
bool wentAway(int folder, const char* name) {
    struct stat status {};
    return ::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

// Copies the item, telling whether it made anything at `name` in `to` (so that only what it
// made is removed on a failure), and noting in `copied` what it copied.
int copyItemInto(int from, const char* name, int to, bool& made, CopiedItem& copied) {
    struct stat status {};
    if (::fstatat(from, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    copied.name = name;
    copied.noteSource(status);
    if (S_ISLNK(status.st_mode)) {
        const std::string target = linkTargetAt(from, name, status.st_size);
        if (target.empty()) {
            return errno != 0 ? errno : EIO;
        }
        made = ::symlinkat(target.c_str(), to, name) == 0;
        if (!made) {
            return errno;
        }
        // Its own time where the system lets a link's be set: a refusal loses nothing of it.
        ::utimensat(to, name, keptTimes(status).data(), AT_SYMLINK_NOFOLLOW);
        return 0;
    }
    if (S_ISDIR(status.st_mode)) {
        FileDescriptor source(::openat(from, name, kFolderFlags));
        if (source.get() < 0 || ::fstat(source.get(), &status) != 0) {
            return errno;
        }
        copied.noteSource(status);
        if (::mkdirat(to, name, 0700) != 0) {
            return errno;
        }
        made = true;
        FileDescriptor copy(::openat(to, name, kFolderFlags));
        std::vector<FolderEntry> entries;
        int error = copy.get() < 0 ? errno : listFolder(source.get(), entries);
        for (std::size_t i = 0; error == 0 && i < entries.size(); ++i) {
            const char* entry = entries[i].name.c_str();
            bool innerMade = false;
            CopiedItem inner;
            error = copyItemInto(source.get(), entry, copy.get(), innerMade, inner);
            if (error == 0) {
                copied.inner.push_back(std::move(inner));
            } else if (!innerMade && wentAway(source.get(), entry)) {
                error = 0;
            }
        }
        if (error != 0) {
            return error;
        }
        // Its own permissions and time once all in it is copied, so a folder that may not be
        // written is filled first, and the making of its entries does not set its time.
        if (::fchmod(copy.get(), status.st_mode & 07777) != 0) {
            return errno;
        }
        return errorOf(::futimens(copy.get(), keptTimes(status).data()));
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
    // Before the bytes are read: a change while they are makes the file one changed since.
    copied.noteSource(status);
    FileDescriptor copy(
        ::openat(to, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (copy.get() < 0) {
        return errno;
    }
    made = true;
    if (const int error = copyBytes(source.get(), copy.get())) {
        return error;
    }
    if (::fchmod(copy.get(), status.st_mode & 07777) != 0 ||
        ::futimens(copy.get(), keptTimes(status).data()) != 0) {
        return errno;
    }
    return copy.close() ? 0 : errno;
}

// Removes `name` of `folder` with all in it, as much of it as it can, answering the first
// failure; what went meanwhile is removed already. With `unlock`, a folder first gets its
// owner's full access, as a copy's own folders need when a later part of the copy failed.
int removeTree(int folder, const char* name, bool unlock) {
    struct stat status {};
    if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (!S_ISDIR(status.st_mode)) {
        return errorOf(::unlinkat(folder, name, 0));
    }
    if (unlock && (status.st_mode & S_IRWXU) != S_IRWXU) {
        ::fchmodat(folder, name, S_IRWXU, AT_SYMLINK_NOFOLLOW);
    }
    FileDescriptor inner(::openat(folder, name, kFolderFlags));
    std::vector<FolderEntry> entries;
    int error = inner.get() < 0 ? errno : listFolder(inner.get(), entries);
    for (const auto& entry : entries) {
        if (const int failure = removeTree(inner.get(), entry.name.c_str(), unlock);
            error == 0 && failure != ENOENT) {
            error = failure;
        }
    }
    const int removed = errorOf(::unlinkat(folder, name, AT_REMOVEDIR));
    return error != 0 ? error : removed;
}

ItemTransfer copyNoting(int from, const std::string& name, int to, CopiedItem& copied) {
    ItemTransfer transfer;
    bool made = false;
    transfer.error = copyItemInto(from, name.c_str(), to, made, copied);
    if (transfer.error != 0 && made) {
        if (const int error = removeTree(to, name.c_str(), true); error != ENOENT) {
            transfer.cleanupError = error;
        }
    }
    return transfer;
}

// Removes at its source what a copy copied (`shown` is its path from the moved item's name),
// and only that: an item that went is no longer this move's, and one that stands there as
// another one since, or changed since it was read, stays (its copy holds it as it was read).
// Answers whether it is gone; what stays is noted in `transfer`.
bool removeCopied(int folder, const CopiedItem& item, const std::string& shown,
                  ItemTransfer& transfer, OwnUnlinks& unlinked) {
    const auto stays = [&](int error) {
        transfer.stayed.push_back(shown);
        transfer.stayedError = transfer.stayedError != 0 ? transfer.stayedError : error;
        return false;
    };
    struct stat status {};
    if (::fstatat(folder, item.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT || stays(errno);
    }
    const auto changed = [&] {
        transfer.changed.push_back(shown);
        return false;
    };
    const auto own = unlinked.find({item.device, item.inode});
    if (!item.isSourceOf(status) ||
        item.changedSince(status, own == unlinked.end() ? nullptr : &own->second)) {
        return changed();
    }
    if (!item.isFolder) {
        const int error = unlinkNoting(folder, item, status.st_nlink, unlinked);
        return error == 0 || stays(error);
    }
    FileDescriptor inner(::openat(folder, item.name.c_str(), kFolderFlags));
    if (inner.get() < 0) {
        // Gone, or a link or a file in its place since the look.
        const int error = errno;
        return error == ENOENT || (error == ELOOP || error == ENOTDIR ? changed() : stays(error));
    }
    if (::fstat(inner.get(), &status) != 0) {
        return stays(errno);
    }
    if (!item.isSourceOf(status)) {
        return changed();
    }
    bool emptied = true;
    for (const auto& child : item.inner) {
        emptied = removeCopied(inner.get(), child, shown + "/" + child.name, transfer, unlinked) &&
                  emptied;
    }
    // A folder that still holds what stays is not named again.
    return ::unlinkat(folder, item.name.c_str(), AT_REMOVEDIR) == 0 || (emptied && stays(errno));
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
        if (name == "." || name == "..") {
            continue;
        }
        struct stat status {};
        if (::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                continue; // gone since it was listed
            }
            return errno;
        }
        FolderEntry item{std::string(name), status.st_mode, {}};
        if (item.isLink()) {
            item.linkTarget = linkTargetAt(folder, entry->d_name, status.st_size);
        }
        entries.push_back(std::move(item));
    }
}

ItemTransfer copyItemAt(int from, const std::string& name, int to) {
    CopiedItem copied;
    return copyNoting(from, name, to, copied);
}

ItemTransfer moveItemAt(int from, const std::string& name, int to,
                        const std::function<void()>& copiedHook) {
    int error = errorOf(::renameat2(from, name.c_str(), to, name.c_str(), RENAME_NOREPLACE));
    if (error == EINVAL) {
        // A file system that cannot refuse to replace: look first, then rename.
        struct stat status {};
        error = ::fstatat(to, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0
                    ? EEXIST
                    : errorOf(::renameat(from, name.c_str(), to, name.c_str()));
    }
    if (error != EXDEV) {
        ItemTransfer transfer;
        transfer.error = error;
        return transfer;
    }
    CopiedItem copied;
    auto transfer = copyNoting(from, name, to, copied);
    if (transfer.error == 0) {
        if (copiedHook) {
            copiedHook();
        }
        OwnUnlinks unlinked;
        removeCopied(from, copied, name, transfer, unlinked);
        std::sort(transfer.changed.begin(), transfer.changed.end());
    }
    return transfer;
}

int removeItemAt(int folder, const std::string& name) {
    return removeTree(folder, name.c_str(), false);
}

} // namespace zestrel::platform
