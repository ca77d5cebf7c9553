#pragma once

#include "platform/base/Error.h"

#include <cstdint>
#include <string>

namespace zestrel::platform {

// Codes of the Cocoa error domain that the stand-in's readers and writers throw.
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

} // namespace zestrel::platform
