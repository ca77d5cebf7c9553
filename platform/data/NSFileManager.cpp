#include "platform/data/NSFileManager.h"

#include "platform/base/Bundle.h"
#include "platform/base/Clock.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/FileChangeGate.h"
#include "platform/data/UserDirectories.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

struct Failures {
    Mutex mutex;
    std::map<NSSearchPathDirectory, std::pair<Error, int>> next GUARDED_BY(mutex);
};

ProcessLocal<Failures>& failures() {
    static auto* const instance = new ProcessLocal<Failures>();
    return *instance;
}

std::int64_t writeCode(int posixCode) {
    switch (posixCode) {
    case ENOENT:
    case ENOTDIR:
        return NSFileNoSuchFileError;
    case EACCES:
    case EPERM:
    case EROFS:
        return NSFileWriteNoPermissionError;
    default:
        return NSFileWriteUnknownError;
    }
}

[[noreturn]] void throwFileError(std::int64_t code, const URL& url, int posixCode,
                                 FileErrorVariant variant = FileErrorVariant::file) {
    throw fileError(code, url, posixCode, variant);
}

// Throws the error of a change to `url` that the gate refuses.
void admitChange(const URL& url, FileErrorVariant variant) {
    if (const std::error_code refused = FileChangeGate::check()) {
        throwFileError(writeCode(refused.value()), url, refused.value(), variant);
    }
}

// "2026-01-15T11:00:00" in local time, as trash information files keep it.
std::string deletionDate() {
    const std::time_t seconds = static_cast<std::time_t>(currentDate().timeIntervalSince1970());
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// Reserves a free name in the Trash by creating its information file exclusively.
std::pair<fs::path, fs::path> reserveTrashName(const fs::path& trash, const fs::path& original) {
    const std::string stem = original.stem().string();
    const std::string extension = original.extension().string();
    for (int number = 1;; ++number) {
        const std::string name = number == 1 ? original.filename().string()
                                             : stem + " " + std::to_string(number) + extension;
        const fs::path info = trash / "info" / (name + ".trashinfo");
        std::error_code error;
        if (fs::exists(trash / "files" / name, error)) {
            continue;
        }
        const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return {trash / "files" / name, info};
        }
        if (errno != EEXIST) {
            return {};
        }
    }
}

// Whether the permission bits let this user `read`, `write` or `search` (R_OK, W_OK, X_OK),
// by the bits of the one class the user falls in; the super-user is given no exception.
bool permits(const struct stat& status, int wanted) {
    unsigned bits = status.st_mode & 07;
    if (status.st_uid == ::geteuid()) {
        bits = (status.st_mode >> 6) & 07;
    } else {
        bool inGroup = status.st_gid == ::getegid();
        if (!inGroup) {
            std::vector<gid_t> groups(
                static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
            const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
            inGroup = std::find(groups.begin(), groups.begin() + std::max(count, 0),
                                status.st_gid) != groups.begin() + std::max(count, 0);
        }
        if (inGroup) {
            bits = (status.st_mode >> 3) & 07;
        }
    }
    return (bits & static_cast<unsigned>(wanted)) == static_cast<unsigned>(wanted);
}

bool pathPermits(const fs::path& path, int wanted) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && permits(status, wanted);
}

// The first folder that removing `path` would have to change and may not, if any.
std::optional<fs::path> unremovableFolder(const fs::path& path) {
    const fs::path parent = path.parent_path();
    if (!pathPermits(parent, W_OK | X_OK)) {
        return parent;
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return std::nullopt;
    }
    std::error_code error;
    const bool empty = fs::is_empty(path, error);
    if (empty && !error) {
        return std::nullopt;
    }
    if (!permits(status, R_OK | W_OK | X_OK)) {
        return path;
    }
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        if (auto refused = unremovableFolder(it->path())) {
            return refused;
        }
    }
    return std::nullopt;
}

std::optional<Date> birthDate(const fs::path& path) {
    struct statx status {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &status) != 0 ||
        (status.stx_mask & STATX_BTIME) == 0) {
        return std::nullopt;
    }
    return Date::fromTimeIntervalSince1970(static_cast<double>(status.stx_btime.tv_sec) +
                                           static_cast<double>(status.stx_btime.tv_nsec) / 1e9);
}

void listFolder(const fs::path& folder, std::vector<URL>& into) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const bool isFolder = it->is_directory(error) && !it->is_symlink(error);
        into.push_back(URL::fileURL(it->path().string(), isFolder));
        if (isFolder && pathPermits(it->path(), R_OK | X_OK)) {
            listFolder(it->path(), into);
        }
    }
}

} // namespace

std::string describe(NSSearchPathDirectory directory) {
    switch (directory) {
    case NSSearchPathDirectory::documentDirectory:
        return "documentDirectory";
    case NSSearchPathDirectory::cachesDirectory:
        return "cachesDirectory";
    case NSSearchPathDirectory::applicationSupportDirectory:
        return "applicationSupportDirectory";
    case NSSearchPathDirectory::downloadsDirectory:
        return "downloadsDirectory";
    case NSSearchPathDirectory::itemReplacementDirectory:
        return "itemReplacementDirectory";
    }
    return "NSSearchPathDirectory(rawValue: " + std::to_string(static_cast<unsigned>(directory)) +
           ")";
}

NSFileManager& NSFileManager::defaultManager() {
    static auto* const instance = new NSFileManager();
    return *instance;
}

std::optional<fs::path> NSFileManager::sandboxContainer() {
    if (std::getenv("APP_SANDBOX_CONTAINER_ID") == nullptr) {
        return std::nullopt;
    }
    const auto identifier = Bundle::main()->bundleIdentifier();
    return homeDirectory() / "Library" / "Containers" / identifier.value_or("app") / "Data";
}

URL NSFileManager::URLForDirectory(NSSearchPathDirectory directory,
                                   NSSearchPathDomainMask /*domain*/,
                                   const std::optional<URL>& /*appropriateForURL*/, bool create) {
    {
        auto& state = *failures();
        MutexLock lock(state.mutex);
        const auto found = state.next.find(directory);
        if (found != state.next.end()) {
            const Error error = found->second.first;
            if (--found->second.second <= 0) {
                state.next.erase(found);
            }
            throw error;
        }
    }
    fs::path path;
    // A sandboxed app's own folders lie in its container, as the system gives them to it.
    const auto container = sandboxContainer();
    switch (directory) {
    case NSSearchPathDirectory::documentDirectory:
        path = (container ? *container : homeDirectory()) / "Documents";
        break;
    case NSSearchPathDirectory::cachesDirectory:
        path = container ? *container / "Library" / "Caches" : xdgCacheHome();
        break;
    case NSSearchPathDirectory::applicationSupportDirectory:
        path = container ? *container / "Library" / "Application Support" : xdgDataHome();
        break;
    case NSSearchPathDirectory::downloadsDirectory:
        path = (container ? *container : homeDirectory()) / "Downloads";
        break;
    case NSSearchPathDirectory::itemReplacementDirectory: {
        const fs::path parent = fs::path(temporaryDirectory().path()) / "TemporaryItems";
        admitChange(URL::fileURL(parent.string(), true), FileErrorVariant::folder);
        std::error_code error;
        fs::create_directories(parent, error);
        const auto name = Bundle::main()->infoDictionary().find(kCFBundleNameKey);
        const std::string appName =
            name != Bundle::main()->infoDictionary().end() && name->second.asString() != nullptr
                ? *name->second.asString()
                : std::string("app");
        std::string pattern = (parent / ("NSIRD_" + appName + "_XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throwFileError(writeCode(errno), URL::fileURL(parent.string(), true), errno,
                           FileErrorVariant::folder);
        }
        return URL::fileURL(pattern, true);
    }
    }
    const URL url = URL::fileURL(path.string(), true);
    if (create) {
        admitChange(url, FileErrorVariant::folder);
        std::error_code error;
        fs::create_directories(path, error);
        if (error) {
            throwFileError(writeCode(error.value()), url, error.value(), FileErrorVariant::folder);
        }
    }
    return url;
}

URL NSFileManager::temporaryDirectory() const {
    const auto container = sandboxContainer();
    const fs::path folder = container ? *container / "tmp" : platform::temporaryDirectory();
    // The system keeps the folder there for the app; a new home has to make it first.
    if (!FileChangeGate::check()) {
        std::error_code ignored;
        fs::create_directories(folder, ignored);
    }
    return URL::fileURL(folder.string(), true);
}

bool NSFileManager::fileExistsAtPath(std::string_view path) const {
    struct stat status {};
    return ::stat(std::string(path).c_str(), &status) == 0;
}

void NSFileManager::removeItemAtURL(const URL& url) {
    std::error_code error;
    const fs::path path = url.path();
    if (!fs::exists(fs::symlink_status(path, error))) {
        throwFileError(NSFileNoSuchFileError, url, ENOENT, FileErrorVariant::remove);
    }
    admitChange(url, FileErrorVariant::remove);
    if (unremovableFolder(path.has_filename() ? path : path.parent_path())) {
        throwFileError(NSFileWriteNoPermissionError, url, EACCES, FileErrorVariant::remove);
    }
    fs::remove_all(path, error);
    if (error) {
        throwFileError(writeCode(error.value()), url, error.value(), FileErrorVariant::remove);
    }
}

std::vector<URL> NSFileManager::contentsOfDirectoryAtURL(const URL& url) {
    const fs::path folder = url.path();
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) {
        throwFileError(errno == ENOENT ? NSFileReadNoSuchFileError : NSFileReadUnknownError, url,
                       errno, FileErrorVariant::folder);
    }
    if (!S_ISDIR(status.st_mode)) {
        throwFileError(NSFileReadUnknownError, url, ENOTDIR, FileErrorVariant::folder);
    }
    if (!permits(status, R_OK | X_OK)) {
        throwFileError(NSFileReadNoPermissionError, url, EACCES, FileErrorVariant::folder);
    }
    std::vector<URL> items;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        items.push_back(URL::fileURL(it->path().string(), it->is_directory(error)));
    }
    if (error) {
        throwFileError(NSFileReadUnknownError, url, error.value(), FileErrorVariant::folder);
    }
    return items;
}

std::optional<std::vector<URL>> NSFileManager::enumeratorAtURL(const URL& url) {
    const fs::path folder = url.path();
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        !permits(status, R_OK | X_OK)) {
        return std::nullopt;
    }
    std::vector<URL> items;
    listFolder(folder, items);
    return items;
}

URL NSFileManager::trashItemAtURL(const URL& url) {
    if (!url.isFileURL()) {
        throwFileError(NSFileNoSuchFileError, url, ENOENT, FileErrorVariant::trash);
    }
    std::string pathText = url.path();
    while (pathText.size() > 1 && pathText.back() == '/') {
        pathText.pop_back();
    }
    const fs::path original = pathText;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(original, error))) {
        throwFileError(NSFileNoSuchFileError, url, ENOENT, FileErrorVariant::trash);
    }
    admitChange(url, FileErrorVariant::trash);
    const fs::path trash = xdgDataHome() / "Trash";
    fs::create_directories(trash / "files", error);
    fs::create_directories(trash / "info", error);
    if (error) {
        throwFileError(writeCode(error.value()), url, error.value(), FileErrorVariant::trash);
    }
    const auto [target, info] = reserveTrashName(trash, original);
    if (target.empty()) {
        throwFileError(writeCode(errno), url, errno, FileErrorVariant::trash);
    }
    const std::string contents = "[Trash Info]\nPath=" + percentEncodePath(original.string()) +
                                 "\nDeletionDate=" + deletionDate() + "\n";
    if (FILE* file = std::fopen(info.c_str(), "w")) {
        std::fputs(contents.c_str(), file);
        std::fclose(file);
    }
    fs::rename(original, target, error);
    if (error == std::errc::cross_device_link) {
        error.clear();
        fs::copy(original, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                 error);
        if (!error) {
            fs::remove_all(original, error);
        }
    }
    if (error) {
        std::error_code ignored;
        fs::remove(info, ignored);
        throwFileError(writeCode(error.value()), url, error.value(), FileErrorVariant::trash);
    }
    return URL::fileURL(target.string(), fs::is_directory(target, error));
}

Value::Dictionary NSFileManager::resourceValuesForKeys(const URL& url,
                                                       const std::vector<std::string>& keys) {
    if (!url.isFileURL()) {
        throw NSError::make(NSCocoaErrorDomain, NSFileReadUnsupportedSchemeError,
                            {{NSURLErrorKey, Value(url)}});
    }
    struct stat linkStatus {};
    if (::lstat(url.path().c_str(), &linkStatus) != 0) {
        throwFileError(errno == ENOENT ? NSFileReadNoSuchFileError : NSFileReadUnknownError, url,
                       errno);
    }
    struct stat status = linkStatus;
    const bool isLink = S_ISLNK(linkStatus.st_mode);
    // What a link allows is what its target allows.
    struct stat target = linkStatus;
    if (isLink && ::stat(url.path().c_str(), &target) != 0) {
        target = linkStatus;
    }
    Value::Dictionary values;
    for (const auto& key : keys) {
        if (key == NSURLIsDirectoryKey) {
            values[key] = Value(S_ISDIR(status.st_mode));
        } else if (key == NSURLIsRegularFileKey) {
            values[key] = Value(S_ISREG(status.st_mode));
        } else if (key == NSURLIsSymbolicLinkKey) {
            values[key] = Value(isLink);
        } else if (key == NSURLIsApplicationKey) {
            values[key] = Value(S_ISDIR(status.st_mode) && url.pathExtension() == "app");
        } else if (key == NSURLIsPackageKey) {
            static const std::set<std::string, std::less<>> kPackages{
                "app", "appex", "bundle", "framework", "kext", "plugin", "rtfd", "xpc"};
            values[key] = Value(S_ISDIR(status.st_mode) && kPackages.contains(url.pathExtension()));
        } else if (key == NSURLNameKey || key == NSURLLocalizedNameKey) {
            values[key] = Value(url.lastPathComponent());
        } else if (key == NSURLIsReadableKey) {
            values[key] = Value(permits(target, R_OK));
        } else if (key == NSURLIsWritableKey) {
            values[key] = Value(permits(target, W_OK));
        } else if (key == NSURLCreationDateKey) {
            if (const auto born = birthDate(url.path())) {
                values[key] = Value(*born);
            }
        } else if (key == NSURLFileSizeKey) {
            if (S_ISREG(status.st_mode)) {
                values[key] = Value(static_cast<std::int64_t>(status.st_size));
            }
        } else if (key == NSURLContentModificationDateKey) {
            values[key] = Value(
                Date::fromTimeIntervalSince1970(static_cast<double>(status.st_mtim.tv_sec) +
                                                static_cast<double>(status.st_mtim.tv_nsec) / 1e9));
        }
    }
    return values;
}

void NSFileManager::failNextDirectoryLookups(NSSearchPathDirectory directory, Error error,
                                             int count) {
    auto& state = *failures();
    MutexLock lock(state.mutex);
    state.next.insert_or_assign(directory, std::make_pair(std::move(error), count));
}

} // namespace zestrel::platform
