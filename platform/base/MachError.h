#pragma once

#include <cstdint>

namespace zestrel::platform {

using kern_return_t = std::int32_t;

// The domain of error objects that carry a kernel return code (`MachError`).
inline constexpr const char* NSMachErrorDomain = "NSMachErrorDomain";

inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr kern_return_t KERN_INVALID_ARGUMENT = 4;
inline constexpr kern_return_t KERN_FAILURE = 5;

// I/O Kit's return codes share the kernel's type and its texts.
using IOReturn = kern_return_t;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xe00002bc);
inline constexpr IOReturn kIOReturnNoMemory = static_cast<IOReturn>(0xe00002bd);
inline constexpr IOReturn kIOReturnNotPrivileged = static_cast<IOReturn>(0xe00002c1);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xe00002c2);
inline constexpr IOReturn kIOReturnUnsupported = static_cast<IOReturn>(0xe00002c7);

// The kernel's text for a return code ("(os/kern) failure", "(iokit/common) general error").
// Unlike the real call it answers null for a code it has no text for, so that callers'
// fallbacks for that case can be reached.
const char* mach_error_string(kern_return_t code);

} // namespace zestrel::platform
