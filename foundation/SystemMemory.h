#pragma once

#include "foundation/Bytes.h"

#include <cstdint>

namespace zestrel {

// The free physical memory in bytes. When it cannot be read, throws the kernel's error
// (NSMachErrorDomain) with the general failure code KERN_FAILURE and no user info.
std::int64_t systemFreeMemory();

// The free physical memory, or zero bytes (after reporting the error) when it cannot be read.
Bytes availableMemory();

} // namespace zestrel
