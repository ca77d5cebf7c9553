#include "services/StatusItemVisibility.h"

#include "foundation/AlertBuilder.h"
#include "foundation/ApplicationActivation.h"
#include "foundation/Duration.h"
#include "foundation/QVApp.h"
#include "foundation/ScreenGeometry.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Error.h"
#include "platform/concurrency/Continuation.h"
#include "services/QVAppLaunch.h"
#include "services/ScreenLock.h"

#include <algorithm>
#include <chrono>
#include <functional>

namespace zestrel {
namespace {

namespace pf = platform;
using pf::NSModalResponse;
using pf::NSStatusItem;
using pf::NSWindow;

constexpr std::chrono::seconds kLaunchDelay{4};
// A login item starts with the rest of the session, while the menu bar still fills up.
constexpr std::chrono::seconds kLoginItemLaunchDelay{30};
constexpr std::chrono::seconds kSettleDelay{1};
constexpr std::int64_t kCoveringWindowLevel = pf::NSWindow::Level::screenSaver.rawValue - 1;
constexpr double kAutoHideAlertMinimumWidth = 260;

const std::vector<std::string>& menuBarWindowTypeNames() {
    static const std::vector<std::string> names{"NSStatusBarWindow", "NSCarbonMenuWindow"};
    return names;
}

std::shared_ptr<NSWindow> windowOf(const NSStatusItem& item) {
    const auto button = item.button();
    return button ? button->window() : nullptr;
}

bool isShowing(const NSWindow& window) {
    return window.occlusionState().contains(NSWindow::OcclusionState::visible);
}

// In the menu bar but not shown, and not for a reason that makes looking pointless.
bool looksHidden(const NSStatusItem& item) {
    if (!item.isVisible()) {
        return false;
    }
    const auto button = item.button();
    if (!button) {
        pf::fatal("A status item to check for visibility has no button.");
    }
    const auto window = button->window();
    return window && !isShowing(*window) && !isInDarkWake() && !visibleWindowsAtLevel();
}

std::string alertMessage(bool menuBarHidden, const std::optional<std::string>& extraMessage) {
    std::string message =
        menuBarHidden
            ? "macOS hides menu bar items when they do not fit. Try quitting some other menu bar "
              "apps.\n\nDisregard this message if you have the menu bar set to auto hide. It will "
              "not be shown again."
            : "macOS hides menu bar items when they do not fit. Try quitting some other menu bar "
              "apps. Also try quitting Bartender/Ice if it's running.\n\nThis check can have "
              "false-positives, so if you can see the menu bar item, enable “Do not show this "
              "again”, and click “OK”.";
    if (extraMessage) {
        message += "\n\n" + *extraMessage;
    }
    return message;
}

AlertOptions alertOptions(bool menuBarHidden, const std::optional<std::string>& extraMessage,
                          bool offersOpenSettings, bool showsSuppressionButton) {
    AlertOptions options{.title = QVApp::name() + " Menu Bar Item Did Not Appear",
                         .message = alertMessage(menuBarHidden, extraMessage),
                         .buttonTitles = {"OK"}};
    if (offersOpenSettings) {
        options.buttonTitles.push_back("Open Settings");
    }
    if (menuBarHidden) {
        options.minimumWidth = kAutoHideAlertMinimumWidth;
    } else {
        options.showsSuppressionButton = showsSuppressionButton;
        options.suppressionTitle = "Do not show this again";
    }
    return options;
}

} // namespace

Prefs::Key<bool> statusItemShouldNotShowAgainKey() {
    return Prefs::Key<bool>("QV_NSStatusItem_ensureVisibility_shouldNotShowAgain", false);
}

pf::Task<void> ensureVisibility(std::shared_ptr<NSStatusItem> statusItem,
                                std::optional<std::string> extraMessage, bool offersOpenSettings,
                                bool showsSuppressionButton) {
    const auto shouldNotShowAgain = statusItemShouldNotShowAgainKey();
    if (Prefs::value(shouldNotShowAgain)) {
        co_return;
    }
    if (!statusItem) {
        pf::fatal("There is no status item to check for visibility.");
    }

    bool cancelled = false;
    try {
        co_await pf::Task<>::sleep(QVApp::wasLaunchedAsLoginItem() ? kLoginItemLaunchDelay
                                                                   : kLaunchDelay);
        // A locked screen shows no menu bar items at all.
        if (isScreenLocked()) {
            co_await waitForScreenLockChange();
        }
        co_await pf::Task<>::sleep(kSettleDelay);
    } catch (const pf::Error& error) {
        if (!error.is<pf::CancellationError>()) {
            throw;
        }
        cancelled = true;
    }
    if (cancelled || !looksHidden(*statusItem)) {
        co_return;
    }

    forceActivate();
    const bool menuBarHidden = isMenuBarHidden();
    const auto alert = makeAlert(
        alertOptions(menuBarHidden, extraMessage, offersOpenSettings, showsSuppressionButton));
    std::function<bool()> shouldDismiss = [weakItem = std::weak_ptr<NSStatusItem>(statusItem)] {
        const auto item = weakItem.lock();
        const auto window = item ? windowOf(*item) : nullptr;
        return !window || isShowing(*window);
    };
    const NSModalResponse response = co_await pf::withCheckedContinuation<NSModalResponse>(
        [&alert, &shouldDismiss](pf::CheckedContinuation<NSModalResponse> continuation) {
            run(alert, shouldDismiss, Duration::seconds(1),
                [continuation](NSModalResponse response) { continuation.resume(response); });
        });

    // With an auto-hiding menu bar the item is hidden most of the time, so one alert is enough.
    const bool suppressionTicked =
        alert->showsSuppressionButton() &&
        alert->suppressionButton()->state() == pf::NSControlStateValue::on;
    if (menuBarHidden || suppressionTicked) {
        Prefs::set(shouldNotShowAgain, true);
    }
    if (offersOpenSettings && response == pf::NSAlertSecondButtonReturn) {
        pf::DispatchQueue::main().async([] { showSettingsWindow(); });
    }
}

bool visibleWindowsAtLevel() {
    const auto windows = filterWindows(pf::NSApp().windows(), menuBarWindowTypeNames());
    return std::any_of(windows.begin(), windows.end(), [](const auto& window) {
        return window->isVisible() && window->level().rawValue == kCoveringWindowLevel;
    });
}

std::vector<std::shared_ptr<NSWindow>>
filterWindows(const std::vector<std::shared_ptr<NSWindow>>& windows,
              const std::vector<std::string>& excludingTypeNames) {
    std::vector<std::shared_ptr<NSWindow>> kept;
    std::copy_if(windows.begin(), windows.end(), std::back_inserter(kept), [&](const auto& window) {
        return std::find(excludingTypeNames.begin(), excludingTypeNames.end(),
                         window->className()) == excludingTypeNames.end();
    });
    return kept;
}

} // namespace zestrel
