#include "console/ScriptFile.h"

#include "console/ScriptCommand.h"
#include "platform/data/FileSafety.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>

namespace zestrel::console {

namespace {

// What a file that is not a regular one is, as the refusal names it.
std::optional<std::string> kindOtherThanFile(mode_t mode) {
    if (S_ISREG(mode)) {
        return std::nullopt;
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "a special file";
}

CommandError notAScript(const std::filesystem::path& path, const std::string& kind) {
    return CommandError(path.string() + " is " + kind + ", not a script");
}

} // namespace

void refuseFolderInput(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        throw CommandError("the standard input is a folder, not a script");
    }
}

std::string readScriptFile(const std::filesystem::path& path) {
    const auto failed = [&](int error) {
        return CommandError("cannot read " + path.string() + ": " + platform::errnoText(error));
    };
    // Opening does not wait (a named pipe would wait for a writer for ever), and what was
    // opened is what is checked, so nothing can take the file's place in between.
    platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        const int error = errno;
        // A socket cannot be opened at all, and a folder one may not read is still a folder.
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0) {
            if (const auto kind = kindOtherThanFile(status.st_mode)) {
                throw notAScript(path, *kind);
            }
        }
        throw failed(error);
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        throw failed(errno);
    }
    if (const auto kind = kindOtherThanFile(status.st_mode)) {
        throw notAScript(path, *kind);
    }
    std::string text;
    char buffer[64 * 1024];
    for (;;) {
        const auto count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throw failed(errno);
        }
        if (count == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > kLargestScript) {
            throw CommandError(path.string() + " is too large for a script (over " +
                               std::to_string(kLargestScript / (1024 * 1024)) + " MB)");
        }
    }
}

} // namespace zestrel::console
