#include "services/SystemInfo.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/ProcessInfo.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/UTF8.h"
#include "platform/data/UserDefaults.h"
#include "platform/system/IOKit.h"
#include "platform/system/URLOpener.h"

#include <array>
#include <cstdlib>
#include <sys/utsname.h>

namespace zestrel {
namespace {

using platform::ProcessLocal;

ProcessLocal<std::string>* textFact(std::string (*compute)()) {
    return new ProcessLocal<std::string>(
        [compute] { return std::make_unique<std::string>(compute()); });
}

std::string unameMachine() {
    utsname names{};
    if (uname(&names) != 0) {
        return "unknown";
    }
    std::string machine(names.machine);
    if (!platform::isValidUTF8(machine)) {
        return "unknown";
    }
    auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    while (!machine.empty() && isControl(machine.back())) {
        machine.pop_back();
    }
    std::size_t start = 0;
    while (start < machine.size() && isControl(machine[start])) {
        ++start;
    }
    return machine.substr(start);
}

constexpr std::array<const char*, 36> kPaneIdentifiers{
    "com.apple.Notifications-Settings.extension",
    "com.apple.ExtensionsPreferences",
    "com.apple.ExtensionsPreferences",
    "com.apple.ExtensionsPreferences",
    "com.apple.ExtensionsPreferences",
    "com.apple.ExtensionsPreferences",
    "com.apple.ExtensionsPreferences",
    "com.apple.ExtensionsPreferences?Sharing",
    "com.apple.ExtensionsPreferences",
    "com.apple.preference.security?Privacy_Accessibility",
    "com.apple.preference.security?Privacy_Advertising",
    "com.apple.preference.security?Privacy_Diagnostics",
    "com.apple.preference.security?Privacy_Automation",
    "com.apple.preference.security?Privacy_Calendars",
    "com.apple.preference.security?Privacy_Camera",
    "com.apple.preference.security?Privacy_Contacts",
    "com.apple.preference.security?Privacy_DevTools",
    "com.apple.preference.security?Privacy_FilesAndFolders",
    "com.apple.preference.security?Privacy_AllFiles",
    "com.apple.preference.security?Privacy_ListenEvent",
    "com.apple.preference.security?Privacy_LocationServices",
    "com.apple.preference.security?Privacy_Microphone",
    "com.apple.preference.security?Privacy_Photos",
    "com.apple.preference.security?Privacy_Reminders",
    "com.apple.preference.security?Privacy_ScreenCapture",
    "com.apple.preference.security?Privacy_SpeechRecognition",
    "com.apple.Battery-Settings.extension",
    "com.apple.systempreferences.AppleIDSettings?iCloud",
    "com.apple.wifi-settings-extension",
    "com.apple.Network-Settings.extension",
    "com.apple.Localization-Settings.extension",
    "com.apple.Date-Time-Settings.extension",
    "com.apple.Internet-Accounts-Settings.extension",
    "com.apple.Desktop-Settings.extension",
    "com.apple.Displays-Settings.extension",
    "com.apple.ControlCenter-Settings.extension",
};

} // namespace

const std::string& SystemInfo::osVersion() {
    static auto* const value = textFact([] {
        const auto version = platform::NSProcessInfo::operatingSystemVersion();
        return std::to_string(version.majorVersion) + "." + std::to_string(version.minorVersion) +
               "." + std::to_string(version.patchVersion);
    });
    return **value;
}

const std::string& SystemInfo::osBuild() {
    static auto* const value = textFact([] {
        const auto root = platform::IORegistryGetRootEntry(platform::kIOMainPortDefault);
        const platform::Value build =
            platform::IORegistryEntryCreateCFProperty(root, "OS Build Version");
        const std::string* text = build.asString();
        return text ? *text : std::string("<Unknown build>");
    });
    return **value;
}

const std::string& SystemInfo::osVersionWithBuild() {
    static auto* const value = textFact([] { return osVersion() + " (" + osBuild() + ")"; });
    return **value;
}

const std::string& SystemInfo::osVersionDescription() {
    static auto* const value = textFact([] { return "macOS " + osVersionWithBuild(); });
    return **value;
}

std::optional<std::string> SystemInfo::modelText(const platform::Value& model) {
    const platform::Data* data = model.asData();
    if (data == nullptr) {
        return std::nullopt;
    }
    std::string text(data->begin(), data->end());
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    if (!platform::isValidUTF8(text)) {
        return std::nullopt;
    }
    return text;
}

const std::string& SystemInfo::modelIdentifier() {
    static auto* const value = textFact([] {
        const auto service = platform::IOServiceGetMatchingService(
            platform::kIOMainPortDefault, platform::IOServiceMatching("IOPlatformExpertDevice"));
        std::optional<std::string> model;
        if (service != platform::IO_OBJECT_NULL) {
            model = modelText(platform::IORegistryEntryCreateCFProperty(service, "model"));
            platform::IOObjectRelease(service);
        }
        return model.value_or("<Unknown model>");
    });
    return **value;
}

const std::string& SystemInfo::machineArchitecture() {
    static auto* const value = textFact(unameMachine);
    return **value;
}

const std::string& SystemInfo::hardwareMachineIdentifier() {
    static auto* const value = textFact([] {
        const char* simulated = std::getenv("SIMULATOR_MODEL_IDENTIFIER");
        return simulated != nullptr ? std::string(simulated) : unameMachine();
    });
    return **value;
}

bool SystemInfo::isRealityDevice() {
    return hardwareMachineIdentifier().find("Reality") != std::string::npos;
}

bool isSystemUserInterfaceSoundEnabled() {
    const platform::Value stored =
        platform::UserDefaults::standard()->object("com.apple.sound.uiaudio.enabled");
    return stored.asBool().value_or(true);
}

std::optional<std::string> stringProperty(const platform::TISInputSourceRef& source,
                                          std::string_view key) {
    if (!source) {
        return std::nullopt;
    }
    const platform::Value value = platform::TISGetInputSourceProperty(source, key);
    const std::string* text = value.asString();
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::string identifier(const SystemSettingsPane& pane) {
    if (const auto* app = std::get_if<AppNotificationsPane>(&pane)) {
        return "com.apple.Notifications-Settings.extension?id=" + app->bundleIdentifier;
    }
    return kPaneIdentifiers[static_cast<std::size_t>(std::get<SystemSettingsPaneCase>(pane))];
}

void openSystemSettings(const SystemSettingsPane& pane) {
    const std::string text = "x-apple.systempreferences:" + identifier(pane);
    // Every pane of the table forms a URL, but an app's bundle identifier comes from outside.
    if (const auto url = platform::URL::parse(text)) {
        platform::URLOpener::open(*url);
        return;
    }
    reportError(GeneralError::make("Invalid System Settings URL"),
                {{"url", platform::Value(text)}});
}

void open(const SystemSettingsPane& pane) {
    platform::NSApp().yieldActivation("com.apple.systempreferences");
    openSystemSettings(pane);
}

} // namespace zestrel
