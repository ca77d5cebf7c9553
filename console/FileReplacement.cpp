#include "console/FileReplacement.h"

#include "platform/data/FileSafety.h"

#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <random>
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

// A name for the new file beside the old one that no other file has; -1 when none could be
// made.
int createBeside(int folder, std::string& name) {
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = ".zestrel-" + std::to_string(random() % 1'000'000'000);
        const int fd = ::openat(folder, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

} // namespace

std::optional<std::string> replaceFileWithin(const fs::path& folder, const fs::path& file,
                                             std::string_view contents) {
    const auto relative = file.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == ".." || !relative.has_filename()) {
        return "it is not inside " + folder.string();
    }
    FileDescriptor within(openFolderAt(AT_FDCWD, folder.c_str()));
    if (within.get() < 0) {
        return errnoText(errno);
    }
    for (auto part = relative.begin(); part != relative.end() && std::next(part) != relative.end();
         ++part) {
        if (::mkdirat(within.get(), part->c_str(), 0777) != 0 && errno != EEXIST) {
            return errnoText(errno);
        }
        FileDescriptor next(openFolderAt(within.get(), part->c_str()));
        if (next.get() < 0) {
            // A link where a folder was: not followed.
            return errnoText(errno == ELOOP ? ENOTDIR : errno);
        }
        within = std::move(next);
    }
    const std::string name = relative.filename().string();
    struct stat old {};
    const bool replacing = ::fstatat(within.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (replacing && S_ISDIR(old.st_mode)) {
        return errnoText(EISDIR);
    }
    std::string temporary;
    FileDescriptor written(createBeside(within.get(), temporary));
    if (written.get() < 0) {
        return errnoText(errno);
    }
    const auto fail = [&] {
        const int saved = errno;
        ::unlinkat(within.get(), temporary.c_str(), 0);
        return errnoText(saved);
    };
    if (replacing && S_ISREG(old.st_mode) && ::fchmod(written.get(), old.st_mode & 07777) != 0) {
        return fail();
    }
    for (std::size_t done = 0; done < contents.size();) {
        const auto count = ::write(written.get(), contents.data() + done, contents.size() - done);
        if (count < 0 && errno != EINTR) {
            return fail();
        }
        done += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    if (::fsync(written.get()) != 0 || !written.close() ||
        ::renameat(within.get(), temporary.c_str(), within.get(), name.c_str()) != 0) {
        return fail();
    }
    ::fsync(within.get());
    return std::nullopt;
}

} // namespace zestrel::console
