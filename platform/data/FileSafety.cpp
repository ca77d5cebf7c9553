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

// A write's temporary file: ".<name>.XXXXXX" beside the file, the X's made by mkstemp.
constexpr std::size_t kTemporarySuffixLength = 6;

std::string temporaryPrefix(const fs::path& path) {
    return "." + path.filename().string() + ".";
}

} // namespace

std::string errnoText(int error) {
    return std::strerror(error);
}

// A temporary file in the same folder, flushed to the disk, then renamed over it.
std::optional<std::string> writeFileAtomically(const fs::path& link, const Data& bytes) {
    // Renaming over a link would replace the link and leave its target with the old bytes.
    const fs::path path = resolvedFilePath(link);
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) {
        return "cannot create " + path.parent_path().string() + ": " + error.message();
    }
    std::string temporary =
        path.parent_path() / (temporaryPrefix(path) + std::string(kTemporarySuffixLength, 'X'));
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
    // The new file keeps the permissions the old one had (mkstemp makes it private).
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && ::fchmod(file.get(), old.st_mode & 07777) != 0) {
        return fail("cannot set the permissions of");
    }
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

fs::path resolvedFilePath(const fs::path& path) {
    constexpr int kMaximumLinks = 40; // as the kernel's own limit
    fs::path current = path;
    for (int hop = 0; hop < kMaximumLinks; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) {
            return current;
        }
        const fs::path target = fs::read_symlink(current, error);
        if (error) {
            return current;
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return path;
}

void removeStaleTemporaryFiles(const fs::path& path) {
    const fs::path file = resolvedFilePath(path);
    const std::string prefix = temporaryPrefix(file);
    std::error_code error;
    for (fs::directory_iterator entry(file.parent_path(), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code kind;
        if (name.size() == prefix.size() + kTemporarySuffixLength && name.starts_with(prefix) &&
            entry->is_regular_file(kind)) {
            ::unlink(entry->path().c_str());
        }
    }
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
