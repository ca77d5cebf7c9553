#include "console/ScriptFile.h"

#include "console/ScriptCommand.h"
#include "platform/data/FileSafety.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>

namespace zestrel::console {

std::string readScriptFile(const std::filesystem::path& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw CommandError(path.string() + " is a folder, not a script");
    }
    const auto failed = [&](int error) {
        return CommandError("cannot read " + path.string() + ": " + platform::errnoText(error));
    };
    platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throw failed(errno);
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
