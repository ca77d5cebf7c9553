#pragma once

#include "platform/base/Error.h"

#include <cstdint>
#include <string>

namespace zestrel::platform {

// Codes of the Cocoa error domain that the stand-in's readers and writers throw.
inline constexpr std::int64_t NSFileNoSuchFileError = 4;
inline constexpr std::int64_t NSFileReadUnknownError = 256;
inline constexpr std::int64_t NSFileReadNoPermissionError = 257;
inline constexpr std::int64_t NSFileReadNoSuchFileError = 260;
inline constexpr std::int64_t NSFileReadUnsupportedSchemeError = 262;
inline constexpr std::int64_t NSFileWriteUnknownError = 512;
inline constexpr std::int64_t NSFileWriteNoPermissionError = 513;
inline constexpr std::int64_t NSFileWriteFileExistsError = 516;
inline constexpr std::int64_t NSFileWriteOutOfSpaceError = 640;
inline constexpr std::int64_t NSFileWriteVolumeReadOnlyError = 642;
inline constexpr std::int64_t NSPropertyListReadCorruptError = 3840;
inline constexpr std::int64_t NSPropertyListWriteInvalidError = 3851;
inline constexpr std::int64_t NSCoderReadCorruptError = 4864;
inline constexpr std::int64_t NSCoderValueNotFoundError = 4865;
inline constexpr std::int64_t NSCoderInvalidValueError = 4866;

// Data that cannot be read: "The data couldn’t be read because it isn’t in the correct
// format.", with what went wrong as the debug description.
Error dataReadCorruptError(std::int64_t code, std::string debugDescription);
// A value that cannot be written in the format (NSCoderInvalidValueError).
Error dataWriteInvalidError(std::string debugDescription);

// What the failing file call was doing; the platform words its file errors after it.
enum class FileErrorVariant {
    file,   // reading or saving one file
    folder, // listing or making a folder
    remove,
    trash,
};

// A file error as the platform's file calls throw it: the code, the item's path and URL,
// the POSIX error under it, and the platform's description naming the item and what went
// wrong ("“notes.txt” couldn’t be removed because you don’t have permission to access it."),
// with the POSIX error's text as the failure reason ("Permission denied").
Error fileError(std::int64_t code, const URL& url, int posixCode,
                FileErrorVariant variant = FileErrorVariant::file);

} // namespace zestrel::platform
