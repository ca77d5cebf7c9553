#include "platform/data/FileSafety.h"

#include "platform/base/Clock.h"
#include "platform/data/FolderWalk.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
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

// A write's temporary file beside its target: a fixed prefix, sixteen random hexadecimal
// digits, and sixteen more that seal them to the target's name (a hash of both). A person
// would not choose such a name, it does not grow with the target's (so any name the file
// system takes can be written), and the seal tells the temporaries of one target apart from
// anything else: only they are ever removed as a dead write's.
constexpr std::string_view kTemporaryPrefix = ".zestrel-write-";
constexpr std::size_t kTokenDigits = 16;
constexpr std::string_view kHexDigits = "0123456789abcdef";

// FNV-1a, 64 bits: no library call, since the defaults are written from exit handlers and
// fatal paths where a crypto library may already be torn down.
std::uint64_t sealOf(std::string_view token, std::string_view name) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    const auto mix = [&hash](std::string_view bytes) {
        for (const char byte : bytes) {
            hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
        }
    };
    mix(token);
    mix("/"); // no name holds one, so token and name cannot run into each other
    mix(name);
    return hash;
}

std::string sealedTemporaryName(std::string_view token, std::string_view name) {
    std::string temporary = std::string(kTemporaryPrefix) + std::string(token);
    const std::uint64_t seal = sealOf(token, name);
    for (int shift = 60; shift >= 0; shift -= 4) {
        temporary += kHexDigits[(seal >> shift) & 0xF];
    }
    return temporary;
}

// Whether the name is of the form a write's temporary takes, for any target.
bool isTemporaryName(std::string_view candidate) {
    return candidate.size() == kTemporaryPrefix.size() + 2 * kTokenDigits &&
           candidate.starts_with(kTemporaryPrefix) &&
           candidate.find_first_not_of(kHexDigits, kTemporaryPrefix.size()) ==
               std::string_view::npos;
}

bool isTemporaryOf(std::string_view candidate, std::string_view name) {
    return isTemporaryName(candidate) &&
           candidate ==
               sealedTemporaryName(candidate.substr(kTemporaryPrefix.size(), kTokenDigits), name);
}

// The regular files of the open folder that are named as a write's temporary, of any target;
// nothing when it cannot be listed.
std::optional<std::vector<std::string>> temporariesIn(int folder) {
    std::vector<FolderEntry> entries;
    if (listFolder(folder, entries) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> found;
    for (auto& entry : entries) {
        if (S_ISREG(entry.mode) && isTemporaryName(entry.name)) {
            found.push_back(std::move(entry.name));
        }
    }
    return found;
}

// Removes the files of `found` that a write of `name` made, a regular file still, and takes
// them out of `found`.
void removeTemporariesOf(int folder, std::vector<std::string>& found, std::string_view name) {
    std::erase_if(found, [&](const std::string& candidate) {
        if (!isTemporaryOf(candidate, name)) {
            return false;
        }
        struct stat status {};
        if (::fstatat(folder, candidate.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode)) {
            ::unlinkat(folder, candidate.c_str(), 0);
        }
        return true;
    });
}

// There is no mkstempat: the name is drawn here and taken with O_EXCL.
FileDescriptor createTemporaryAt(int folder, std::string_view name, mode_t mode,
                                 std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = temporaryNameFor(name);
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

std::string temporaryNameFor(std::string_view name) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> digit(0, kHexDigits.size() - 1);
    std::string token;
    for (std::size_t i = 0; i < kTokenDigits; ++i) {
        token += kHexDigits[digit(random)];
    }
    return sealedTemporaryName(token, name);
}

std::string errnoText(int error) {
    return std::strerror(error);
}

int writeAll(int fd, const char* bytes, std::size_t size) {
    for (std::size_t written = 0; written < size;) {
        const ssize_t count = ::write(fd, bytes + written, size - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        written += static_cast<std::size_t>(count);
    }
    return 0;
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
    if (const int error =
            writeAll(file.get(), reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
        errno = error;
        return fail("cannot write");
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
        const int cause = errno;
        std::string text = "cannot open " + parent.string() + ": " + errnoText(cause);
        errno = cause;
        return text;
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
    if (auto found = temporariesIn(folder)) {
        removeTemporariesOf(folder, *found, name);
    }
}

void StaleTemporaryFiles::removeAt(int folder, std::string_view name) {
    struct stat status {};
    if (::fstat(folder, &status) != 0) {
        return;
    }
    const std::pair key{status.st_dev, status.st_ino};
    auto looked = found_.find(key);
    if (looked == found_.end()) {
        auto found = temporariesIn(folder);
        if (!found) {
            return; // looked at again by the next write
        }
        looked = found_.emplace(key, std::move(*found)).first;
    }
    removeTemporariesOf(folder, looked->second, name);
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
