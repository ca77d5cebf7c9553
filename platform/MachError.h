#pragma once

#include <cstdint>

namespace zestrel::platform {

using kern_return_t = std::int32_t;

inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr kern_return_t KERN_INVALID_ARGUMENT = 4;
inline constexpr kern_return_t KERN_FAILURE = 5;

// The kernel's text for a return code ("(os/kern) failure", "(iokit/common) general error").
// Unlike the real call it answers null for a code it has no text for, so that callers'
// fallbacks for that case can be reached.
const char* mach_error_string(kern_return_t code);

} // namespace zestrel::platform
