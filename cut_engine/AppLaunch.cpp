// The launch sequence of the controller, the Accessibility check and the menu-bar icon's
// visibility.
#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/AppState.h"
#include "cut_engine/CGKeyCodeUtilities.h"
#include "cut_engine/EventTapDiagnostics.h"
#include "foundation/AlertBuilder.h"
#include "foundation/ApplicationActivation.h"
#include "foundation/AsyncStreamUtilities.h"
#include "foundation/ErrorReporter.h"
#include "foundation/FeedbackMetadata.h"
#include "foundation/GeneralError.h"
#include "foundation/Logger.h"
#include "foundation/RunningApplication.h"
#include "foundation/TextUtilities.h"
#include "hotkeys/Hotkeys.h"
#include "hotkeys/LegacyHotkeyNames.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Locale.h"
#include "platform/base/MainThread.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/StandardStreams.h"
#include "platform/desktop/Accessibility.h"
#include "preferences/PrefsPublisher.h"
#include "services/QVAppLaunch.h"
#include "services/QVAppRunOnce.h"
#include "services/ReviewRequest.h"
#include "services/StatusItemVisibility.h"
#include "services/SystemInfo.h"
#include "ui/StatusItems.h"

#include <chrono>
#include <string>
#include <vector>

namespace zestrel {

namespace pf = platform;
using namespace std::chrono_literals;
using ModifierFlags = pf::NSEvent::ModifierFlags;

namespace {

constexpr std::uint16_t kANSIKeyCodeX = 7;
constexpr std::int64_t kCarbonCommand = 256;
// Function + Control + Shift, compared unmasked: held at launch, it skips the check.
constexpr std::uint64_t kSkipAccessibilityCheckFlags = 0x860000;
constexpr auto kIconRevealTime = 5s;
constexpr auto kWelcomePopoverWait = 5s;
constexpr auto kWelcomePopoverPause = 500ms;

void log(std::initializer_list<pf::Value> items, std::int64_t line = __builtin_LINE()) {
    logMessage(items, pf::OSLogType::defaultLevel, "didLaunch()", AppState::kLogFile, line);
}

void report(const std::string& description, pf::Value::Dictionary userInfo,
            std::int64_t line = __builtin_LINE()) {
    reportError(GeneralError::make(description), std::move(userInfo), AppState::kLogFile, line);
}

// Another application's active key-down tap on every process or on the Finder's sees
// Command+X first and may swallow it.
std::vector<std::string>
conflictingTapDescriptions(const std::vector<pf::CGEventTapInformation>& taps) {
    const auto finder = processIdentifiers(ServedApplications::finder.rawValue);
    const auto keyDownBit = pf::CGEventMask{1} << static_cast<int>(pf::CGEventType::keyDown);
    std::vector<std::string> descriptions;
    for (const auto& tap : taps) {
        if (!tap.enabled || tap.options != pf::kCGEventTapOptionDefault ||
            (tap.eventsOfInterest & keyDownBit) == 0) {
            continue;
        }
        if (tap.processBeingTapped != 0 && (!finder || *finder != tap.processBeingTapped)) {
            continue;
        }
        descriptions.push_back(keyValueLines(debugDescription(tap)));
    }
    return descriptions;
}

void scanForConflictingTaps() {
    std::vector<pf::CGEventTapInformation> taps;
    try {
        taps = installedTaps();
    } catch (const pf::Error&) {
        return;
    }
    const auto descriptions = conflictingTapDescriptions(taps);
    if (descriptions.empty()) {
        return;
    }
    // Printed in the language's form of a list of texts: ["a", "b \"c\""].
    const pf::Value list(pf::Value::Array(descriptions.begin(), descriptions.end()));
    pf::writeStandardOutput("🌸 " + list.describe() + "\n");
    if (QVApp::runOnce("sdf23423232134564564")) {
        report("Potentially conflicting app", {{"apps", list}});
    }
}

void registerDiagnostics(std::uint16_t xKeyCode) {
    for (const auto* key : {&AppPreferences::hideMenuBarIcon(), &AppPreferences::playSoundEffects(),
                            &AppPreferences::newMethod(), &AppPreferences::useKeyCode()}) {
        const std::string name = "Setting - " + key->name();
        feedbackMetadataProviders().push_back([key, name]() -> pf::Value::Dictionary {
            return {{name, pf::Value(Prefs::value(*key))}};
        });
    }
    const pf::Value keyCode(std::uint64_t{xKeyCode});
    feedbackMetadataValues().insert_or_assign("Keycode1", keyCode);
    QVApp::debugInfoValues().set("Keycode1", keyCode);
    QVApp::debugInfoValueProviders().set("finderPID", [] {
        const auto pid = processIdentifiers(ServedApplications::finder.rawValue);
        return pid ? pf::Value(*pid) : pf::Value();
    });
    QVApp::debugInfoValueProviders().set("eventTap",
                                         [] { return pf::Value(eventTapsDebugText()); });
}

} // namespace

std::shared_ptr<AppState> AppState::makeUnlaunched() {
    return std::make_shared<AppState>(Key{});
}

void AppState::didLaunch() {
    threadChecker_.check();
    // After a confirmed reset this instance only waits for its relaunch.
    if (QVApp::isResettingSettingsAndData() || std::exchange(launched_, true)) {
        return;
    }
    if (QVApp::runOnce("switchToNewMethod32425")) {
        Prefs::set(AppPreferences::newMethod(), true);
    }
    if (QVApp::runOnce("switchToNewMethod755435")) {
        Prefs::set(AppPreferences::useKeyCode(), true);
    }

    const std::uint16_t xKeyCode = CGKeyCodeUtilities::keyCode("x");
    log({"key1", pf::Value(std::uint64_t{kANSIKeyCodeX})});
    log({"key2", pf::Value(std::uint64_t{xKeyCode})});
    if (xKeyCode != kANSIKeyCodeX && QVApp::runOnce("debug__differentXKeyCode")) {
        report("Different key code", {{"original", pf::Value(std::int64_t{kANSIKeyCodeX})},
                                      {"cg", pf::Value(std::uint64_t{xKeyCode})}});
    }

    if (!Prefs::value(AppPreferences::newMethod())) {
        const auto language = pf::Locale::currentLanguageCode();
        const Prefs::Key<bool> forceSetKey("forceSetKey", false);
        if (language == "ja" || language == "zh" || Prefs::value(forceSetKey)) {
            log({"Did force set key"});
            Hotkeys::storeShortcut(Hotkeys::Shortcut(xKeyCode, kCarbonCommand),
                                   Hotkeys::Names::cut());
        }
    }

    scanForConflictingTaps();
    pf::DispatchQueue::main().asyncAfter(
        1s, [] { pf::writeStandardOutput("❤️ " + eventTapsDebugText() + "\n"); });

    checkAccessibilityAccess();
    if (pf::NSApplication::shared().isTerminated()) {
        return;
    }

    setIsMenuBarItemVisible(true);
    const std::weak_ptr<AppState> weakSelf = weak_from_this();
    pf::DispatchQueue::main().asyncAfter(kIconRevealTime, [weakSelf] {
        if (const auto self = weakSelf.lock()) {
            self->restoreMenuBarIconVisibility();
        }
    });
    observeHideMenuBarIcon();
    if (!Prefs::value(AppPreferences::hideMenuBarIcon())) {
        const auto items = statusItems(*pf::NSStatusBar::system());
        if (!items.empty()) {
            processTasks_.push_back(pf::Task<void>::runOnMain([item = items.front()] {
                return ensureVisibility(item, std::nullopt, true, true);
            }));
        }
    }

    registerDiagnostics(xKeyCode);
    if (Prefs::value(AppPreferences::newMethod())) {
        setUpListener();
    } else {
        setUpLegacyListener();
    }
    QVApp::requestReviewIfAppropriate({5, 200, 500, 1000});
}

void AppState::checkAccessibilityAccess() {
    if (pf::NSEvent::modifierFlags().rawValue == kSkipAccessibilityCheckFlags) {
        return;
    }
    const pf::Value::Dictionary options{{pf::kAXTrustedCheckOptionPrompt, pf::Value(true)}};
    const bool trusted = pf::AXIsProcessTrustedWithOptions(options);
    pf::CGRequestPostEventAccess();
    if (trusted) {
        if (QVApp::runOnce("welcomePopover")) {
            processTasks_.push_back(pf::Task<void>::runOnMain([]() -> pf::Task<void> {
                const auto items = statusItems(*pf::NSStatusBar::system());
                if (items.empty()) {
                    co_return;
                }
                auto first = items.front();
                auto welcome = showWelcomePopoverWhenVisible(first);
                co_await std::move(welcome);
            }));
        }
        return;
    }
    auto& application = pf::NSApplication::shared();
    application.yieldActivation(QVApp::id());
    application.activate(true);
    const auto& name = QVApp::name();
    runModal(AlertOptions{
        .title = name + (QVApp::isFirstLaunch()
                             ? " requires accessibility access."
                             : " requires accessibility access but no such access was granted."),
        .message = "You can manually grant access in System Settings. Launch " + name +
                   " again after granting access.",
        .style = pf::NSAlert::Style::warning,
        .buttonTitles = {"Quit and Open System Settings"},
    });
    open(SystemSettingsPane{SystemSettingsPaneCase::accessibility});
    application.terminate();
}

void AppState::restoreMenuBarIconVisibility() {
    if (Prefs::value(AppPreferences::hideMenuBarIcon())) {
        setIsMenuBarItemVisible(false);
    }
}

void AppState::observeHideMenuBarIcon() {
    auto stream = Prefs::updates(AppPreferences::hideMenuBarIcon(), false);
    const std::weak_ptr<AppState> weakSelf = weak_from_this();
    processTasks_.push_back(
        pf::Task<void>::run([stream = std::move(stream), weakSelf]() -> pf::Task<void> {
            auto body = [weakSelf](bool hidden) -> pf::Task<void> {
                auto apply = [weakSelf, hidden] {
                    if (const auto self = weakSelf.lock()) {
                        self->setIsMenuBarItemVisible(!hidden);
                    }
                };
                if (pf::isMainThread()) {
                    apply();
                } else {
                    pf::DispatchQueue::main().async(std::move(apply));
                }
                co_return;
            };
            co_await forEachAsyncStreamElement(stream, std::move(body));
        }));
}

void AppState::revealMenuBarIconTemporarily() {
    setIsMenuBarItemVisible(true);
    const std::weak_ptr<AppState> weakSelf = weak_from_this();
    pf::DispatchQueue::main().asyncAfter(kIconRevealTime, [weakSelf] {
        if (const auto self = weakSelf.lock()) {
            self->restoreMenuBarIconVisibility();
        }
    });
    if (Prefs::value(AppPreferences::hideMenuBarIcon())) {
        pf::DispatchQueue::main().async([] { showSettingsWindow(); });
    }
}

pf::Task<void> showWelcomePopoverWhenVisible(std::shared_ptr<pf::NSStatusItem> item) {
    bool visible = true;
    try {
        auto wait = [item] { return waitUntilVisible(item); };
        co_await withTimeout(kWelcomePopoverWait, std::move(wait));
    } catch (...) {
        pf::ProcessStop::passOn();
        visible = false;
    }
    if (!visible) {
        co_return;
    }
    try {
        co_await pf::Task<>::sleep(kWelcomePopoverPause);
    } catch (const pf::Error&) {
        // A cancelled pause still shows the popover.
    }
    const std::weak_ptr<pf::NSStatusBarButton> button = item->button();
    if (button.expired()) {
        co_return;
    }
    auto welcome = showWelcomePopover(button);
    co_await std::move(welcome);
}

} // namespace zestrel
