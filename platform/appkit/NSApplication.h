#pragma once

#include "platform/appkit/NSResponder.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/Error.h"
#include "platform/base/RunLoop.h"
#include "platform/base/ThreadChecker.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSRunningApplication.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSApplication;
class NSDockTile;
class NSImage;
class NSMenu;

inline constexpr const char* NSApplicationWillFinishLaunchingNotification =
    "NSApplicationWillFinishLaunchingNotification";
inline constexpr const char* NSApplicationDidFinishLaunchingNotification =
    "NSApplicationDidFinishLaunchingNotification";
inline constexpr const char* NSApplicationDidBecomeActiveNotification =
    "NSApplicationDidBecomeActiveNotification";
inline constexpr const char* NSApplicationDidResignActiveNotification =
    "NSApplicationDidResignActiveNotification";
inline constexpr const char* NSApplicationWillTerminateNotification =
    "NSApplicationWillTerminateNotification";

// What the application's delegate is asked and told; each member has the platform's
// default.
class NSApplicationDelegate {
public:
    enum class TerminateReply : std::uint64_t {
        terminateCancel = 0,
        terminateNow = 1,
        terminateLater = 2
    };

    virtual ~NSApplicationDelegate() = default;
    virtual void applicationWillFinishLaunching(const Notification& /*notification*/) {}
    virtual void applicationDidFinishLaunching(const Notification& /*notification*/) {}
    virtual void applicationDidBecomeActive(const Notification& /*notification*/) {}
    virtual void applicationDidResignActive(const Notification& /*notification*/) {}
    virtual TerminateReply applicationShouldTerminate(NSApplication& /*sender*/) {
        return TerminateReply::terminateNow;
    }
    virtual void applicationWillTerminate(const Notification& /*notification*/) {}
    // The running application was opened again (from the Finder, the Dock). True lets the
    // application do its own handling: bring back a minimized window when none is visible.
    virtual bool applicationShouldHandleReopen(NSApplication& /*sender*/,
                                               bool /*hasVisibleWindows*/) {
        return true;
    }
};

// The application object of this process: activation, windows, the main menu, modal runs
// and termination. It belongs to the process (a relaunch makes a new one) and to the main
// thread: changing it, or showing, ordering or closing a window, from another thread stops
// the process.
class NSApplication final : public NSResponder {
public:
    // How the application takes part in the user interface: the same policy the workspace
    // reports for a running application.
    using ActivationPolicy = NSApplicationActivationPolicy;

    NSApplication();
    ~NSApplication() override;

    static NSApplication& shared();
    std::string className() const override { return "NSApplication"; }

    // --- Activation
    // Starts as the main bundle asks (accessory for a menu-bar app); a change is the
    // workspace's too.
    ActivationPolicy activationPolicy() const { return activationPolicy_; }
    bool setActivationPolicy(ActivationPolicy policy);
    bool isActive() const { return active_; }
    // Becomes the active application (the did-become-active notification when it was not);
    // the window that was key when it was deactivated, or was made key while it was in the
    // back, becomes key again; when that one can no longer be key, the frontmost window that
    // can (a modal window or its sheet first) does.
    void activate(bool ignoringOtherApps);
    void activate() { activate(false); }
    // The key window resigns key (notification and delegate) until the next activation.
    // Once launched, an application in the back has no key window at all.
    void deactivate();
    // Lets the named application take activation from this one when it asks; the desktop
    // reads the most recent yield.
    void yieldActivation(std::string toApplicationWithBundleIdentifier);
    const std::optional<std::string>& activationYieldedTo() const { return yieldedTo_; }

    // --- Launch and termination
    std::shared_ptr<NSApplicationDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NSApplicationDelegate>& delegate) {
        delegate_ = delegate;
    }
    // Will-finish then did-finish launching (delegate, then notification); once.
    void finishLaunching();
    bool isFinishedLaunching() const { return finishedLaunching_; }
    // Finishes launching and runs the main run loop until the application terminates.
    void run();
    bool isRunning() const { return running_; }
    // Asks the delegate, then posts the will-terminate notification, closes the windows and
    // ends the process: the main run loop is stopped and `isTerminated` tells its holder.
    void terminate();
    // The answer to a delegate that said terminateLater.
    void replyToApplicationShouldTerminate(bool shouldTerminate);
    bool isTerminated() const { return terminated_; }
    // The reopen event: the delegate decides; left to the application, a minimized window
    // comes back when no window is visible. Counted.
    void handleReopen();
    std::size_t reopenCount() const { return reopens_; }

    // --- Windows
    // Every window of the application that is still alive, in the order they were first used.
    std::vector<std::shared_ptr<NSWindow>> windows() const;
    // The windows on screen, front to back.
    std::vector<std::shared_ptr<NSWindow>> orderedWindows() const;
    // Nothing while no window is key (the last one left the screen, or the application is
    // in the back).
    std::shared_ptr<NSWindow> keyWindow() const { return keyWindow_.lock(); }
    std::shared_ptr<NSWindow> mainWindow() const { return mainWindow_.lock(); }
    std::shared_ptr<NSWindow> windowWithWindowNumber(std::int64_t number) const;

    // --- Menus
    std::shared_ptr<NSMenu> mainMenu() const { return mainMenu_; }
    void setMainMenu(std::shared_ptr<NSMenu> menu) { mainMenu_ = std::move(menu); }

    // --- Modal runs
    // Shows the window and runs the main run loop in the modal-panel mode (the main queue
    // and common-mode timers keep being served) until stopModal or abortModal. On the
    // virtual clock a run that nothing can end any more ends with NSModalResponseAbort.
    NSModalResponse runModal(const std::shared_ptr<NSWindow>& window);
    // Ends the innermost modal run with the code (NSModalResponseStop by default).
    void stopModal() { stopModal(NSModalResponseStop); }
    void stopModal(NSModalResponse code);
    // Ends the innermost modal run with NSModalResponseAbort.
    void abortModal() { stopModal(NSModalResponseAbort); }
    // The window of the innermost modal run; nothing when none runs.
    std::shared_ptr<NSWindow> modalWindow() const;
    // Whether a modal run has been stopped and has yet to return: the code after it is still
    // to run.
    bool hasStoppedModalRun() const;
    // A person's next event, as the stand-in's event queue hands it on: a modal run that has
    // been stopped takes no further event, so the next one is taken where the run returns to,
    // after the code that follows it. Runs `event` as the machine's work
    // (`RunLoop::machineAsync`) on a later turn of the main run loop; while a stopped run has
    // yet to return, once the last of them has, however it returns (the end of the process
    // too).
    void takeNextEvent(std::function<void()> event);

    // --- Events
    // While a menu tracks, the keyboard is the application's: key events wait in its queue
    // (each with its Carbon event ref) for whoever asks. `nextEvent` never waits: it answers
    // the first queued event of a type in `mask`, taking it out when `dequeue`, or nothing.
    // The stand-in's queue serves every mode alike.
    std::shared_ptr<NSEvent> nextEvent(NSEvent::EventTypeMask mask, std::optional<Date> untilDate,
                                       RunLoopMode mode, bool dequeue);
    void postEvent(std::shared_ptr<NSEvent> event, bool atStart);
    std::size_t queuedEventCount() const { return eventQueue_.size(); }
    // An event the application receives, through its local monitors; answers what is left
    // of it for the application (nothing when a monitor swallowed it). A key-down left over
    // goes to a main-menu item with that key equivalent, else to the key window.
    std::shared_ptr<NSEvent> sendEvent(std::shared_ptr<NSEvent> event);
    // The event being dispatched now (`NSApp.currentEvent`): set while sendEvent runs and
    // while a view handles the click an event carries; nothing otherwise.
    std::shared_ptr<NSEvent> currentEvent() const { return currentEvent_; }
    // Makes the event current for the duration of `dispatch`, then restores the one before.
    void dispatchWithCurrentEvent(std::shared_ptr<NSEvent> event,
                                  const std::function<void()>& dispatch);
    // Menus tell the application when they track: the outermost one takes the keyboard
    // and gives it back; what the menu left in the queue goes with it.
    void beginEventTracking();
    void endEventTracking();

    // --- Actions (NSApplicationActions.cpp)
    // `sendAction(_:to:from:)`: to the target when given, else along the responder chain:
    // the key window's first responder up to the window and its controller, the window's
    // delegate, then the main window's chain when it is another, the application and its
    // delegate. True when someone performed it.
    bool sendAction(std::string_view action, const std::shared_ptr<NSResponder>& target,
                    const std::shared_ptr<NSObject>& sender);
    // "terminate:", "orderFrontStandardAboutPanel:" and "orderFrontCharacterPalette:"
    // (counted here).
    bool respondsToAction(std::string_view action) const override;
    void performAction(std::string_view action, const std::shared_ptr<NSObject>& sender) override;
    int characterPaletteOrders() const { return characterPaletteOrders_; }
    // The About panel: an untitled panel with the application's icon, name, version and
    // copyright from its bundle; shown again (not a second one) while it is open. Counted.
    void orderFrontStandardAboutPanel();
    std::size_t aboutPanelOrderCount() const { return aboutPanelOrders_; }

    // --- Errors
    // The standard error alert, application-modally. The button of a recovery option calls
    // the error's recovery attempter; true when it recovered.
    bool presentError(const Error& error);
    // The same as a sheet on the window; `didPresent` hears whether it recovered and the
    // context it was given.
    void presentError(const Error& error, const std::shared_ptr<NSWindow>& window,
                      std::function<void(bool didRecover, const Value& contextInfo)> didPresent,
                      Value contextInfo = {});

    // --- The Dock (NSApplicationDock.cpp)
    // The application's icon: the bundle's, 128 points square, until another is set; none
    // brings the bundle's back.
    std::shared_ptr<NSImage> applicationIconImage();
    void setApplicationIconImage(std::shared_ptr<NSImage> image);
    // The application's tile in the Dock, made on first use.
    std::shared_ptr<NSDockTile> dockTile();

private:
    friend class NSWindow;
    // Window bookkeeping told by the windows.
    void windowDidAppear(const std::shared_ptr<NSWindow>& window);
    // A key or main window that leaves the screen passes the part on (see passOnKeyAndMain).
    void windowDidDisappear(NSWindow& window, bool wasKey, bool wasMain);
    // A person's mouse-down in `window`, as the window server and the window take it: the window
    // comes to the front of the application's windows, its sheets with it, and takes the
    // keyboard, or its sheet does (a window under its sheet hands it over); one that cannot
    // become key (a panel that becomes key only when a view needs the keyboard) leaves it where
    // it is. In the back, it is the window that takes the keyboard when the application comes
    // forward. A window a modal run holds takes no click.
    void windowClicked(NSWindow& window);
    void windowWillBecomeKey(NSWindow& window);
    // A launched application in the back (not active) has no key window: `window`, asked to
    // become key, is kept to take the keyboard when the application comes forward. True then.
    bool keepsKeyForActivation(NSWindow& window);
    void windowWillBecomeMain(NSWindow& window);
    void windowDidResignKey(NSWindow& window);
    void windowDidResignMain(NSWindow& window);
    // As the window server does when the key (main) window goes: the frontmost window left on
    // screen that can take the part takes it. During a modal run only the modal window (or
    // its sheet) can take the keyboard; a window with a sheet hands it to the sheet.
    void passOnKeyAndMain(bool key, bool main);
    void windowDidClose(NSWindow& window);
    void registerWindow(const std::shared_ptr<NSWindow>& window);
    std::int64_t nextWindowNumber() { return nextWindowNumber_++; }
    void postAppNotification(const char* name);
    void finishTermination();
    // Key events the desktop hands this program go through sendEvent; its reopen event
    // reaches handleReopen.
    void receiveOwnKeyEvents();
    // The application is active while it is the desktop's frontmost one.
    void followActivation();
    // A key-down no monitor took: the main menu's key equivalents first, then the key window.
    void deliverKeyDown(const NSEvent& event);

    struct ModalSession {
        std::shared_ptr<NSWindow> window;
        std::optional<NSModalResponse> response;
    };

    ActivationPolicy activationPolicy_;
    bool active_ = false;
    std::optional<std::string> yieldedTo_;
    std::weak_ptr<NSApplicationDelegate> delegate_;
    bool finishedLaunching_ = false;
    bool running_ = false;
    bool terminated_ = false;
    bool terminationPending_ = false;
    std::vector<std::weak_ptr<NSWindow>> windows_;
    std::vector<std::shared_ptr<NSWindow>> onScreen_; // back to front
    std::weak_ptr<NSWindow> keyWindow_;
    // The key window the last deactivation took the keyboard from, or the last one asked to
    // become key while in the back; activation gives it the keyboard.
    std::weak_ptr<NSWindow> keyBeforeDeactivation_;
    std::weak_ptr<NSWindow> mainWindow_;
    std::int64_t nextWindowNumber_ = 1;
    std::shared_ptr<NSMenu> mainMenu_;
    std::vector<std::shared_ptr<ModalSession>> modalSessions_;
    // Events that wait for the stopped modal runs to return.
    std::vector<std::function<void()>> eventsAfterStoppedRuns_;
    std::deque<std::shared_ptr<NSEvent>> eventQueue_;
    std::shared_ptr<NSEvent> currentEvent_;
    int eventTrackingDepth_ = 0;
    int characterPaletteOrders_ = 0;
    ThreadChecker threadChecker_;
    std::weak_ptr<NSWindow> aboutPanel_;
    std::size_t aboutPanelOrders_ = 0;
    std::size_t reopens_ = 0;
    // Both belong to the process and end with it.
    ObserverToken activationObserver_;
    std::shared_ptr<NSImage> iconImage_;
    std::shared_ptr<NSDockTile> dockTile_;
};

// The platform's global `NSApp`.
inline NSApplication& NSApp() {
    return NSApplication::shared();
}

} // namespace zestrel::platform
