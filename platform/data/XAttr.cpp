#include "platform/data/XAttr.h"

#include "platform/data/FileChangeGate.h"

#include <string>
#include <sys/xattr.h>

namespace zestrel::platform {
namespace {

std::string storedName(const char* name) {
    return std::string("user.") + name;
}

// Callers compare errno with the platform's number for a missing attribute, not Linux's.
template <class Result> Result withPlatformErrno(Result result) {
    if (result < 0 && errno == ENODATA) {
        errno = kNoSuchAttribute;
    }
    return result;
}

} // namespace

ssize_t getxattr(const char* path, const char* name, void* value, std::size_t size,
                 std::uint32_t position, int options) {
    if (position != 0) {
        errno = EINVAL;
        return -1;
    }
    const std::string stored = storedName(name);
    if (value == nullptr) {
        size = 0;
    }
    return withPlatformErrno((options & XATTR_NOFOLLOW) != 0
                                 ? ::lgetxattr(path, stored.c_str(), value, size)
                                 : ::getxattr(path, stored.c_str(), value, size));
}

int setxattr(const char* path, const char* name, const void* value, std::size_t size,
             std::uint32_t position, int options) {
    if (position != 0) {
        errno = EINVAL;
        return -1;
    }
    if (const std::error_code refused = FileChangeGate::check()) {
        errno = refused.value();
        return -1;
    }
    const std::string stored = storedName(name);
    return withPlatformErrno((options & XATTR_NOFOLLOW) != 0
                                 ? ::lsetxattr(path, stored.c_str(), value, size, 0)
                                 : ::setxattr(path, stored.c_str(), value, size, 0));
}

} // namespace zestrel::platform
