#include "services/EventNames.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zestrel {
namespace {

using platform::CGEventType;

// In the order the names are written, which is not the order of the bits: the numeric pad
// follows the function key.
constexpr std::array<std::pair<std::uint64_t, const char*>, 9> kFlagNames{{
    {0x10000, "alphaShift"},
    {0x20000, "shift"},
    {0x40000, "control"},
    {0x80000, "alternate"},
    {0x100000, "command"},
    {0x400000, "help"},
    {0x800000, "secondaryFn"},
    {0x200000, "numericPad"},
    {0x100, "nonCoalesced"},
}};

} // namespace

const char* caseName(CGEventType type) {
    switch (type) {
    case CGEventType::null:
        return "null";
    case CGEventType::leftMouseDown:
        return "leftMouseDown";
    case CGEventType::leftMouseUp:
        return "leftMouseUp";
    case CGEventType::rightMouseDown:
        return "rightMouseDown";
    case CGEventType::rightMouseUp:
        return "rightMouseUp";
    case CGEventType::mouseMoved:
        return "mouseMoved";
    case CGEventType::leftMouseDragged:
        return "leftMouseDragged";
    case CGEventType::rightMouseDragged:
        return "rightMouseDragged";
    case CGEventType::keyDown:
        return "keyDown";
    case CGEventType::keyUp:
        return "keyUp";
    case CGEventType::flagsChanged:
        return "flagsChanged";
    case CGEventType::scrollWheel:
        return "scrollWheel";
    case CGEventType::tabletPointer:
        return "tabletPointer";
    case CGEventType::tabletProximity:
        return "tabletProximity";
    case CGEventType::otherMouseDown:
        return "otherMouseDown";
    case CGEventType::otherMouseUp:
        return "otherMouseUp";
    case CGEventType::otherMouseDragged:
        return "otherMouseDragged";
    case CGEventType::tapDisabledByTimeout:
        return "tapDisabledByTimeout";
    case CGEventType::tapDisabledByUserInput:
        return "tapDisabledByUserInput";
    }
    return nullptr; // a raw value outside the enumeration
}

std::string debugDescription(CGEventType type) {
    if (const char* name = caseName(type)) {
        return std::string("CGEventType.") + name;
    }
    return "CGEventType.<UNKNOWN>(" + std::to_string(static_cast<std::uint32_t>(type)) + ")";
}

std::string debugDescription(platform::CGEventFlags flags) {
    std::string text;
    for (const auto& [bits, name] : kFlagNames) {
        if ((flags.rawValue & bits) == bits) {
            if (!text.empty()) {
                text += ", ";
            }
            text += name;
        }
    }
    return text + " (" + std::to_string(flags.rawValue) + ")";
}

const std::vector<std::uint32_t>& userInteractionEventTypes() {
    // Never destroyed: it is read until the very end of the process.
    static const auto* const types = new std::vector<std::uint32_t>{
        1, 2, 3, 4, 6, 7, 10, 11, 22, 23, 25, 26, 27, 29, 30, 31, 18, 19, 20, 32, 34, 33, 37};
    return *types;
}

bool isUserInteractionEventType(std::uint32_t rawType) {
    const auto& types = userInteractionEventTypes();
    return std::find(types.begin(), types.end(), rawType) != types.end();
}

} // namespace zestrel
