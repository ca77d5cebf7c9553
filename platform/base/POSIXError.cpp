#include "platform/base/POSIXError.h"

#include <cerrno>
#include <cstring>

namespace zestrel::platform {

std::string posixErrorMessage(int code) {
    // Where the platform's wording differs from Linux's, or its number means something else.
    switch (code) {
    case kNoSuchAttribute:
        return "Attribute not found";
    case EBUSY:
        return "Resource busy";
    case EXDEV:
        return "Cross-device link";
    case EDQUOT:
        return "Disc quota exceeded";
    default:
        return std::strerror(code);
    }
}

} // namespace zestrel::platform
