#pragma once

#include "platform/base/Value.h"

#include <cstdint>
#include <string_view>

namespace zestrel::platform {

// The I/O Registry as far as machine facts are read from it. Two entries exist: the root,
// whose "OS Build Version" is the kernel's release text, and "IOPlatformExpertDevice",
// whose "model" is the machine's product name from the firmware tables (with the trailing
// zero byte the registry keeps) when the system lets it be read.
using io_object_t = std::uint32_t;
using io_registry_entry_t = io_object_t;
using io_service_t = io_object_t;
using mach_port_t = std::uint32_t;

inline constexpr mach_port_t kIOMainPortDefault = 0;
inline constexpr io_object_t IO_OBJECT_NULL = 0;

io_registry_entry_t IORegistryGetRootEntry(mach_port_t mainPort);
Value::Dictionary IOServiceMatching(std::string_view className);
// IO_OBJECT_NULL when nothing matches.
io_service_t IOServiceGetMatchingService(mach_port_t mainPort, const Value::Dictionary& matching);
// Absent when the entry has no such property.
Value IORegistryEntryCreateCFProperty(io_registry_entry_t entry, std::string_view key);
void IOObjectRelease(io_object_t object);

// Replaces a property of an entry ("IORegistryRoot" or a class name) for this process; an
// absent value removes it.
void IORegistrySetPropertyForTesting(std::string_view entry, std::string_view key, Value value);

} // namespace zestrel::platform
