#include "platform/data/FileSafety.h"

#include "platform/base/Clock.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
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

// A write's temporary file: ".<name>.XXXXXX" beside the file, as mkstemp would name it.
constexpr std::size_t kTemporarySuffixLength = 6;
constexpr std::string_view kTemporaryLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string temporaryPrefix(std::string_view name) {
    return "." + std::string(name) + ".";
}

bool isTemporaryName(std::string_view candidate, std::string_view prefix) {
    return candidate.size() == prefix.size() + kTemporarySuffixLength &&
           candidate.starts_with(prefix) &&
           candidate.find_first_not_of(kTemporaryLetters, prefix.size()) == std::string_view::npos;
}

// There is no mkstempat: the letters are drawn here and the name taken with O_EXCL.
FileDescriptor createTemporaryAt(int folder, std::string_view name, mode_t mode,
                                 std::string& temporary) {
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> letter(0, kTemporaryLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = temporaryPrefix(name);
        for (std::size_t i = 0; i < kTemporarySuffixLength; ++i) {
            temporary += kTemporaryLetters[letter(random)];
        }
        const int fd = ::openat(folder, temporary.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return FileDescriptor(fd);
        }
    }
    return FileDescriptor(-1);
}

fs::path folderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

} // namespace

std::string errnoText(int error) {
    return std::strerror(error);
}

std::string FileReplacementFailure::describe(const fs::path& folder) const {
    return action + " " + (name.empty() ? folder : folder / name).string() + ": " +
           errnoText(error);
}

std::optional<FileReplacementFailure> replaceFileAt(int folder, std::string_view name,
                                                    std::span<const std::byte> bytes,
                                                    mode_t newFileMode) {
    std::string temporary;
    FileDescriptor file = createTemporaryAt(folder, name, newFileMode, temporary);
    if (file.get() < 0) {
        return FileReplacementFailure{"cannot create a temporary file in", "", errno};
    }
    const auto fail = [&](std::string action) {
        const int saved = errno;
        ::unlinkat(folder, temporary.c_str(), 0);
        errno = saved;
        return FileReplacementFailure{std::move(action), temporary, saved};
    };
    struct stat old {};
    const std::string target(name);
    if (::fstatat(folder, target.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode) &&
        ::fchmod(file.get(), old.st_mode & 07777) != 0) {
        return fail("cannot set the permissions of");
    }
    for (std::size_t written = 0; written < bytes.size();) {
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
    // A folder at the name is refused here (EISDIR), after the bytes were written in vain.
    if (::renameat(folder, temporary.c_str(), folder, target.c_str()) != 0) {
        return fail("cannot rename");
    }
    // Make the rename itself durable; a failure here loses nothing already written.
    ::fsync(folder);
    return std::nullopt;
}

std::optional<std::string> writeFileAtomically(const fs::path& link, const Data& bytes) {
    // Renaming over a link would replace the link and leave its target with the old bytes.
    const fs::path path = resolvedFilePath(link);
    const fs::path parent = folderOf(path);
    std::error_code error;
    fs::create_directories(parent, error);
    if (error) {
        errno = error.value();
        return "cannot create " + parent.string() + ": " + error.message();
    }
    FileDescriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        return "cannot open " + parent.string() + ": " + errnoText(errno);
    }
    // Private when new, as the defaults database's files are.
    const auto failure = replaceFileAt(folder.get(), path.filename().string(),
                                       std::as_bytes(std::span(bytes)), 0600);
    if (!failure) {
        return std::nullopt;
    }
    std::string text = failure->describe(parent);
    errno = failure->error;
    return text;
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
    const FileDescriptor folder(::open(folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        removeStaleTemporaryFilesAt(folder.get(), file.filename().string());
    }
}

void removeStaleTemporaryFilesAt(int folder, std::string_view name) {
    // A descriptor of its own, since closing the listing closes the descriptor it was given.
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) {
        return;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::fdopendir(own), ::closedir);
    if (!listing) {
        ::close(own);
        return;
    }
    const std::string prefix = temporaryPrefix(name);
    while (const dirent* entry = ::readdir(listing.get())) {
        struct stat status {};
        if (isTemporaryName(entry->d_name, prefix) &&
            ::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode)) {
            ::unlinkat(folder, entry->d_name, 0);
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
