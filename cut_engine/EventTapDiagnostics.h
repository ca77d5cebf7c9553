#pragma once

#include "foundation/OrderedDictionary.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/desktop/EventSystem.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Descriptions of the event taps installed in the system: another application's tap can
// swallow or rewrite Command+X before the file manager sees it.
namespace zestrel {

// The failures of the tap listing.
enum class CustomCGError {
    failure,
    illegalArgument,
    invalidConnection,
    invalidContext,
    cannotComplete,
    notImplemented,
    rangeCheck,
    typeCheck,
    noCurrentPoint,
    invalidOperation,
    noneAvailable,
};

// The case of a platform error code. The success code is no failure: it is reported and
// answers `failure`; so does any unknown code.
CustomCGError customCGError(platform::CGError code);
// The thrown form.
platform::Error makeCustomCGError(CustomCGError error);
// The case a thrown error carries; nothing for other errors.
std::optional<CustomCGError> customCGErrorCase(const platform::Error& error);

// The installed taps, at most 100. Throws a CustomCGError when the system refuses the list.
std::vector<platform::CGEventTapInformation> installedTaps();

// The event types whose bits are set in the mask.
std::set<platform::CGEventType> eventTypes(platform::CGEventMask mask);

std::string debugName(platform::CGEventTapLocation location);
std::string debugName(platform::CGEventTapOptions options);
std::string debugName(platform::CGEventType type);

// A tap in ten labelled values: who taps whom, where, for what, and whether it is the Finder.
OrderedDictionary<std::string, platform::Value>
debugDescription(const platform::CGEventTapInformation& tap);

// "\nEVENT TAPS\n\n" and the enabled taps' descriptions, or "<Failed to get event taps>".
std::string eventTapsDebugText();

} // namespace zestrel
