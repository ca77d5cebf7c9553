#pragma once

#include "platform/base/Value.h"
#include "platform/desktop/InputSource.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zestrel {

// Facts about the machine and the operating system, each computed once per process.
namespace SystemInfo {
// "6.1.0": major, minor and patch.
const std::string& osVersion();
// The registry's "OS Build Version"; "<Unknown build>" when it is not text.
const std::string& osBuild();
// "6.1.0 (6.1.0-18-amd64)".
const std::string& osVersionWithBuild();
// "macOS " and the version with build.
const std::string& osVersionDescription();
// The platform expert's "model" (one trailing zero byte dropped); "<Unknown model>" when
// absent, not data or not UTF-8.
const std::string& modelIdentifier();
// `uname`'s machine field, trimmed of control characters; "unknown" when unreadable.
const std::string& machineArchitecture();
// The simulated model when "SIMULATOR_MODEL_IDENTIFIER" is set, else the machine field.
const std::string& hardwareMachineIdentifier();
bool isRealityDevice();
// The model text of a "model" property.
std::optional<std::string> modelText(const platform::Value& model);
} // namespace SystemInfo

// "com.apple.sound.uiaudio.enabled" of the user defaults: true unless it is the Boolean false.
// Read on each call.
bool isSystemUserInterfaceSoundEnabled();

// A property of an input source when it is text.
std::optional<std::string> stringProperty(const platform::TISInputSourceRef& source,
                                          std::string_view key);

// The panes of System Settings this app opens.
enum class SystemSettingsPaneCase {
    notifications,
    extensionsAdded,
    extensionsActions,
    extensionsFileProviders,
    extensionsFinder,
    extensionsPhotosEditing,
    extensionsQuickLook,
    extensionsSharing,
    extensionsSpotlight,
    accessibility,
    advertising,
    analytics,
    automation,
    calendars,
    camera,
    contacts,
    developerTools,
    filesAndFolders,
    fullDiskAccess,
    inputMonitoring,
    locationServices,
    microphone,
    photos,
    reminders,
    screenRecording,
    speechRecognition,
    battery,
    iCloud,
    wifi,
    network,
    languageAndRegion,
    dateAndTime,
    internetAccounts,
    desktopAndDock,
    displays,
    controlCenter,
};
// The notification settings of one app, by its bundle identifier.
struct AppNotificationsPane {
    std::string bundleIdentifier;
    bool operator==(const AppNotificationsPane&) const = default;
};
using SystemSettingsPane = std::variant<SystemSettingsPaneCase, AppNotificationsPane>;

// "com.apple.preference.security?Privacy_Accessibility".
std::string identifier(const SystemSettingsPane& pane);
// Opens "x-apple.systempreferences:" followed by the pane's identifier. When that forms no
// URL (an app's bundle identifier with a space), it is reported and nothing opens.
void openSystemSettings(const SystemSettingsPane& pane);
// Lets System Settings come to the front, then opens the pane.
void open(const SystemSettingsPane& pane);

} // namespace zestrel
