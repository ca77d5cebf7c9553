// The legacy cut method of `AppState`: the global `cut` and `paste` hotkeys, registered only
// while a served file manager is frontmost, post the keystrokes the file manager receives.
#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/AppState.h"
#include "cut_engine/CGKeyCodeUtilities.h"
#include "foundation/ApplicationActivation.h"
#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/Logger.h"
#include "foundation/QVApp.h"
#include "foundation/StableHash.h"
#include "hotkeys/Hotkeys.h"
#include "hotkeys/LegacyHotkeyNames.h"
#include "platform/appkit/NSAlert.h"
#include "platform/base/DispatchQueue.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/desktop/WindowServer.h"
#include "services/InstalledApp.h"
#include "services/QVAppRunOnce.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string_view>

namespace zestrel {

namespace pf = platform;
using namespace std::chrono_literals;

namespace {

constexpr std::array<std::string_view, 2> kLockScreenApps{"com.apple.loginwindow",
                                                          "com.apple.ScreenSaver.Engine"};

// Applications whose window in front does not make them its owner: the frontmost
// application is taken instead. The first entry is this app itself.
constexpr std::array<std::string_view, 17> kOverlayOwnerSkipListAfterOwnApp{
    "com.apple.WindowManager",
    "com.apple.SystemProfiler",
    "com.mediaatelier.CheatSheet",
    "de.ixeau.KeystrokePro2",
    "app.dropshelf.DropShelf", // a drop-shelf utility
    "pl.maketheweb.cleanshotx",
    "com.getcleanshot.app-setapp",
    "com.stclairsoft.DefaultFolderX5",
    "com.stclairsoft.DefaultFolderX5-setapp",
    "aimore.xamouse",
    "com.pilotmoon.popclip",
    "com.pilotmoon.popclip-setapp",
    "com.tencent.LemonMonitor",
    "com.electron.ava",
    "com.pranapps.Floating",
    "design.yugen.Flow",
    "com.seal-one.SealOne",
};

// Overlays that take Command+X for themselves on purpose: never warned about.
constexpr std::array<std::string_view, 15> kKnownOverlayApps{
    "com.apple.loginwindow",
    "com.apple.ScreenSaver.Engine",
    "com.apple.Spotlight",
    "com.raycast.macos",
    "com.runningwithcrayons.Alfred",
    "com.agilebits.onepassword7",
    "app.launcherbar.Launcher", // a launcher utility
    "com.sophos.home.ui",
    "app.translatebar.Translator", // a translation utility
    "com.apptorium.SideNotes",
    "com.apptorium.SideNotes-paddle",
    "com.klokki-slim.macos",
    "com.apple.screencaptureui",
    "com.apple.controlcenter",
    "com.apple.notificationcenterui",
};

constexpr std::uint16_t kKeyCodeC = 8;
constexpr std::uint16_t kKeyCodeV = 9;
constexpr std::uint16_t kKeyCodeX = 7;
constexpr pf::CGEventFlags kCommand = pf::kCGEventFlagMaskCommand;
constexpr pf::CGEventFlags kCommandOption =
    pf::kCGEventFlagMaskCommand | pf::kCGEventFlagMaskAlternate;

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& list, std::string_view identifier) {
    return std::find(list.begin(), list.end(), identifier) != list.end();
}

bool isOverlayOwnerSkipped(std::string_view identifier) {
    return identifier == QVApp::id() || contains(kOverlayOwnerSkipListAfterOwnApp, identifier);
}

bool isServedFileManager(const std::optional<std::string>& identifier) {
    return identifier == ServedApplications::finder.rawValue ||
           identifier == ServedApplications::forkLift.rawValue;
}

void log(std::initializer_list<pf::Value> items, std::int64_t line = __builtin_LINE()) {
    logMessage(items, pf::OSLogType::defaultLevel, "setUpLegacyListener()", AppState::kLogFile,
               line);
}

std::optional<std::string> text(const std::optional<BundleIdentifier>& identifier) {
    return identifier ? std::optional(identifier->rawValue) : std::nullopt;
}

std::optional<std::string> bundleIdentifierOf(const std::optional<WindowInfo::UserApp>& app) {
    return app ? std::optional(app->bundleIdentifier.rawValue) : std::nullopt;
}

std::optional<std::string> frontmostBundleIdentifier() {
    const auto frontmost = pf::NSWorkspace::shared()->frontmostApplication();
    return frontmost ? frontmost->bundleIdentifier() : std::nullopt;
}

std::vector<Hotkeys::Name> methodHotkeys() {
    return {Hotkeys::Names::cut(), Hotkeys::Names::paste()};
}

// The hotkeys are ours only while a served file manager is in front; elsewhere Command+X
// and Command+V belong to the application.
void applyFrontmostRule(const std::shared_ptr<pf::NSRunningApplication>& application) {
    if (application && isServedFileManager(application->bundleIdentifier())) {
        Hotkeys::enable(methodHotkeys());
    } else {
        Hotkeys::disable(methodHotkeys());
    }
}

// A key-down and its key-up from one combined-session source that lets local mouse and
// system-defined events through meanwhile; without a source they are posted bare. Both
// hotkeys stand aside while the keys pass, or a shortcut recorded as the very key posted
// would take it back (a cut on Command+C, for ever). They return only where the frontmost
// rule says: a warning on the way may have brought this app forward, and Command+X in its
// own windows is not ours.
void postKeystroke(std::uint16_t keyCode, pf::CGEventFlags flags, pf::CGEventTapLocation at) {
    Hotkeys::disable(methodHotkeys());
    const auto source = pf::CGEventSourceCreate(pf::kCGEventSourceStateCombinedSessionState);
    if (source) {
        pf::CGEventSourceSetLocalEventsFilterDuringSuppressionState(
            source,
            pf::kCGEventFilterMaskPermitLocalMouseEvents |
                pf::kCGEventFilterMaskPermitSystemDefinedEvents,
            pf::CGEventSuppressionState::suppressionInterval);
    }
    for (const bool keyDown : {true, false}) {
        const auto event = pf::CGEventCreateKeyboardEvent(source, keyCode, keyDown);
        if (!event) {
            continue;
        }
        pf::CGEventSetFlags(event, flags);
        pf::CGEventPost(at, event);
    }
    applyFrontmostRule(pf::NSWorkspace::shared()->frontmostApplication());
}

// Checks at 0.2, 0.4 and 1.0 s after the cut follow the file manager's copy onto the
// pasteboard, while the cut is still the latest.
void scheduleLegacyCheck(const std::shared_ptr<PendingCut>& pending, const pf::UUID& token,
                         int step) {
    static constexpr std::array<const char*, 3> kNames{"CUT2", "CUT3", "CUT4"};
    static constexpr std::array<pf::Nanoseconds, 3> kDelays{200ms, 200ms, 600ms};
    pf::DispatchQueue::main().asyncAfter(kDelays[step], [pending, token, step] {
        if (pending->cutToken == token) {
            const auto count = pf::NSPasteboard::general()->changeCount();
            pending->changeCount = count;
            log({kNames[step], count});
        }
        if (step + 1 < static_cast<int>(kNames.size())) {
            scheduleLegacyCheck(pending, token, step + 1);
        }
    });
}

std::string displayNameOf(const std::optional<BundleIdentifier>& owner) {
    if (!owner) {
        return "<Unknown>";
    }
    return appName(*pf::NSWorkspace::shared(), owner->rawValue).value_or(owner->rawValue);
}

pf::Value describe(const WindowInfo& window) {
    return pf::Value::Dictionary{
        {"kCGWindowNumber", std::uint64_t{window.identifier}},
        {"kCGWindowName", pf::Value(window.name)},
        {"kCGWindowOwnerName", window.owner.name},
        {"kCGWindowOwnerPID", window.owner.processIdentifier},
        {"bundleIdentifier", pf::Value(text(window.owner.bundleIdentifier))},
        {"kCGWindowLayer", window.level},
    };
}

std::vector<WindowInfo> userAppWindowList() {
    return WindowInfo::userAppWindows(WindowInfo::list(pf::kCGWindowListOptionOnScreenOnly |
                                                       pf::kCGWindowListExcludeDesktopElements));
}

} // namespace

void AppState::setUpLegacyListener() {
    threadChecker_.check();
    auto pending = std::make_shared<PendingCut>();
    const std::weak_ptr<AppState> weakSelf = weak_from_this();
    Hotkeys::onKeyDown(Hotkeys::Names::cut(), [weakSelf, pending] {
        if (const auto self = weakSelf.lock()) {
            self->handleLegacyCut(pending);
        }
    });
    Hotkeys::onKeyDown(Hotkeys::Names::paste(), [weakSelf, pending] {
        if (const auto self = weakSelf.lock()) {
            self->handleLegacyPaste(pending);
        }
    });
    observedWorkspace_ = pf::NSWorkspace::shared();
    frontmostObservation_ = observedWorkspace_->keyValueObservers().addObserver(
        "frontmostApplication",
        pf::NSKeyValueObservingOptionInitial | pf::NSKeyValueObservingOptionNew,
        [weakSelf](const pf::KeyValueNotification& notification) {
            const auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            const auto found = notification.change.find(pf::NSKeyValueChangeNewKey);
            self->updateHotkeysForFrontmostApp(
                found == notification.change.end()
                    ? nullptr
                    : found->second.asObject<pf::NSRunningApplication>());
        });
}

void AppState::updateHotkeysForFrontmostApp(
    const std::shared_ptr<pf::NSRunningApplication>& application) {
    log({"ACTIVE APP", pf::Value(application ? application->bundleIdentifier() : std::nullopt),
         pf::Value(application ? application->localizedName() : std::nullopt),
         pf::Value(bundleIdentifierOf(appOwningFrontmostWindow(true)))});
    applyFrontmostRule(application);
}

std::optional<WindowInfo::UserApp>
AppState::appOwningFrontmostWindow(bool requireFrontmostForRegularApps) {
    const auto workspace = pf::NSWorkspace::shared();
    const auto frontmost = workspace->frontmostApplication();
    if (frontmost && frontmost->bundleIdentifier() &&
        contains(kLockScreenApps, *frontmost->bundleIdentifier())) {
        return std::nullopt;
    }
    std::optional<WindowInfo::UserApp> candidate;
    for (const auto& window : userAppWindowList()) {
        candidate =
            WindowInfo::UserApp::make(window.owner.app, false, requireFrontmostForRegularApps);
        if (candidate) {
            break;
        }
    }
    if (!candidate) {
        if (auto app = WindowInfo::UserApp::make(frontmost, true, requireFrontmostForRegularApps)) {
            return app;
        }
        return WindowInfo::UserApp::make(workspace->menuBarOwningApplication(), true,
                                         requireFrontmostForRegularApps);
    }
    if (isOverlayOwnerSkipped(candidate->bundleIdentifier.rawValue) && frontmost &&
        frontmost->bundleURL() && frontmost->bundleIdentifier()) {
        return WindowInfo::UserApp{*frontmost->bundleURL(),
                                   BundleIdentifier{*frontmost->bundleIdentifier()}};
    }
    return candidate;
}

void AppState::handleLegacyCut(const std::shared_ptr<PendingCut>& pending) {
    // Both go: with only the count cleared, the checks of an abandoned cut would record a
    // count again and the next Command+V would move the old files.
    pending->forget();
    const auto frontmostIdentifier = frontmostBundleIdentifier();
    if (frontmostIdentifier == QVApp::id()) {
        return;
    }
    std::optional<BundleIdentifier> owner;
    if (auto app = appOwningFrontmostWindow(true)) {
        owner = app->bundleIdentifier;
    } else if (frontmostIdentifier) {
        owner = BundleIdentifier{*frontmostIdentifier};
    }
    bool isKnownOverlayApp = false;
    if (owner) {
        isKnownOverlayApp = contains(kKnownOverlayApps, owner->rawValue);
        if (Prefs::value(AppPreferences::ignoreList()).contains(*owner)) {
            owner = frontmostIdentifier ? std::optional(BundleIdentifier{*frontmostIdentifier})
                                        : std::nullopt;
        }
    }
    if (owner && isServedFileManager(owner->rawValue)) {
        const auto token = pf::UUID::random();
        pending->cutToken = token;
        postKeystroke(kKeyCodeC, kCommand, pf::kCGAnnotatedSessionEventTap);
        const auto count = pf::NSPasteboard::general()->changeCount();
        pending->changeCount = count;
        log({"CUT1", count});
        scheduleLegacyCheck(pending, token, 0);
        playCutSound();
        return;
    }

    log({"DID NOT CUT BECAUSE FINDER IS NOT FRONTMOST", pf::Value(text(owner)),
         pf::Value(bundleIdentifierOf(appOwningFrontmostWindow(false))),
         pf::Value(frontmostIdentifier)});
    const auto warning = std::to_string(QVApp::build()) + " " + displayNameOf(owner);
    const auto identifier =
        "didNotCutWarning_" + std::to_string(static_cast<std::int64_t>(fnv1aHash(warning)));
    if (QVApp::runOnce(identifier)) {
        showDidNotCutAlert(isKnownOverlayApp, owner);
    }
    postKeystroke(kKeyCodeX, kCommand, pf::kCGHIDEventTap);
}

void AppState::showDidNotCutAlert(bool isKnownOverlayApp,
                                  const std::optional<BundleIdentifier>& owner) {
    if (isKnownOverlayApp) {
        return;
    }
    forceActivate();
    const auto alert = pf::NSAlert::make();
    alert->setMessageText("Did not cut because Finder was not frontmost");
    alert->setInformativeText(
        "The frontmost app was “" + displayNameOf(owner) +
        "”. This can happen if an app presents an overlay window above Finder.\n\nFirst, make "
        "sure you are on the latest version. This may already have been fixed. If not, report "
        "this to the developer and it should be fixed quickly.\n\nIf the app is not meant to "
        "receive the Command+X key stroke, you can ignore the app right away so you don't have "
        "to wait for an update to Zestrel.");
    alert->addButton("OK");
    alert->addButton("Ignore the App");
    if (alert->runModal() == pf::NSAlertSecondButtonReturn && owner) {
        Prefs::modify(AppPreferences::ignoreList(),
                      [&](BundleIdentifierSet& ignored) { ignored.insert(*owner); });
    }
    frontmostDiagnostics("DID NOT CUT", owner);
}

void AppState::frontmostDiagnostics(const std::string& message,
                                    const std::optional<BundleIdentifier>& owner) {
    const auto workspace = pf::NSWorkspace::shared();
    const auto frontmost = workspace->frontmostApplication();
    const auto menuBarOwner = workspace->menuBarOwningApplication();
    const auto windows = userAppWindowList();
    pf::Value ownerWindows;
    if (owner) {
        pf::Value::Array matching;
        for (const auto& window : windows) {
            if (window.owner.bundleIdentifier == owner) {
                matching.push_back(describe(window));
            }
        }
        ownerWindows = std::move(matching);
    }
    reportError(GeneralError::make(message),
                {{"appOwningFrontmostWindow", text(owner).value_or("")},
                 {"appOwningFrontmostWindow2",
                  bundleIdentifierOf(appOwningFrontmostWindow(true)).value_or("")},
                 {"appOwningFrontmostWindow3",
                  bundleIdentifierOf(appOwningFrontmostWindow(false)).value_or("")},
                 {"frontmostApplication",
                  frontmost ? frontmost->bundleIdentifier().value_or("") : std::string()},
                 {"frontmostApplicationIsActive", frontmost && frontmost->isActive()},
                 {"menuBarOwningApplication",
                  menuBarOwner ? menuBarOwner->bundleIdentifier().value_or("") : std::string()},
                 {"allWindowsRaw", windows.empty() ? pf::Value() : describe(windows.front())},
                 {"appOwningFrontmostWindow - window", ownerWindows},
                 {"x2", std::uint64_t{CGKeyCodeUtilities::keyCode("x")}}},
                kLogFile);
}

void AppState::handleLegacyPaste(const std::shared_ptr<PendingCut>& pending) {
    const auto pasteboard = pf::NSPasteboard::general();
    const auto count = pasteboard->changeCount();
    const auto types = pasteboard->types();
    const bool holdsFiles = types && std::find(types->begin(), types->end(),
                                               pf::NSPasteboardType::fileURL) != types->end();
    log({"PASTE", pf::Value(pending->changeCount), count, holdsFiles});
    log({"PASTE - 2", pf::Value(frontmostBundleIdentifier()),
         pf::Value(bundleIdentifierOf(appOwningFrontmostWindow(true)))});
    if (pending->changeCount == count && holdsFiles) {
        log({"PASTE KEYPRESS"});
        postKeystroke(kKeyCodeV, kCommandOption, pf::kCGAnnotatedSessionEventTap);
    } else {
        log({"SIMULATE PASTE"});
        postKeystroke(kKeyCodeV, kCommand, pf::kCGAnnotatedSessionEventTap);
    }
    pending->forget();
}

} // namespace zestrel
