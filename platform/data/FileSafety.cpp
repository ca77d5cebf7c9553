#include "platform/data/FileSafety.h"

#include "platform/base/Clock.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

std::string compactTimestamp(Date date) {
    const auto seconds = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

} // namespace

std::string errnoText(int error) {
    return std::strerror(error);
}

// A temporary file in the same folder, flushed to the disk, then renamed over it.
std::optional<std::string> writeFileAtomically(const fs::path& path, const Data& bytes) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) {
        return "cannot create " + path.parent_path().string() + ": " + error.message();
    }
    std::string temporary = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX"));
    FileDescriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0) {
        return "cannot create a temporary file in " + path.parent_path().string() + ": " +
               errnoText(errno);
    }
    const auto fail = [&](std::string what) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        return what + " " + temporary + ": " + errnoText(saved);
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(file.get(), bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("cannot write");
        }
        written += static_cast<std::size_t>(count);
    }
    if (::fsync(file.get()) != 0) {
        return fail("cannot flush");
    }
    if (!file.close()) {
        return fail("cannot close");
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail("cannot rename");
    }
    // Make the rename itself durable; a failure here loses nothing already written.
    FileDescriptor folder(::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
    return std::nullopt;
}

std::optional<fs::path> moveFileAside(const fs::path& path) {
    const std::string base = path.string() + ".corrupt-" + compactTimestamp(currentDate());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string target = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        if (::link(path.c_str(), target.c_str()) == 0) {
            ::unlink(path.c_str());
            return fs::path(target);
        }
        if (errno == EEXIST) {
            continue;
        }
        // File systems without hard links: rename after a check.
        std::error_code error;
        if (fs::exists(target, error)) {
            continue;
        }
        if (::rename(path.c_str(), target.c_str()) == 0) {
            return fs::path(target);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace zestrel::platform
