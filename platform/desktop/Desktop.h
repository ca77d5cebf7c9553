#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Mutex.h"
#include "platform/base/ThreadChecker.h"
#include "platform/base/UnifiedLog.h"
#include "platform/desktop/AppleEvent.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/PowerAssertions.h"
#include "platform/desktop/SessionInfo.h"
#include "platform/desktop/SimulatedApplication.h"
#include "platform/desktop/WindowServer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

// Bundle identifiers of the applications every desktop has installed.
inline constexpr const char* kFinderBundleIdentifier = "com.apple.finder";
inline constexpr const char* kForkLiftBundleIdentifier = "com.binarynights.ForkLift";
inline constexpr const char* kForkLiftSetappBundleIdentifier = "com.binarynights.forklift-setapp";
inline constexpr const char* kTextEditBundleIdentifier = "com.apple.TextEdit";
inline constexpr const char* kOverlayBundleIdentifier = "com.example.Overlay";
inline constexpr const char* kPanelBundleIdentifier = "com.example.Panel";
inline constexpr const char* kMailBundleIdentifier = "com.apple.mail";

// An application installed on the desktop.
struct InstalledApplication {
    std::string bundleIdentifier;
    std::string name;
    URL bundleURL;
    NSApplicationActivationPolicy activationPolicy = NSApplicationActivationPolicy::regular;
    // Schemes of the URLs it opens ("mailto").
    std::vector<std::string> urlSchemes;
    // Makes the behaviour of one launch; none: a process without windows.
    std::function<std::shared_ptr<SimulatedApplication>()> makeApplication;

    // "<bundle>/Contents/MacOS/<name>".
    URL executableURL() const;
};

// How this program is started: from the Finder (the default), by another process, or as
// a login item. It decides the launch Apple event.
struct OwnLaunch {
    bool asLoginItem = false;
    // The sender of the launch event ('spid'): the Finder's process when nothing is
    // given; no sender attribute when the number is 0.
    std::optional<int> launchedBy;
    // The event's address attribute ('addr') as a kernel process identifier, when given.
    std::optional<int> addressedFrom;
};

// One simulated machine: its installed and running applications, the window server, the
// pasteboards, the code signatures, the login session, the power assertions, and the key
// delivery to applications.
//
// The desktop is part of the machine and outlives the program's process: a relaunch
// (`relaunchOwnApplication`) ends the process state with `resetProcess()` and keeps the
// desktop, its running applications, windows, pasteboard and files, and the main run loop
// with the desktop's own work on it. What belongs to a process (the workspace notification
// centre, the workspace's observers) is the current process's: the desktop posts to
// whichever centre and workspace are current when a change happens, and only while it is
// the current desktop.
//
// The desktop is driven from the main thread; the window server and the pasteboards may
// be read from any thread. The first thread that changes it (installs, launches, quits,
// delivers events, schedules work) owns it; changing it from another stops the process.
class Desktop : public std::enable_shared_from_this<Desktop> {
public:
    // Whether the standard machine starts with this program's process running, as a test of
    // its code needs, or with it not yet launched, as a person finds it before opening it.
    enum class OwnProcess { running, notLaunched };
    // A standard machine: one screen; the Finder, ForkLift (both editions), TextEdit, Mail,
    // the overlay and panel applications installed; the Finder running and frontmost; this
    // program as `own` says (installed once it is launched).
    static std::shared_ptr<Desktop> make(OwnProcess own = OwnProcess::running);
    // An empty machine: nothing installed or running, one screen.
    static std::shared_ptr<Desktop> makeEmpty();

    // The desktop the program runs on, set by its holder (the console program, the test
    // fixture). Without one, a standard desktop is made on first use.
    static std::shared_ptr<Desktop> current();
    static void setCurrent(std::shared_ptr<Desktop> desktop);

    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    ~Desktop();

    // --- Installed applications
    void install(InstalledApplication application);
    // Deletes an application from the disk; its running processes go on.
    void uninstall(const std::string& bundleIdentifier);
    std::optional<InstalledApplication>
    installedApplication(const std::string& bundleIdentifier) const;
    std::optional<InstalledApplication> installedApplicationAt(const URL& bundleURL) const;
    // The installed application that opens URLs of the scheme of `url`.
    std::optional<InstalledApplication> applicationToOpen(const URL& url) const;
    // Every installed application that opens them, the one above first.
    std::vector<InstalledApplication> applicationsToOpen(const URL& url) const;

    // --- Running applications
    // In launch order.
    std::vector<std::shared_ptr<NSRunningApplication>> runningApplications() const;
    std::shared_ptr<NSRunningApplication> runningApplication(int processIdentifier) const;
    std::vector<std::shared_ptr<NSRunningApplication>>
    runningApplications(const std::string& bundleIdentifier) const;
    // Starts an installed application with a new process identifier, posts the launch
    // notification and, when `activates`, brings it to the front. A running one is opened
    // again instead (`reopen`) unless `newInstance`. Throws an error when nothing is
    // installed there.
    std::shared_ptr<NSRunningApplication> launch(const std::string& bundleIdentifier,
                                                 bool activates = true, bool newInstance = false);
    std::shared_ptr<NSRunningApplication> launchAt(const URL& bundleURL, bool activates = true,
                                                   bool newInstance = false);
    // Quits a process: first everything the system holds for it goes (its windows, event
    // taps, hot keys, keyboard grab and power assertions; for this program `endOwnProcess`),
    // then the application active before it comes to the front, if it was frontmost, and the
    // terminate and activate notifications are posted. The rest of this program's state goes
    // when the holder resets the process (`quitOwnApplication`). False when it does not run.
    bool terminate(int processIdentifier);
    bool activate(int processIdentifier);
    // Opens a running application again, as opening it from the Finder or the Dock does: it
    // comes to the front when `activates`, and is told to reopen (this program through the
    // handler its application object sets; the simulated ones take no notice). False when
    // it does not run.
    bool reopen(int processIdentifier, bool activates = true);
    void setOwnReopenHandler(std::function<void()> handler);
    void setActivationPolicy(int processIdentifier, NSApplicationActivationPolicy policy);
    std::shared_ptr<NSRunningApplication> frontmostApplication() const;
    // The application whose menus the menu bar shows: the frontmost one, or the last
    // regular one that was frontmost while an accessory application is.
    std::shared_ptr<NSRunningApplication> menuBarOwningApplication() const;
    // The behaviour of a running process; none for this program or a process without one.
    std::shared_ptr<SimulatedApplication> application(int processIdentifier) const;
    // The behaviour of the first running process of the bundle identifier, as type T.
    template <class T> std::shared_ptr<T> application(const std::string& bundleIdentifier) const {
        for (const auto& running : runningApplications(bundleIdentifier)) {
            if (auto app =
                    std::dynamic_pointer_cast<T>(application(running->processIdentifier()))) {
                return app;
            }
        }
        return nullptr;
    }

    // --- Process records (the kernel's process table as far as the desktop knows it)
    // Gives a process a parent other than launchd (1). A process that is not an application
    // (a helper that launched another one) gets a record this way too; records go when
    // their process is terminated.
    void setParentProcessIdentifier(int processIdentifier, int parentProcessIdentifier);
    // The parent of a running application (1 unless set) or of a recorded helper; nothing
    // for a process the desktop does not know.
    std::optional<int> parentProcessIdentifier(int processIdentifier) const;
    // The process group of a running application or a recorded helper, as getpgid answers
    // it: each leads its own group. Nothing for a process the desktop does not know, where
    // getpgid fails; this is how a process is known to exist.
    std::optional<int> processGroupIdentifier(int processIdentifier) const;

    // --- This program
    // Its running application; none while it does not run.
    std::shared_ptr<NSRunningApplication> ownApplication() const;
    // Starts this program's process on the desktop (once; later calls answer it as it is).
    std::shared_ptr<NSRunningApplication> launchOwnApplication(OwnLaunch launch = {});
    // Ends this program's process as the system sees it when the process exits (its
    // application terminates, or `terminate` quits it): `ProcessTeardown` runs, so its taps,
    // hot keys, observers, monitors, timers and queued work go, none of its code runs again
    // and nothing more is registered for it; the desktop hands it no more keys or reopen
    // events. The desktop's own scheduled work stays. Its running application stays listed
    // until it is terminated; its state, until the holder resets the process.
    void endOwnProcess();
    // Quits this program's process and ends its state (`resetProcess()`): its taps,
    // observers, timers and run loop go. The desktop stays. Call it from outside any
    // run-loop turn. False when the program does not run.
    bool quitOwnApplication();
    // Quits this program's process and starts a new one with a new process identifier:
    // the process state is reset in between. Call it from outside any run-loop turn.
    std::shared_ptr<NSRunningApplication> relaunchOwnApplication(OwnLaunch launch = {});
    // The Apple event that launched this program's current process.
    std::shared_ptr<NSAppleEventDescriptor> ownLaunchEvent() const;
    // Whether the program asked the workspace to open a new instance of itself; the holder
    // then relaunches it (`relaunchOwnApplication`) once the current turn is over.
    bool relaunchRequested() const;
    void requestRelaunch();

    // --- Window server and pasteboards
    WindowServer& windowServer() { return windowServer_; }
    const WindowServer& windowServer() const { return windowServer_; }
    std::shared_ptr<NSPasteboard> generalPasteboard() const { return generalPasteboard_; }

    // --- Login session and power management
    SessionInfo& session() { return session_; }
    PowerAssertions& powerAssertions() { return powerAssertions_; }
    // Locks or unlocks the screen: the session's flag changes and then, on the current
    // desktop, "com.apple.screenIsLocked" or "com.apple.screenIsUnlocked" is posted on the
    // distributed centre. Nothing happens when the screen already is in that state.
    void setScreenLocked(bool locked);

    // --- The user's display settings: Reduce Motion and the dark appearance (off unless set).
    bool reduceMotion() const { return reduceMotion_; }
    void setReduceMotion(bool reduce) { reduceMotion_ = reduce; }
    bool darkAppearance() const { return darkAppearance_; }
    void setDarkAppearance(bool dark) { darkAppearance_ = dark; }
    // The other accessibility display settings: Reduce Transparency, Increase Contrast and
    // Differentiate Without Colour (off unless set).
    bool reduceTransparency() const { return reduceTransparency_; }
    void setReduceTransparency(bool reduce) { reduceTransparency_ = reduce; }
    bool increaseContrast() const { return increaseContrast_; }
    void setIncreaseContrast(bool increase) { increaseContrast_ = increase; }
    bool differentiateWithoutColor() const { return differentiateWithoutColor_; }
    void setDifferentiateWithoutColor(bool differentiate) {
        differentiateWithoutColor_ = differentiate;
    }

    // --- Whether a keyboard is attached (the machine's own counts): present unless set.
    bool hasKeyboard() const { return hasKeyboard_; }
    void setHasKeyboard(bool attached) { hasKeyboard_ = attached; }

    // --- Code signatures: unsigned unless set. A process's own information wins over its
    // bundle's.
    void setSigningInformation(const URL& bundleURL, Value::Dictionary information);
    void setSigningInformation(int processIdentifier, Value::Dictionary information);
    std::optional<Value::Dictionary> signingInformation(const URL& bundleURL) const;
    std::optional<Value::Dictionary> signingInformation(int processIdentifier) const;

    // --- Keys
    // The process with keyboard focus: the frontmost application's, or, once this program's
    // process has ended and until it is quit, the one that comes forward then; -1 when none.
    int keyboardFocusProcessIdentifier() const;
    // Takes the key events that reach the end of the current event system's pipeline and
    // answers it which process has keyboard focus. Done when the desktop becomes current;
    // a holder that replaces the event system afterwards calls it again.
    void connectEventSystem();
    // A key-down event at the end of the pipeline, handed to its process with the
    // characters of the current layout; other event types reach no application here.
    void deliverEvent(int processIdentifier, const std::shared_ptr<CGEvent>& event);
    // Hands a key-down event to a process; events for this program go to the handler set
    // for it. False when no such process runs.
    bool deliverKeyEvent(int processIdentifier, std::uint16_t keyCode,
                         NSEvent::ModifierFlags modifierFlags, std::string characters);
    void setOwnKeyEventHandler(
        std::function<void(std::uint16_t, NSEvent::ModifierFlags, const std::string&)> handler);

    // --- Time
    // Runs `work` on the main run loop after `delay` on the machine's clock, while the
    // desktop lives. The work is the desktop's, so no end or relaunch of this program's
    // process loses it.
    void after(Nanoseconds delay, std::function<void()> work);

    // --- How long a file manager takes to put a copy on the pasteboard: a setting of the
    // installed application, so each launch of it copies that slowly (default 50 ms).
    Nanoseconds copyLatency(const std::string& bundleIdentifier) const;
    void setCopyLatency(const std::string& bundleIdentifier, Nanoseconds latency);

    // --- What the simulated applications did (clashes, failed copies), in order: the last
    // `kKeptLogLines`, so a long session keeps its memory.
    static constexpr std::size_t kKeptLogLines = 10'000;
    void log(std::string message);
    std::vector<std::string> logLines() const;
    // The same, each with its place among every line logged on the machine (the app's too).
    std::vector<LoggedLine> orderedLogLines() const;

private:
    Desktop();
    struct Process {
        std::shared_ptr<NSRunningApplication> running;
        std::shared_ptr<SimulatedApplication> application;
    };

    bool isCurrent() const;
    int nextProcessIdentifier();
    std::shared_ptr<NSRunningApplication> start(const InstalledApplication& installed,
                                                bool activates);
    void changeFrontmost(const std::shared_ptr<NSRunningApplication>& app);
    void postWorkspaceNotification(const std::string& name,
                                   const std::shared_ptr<NSRunningApplication>& app) const;

    mutable Mutex mutex_; // guards the tables below, never held while calling out
    std::map<std::string, InstalledApplication> installed_ GUARDED_BY(mutex_);
    std::vector<Process> processes_ GUARDED_BY(mutex_);   // launch order
    std::vector<int> activationOrder_ GUARDED_BY(mutex_); // most recent last
    // The most recently active application but the one given: the one that comes forward
    // when that one quits.
    std::shared_ptr<NSRunningApplication> lastActiveOtherThan(int processIdentifier) const
        REQUIRES(mutex_);
    std::shared_ptr<NSRunningApplication> frontmost_ GUARDED_BY(mutex_);
    int nextPid_ GUARDED_BY(mutex_) = 301;
    std::optional<std::string> ownBundleIdentifier_ GUARDED_BY(mutex_);
    std::shared_ptr<NSAppleEventDescriptor> ownLaunchEvent_ GUARDED_BY(mutex_);
    bool relaunchRequested_ GUARDED_BY(mutex_) = false;
    std::map<std::string, Value::Dictionary> signingByPath_ GUARDED_BY(mutex_);
    std::map<int, Value::Dictionary> signingByProcess_ GUARDED_BY(mutex_);
    std::map<int, int> parents_ GUARDED_BY(mutex_);
    std::function<void(std::uint16_t, NSEvent::ModifierFlags, const std::string&)>
        ownKeyHandler_ GUARDED_BY(mutex_);
    std::function<void()> ownReopenHandler_ GUARDED_BY(mutex_);
    std::deque<LoggedLine> log_ GUARDED_BY(mutex_);
    std::map<std::string, Nanoseconds> copyLatencies_ GUARDED_BY(mutex_);

    WindowServer windowServer_;
    std::shared_ptr<NSPasteboard> generalPasteboard_;
    SessionInfo session_;
    PowerAssertions powerAssertions_;
    // Unbound until first driven: a reader thread may be the one that made it.
    ThreadChecker threadChecker_{"Desktop", std::thread::id()};
    std::atomic<bool> reduceMotion_{false};
    std::atomic<bool> darkAppearance_{false};
    std::atomic<bool> reduceTransparency_{false};
    std::atomic<bool> increaseContrast_{false};
    std::atomic<bool> differentiateWithoutColor_{false};
    std::atomic<bool> hasKeyboard_{true};
};

} // namespace zestrel::platform
