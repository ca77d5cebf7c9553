#pragma once

#include "cut_engine/AppEventTap.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/ThreadChecker.h"
#include "platform/base/Value.h"
#include "platform/concurrency/ObservationRegistrar.h"
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

    // Made on first use; released only when the process ends.
    static std::shared_ptr<AppState> shared();
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

    bool isMenuBarItemVisible_ = true;
    std::shared_ptr<AppEventTap> eventTap_;
    std::shared_ptr<SystemEventTap> tap2_;
    platform::ObservationRegistrar registrar_;

    // Held with the subscription, so the subscription can be ended whatever goes first.
    std::shared_ptr<platform::NSWorkspace> observedWorkspace_;
    std::optional<platform::KeyValueObservationToken> frontmostObservation_;
    std::function<bool()> randomBool_;
    platform::ThreadChecker threadChecker_{"AppState"};
};

} // namespace zestrel
