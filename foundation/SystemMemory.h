#pragma once

#include "foundation/Bytes.h"

#include <cstdint>

namespace zestrel {

// The free physical memory in bytes; throws the system's error when it cannot be read.
std::int64_t systemFreeMemory();

// The free physical memory, or zero bytes (after reporting the error) when it cannot be read.
Bytes availableMemory();

} // namespace zestrel
