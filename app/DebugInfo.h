#pragma once

#include "foundation/OrderedDictionary.h"
#include "platform/base/Value.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/InputSource.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The plain-text report about the app and the machine that users paste into a support
// message, and the shorter metadata the feedback page receives. Both only read: they query
// the kernel, the input sources, the workspace, the defaults and the registries of the
// other parts of the app, and change nothing. Called on the main thread.
namespace zestrel {

// Menu-bar managers, whose hiding of status items explains many "the icon is gone" reports.
inline constexpr std::array<const char*, 2> kBartenderBundleIdentifiers{
    "com.surteesstudios.Bartender",
    "com.surteesstudios.Bartender-setapp",
};
// Bartender and the apps that hide menu-bar items as it does: Ice, Hidden Bar, Barbee, Dozer.
inline constexpr std::array<const char*, 6> kBartenderLikeBundleIdentifiers{
    "com.surteesstudios.Bartender", "com.surteesstudios.Bartender-setapp",
    "com.jordanbaird.Ice",          "com.dwarvesv.minimalbar",
    "com.HyperartFlow.Barbee",      "com.mortennn.Dozer",
};

// The names of a keyboard input source. A missing identifier is made up (a new UUID each
// time) and a missing name is "<Unknown>", so the report always has something to show.
struct KeyboardLayoutInfo {
    std::string id;
    std::string localizedName;
    std::optional<std::string> inputModeID;

    explicit KeyboardLayoutInfo(const platform::TISInputSourceRef& inputSource);
};

// The whole report: a title, the app's facts, then "# " sections, the last one the log
// buffer in a code fence. No line break after the closing fence.
std::string debugInfoText();
// "key: value" lines: fixed facts first, then the registered entries in key order (an entry
// named like a fixed one takes its place).
std::string feedbackMetadata();
// The report's device lines from "Keyboard" to "Safe Mode", each ended by a line break.
std::string debugInfoDeviceExtras();

// The three debug-info registries merged (values, then value providers, then providers;
// later ones win), every value as text; an optional shows what it holds.
platform::Value::Dictionary collectDebugInfoEntries();

// The stored settings of the app's domain for the report: no system or tracking keys, values
// in their display form, the kit's own keys ("QV_", "__") first, each group in code-unit
// order.
OrderedDictionary<std::string, platform::Value> settingsDebugDump();
// The same for any defaults database (the debug screens show each of theirs).
OrderedDictionary<std::string, platform::Value>
settingsDebugDump(const platform::UserDefaults& defaults);
// The display form of one stored setting: data as "<Data: 12 bytes>", a Boolean as a
// Boolean, a floating-point number to two places (ties away from zero), anything else as it
// is.
platform::Value settingsDebugValue(const platform::Value& value);
// What the defaults keep in their own persistent domain, the one named when the database was
// made (the app's bundle identifier for the standard one, the suite's name for a suite),
// without the keys that start with "NS", "ILMedia" or "MSAppCenter"; registered defaults are
// not in it. Empty when the domain does not exist.
platform::Value::Dictionary persistentDomainEntries(const platform::UserDefaults& defaults);

// The time since launch as "1h 2m 5s"; empty when it cannot be formatted.
std::string runningTimeText();
// The kernel's figure of the memory this process owns, in bytes; nothing when the kernel
// does not answer it.
std::optional<std::int64_t> physicalMemoryFootprint();
// The footprint as a memory byte count ("50 MB"), or "<Unavailable>".
std::string memoryUsageText();
// "U.S. (com.apple.keylayout.US)", or "<Unknown>" without a current layout.
std::string currentKeyboardLayoutText();

} // namespace zestrel
