#include "platform/base/MachError.h"

namespace zestrel::platform {

const char* mach_error_string(kern_return_t code) {
    switch (code) {
    case KERN_SUCCESS:
        return "(os/kern) successful";
    case KERN_INVALID_ARGUMENT:
        return "(os/kern) invalid argument";
    case KERN_FAILURE:
        return "(os/kern) failure";
    case kIOReturnError:
        return "(iokit/common) general error";
    case kIOReturnNoMemory:
        return "(iokit/common) memory allocation error";
    case kIOReturnNotPrivileged:
        return "(iokit/common) privilege violation";
    case kIOReturnBadArgument:
        return "(iokit/common) invalid argument";
    case kIOReturnUnsupported:
        return "(iokit/common) unsupported function";
    default:
        return nullptr;
    }
}

} // namespace zestrel::platform
