#include "platform/base/CocoaError.h"

#include "platform/base/POSIXError.h"

#include <optional>

namespace zestrel::platform {
namespace {

std::string quoted(const std::string& name) {
    return "“" + name + "”";
}

// The platform's sentence for a file error, or nothing for a code it has none for here.
std::optional<std::string> fileErrorDescription(std::int64_t code, const URL& url,
                                                FileErrorVariant variant) {
    const std::string item = quoted(url.lastPathComponent());
    const std::string folderName = url.deletingLastPathComponent().lastPathComponent();
    const std::string inFolder = folderName.empty() ? "" : " in the folder " + quoted(folderName);
    switch (variant) {
    case FileErrorVariant::remove:
        return code == NSFileWriteNoPermissionError
                   ? item + " couldn’t be removed because you don’t have permission to access it."
                   : item + " couldn’t be removed.";
    case FileErrorVariant::trash:
        return code == NSFileWriteNoPermissionError
                   ? item + " couldn’t be moved to the trash because you don’t have permission "
                            "to access it."
                   : item + " couldn’t be moved to the trash.";
    case FileErrorVariant::folder:
        if (code == NSFileNoSuchFileError || code == NSFileReadNoSuchFileError) {
            return "The folder " + item + " doesn’t exist.";
        }
        if (code == NSFileReadNoPermissionError) {
            return "The folder " + item +
                   " couldn’t be opened because you don’t have permission to see its contents.";
        }
        break;
    case FileErrorVariant::file:
        break;
    }
    switch (code) {
    case NSFileNoSuchFileError:
        return "The file " + item + " doesn’t exist.";
    case NSFileReadUnknownError:
        return "The file " + item + " couldn’t be opened.";
    case NSFileReadNoPermissionError:
        return "The file " + item +
               " couldn’t be opened because you don’t have permission to view it.";
    case NSFileReadNoSuchFileError:
        return "The file " + item + " couldn’t be opened because there is no such file.";
    case NSFileWriteUnknownError:
        return "The file " + item + " couldn’t be saved" + inFolder + ".";
    case NSFileWriteNoPermissionError:
        return "You don’t have permission to save the file " + item + inFolder + ".";
    case NSFileWriteFileExistsError:
        return "The file " + item + " couldn’t be saved" + inFolder +
               " because a file with the same name already exists.";
    case NSFileWriteOutOfSpaceError:
        return "The file " + item + " couldn’t be saved because there isn’t enough space.";
    case NSFileWriteVolumeReadOnlyError:
        return "The file " + item + " couldn’t be saved because the volume is read only.";
    default:
        return std::nullopt;
    }
}

} // namespace

Error dataReadCorruptError(std::int64_t code, std::string debugDescription) {
    return NSError::make(NSCocoaErrorDomain, code,
                         {{NSLocalizedDescriptionKey,
                           "The data couldn’t be read because it isn’t in the correct format."},
                          {NSDebugDescriptionErrorKey, std::move(debugDescription)}});
}

Error dataWriteInvalidError(std::string debugDescription) {
    return NSError::make(NSCocoaErrorDomain, NSCoderInvalidValueError,
                         {{NSLocalizedDescriptionKey,
                           "The data couldn’t be written because it isn’t in the correct format."},
                          {NSDebugDescriptionErrorKey, std::move(debugDescription)}});
}

Error fileError(std::int64_t code, const URL& url, int posixCode, FileErrorVariant variant) {
    Value::Dictionary userInfo{
        {NSFilePathErrorKey, Value(url.path())},
        {NSURLErrorKey, Value(url)},
        {NSUnderlyingErrorKey, NSError::make(NSPOSIXErrorDomain, posixCode)},
        {NSLocalizedFailureReasonErrorKey, Value(posixErrorMessage(posixCode))},
    };
    if (auto description = fileErrorDescription(code, url, variant)) {
        userInfo.emplace(NSLocalizedDescriptionKey, Value(std::move(*description)));
    }
    return NSError::make(NSCocoaErrorDomain, code, std::move(userInfo));
}

} // namespace zestrel::platform
