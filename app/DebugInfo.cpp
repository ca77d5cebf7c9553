#include "app/DebugInfo.h"

#include "foundation/FeedbackMetadata.h"
#include "foundation/Logger.h"
#include "foundation/QVApp.h"
#include "foundation/SystemMemory.h"
#include "foundation/TextUtilities.h"
#include "platform/base/Clock.h"
#include "platform/base/Locale.h"
#include "platform/base/ProcessInfo.h"
#include "platform/data/Formatters.h"
#include "platform/data/LanguageNames.h"
#include "platform/desktop/GameController.h"
#include "platform/desktop/NSScreen.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/system/TaskInfo.h"
#include "services/Displays.h"
#include "services/QVAppLaunch.h"
#include "services/RunningApps.h"
#include "services/SystemInfo.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;
using Lines = OrderedDictionary<std::string, pf::Value>;

// Facts that name things for people reading the report are named in English, whatever the
// user's language.
constexpr const char* kPOSIXLocaleIdentifier = "en_US_POSIX";

std::string boolText(bool value) {
    return value ? "true" : "false";
}

std::string memoryText(std::int64_t bytes) {
    return pf::ByteCountFormatter::string(bytes, pf::ByteCountFormatter::CountStyle::memory);
}

// "en_US (English)".
std::string localeText() {
    const auto language =
        pf::localizedLanguageName(pf::Locale::currentLanguageCode(), kPOSIXLocaleIdentifier);
    return pf::Locale::currentIdentifier() + " (" + language.value_or("<Unknown>") + ")";
}

// The first screen's scale without its fraction; 1 without screens.
std::int64_t primaryScreenScale(const std::vector<std::shared_ptr<pf::NSScreen>>& screens) {
    return screens.empty() ? 1 : static_cast<std::int64_t>(screens.front()->backingScaleFactor());
}

bool isExternalKeyboard() {
    return pf::GCKeyboard::coalesced() != nullptr;
}

template <std::size_t N> bool isAnyRunning(const std::array<const char*, N>& bundleIdentifiers) {
    return isAnyAppRunning(
        *pf::NSWorkspace::shared(),
        std::unordered_set<std::string>(bundleIdentifiers.begin(), bundleIdentifiers.end()));
}

// A registered value as the report shows it: an optional as what it holds.
pf::Value entryText(const pf::Value& value) {
    return pf::Value(value.flattened().describe());
}

bool isSystemKey(std::string_view key) {
    return key.starts_with("NS") || key.starts_with("ILMedia") || key.starts_with("MSAppCenter");
}

bool isKitKey(std::string_view key) {
    return key.starts_with("QV_") || key.starts_with("__");
}

// The registered metadata in key order; a later pair of the same key wins.
Lines registeredFeedbackMetadata() {
    std::vector<std::pair<std::string, pf::Value>> pairs;
    for (const auto& [key, value] : feedbackMetadataValues()) {
        pairs.emplace_back(key, entryText(value));
    }
    for (const auto& provider : feedbackMetadataProviders()) {
        for (const auto& [key, value] : provider()) {
            pairs.emplace_back(key, entryText(value));
        }
    }
    const auto merged = Lines::mergingPairs(pairs);
    std::vector<std::string> keys = merged.orderedKeys();
    std::sort(keys.begin(), keys.end());
    Lines sorted;
    for (const auto& key : keys) {
        sorted.set(key, merged.get(key));
    }
    return sorted;
}

} // namespace

KeyboardLayoutInfo::KeyboardLayoutInfo(const pf::TISInputSourceRef& inputSource)
    : id(stringProperty(inputSource, pf::kTISPropertyInputSourceID)
             .value_or(pf::UUID::random().uuidString())),
      localizedName(
          stringProperty(inputSource, pf::kTISPropertyLocalizedName).value_or("<Unknown>")),
      inputModeID(stringProperty(inputSource, pf::kTISPropertyInputModeID)) {}

std::string runningTimeText() {
    const double seconds = pf::currentDate().timeIntervalSinceReferenceDate -
                           QVApp::launchDate().timeIntervalSinceReferenceDate;
    return QVApp::durationFormatter().string(seconds).value_or("");
}

std::optional<std::int64_t> physicalMemoryFootprint() {
    pf::task_vm_info_data_t info{};
    pf::mach_msg_type_number_t count = pf::TASK_VM_INFO_COUNT;
    const pf::kern_return_t result = pf::task_info(
        pf::mach_task_self(), pf::TASK_VM_INFO, reinterpret_cast<pf::task_info_t>(&info), &count);
    if (result != pf::KERN_SUCCESS || count < pf::TASK_VM_INFO_REV1_COUNT) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(info.phys_footprint);
}

std::string memoryUsageText() {
    const auto footprint = physicalMemoryFootprint();
    return footprint ? memoryText(*footprint) : "<Unavailable>";
}

std::string currentKeyboardLayoutText() {
    const auto source = pf::TISCopyCurrentKeyboardLayoutInputSource();
    if (!source) {
        return "<Unknown>";
    }
    const KeyboardLayoutInfo layout(source);
    return layout.localizedName + " (" + layout.id + ")";
}

pf::Value::Dictionary persistentDomainEntries(const pf::UserDefaults& defaults) {
    auto entries =
        defaults.persistentDomain(defaults.domainName()).value_or(pf::Value::Dictionary{});
    std::erase_if(entries, [](const auto& entry) { return isSystemKey(entry.first); });
    return entries;
}

pf::Value settingsDebugValue(const pf::Value& value) {
    if (const auto* data = value.asData()) {
        return pf::Value(
            "<Data: " + pf::ByteCountFormatter::string(static_cast<std::int64_t>(data->size())) +
            ">");
    }
    if (value.kind() == pf::Value::Kind::real) {
        return pf::Value(
            rounded(*value.asDouble(), 2, FloatingPointRoundingRule::toNearestOrAwayFromZero));
    }
    // Booleans are kept apart from the integers, so they stay true and false.
    return value;
}

OrderedDictionary<std::string, pf::Value> settingsDebugDump() {
    return settingsDebugDump(*pf::UserDefaults::standard());
}

OrderedDictionary<std::string, pf::Value> settingsDebugDump(const pf::UserDefaults& defaults) {
    auto entries = persistentDomainEntries(defaults);
    for (const char* key : {"SessionIdHistory", "UserIdHistory", "pastDevicesKey"}) {
        entries.erase(key);
    }
    // The entries come in code-unit order; the kit's own keys then move to the front.
    std::vector<std::string> keys;
    for (const auto& [key, value] : entries) {
        keys.push_back(key);
    }
    std::stable_partition(keys.begin(), keys.end(), [](const auto& key) { return isKitKey(key); });
    Lines dump;
    for (const auto& key : keys) {
        dump.set(key, settingsDebugValue(entries.at(key)));
    }
    return dump;
}

pf::Value::Dictionary collectDebugInfoEntries() {
    pf::Value::Dictionary entries;
    for (const auto& [name, value] : QVApp::debugInfoValues().snapshot()) {
        entries.insert_or_assign(name, value);
    }
    for (const auto& [name, provider] : QVApp::debugInfoValueProviders().snapshot()) {
        entries.insert_or_assign(name, provider());
    }
    for (const auto& provider : QVApp::debugInfoProviders().snapshot()) {
        merge(entries, provider());
    }
    for (auto& [name, value] : entries) {
        value = entryText(value);
    }
    return entries;
}

std::string debugInfoDeviceExtras() {
    return "Keyboard: " + currentKeyboardLayoutText() + "\n" +
           "Is Translocated: " + boolText(QVApp::isTranslocated()) + "\n" +
           "Is Bartender Running: " + boolText(isAnyRunning(kBartenderBundleIdentifiers)) + "\n" +
           "Is Bartender-like Running: " + boolText(isAnyRunning(kBartenderLikeBundleIdentifiers)) +
           "\n" + "Safe Mode: " + boolText(QVApp::isSafeLaunch()) + "\n";
}

namespace {

std::string settingsText() {
    const auto settings = settingsDebugDump();
    return settings.isEmpty() ? "<Empty>" : keyValueLines(settings);
}

std::string logsText() {
    const auto entries = logBuffer().entries();
    return entries.empty() ? "<Empty>" : joined(entries, "\n");
}

} // namespace

std::string debugInfoText() {
    const auto screens = pf::NSScreen::screens();
    const auto workspace = pf::NSWorkspace::shared();
    // Built in reading order: the launch count, counted on first use, is a stored setting.
    const std::vector<std::string> lines{
        "# " + QVApp::name() + " " + QVApp::versionWithBuild(),
        "",
        "Date: " + pf::ISO8601FormatStyle::format(pf::currentDate()),
        "Bundle Identifier: " + QVApp::id(),
        "Launch Count: " + std::to_string(QVApp::launchCount()),
        "Running Time: " + runningTimeText(),
        "Memory Usage: " + memoryUsageText(),
        "Remaining Available Memory: " + memoryText(availableMemory().bytes),
        "iOS on Mac: " + boolText(QVApp::isiOSAppOnMac()),
        "iOS on Vision: " + boolText(SystemInfo::isRealityDevice()),
        "",
        "# Device",
        "",
        "OS: " + SystemInfo::osVersionDescription(),
        "Model: " + SystemInfo::modelIdentifier(),
        "Architecture: " + SystemInfo::machineArchitecture(),
        "Locale: " + localeText(),
        "Calendar: " + pf::Locale::currentCalendarIdentifier(),
        "Screens: " + std::to_string(screens.size()),
        "Primary Screen Scale: " + std::to_string(primaryScreenScale(screens)),
        "Is External Keyboard: " + boolText(isExternalKeyboard()),
        // Ends with its own line break, which makes the blank line before the next heading.
        debugInfoDeviceExtras(),
        "# Screens",
        "",
        joined(screensDebugText(screens), "\n\n"),
        "",
        "# Accessibility",
        "",
        "isReduceTransparencyEnabled: " +
            boolText(workspace->accessibilityDisplayShouldReduceTransparency()),
        "isDarkerSystemColorsEnabled: " +
            boolText(workspace->accessibilityDisplayShouldIncreaseContrast()),
        "shouldDifferentiateWithoutColor: " +
            boolText(workspace->accessibilityDisplayShouldDifferentiateWithoutColor()),
        "",
        "# Settings",
        "",
        settingsText(),
        "",
        "# Custom",
        "",
        keyValueLines(collectDebugInfoEntries()),
        "",
        "# Logs",
        "",
        "```",
        logsText(),
        "```",
    };
    return joined(lines, "\n");
}

std::string feedbackMetadata() {
    const auto screens = pf::NSScreen::screens();
    const auto workspace = pf::NSWorkspace::shared();
    Lines metadata;
    metadata.set("App", pf::Value(QVApp::name() + " " + QVApp::versionWithBuild()));
    metadata.set("Bundle Identifier", pf::Value(QVApp::id()));
    metadata.set("OS", pf::Value(SystemInfo::osVersionDescription()));
    metadata.set("Model", pf::Value(SystemInfo::modelIdentifier()));
    metadata.set("Architecture", pf::Value(SystemInfo::machineArchitecture()));
    metadata.set("Locale", pf::Value(localeText()));
    metadata.set("Calendar", pf::Value(pf::Locale::currentCalendarIdentifier()));
    metadata.set("Screens", pf::Value(screens.size()));
    metadata.set("Primary Screen Scale", pf::Value(primaryScreenScale(screens)));
    metadata.set("App Memory Usage", pf::Value(memoryUsageText()));
    metadata.set("Remaining Available Memory", pf::Value(memoryText(availableMemory().bytes)));
    metadata.set("Low Power Mode", pf::Value(pf::NSProcessInfo::isLowPowerModeEnabled()));
    metadata.set("Accessibility - isReduceTransparencyEnabled",
                 pf::Value(workspace->accessibilityDisplayShouldReduceTransparency()));
    metadata.set("Accessibility - isDarkerSystemColorsEnabled",
                 pf::Value(workspace->accessibilityDisplayShouldIncreaseContrast()));
    metadata.set("Accessibility - shouldDifferentiateWithoutColor",
                 pf::Value(workspace->accessibilityDisplayShouldDifferentiateWithoutColor()));
    metadata.set("Is External Keyboard", pf::Value(isExternalKeyboard()));
    metadata.set("Is Translocated", pf::Value(QVApp::isTranslocated()));
    metadata.set("Keyboard", pf::Value(currentKeyboardLayoutText()));
    metadata.set("Is Bartender Running", pf::Value(isAnyRunning(kBartenderBundleIdentifiers)));
    metadata.set("Is Bartender-like Running",
                 pf::Value(isAnyRunning(kBartenderLikeBundleIdentifiers)));
    metadata.set("Is Safe Mode", pf::Value(QVApp::isSafeLaunch()));
    metadata.merge(registeredFeedbackMetadata());
    return keyValueLines(metadata);
}

} // namespace zestrel
