#include "foundation/SystemMemory.h"

#include "foundation/ErrorReporter.h"
#include "platform/base/Error.h"
#include "platform/base/MachError.h"
#include "platform/system/HostMemory.h"

namespace zestrel {

std::int64_t systemFreeMemory() {
    try {
        return platform::hostFreeMemoryBytes();
    } catch (const platform::Error&) {
        // The host query's own failure is no kernel return code the caller could act on.
        throw platform::NSError::make(platform::NSMachErrorDomain, platform::KERN_FAILURE);
    }
}

Bytes availableMemory() {
    try {
        return Bytes{systemFreeMemory()};
    } catch (const platform::Error& error) {
        reportError(error);
        return Bytes::zero();
    }
}

} // namespace zestrel
