#pragma once

#include "platform/base/Geometry.h"

#include <cstddef>
#include <cstdint>

// The Window Server's facts about a display, by its number (an `NSScreen`'s
// "NSScreenNumber"). A number that names no connected display answers zeros and false.
namespace zestrel::platform {

using CGDirectDisplayID = std::uint32_t;
using boolean_t = std::uint32_t;

// The display with the menu bar; 0 when there is none.
CGDirectDisplayID CGMainDisplayID();
// In global coordinates: origin at the top left of the main display, y growing downward.
CGRect CGDisplayBounds(CGDirectDisplayID display);
// The frame's size in points times the backing scale, rounded down.
std::size_t CGDisplayPixelsWide(CGDirectDisplayID display);
std::size_t CGDisplayPixelsHigh(CGDirectDisplayID display);
boolean_t CGDisplayIsMain(CGDirectDisplayID display);
boolean_t CGDisplayIsBuiltin(CGDirectDisplayID display);
boolean_t CGDisplayIsOnline(CGDirectDisplayID display);

} // namespace zestrel::platform
