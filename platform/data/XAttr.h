#pragma once

#include "platform/base/POSIXError.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace zestrel::platform {

// Extended attributes with the platform's calls. Attribute names are kept in the file
// system's user namespace: "com.apple.metadata:X" is stored as "user.com.apple.metadata:X".
// Failures answer -1 with errno set; an attribute that is not there is `kNoSuchAttribute`
// (the platform's ENOATTR), which Linux calls ENODATA under another number.
inline constexpr int XATTR_NOFOLLOW = 0x0001;

// With no buffer (or size 0) answers the attribute's size. `position` must be 0.
ssize_t getxattr(const char* path, const char* name, void* value, std::size_t size,
                 std::uint32_t position, int options);
int setxattr(const char* path, const char* name, const void* value, std::size_t size,
             std::uint32_t position, int options);

} // namespace zestrel::platform
