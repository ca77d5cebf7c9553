#include "services/WindowInfo.h"

#include "foundation/QVApp.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/NSScreen.h"
#include "platform/desktop/NSWorkspace.h"
#include "services/InstalledApp.h"
#include "services/RunningApps.h"

#include <algorithm>
#include <limits>

namespace zestrel {

namespace {

namespace pf = platform;

struct FilterLists {
    // Windows of these never count as the frontmost window of a user's application.
    const std::unordered_set<std::string> excludedOwners = makeStringSet({
        "com.apple.dock",
        "com.apple.notificationcenterui",
        "com.apple.UserNotificationCenter",
        "com.apple.screencaptureui",
        "com.apple.PIPAgent",
        "com.apple.controlcenter",
        "co.hypercritical.SwitchGlass",
        "app.macgrid.Grid",
        "com.edge.LGCatalyst",
        "com.replay.sleeve",
        "com.mantel.TrashEye",
        "at.sidebar.Sidebar",
        "com.pointum.hazeover",
        "com.pointum.hazeover-setapp",
        "com.ibluebox.aqua-menu-bar",
        "com.epson.ShowNotification",
    });
    // These float their windows over everything; they count only while frontmost.
    const std::unordered_set<std::string> frontmostOnlyOwners =
        makeStringSet({"com.grammarly.ProjectLlama"});
};

const FilterLists& filterLists() {
    static auto* const local = new pf::ProcessLocal<FilterLists>; // deliberately leaked
    return local->get();
}

const pf::Value* entry(const pf::Value::Dictionary& dictionary, const char* key) {
    auto it = dictionary.find(key);
    return it == dictionary.end() ? nullptr : &it->second.flattened();
}

template <class Integer>
std::optional<Integer> integerEntry(const pf::Value::Dictionary& dictionary, const char* key) {
    const auto* value = entry(dictionary, key);
    const auto number = value ? value->asInt64() : std::nullopt;
    if (!number || *number < std::numeric_limits<Integer>::min() ||
        *number > static_cast<std::int64_t>(std::numeric_limits<Integer>::max())) {
        return std::nullopt;
    }
    return static_cast<Integer>(*number);
}

// The platform's rectangle from its dictionary form ("X", "Y", "Width", "Height").
std::optional<pf::CGRect> rectFromDictionary(const pf::Value* value) {
    const auto* dictionary = value ? value->asDictionary() : nullptr;
    if (!dictionary) {
        return std::nullopt;
    }
    double parts[4];
    const char* const keys[4] = {"X", "Y", "Width", "Height"};
    for (int index = 0; index < 4; ++index) {
        const auto* part = entry(*dictionary, keys[index]);
        const auto number = part ? part->asDouble() : std::nullopt;
        if (!number) {
            return std::nullopt;
        }
        parts[index] = *number;
    }
    return pf::CGRect(parts[0], parts[1], parts[2], parts[3]);
}

// Screen frames have their origin at the bottom left of the primary screen, y growing
// upward; window bounds have it at the top left, y growing downward. The primary screen's
// height maps one onto the other.
pf::CGRect inWindowServerCoordinates(const pf::CGRect& screenFrame, pf::CGFloat primaryHeight) {
    return pf::CGRect(screenFrame.origin.x,
                      primaryHeight - (screenFrame.origin.y + screenFrame.size.height),
                      screenFrame.size.width, screenFrame.size.height);
}

bool fillsAScreen(const pf::CGRect& bounds) {
    const auto screens = pf::NSScreen::screens();
    if (screens.empty()) {
        return false;
    }
    const pf::CGFloat primaryHeight = screens.front()->frame().size.height;
    return std::any_of(screens.begin(), screens.end(), [&](const auto& screen) {
        return pf::CGRectEqualToRect(bounds,
                                     inWindowServerCoordinates(screen->frame(), primaryHeight));
    });
}

// Lowercasing cannot turn a non-ASCII letter into one of "agent", so ASCII is enough.
bool endsWithAgent(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text.ends_with("agent");
}

bool isUserAppWindow(const WindowInfo& window,
                     const std::optional<std::string>& frontmostBundleIdentifier) {
    if (window.level < pf::kCGNormalWindowLevel || window.level >= pf::kCGMainMenuWindowLevel) {
        return false;
    }
    if (window.alpha <= 0.2) {
        return false;
    }
    // A dimming overlay over a whole screen.
    if (window.alpha < 0.5 && window.fillsScreen) {
        return false;
    }
    if (window.bounds.size.width <= 50 || window.bounds.size.height <= 50) {
        return false;
    }
    if (endsWithAgent(window.owner.name)) {
        return false;
    }
    if (!window.owner.bundleIdentifier) {
        return true;
    }
    const std::string& bundleIdentifier = window.owner.bundleIdentifier->rawValue;
    if (endsWithAgent(bundleIdentifier) ||
        filterLists().excludedOwners.contains(bundleIdentifier)) {
        return false;
    }
    if (!frontmostBundleIdentifier) {
        return true;
    }
    if (filterLists().frontmostOnlyOwners.contains(bundleIdentifier)) {
        return bundleIdentifier == *frontmostBundleIdentifier;
    }
    return true;
}

} // namespace

std::unordered_set<std::string> makeStringSet(const std::vector<std::string>& texts) {
    return {texts.begin(), texts.end()};
}

std::vector<WindowInfo> WindowInfo::list(pf::CGWindowListOption options) {
    const pf::Value listed = pf::CGWindowListCopyWindowInfo(options, pf::kCGNullWindowID);
    const auto* array = listed.flattened().asArray();
    if (!array) {
        return {};
    }
    std::vector<const pf::Value::Dictionary*> dictionaries;
    for (const auto& element : *array) {
        const auto* dictionary = element.flattened().asDictionary();
        if (!dictionary) {
            return {};
        }
        dictionaries.push_back(dictionary);
    }
    std::vector<WindowInfo> windows;
    for (const auto* dictionary : dictionaries) {
        if (auto window = make(*dictionary)) {
            windows.push_back(std::move(*window));
        }
    }
    return windows;
}

std::optional<WindowInfo> WindowInfo::make(const pf::Value::Dictionary& dictionary) {
    const auto identifier = integerEntry<pf::CGWindowID>(dictionary, pf::kCGWindowNumber);
    const auto processIdentifier = integerEntry<std::int32_t>(dictionary, pf::kCGWindowOwnerPID);
    const auto bounds = rectFromDictionary(entry(dictionary, pf::kCGWindowBounds));
    const auto level = integerEntry<std::int64_t>(dictionary, pf::kCGWindowLayer);
    const auto* alphaValue = entry(dictionary, pf::kCGWindowAlpha);
    const auto alpha = alphaValue ? alphaValue->asDouble() : std::nullopt;
    if (!identifier || !processIdentifier || !bounds || !level || !alpha) {
        return std::nullopt;
    }

    WindowInfo window;
    window.identifier = *identifier;
    if (const auto* name = entry(dictionary, pf::kCGWindowName); name && name->asString()) {
        window.name = *name->asString();
    }
    window.owner.processIdentifier = *processIdentifier;
    window.owner.app =
        pf::NSRunningApplication::runningApplicationWithProcessIdentifier(*processIdentifier);
    if (window.owner.app && window.owner.app->bundleIdentifier()) {
        window.owner.bundleIdentifier = BundleIdentifier{*window.owner.app->bundleIdentifier()};
    }
    if (const auto* ownerName = entry(dictionary, pf::kCGWindowOwnerName);
        ownerName && ownerName->asString()) {
        window.owner.name = *ownerName->asString();
    } else if (window.owner.app) {
        window.owner.name = displayName(*window.owner.app);
    } else {
        window.owner.name = "<Unknown>";
    }
    window.bounds = *bounds;
    window.level = *level;
    window.alpha = *alpha;
    window.memoryUsage =
        Bytes{integerEntry<std::int64_t>(dictionary, pf::kCGWindowMemoryUsage).value_or(0)};
    window.sharingState =
        integerEntry<std::uint32_t>(dictionary, pf::kCGWindowSharingState).value_or(0);
    if (const auto* onScreen = entry(dictionary, pf::kCGWindowIsOnscreen)) {
        // The window server gives a number; a Boolean is one too on this platform's bridge.
        if (auto number = onScreen->asInt64()) {
            window.isOnScreen = *number != 0;
        } else if (auto flag = onScreen->asBool()) {
            window.isOnScreen = *flag;
        }
    }
    window.fillsScreen = fillsAScreen(window.bounds);
    return window;
}

std::vector<WindowInfo> WindowInfo::userAppWindows(const std::vector<WindowInfo>& windows) {
    const auto frontmost = pf::NSWorkspace::shared()->frontmostApplication();
    const auto frontmostBundleIdentifier = frontmost ? frontmost->bundleIdentifier() : std::nullopt;
    std::vector<WindowInfo> kept;
    std::copy_if(windows.begin(), windows.end(), std::back_inserter(kept),
                 [&](const WindowInfo& window) {
                     return isUserAppWindow(window, frontmostBundleIdentifier);
                 });
    return kept;
}

std::optional<WindowInfo::UserApp>
WindowInfo::UserApp::make(const std::shared_ptr<pf::NSRunningApplication>& runningApplication,
                          bool ignoresFrontmost, bool requiresFrontmostForRegularApps) {
    if (!runningApplication || !runningApplication->bundleURL() ||
        !runningApplication->bundleIdentifier()) {
        return std::nullopt;
    }
    const std::string& bundleIdentifier = *runningApplication->bundleIdentifier();
    if (bundleIdentifier == QVApp::id() && !runningApplication->isActive()) {
        return std::nullopt;
    }
    const auto& workspace = *pf::NSWorkspace::shared();
    const auto frontmost = workspace.frontmostApplication();
    const auto frontmostBundleIdentifier = frontmost ? frontmost->bundleIdentifier() : std::nullopt;
    if (frontmostBundleIdentifier == bundleIdentifier) {
        // Where the frontmost application is installed; without an answer the running
        // application's own bundle stands.
        if (auto url = urlForApplication(workspace, bundleIdentifier)) {
            return UserApp{*url, BundleIdentifier{*frontmostBundleIdentifier}};
        }
    }
    if (requiresFrontmostForRegularApps && !ignoresFrontmost &&
        runningApplication->activationPolicy() == pf::NSApplicationActivationPolicy::regular &&
        frontmostBundleIdentifier && *frontmostBundleIdentifier != bundleIdentifier) {
        return std::nullopt;
    }
    return UserApp{*runningApplication->bundleURL(), BundleIdentifier{bundleIdentifier}};
}

} // namespace zestrel
