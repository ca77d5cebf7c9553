#include "foundation/FileOperations.h"

#include "platform/base/Error.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace zestrel {
namespace {

namespace fs = std::filesystem;

// The platform's file-writing error codes.
constexpr std::int64_t kNoSuchFileError = 4;
constexpr std::int64_t kWriteUnknownError = 512;
constexpr std::int64_t kWriteNoPermissionError = 513;
constexpr std::int64_t kWriteFileExistsError = 516;
constexpr std::int64_t kWriteOutOfSpaceError = 640;
constexpr std::int64_t kWriteVolumeReadOnlyError = 642;

std::int64_t writeErrorCode(int posixCode) {
    switch (posixCode) {
    case ENOENT:
    case ENOTDIR:
        return kNoSuchFileError;
    case EACCES:
    case EPERM:
        return kWriteNoPermissionError;
    case EEXIST:
        return kWriteFileExistsError;
    case ENOSPC:
    case EDQUOT:
        return kWriteOutOfSpaceError;
    case EROFS:
        return kWriteVolumeReadOnlyError;
    default:
        return kWriteUnknownError;
    }
}

[[noreturn]] void throwWriteError(const platform::URL& url, int posixCode) {
    platform::Value::Dictionary userInfo{
        {platform::NSFilePathErrorKey, url.path()},
        {platform::NSURLErrorKey, url},
        {platform::NSUnderlyingErrorKey,
         platform::NSError::make(platform::NSPOSIXErrorDomain, posixCode)},
    };
    throw platform::NSError::make(platform::NSCocoaErrorDomain, writeErrorCode(posixCode),
                                  std::move(userInfo));
}

} // namespace

void createDirectory(const platform::URL& url, bool withIntermediateDirectories) {
    const fs::path path = url.path();
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
        throwWriteError(url, error.value());
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
