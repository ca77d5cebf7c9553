#pragma once

#include "cut_engine/AppEventTap.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/ThreadChecker.h"
#include "platform/base/Value.h"
#include "platform/concurrency/ObservationRegistrar.h"
#include "platform/concurrency/Task.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/NSWorkspace.h"
#include "preferences/BundleIdentifier.h"
#include "services/WindowInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel {

// The state of one cut that waits for its paste: the general pasteboard's change count
// once the file manager's copy has landed, and the identity of the latest cut. A cut is
// pending while both hold values. Each method makes one and shares it by reference with
// its delayed checks.
struct PendingCut {
    std::optional<std::int64_t> changeCount;
    std::optional<platform::UUID> cutToken;

    void forget() {
        changeCount.reset();
        cutToken.reset();
    }
};

// The application controller: one per process, alive for all of it. It runs one of the two
// cut methods, chosen at launch: per-process event taps on the served file managers
// (`setUpListener`), or the global `cut` and `paste` hotkeys while a served file manager is
// frontmost (`setUpLegacyListener`). Made and used on the main thread.
class AppState : public std::enable_shared_from_this<AppState> {
    struct Key {
        explicit Key() = default;
    };

public:
    // The source file the log lines and reports of both methods name.
    static constexpr const char* kLogFile = "AppState";

    // Made on first use; released only when the process ends. Making it schedules the
    // launch sequence on the main queue, so it runs once the code that made it has returned
    // to the main run loop.
    static std::shared_ptr<AppState> shared();
    // A controller whose launch sequence never runs, for driving one method by hand.
    static std::shared_ptr<AppState> makeUnlaunched();
    explicit AppState(Key) {}
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Observable: reads and writes go through the registrar.
    bool isMenuBarItemVisible() const;
    void setIsMenuBarItemVisible(bool visible);
    std::shared_ptr<AppEventTap> eventTap() const;
    void setEventTap(std::shared_ptr<AppEventTap> eventTap);
    const platform::ObservationRegistrar& registrar() const { return registrar_; }

    // --- Launch
    // Migrations, the check of the "x" key, the forced `cut` hotkey, the scan for
    // conflicting taps, the Accessibility check, the icon reveal, the diagnostics entries,
    // the chosen method and the review request, in that order. Once per process.
    void didLaunch();
    // Returns when the app may post and tap events (or a launch gesture skips the check);
    // without access, explains it in an alert, opens the Accessibility settings and
    // terminates the app.
    void checkAccessibilityAccess();

    // --- The menu-bar icon
    // 5 seconds after a launch or a reopen: hidden again when the user hides it.
    void restoreMenuBarIconVisibility();
    // Follows later changes of "hideMenuBarIcon" for the life of the process.
    void observeHideMenuBarIcon();
    // A reopen of the running app: the icon shows for 5 seconds, and the Settings window
    // opens when the icon is hidden, since that is where it can be shown again.
    void revealMenuBarIconTemporarily();

    // --- The event-tap method
    // Disables the hotkeys and taps the served file managers. A refused tap is reported and
    // shown; the method then does nothing until the next launch.
    void setUpListener();
    // Makes the taps with the action and keeps them in `eventTap`; throws the tap's failure.
    void startEventTap(SystemEventTap::Action action);
    // The event a served file manager receives instead of `event`: Command+X becomes
    // Command+C (and starts a cut), Command+V over the cut's unchanged pasteboard becomes
    // Command+Option+V (a move). Never drops a key.
    std::shared_ptr<platform::NSEvent>
    handleTappedKeyDown(const std::shared_ptr<platform::NSEvent>& event,
                        const std::shared_ptr<PendingCut>& pending);

    // --- The legacy hotkey method
    // Registers the hotkey handlers and follows the frontmost application for the life of
    // the process.
    void setUpLegacyListener();
    void handleLegacyCut(const std::shared_ptr<PendingCut>& pending);
    void handleLegacyPaste(const std::shared_ptr<PendingCut>& pending);
    // The hotkeys are registered only while a served file manager is frontmost.
    void updateHotkeysForFrontmostApp(
        const std::shared_ptr<platform::NSRunningApplication>& application);
    // The application whose window is in front, as far as a cut is concerned; nothing while
    // the screen is locked.
    static std::optional<WindowInfo::UserApp>
    appOwningFrontmostWindow(bool requireFrontmostForRegularApps);
    // The one-time warning for a Command+X the file manager did not get; "Ignore the App"
    // adds the owner to the ignore list.
    static void showDidNotCutAlert(bool isKnownOverlayApp,
                                   const std::optional<BundleIdentifier>& owner);
    static void frontmostDiagnostics(const std::string& message,
                                     const std::optional<BundleIdentifier>& owner);

    // The cut sound, when sound effects are on; returns at once.
    static void playCutSound();

    // The draw of the sampled "Key mismatch" report; a fair coin unless a test sets one.
    void setRandomBool(std::function<bool()> randomBool) { randomBool_ = std::move(randomBool); }

private:
    void reportKeyMismatchIfSampled(const platform::NSEvent& event, std::uint16_t xKeyCode);

    bool launched_ = false;
    bool isMenuBarItemVisible_ = true;
    std::shared_ptr<AppEventTap> eventTap_;
    std::shared_ptr<SystemEventTap> tap2_;
    platform::ObservationRegistrar registrar_;

    // Held with the subscription, so the subscription can be ended whatever goes first.
    std::shared_ptr<platform::NSWorkspace> observedWorkspace_;
    std::optional<platform::KeyValueObservationToken> frontmostObservation_;
    std::function<bool()> randomBool_;
    // The loops that live as long as the process: the "hideMenuBarIcon" observation.
    std::vector<platform::Task<void>> processTasks_;
    platform::ThreadChecker threadChecker_{"AppState"};
};

// `NSStatusItem.showWelcomePopoverWhenVisible()`: waits up to 5 seconds for the item to show,
// then half a second more, then shows the welcome popover and waits for it to end. Gives up
// silently when the item does not show in time. On the main actor.
platform::Task<void> showWelcomePopoverWhenVisible(std::shared_ptr<platform::NSStatusItem> item);

} // namespace zestrel
