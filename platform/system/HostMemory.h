#pragma once

#include <cstdint>

namespace zestrel::platform {

// The host's free physical memory in bytes: free pages times the page size. A query that
// fails throws an error object in NSPOSIXErrorDomain whose code is the errno (EINVAL
// when the system gave none). A product beyond 64 bits, or a negative page count or size
// other than the failure value, stops the process: the system never answers that.
std::int64_t hostFreeMemoryBytes();

// How the figures are asked for: `sysconf`, unless a test puts something else in place.
// A query answers -1 and sets errno when it fails.
using SysconfFunction = long (*)(int name);

// Puts `replacement` in place of `sysconf` for as long as it lives.
class ScopedSysconfOverride {
public:
    explicit ScopedSysconfOverride(SysconfFunction replacement);
    ~ScopedSysconfOverride();
    ScopedSysconfOverride(const ScopedSysconfOverride&) = delete;
    ScopedSysconfOverride& operator=(const ScopedSysconfOverride&) = delete;

private:
    SysconfFunction previous_;
};

} // namespace zestrel::platform
