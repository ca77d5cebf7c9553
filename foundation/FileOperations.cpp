#include "foundation/FileOperations.h"

#include "platform/base/CocoaError.h"
#include "platform/data/FileChangeGate.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace zestrel {
namespace {

namespace fs = std::filesystem;

// The platform's code for a POSIX failure to make an item.
std::int64_t writeErrorCode(int posixCode) {
    switch (posixCode) {
    case ENOENT:
    case ENOTDIR:
        return platform::NSFileNoSuchFileError;
    case EACCES:
    case EPERM:
        return platform::NSFileWriteNoPermissionError;
    case EEXIST:
        return platform::NSFileWriteFileExistsError;
    case ENOSPC:
    case EDQUOT:
        return platform::NSFileWriteOutOfSpaceError;
    case EROFS:
        return platform::NSFileWriteVolumeReadOnlyError;
    default:
        return platform::NSFileWriteUnknownError;
    }
}

[[noreturn]] void throwFolderError(const platform::URL& url, const std::error_code& error) {
    throw platform::fileError(writeErrorCode(error.value()), url, error.value(),
                              platform::FileErrorVariant::folder);
}

} // namespace

void createDirectory(const platform::URL& url, bool withIntermediateDirectories) {
    const fs::path path = url.path();
    if (const std::error_code refused = platform::FileChangeGate::check()) {
        throwFolderError(url, refused);
    }
    std::error_code error;
    if (withIntermediateDirectories) {
        if (fs::exists(path, error) && !fs::is_directory(path, error)) {
            error = std::make_error_code(std::errc::file_exists);
        } else {
            fs::create_directories(path, error);
        }
    } else if (!fs::create_directory(path, error) && !error) {
        // An existing directory is an error unless parents were asked for.
        error = std::make_error_code(std::errc::file_exists);
    }
    if (error) {
        throwFolderError(url, error);
    }
}

std::vector<platform::URL> existingFileURLs(const std::vector<platform::URL>& urls) {
    std::vector<platform::URL> existing;
    for (const platform::URL& url : urls) {
        std::error_code error;
        if (fs::exists(url.path(), error)) {
            existing.push_back(url);
        }
    }
    return existing;
}

} // namespace zestrel
