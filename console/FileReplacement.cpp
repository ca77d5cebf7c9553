#include "console/FileReplacement.h"

#include "platform/data/FileSafety.h"

#include <cerrno>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zestrel::console {

namespace fs = std::filesystem;
using platform::errnoText;
using platform::FileDescriptor;

namespace {

int openFolderAt(int folder, const char* name) {
    return ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// `path` as seen from `folder`, or nothing when it leads outside.
std::optional<fs::path> relativeWithin(const fs::path& folder, const fs::path& path) {
    auto relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") {
        return std::nullopt;
    }
    return relative;
}

// Moves `within` down the names of `relative` one at a time, making each missing folder (0777
// less the umask) and never following a link. Answers the failure's errno, or 0.
int walkDown(FileDescriptor& within, const fs::path& relative) {
    for (const auto& part : relative) {
        if (part.empty() || part == ".") {
            continue;
        }
        if (::mkdirat(within.get(), part.c_str(), 0777) != 0 && errno != EEXIST) {
            return errno;
        }
        FileDescriptor next(openFolderAt(within.get(), part.c_str()));
        if (next.get() < 0) {
            // A link where a folder was: not followed.
            return errno == ELOOP ? ENOTDIR : errno;
        }
        within = std::move(next);
    }
    return 0;
}

} // namespace

std::optional<std::string> replaceFileWithin(const fs::path& folder, const fs::path& file,
                                             std::string_view contents) {
    const auto relative = relativeWithin(folder, file);
    if (!relative || !relative->has_filename()) {
        return "it is not inside " + folder.string();
    }
    if (*relative == ".") {
        return errnoText(EISDIR);
    }
    FileDescriptor within(openFolderAt(AT_FDCWD, folder.c_str()));
    if (within.get() < 0) {
        return errnoText(errno);
    }
    if (const int error = walkDown(within, relative->parent_path())) {
        return errnoText(error);
    }
    const std::string name = relative->filename().string();
    platform::removeStaleTemporaryFilesAt(within.get(), name);
    if (const auto failure =
            platform::replaceFileAt(within.get(), name, std::as_bytes(std::span(contents)), 0666)) {
        return errnoText(failure->error);
    }
    return std::nullopt;
}

std::optional<std::string> makeFoldersWithin(const fs::path& folder, const fs::path& path) {
    auto relative = relativeWithin(folder, path);
    if (!relative) {
        return "it is not inside " + folder.string();
    }
    if (!relative->has_filename()) {
        relative = relative->parent_path(); // "a/b/" names the folder b
    }
    FileDescriptor within(openFolderAt(AT_FDCWD, folder.c_str()));
    if (within.get() < 0) {
        return errnoText(errno);
    }
    if (const int error = walkDown(within, relative->parent_path())) {
        return errnoText(error);
    }
    const fs::path last = relative->filename();
    if (const int error = walkDown(within, last)) {
        // A file there already is in the way; a link there stands where a folder was.
        struct stat status {};
        const bool fileInTheWay =
            error == ENOTDIR &&
            ::fstatat(within.get(), last.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISLNK(status.st_mode);
        return errnoText(fileInTheWay ? EEXIST : error);
    }
    return std::nullopt;
}

} // namespace zestrel::console
