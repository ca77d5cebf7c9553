#include "services/QVAppLaunch.h"

#include "foundation/ApplicationActivation.h"
#include "foundation/SystemMemory.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/ProcessLocal.h"
#include "services/RunningApps.h"

#include <limits>

namespace zestrel::QVApp {
namespace {

using platform::ProcessLocal;

template <class T> ProcessLocal<T>* fact(std::function<T()> compute) {
    return new ProcessLocal<T>(
        [compute = std::move(compute)] { return std::make_unique<T>(compute()); });
}

} // namespace

Prefs::Key<bool> wasRelaunchedKey() {
    return Prefs::Key<bool>("QVApp_wasRelaunched", false);
}

Prefs::Key<bool> isShowingSettingsAfterRelaunchKey() {
    return Prefs::Key<bool>("QV_isShowingSettingsAfterRelaunch", false);
}

std::int64_t launchCount() {
    static auto* const value = fact<std::int64_t>([] {
        const Prefs::Key<std::int64_t> key("QV_launchCount", 0);
        const std::int64_t stored = Prefs::value(key);
        // Saturates: a stored count at the limit must not stop the app on every launch.
        const std::int64_t count =
            stored == std::numeric_limits<std::int64_t>::max() ? stored : stored + 1;
        Prefs::set(key, count);
        return count;
    });
    return **value;
}

bool isFirstLaunch() {
    return launchCount() == 1;
}

bool isSecondLaunch() {
    return launchCount() == 2;
}

platform::Date firstLaunchDate() {
    static auto* const value = fact<platform::Date>([] {
        const Prefs::Key<std::optional<platform::Date>> key("QV_firstLaunchDate");
        if (const auto stored = Prefs::value(key)) {
            return *stored;
        }
        const platform::Date now = platform::currentDate();
        Prefs::set(key, now);
        return now;
    });
    return **value;
}

const std::string& previousVersion() {
    static auto* const value = fact<std::string>([] {
        const Prefs::Key<std::optional<std::string>> key("QV_previousLaunchedVersion");
        const auto stored = Prefs::value(key);
        Prefs::set(key, version());
        return stored.value_or(version());
    });
    return **value;
}

platform::Date launchDate() {
    static auto* const value = fact<platform::Date>([] { return platform::currentDate(); });
    return **value;
}

Bytes availableMemoryAtLaunch() {
    static auto* const value = fact<Bytes>([] { return availableMemory(); });
    return **value;
}

bool wasRelaunched() {
    static auto* const value = fact<bool>([] {
        const auto key = wasRelaunchedKey();
        const bool stored = Prefs::value(key);
        key.reset();
        return stored;
    });
    return **value;
}

const std::shared_ptr<platform::NSAppleEventDescriptor>& launchAppleEvent() {
    static auto* const value = fact<std::shared_ptr<platform::NSAppleEventDescriptor>>([] {
        return platform::NSAppleEventManager::sharedAppleEventManager().currentAppleEvent();
    });
    return **value;
}

bool wasLaunchedAsLoginItem() {
    static auto* const value = fact<bool>([] {
        const auto& event = launchAppleEvent();
        if (!event || event->eventID() != platform::kAEOpenApplication) {
            return false;
        }
        const auto propertyData = event->paramDescriptorForKeyword(platform::keyAEPropData);
        return propertyData && propertyData->enumCodeValue() == platform::keyAELaunchedAsLogInItem;
    });
    return **value;
}

const platform::DateComponentsFormatter& durationFormatter() {
    static auto* const formatter = new ProcessLocal<platform::DateComponentsFormatter>();
    return **formatter;
}

void forceLaunchBookkeeping() {
    if (isSafeLaunch()) {
        return;
    }
    launchCount();
    launchDate();
    firstLaunchDate();
    previousVersion();
    availableMemoryAtLaunch();
    wasRelaunched();
}

namespace {

bool& resettingSettingsAndData() {
    static auto* const resetting = new platform::ProcessLocal<bool>();
    return **resetting;
}

} // namespace

bool isResettingSettingsAndData() {
    return resettingSettingsAndData();
}

void beginResettingSettingsAndData() {
    resettingSettingsAndData() = true;
}

void initializeAppStatics() {
    launchAppleEvent();
    launchingProcessID();
    // Looked up now, while the launcher still runs: asked later it could be gone.
    launchingApplication();
    wasLaunchedAsLoginItem();
}

void showSettingsIfRelaunched() {
    const auto key = isShowingSettingsAfterRelaunchKey();
    if (!Prefs::value(key)) {
        return;
    }
    key.reset();
    platform::DispatchQueue::main().async([] { showSettingsWindow(); });
}

AtomicDictionary<std::string, platform::Value>& debugInfoValues() {
    static auto* const registry =
        new ProcessLocal<AtomicDictionary<std::string, platform::Value>>();
    return **registry;
}

AtomicDictionary<std::string, DebugInfoValueProvider>& debugInfoValueProviders() {
    static auto* const registry =
        new ProcessLocal<AtomicDictionary<std::string, DebugInfoValueProvider>>();
    return **registry;
}

AtomicArray<DebugInfoProvider>& debugInfoProviders() {
    static auto* const registry = new ProcessLocal<AtomicArray<DebugInfoProvider>>();
    return **registry;
}

std::vector<std::function<void()>>& didFinishLaunchingHandlers() {
    static auto* const handlers = new ProcessLocal<std::vector<std::function<void()>>>();
    return **handlers;
}

void runDidFinishLaunchingHandlers() {
    std::vector<std::function<void()>> handlers;
    handlers.swap(didFinishLaunchingHandlers());
    for (const auto& handler : handlers) {
        handler();
    }
}

} // namespace zestrel::QVApp
