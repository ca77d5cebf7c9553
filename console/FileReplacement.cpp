#include "console/FileReplacement.h"

#include "platform/data/FileSafety.h"
#include "platform/data/FolderWalk.h"

#include <algorithm>
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

// `path` as seen from `folder`, or nothing when it leads outside.
std::optional<fs::path> relativeWithin(const fs::path& folder, const fs::path& path) {
    auto relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") {
        return std::nullopt;
    }
    return relative;
}

// Opens `folder` and walks down `relative` from it (see `openFolderBelow`). Answers the
// failure's errno, or 0.
int openWithin(const fs::path& folder, const fs::path& relative, FileDescriptor& within,
               bool make) {
    FileDescriptor top(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (top.get() < 0) {
        return errno;
    }
    return platform::openFolderBelow(top.get(), relative, within, make);
}

// A link where a folder was is "Not a directory", as the system calls a file there.
int asFolderError(int error) {
    return error == ELOOP ? ENOTDIR : error;
}

} // namespace

std::optional<std::string> replaceFileWithin(const fs::path& folder, const fs::path& file,
                                             std::string_view contents,
                                             platform::StaleTemporaryFiles& stale) {
    const auto relative = relativeWithin(folder, file);
    if (!relative || !relative->has_filename()) {
        return "it is not inside " + folder.string();
    }
    if (*relative == ".") {
        return errnoText(EISDIR);
    }
    FileDescriptor within(-1);
    if (const int error = openWithin(folder, relative->parent_path(), within, true)) {
        return errnoText(asFolderError(error));
    }
    const std::string name = relative->filename().string();
    stale.removeAt(within.get(), name);
    if (const auto failure =
            platform::replaceFileAt(within.get(), name, std::as_bytes(std::span(contents)), 0666)) {
        return errnoText(failure->error);
    }
    return std::nullopt;
}

std::optional<std::string> makeFoldersWithin(const fs::path& folder, const fs::path& path,
                                             bool* made) {
    auto relative = relativeWithin(folder, path);
    if (!relative) {
        return "it is not inside " + folder.string();
    }
    if (!relative->has_filename()) {
        relative = relative->parent_path(); // "a/b/" names the folder b
    }
    FileDescriptor within(-1);
    if (const int error = openWithin(folder, relative->parent_path(), within, true)) {
        return errnoText(asFolderError(error));
    }
    const bool makes = ::mkdirat(within.get(), relative->filename().c_str(), 0777) == 0;
    if (!makes && errno != EEXIST) {
        return errnoText(errno);
    }
    FileDescriptor last(-1);
    if (const int error = platform::openFolderBelow(within.get(), relative->filename(), last)) {
        // A file there already is in the way; a link there stands where a folder was.
        return errnoText(error == ENOTDIR ? EEXIST : error == ELOOP ? ENOTDIR : error);
    }
    if (made) {
        *made = makes;
    }
    return std::nullopt;
}

int listFolderWithin(const fs::path& folder, const fs::path& path,
                     std::vector<platform::FolderEntry>& entries) {
    const auto relative = relativeWithin(folder, path);
    if (!relative) {
        return ENOTDIR;
    }
    FileDescriptor within(-1);
    const int error = openWithin(folder, *relative, within, false);
    if (error != 0) {
        return error == ENOENT ? ENOTDIR : asFolderError(error);
    }
    return platform::listFolder(within.get(), entries);
}

int lookWithin(const fs::path& folder, const fs::path& path, std::optional<mode_t>& found) {
    found.reset();
    const auto [inFolder, inPath] =
        std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    if (inFolder != folder.end()) {
        return ENOTDIR;
    }
    std::vector<fs::path> names;
    for (auto part = inPath; part != path.end(); ++part) {
        if (!part->empty() && *part != ".") {
            names.push_back(*part);
        }
    }
    // The folders walked into, `folder` first: a `..` goes back out of the last one, which
    // the walk reached without a link, so it never leaves `folder` however its names move.
    std::vector<FileDescriptor> walked;
    walked.emplace_back(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (walked.back().get() < 0) {
        return errno;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        if (names[i] == "..") {
            if (walked.size() == 1) {
                return ENOTDIR;
            }
            walked.pop_back();
            continue;
        }
        if (last) {
            struct stat status {};
            if (::fstatat(walked.back().get(), names[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) ==
                0) {
                found = status.st_mode;
                return 0;
            }
            return errno == ENOENT ? 0 : errno;
        }
        FileDescriptor next(-1);
        // Only a name that is not there is nothing: a file or a link on the way (one swapped
        // in and back again as it was looked at) tells nothing of what is at the path.
        if (const int error = platform::openFolderBelow(walked.back().get(), names[i], next)) {
            return error == ENOENT ? 0 : asFolderError(error);
        }
        walked.push_back(std::move(next));
    }
    found = S_IFDIR; // the path names a folder the walk stands in
    return 0;
}

} // namespace zestrel::console
