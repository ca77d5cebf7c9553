#pragma once

#include "platform/desktop/CGEvent.h"

#include <cstdint>
#include <string>
#include <vector>

// Readable texts of Quartz event types and flag sets, for log lines and diagnostics, and the
// AppKit event types that count as user input.
namespace zestrel {

// The name of the type's case ("keyDown"), or null for a raw value outside the enumeration.
const char* caseName(platform::CGEventType type);
// "CGEventType.keyDown"; a type without a name gives "CGEventType.<UNKNOWN>(8)".
std::string debugDescription(platform::CGEventType type);
// The names of the modifier flags held, joined by ", ", then the whole raw value in
// parentheses: "alternate, command (1572864)"; the empty set gives " (0)".
std::string debugDescription(platform::CGEventFlags flags);

// Raw `NSEvent` type values of user input (clicks, drags, keys, scrolls, gestures, pressure).
// Mouse moves, enter and exit, flag changes and tablet proximity are not among them. Built
// once; never changes.
const std::vector<std::uint32_t>& userInteractionEventTypes();
bool isUserInteractionEventType(std::uint32_t rawType);

} // namespace zestrel
