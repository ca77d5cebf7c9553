#include "platform/system/HostMemory.h"

#include "platform/base/Error.h"

#include <atomic>
#include <cerrno>
#include <fmt/format.h>
#include <limits>
#include <unistd.h>

namespace zestrel::platform {

namespace {

std::atomic<SysconfFunction> sysconfFunction{&::sysconf};

long query(int name) {
    errno = 0;
    const long result = sysconfFunction.load()(name);
    if (result == -1) {
        throw NSError::make(NSPOSIXErrorDomain, errno != 0 ? errno : EINVAL);
    }
    if (result < 0) {
        fatal(fmt::format("sysconf({}) answered {}", name, result));
    }
    return result;
}

} // namespace

std::int64_t hostFreeMemoryBytes() {
    const long pageSize = query(_SC_PAGESIZE);
    const long freePages = query(_SC_AVPHYS_PAGES);
    std::int64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(freePages),
                               static_cast<std::int64_t>(pageSize), &bytes)) {
        fatal("Free memory overflows a 64-bit byte count");
    }
    return bytes;
}

ScopedSysconfOverride::ScopedSysconfOverride(SysconfFunction replacement)
    : previous_(sysconfFunction.exchange(replacement)) {}

ScopedSysconfOverride::~ScopedSysconfOverride() {
    sysconfFunction.store(previous_);
}

} // namespace zestrel::platform
