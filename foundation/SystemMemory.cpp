#include "foundation/SystemMemory.h"

#include "foundation/ErrorReporter.h"
#include "platform/base/Error.h"
#include "platform/system/HostMemory.h"

namespace zestrel {

std::int64_t systemFreeMemory() {
    return platform::hostFreeMemoryBytes();
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
