#include "services/QVAppLaunch.h"

#include "foundation/SystemMemory.h"
#include "platform/DispatchQueue.h"
#include "platform/ProcessLocal.h"
#include "services/ApplicationHooks.h"

#include <limits>

namespace zestrel::QVApp {
namespace {

using platform::ProcessLocal;

constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (std::uint32_t{static_cast<unsigned char>(code[0])} << 24) |
           (std::uint32_t{static_cast<unsigned char>(code[1])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(code[2])} << 8) |
           std::uint32_t{static_cast<unsigned char>(code[3])};
}
constexpr std::uint32_t kAEOpenApplication = fourCharCode("oapp");
constexpr std::uint32_t keyAELaunchedAsLogInItem = fourCharCode("lgit");

template <class T> ProcessLocal<T>* fact(std::function<T()> compute) {
    return new ProcessLocal<T>(
        [compute = std::move(compute)] { return std::make_unique<T>(compute()); });
}

struct LaunchSeams {
    std::function<std::optional<LaunchAppleEvent>()> appleEventSource;
    std::function<void()> launchingProcessInitializer;
};

ProcessLocal<LaunchSeams>& seams() {
    static auto* const instance = new ProcessLocal<LaunchSeams>();
    return *instance;
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
        if (stored == std::numeric_limits<std::int64_t>::max()) {
            platform::fatal("The launch count overflows");
        }
        Prefs::set(key, stored + 1);
        return stored + 1;
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

const std::optional<LaunchAppleEvent>& launchAppleEvent() {
    static auto* const value = fact<std::optional<LaunchAppleEvent>>([] {
        const auto source = seams()->appleEventSource;
        return source ? source() : std::nullopt;
    });
    return **value;
}

bool wasLaunchedAsLoginItem() {
    static auto* const value = fact<bool>([] {
        const auto& event = launchAppleEvent();
        return event && event->eventID == kAEOpenApplication &&
               event->propertyData == keyAELaunchedAsLogInItem;
    });
    return **value;
}

void setLaunchAppleEventSource(std::function<std::optional<LaunchAppleEvent>()> source) {
    seams()->appleEventSource = std::move(source);
}

void setLaunchingProcessInitializer(std::function<void()> initializer) {
    seams()->launchingProcessInitializer = std::move(initializer);
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

void initializeAppStatics() {
    launchAppleEvent();
    if (const auto initializer = seams()->launchingProcessInitializer) {
        initializer();
    }
    wasLaunchedAsLoginItem();
}

void showSettingsIfRelaunched() {
    const auto key = isShowingSettingsAfterRelaunchKey();
    if (!Prefs::value(key)) {
        return;
    }
    key.reset();
    platform::DispatchQueue::main().async([] {
        if (const auto show = applicationHooks().showSettingsWindow) {
            show();
        }
    });
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
