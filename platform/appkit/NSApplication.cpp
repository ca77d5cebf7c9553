#include "platform/appkit/NSApplication.h"

#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSMenu.h"
#include "platform/base/Bundle.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSRunningApplication.h"

#include <algorithm>
#include <utility>

namespace zestrel::platform {
namespace {

// The recovery attempter of the option the response stands for, with the option's index.
struct Recovery {
    std::shared_ptr<NSErrorRecoveryAttempting> attempter;
    std::int64_t optionIndex = -1;
};

std::optional<Recovery> recoveryFor(const Error& error, NSModalResponse response) {
    const auto nsError = error.nsError();
    const auto options = nsError->localizedRecoveryOptions();
    const std::int64_t index = response - NSAlertFirstButtonReturn;
    if (!options || index < 0 || index >= static_cast<std::int64_t>(options->size())) {
        return std::nullopt;
    }
    auto attempter =
        std::dynamic_pointer_cast<NSErrorRecoveryAttempting>(nsError->recoveryAttempter());
    if (!attempter) {
        return std::nullopt;
    }
    return Recovery{std::move(attempter), index};
}

} // namespace

NSApplication::NSApplication()
    : activationPolicy_(activationPolicyOf(*Bundle::main())),
      threadChecker_("NSApplication", RunLoop::main().thread()) {}

NSApplication::~NSApplication() {
    if (eventTrackingDepth_ > 0) {
        eventTrackingDepth_ = 1;
        endEventTracking();
    }
}

NSApplication& NSApplication::shared() {
    static auto* const local = new ProcessLocal<NSApplication>();
    return local->get();
}

bool NSApplication::setActivationPolicy(ActivationPolicy policy) {
    threadChecker_.check();
    activationPolicy_ = policy;
    // The workspace lists the process with the policy it has now.
    if (const auto own = NSRunningApplication::current()) {
        Desktop::current()->setActivationPolicy(own->processIdentifier(), policy);
    }
    return true;
}

void NSApplication::postAppNotification(const char* name) {
    NotificationCenter::defaultCenter()->post(name);
}

void NSApplication::activate(bool /*ignoringOtherApps*/) {
    threadChecker_.check();
    if (terminated_) {
        return;
    }
    // Activating comes forward on the desktop too, accessory or not, so our windows and
    // alerts are what the person types into.
    if (const auto own = NSRunningApplication::current()) {
        own->activate();
    }
    if (active_) {
        return;
    }
    active_ = true;
    // The window that was key when the application went to the back (or was made key there)
    // takes the keyboard again. One that can no longer take it (closed, hidden) leaves it to
    // the frontmost that can, as when a key window leaves the screen.
    if (const auto window = std::exchange(keyBeforeDeactivation_, {}).lock(); !keyWindow()) {
        if (window && window->isVisible() && window->canBecomeKeyWindow()) {
            window->makeKeyWindow();
        } else {
            passOnKeyAndMain(true, false);
        }
    }
    const Notification notification{NSApplicationDidBecomeActiveNotification, {}, {}};
    if (auto delegate = this->delegate()) {
        delegate->applicationDidBecomeActive(notification);
    }
    NotificationCenter::defaultCenter()->post(notification);
}

void NSApplication::deactivate() {
    threadChecker_.check();
    if (!active_) {
        return;
    }
    active_ = false;
    // An application in the back has no key window: its key window resigns, as for any
    // resign, so what lives on the keyboard (a field that records keys) lets go.
    if (const auto window = keyWindow()) {
        keyBeforeDeactivation_ = window;
        window->resignKey();
    }
    const Notification notification{NSApplicationDidResignActiveNotification, {}, {}};
    if (auto delegate = this->delegate()) {
        delegate->applicationDidResignActive(notification);
    }
    NotificationCenter::defaultCenter()->post(notification);
}

bool NSApplication::keepsKeyForActivation(NSWindow& window) {
    threadChecker_.check();
    const bool inTheBack = finishedLaunching_ && !active_ && !terminated_ &&
                           NSRunningApplication::current() != nullptr;
    if (inTheBack) {
        keyBeforeDeactivation_ = window.self();
    }
    return inTheBack;
}

void NSApplication::yieldActivation(std::string toApplicationWithBundleIdentifier) {
    yieldedTo_ = std::move(toApplicationWithBundleIdentifier);
}

void NSApplication::finishLaunching() {
    threadChecker_.check();
    if (finishedLaunching_) {
        return;
    }
    finishedLaunching_ = true;
    receiveOwnKeyEvents();
    followActivation();
    const Notification will{NSApplicationWillFinishLaunchingNotification, {}, {}};
    if (auto delegate = this->delegate()) {
        delegate->applicationWillFinishLaunching(will);
    }
    NotificationCenter::defaultCenter()->post(will);
    const Notification did{NSApplicationDidFinishLaunchingNotification, {}, {}};
    if (auto delegate = this->delegate()) {
        delegate->applicationDidFinishLaunching(did);
    }
    NotificationCenter::defaultCenter()->post(did);
}

void NSApplication::run() {
    threadChecker_.check();
    finishLaunching();
    if (terminated_) {
        return;
    }
    running_ = true;
    RunLoop::main().run();
    running_ = false;
}

void NSApplication::terminate() {
    threadChecker_.check();
    if (terminated_ || terminationPending_) {
        return;
    }
    using Reply = NSApplicationDelegate::TerminateReply;
    const Reply reply =
        delegate() ? delegate()->applicationShouldTerminate(*this) : Reply::terminateNow;
    switch (reply) {
    case Reply::terminateCancel:
        return;
    case Reply::terminateLater:
        terminationPending_ = true;
        return;
    case Reply::terminateNow:
        finishTermination();
        return;
    }
}

void NSApplication::replyToApplicationShouldTerminate(bool shouldTerminate) {
    threadChecker_.check();
    if (!terminationPending_) {
        return;
    }
    terminationPending_ = false;
    if (shouldTerminate) {
        finishTermination();
    }
}

void NSApplication::finishTermination() {
    const Notification notification{NSApplicationWillTerminateNotification, {}, {}};
    if (auto delegate = this->delegate()) {
        delegate->applicationWillTerminate(notification);
    }
    NotificationCenter::defaultCenter()->post(notification);
    terminated_ = true;
    for (const auto& session : modalSessions_) {
        if (!session->response) {
            session->response = NSModalResponseAbort;
        }
    }
    // The process ends: its windows go away without asking anyone.
    const auto windows = onScreen_;
    for (const auto& window : windows) {
        window->orderOut();
    }
    active_ = false;
    // The process's end stops the runs its code waits in, but for the app's main run, and
    // for code the machine did not call into as the process's (a test driving the app by
    // hand): those need the loop told. A stop asked for otherwise would be left for the
    // machine's next run.
    if (running_ || !ProcessTeardown::inProcessCode()) {
        RunLoop::main().stop();
    }
    // The process exits here: the system takes what it held, and none of its code runs again.
    Desktop::current()->endOwnProcess();
    ProcessTeardown::stopIfEnded();
}

void NSApplication::registerWindow(const std::shared_ptr<NSWindow>& window) {
    threadChecker_.check();
    const bool known = std::any_of(windows_.begin(), windows_.end(),
                                   [&](const auto& entry) { return entry.lock() == window; });
    if (!known) {
        std::erase_if(windows_, [](const auto& entry) { return entry.expired(); });
        windows_.push_back(window);
    }
    if (window->windowNumber_ == 0) {
        window->windowNumber_ = nextWindowNumber();
    }
}

void NSApplication::windowDidAppear(const std::shared_ptr<NSWindow>& window) {
    threadChecker_.check();
    registerWindow(window);
    std::erase(onScreen_, window);
    onScreen_.push_back(window);
}

void NSApplication::windowDidDisappear(NSWindow& window, bool wasKey, bool wasMain) {
    threadChecker_.check();
    std::erase_if(onScreen_, [&](const auto& entry) { return entry.get() == &window; });
    passOnKeyAndMain(wasKey, wasMain);
}

namespace {

bool takesKey(const std::shared_ptr<NSWindow>& window) {
    return window && window->isVisible() && window->canBecomeKeyWindow();
}

// Where the keyboard goes when it goes to `window`: to its sheet first, which covers it.
std::shared_ptr<NSWindow> keyOf(const std::shared_ptr<NSWindow>& window) {
    const auto sheet = window->attachedSheet();
    return takesKey(sheet) ? sheet : window;
}

} // namespace

void NSApplication::passOnKeyAndMain(bool key, bool main) {
    // A process that ends takes its windows down one by one; none takes anything over.
    if (terminated_) {
        return;
    }
    const auto ordered = orderedWindows();
    if (key && !keyWindow()) {
        std::shared_ptr<NSWindow> next;
        if (const auto modal = modalWindow()) {
            if (const auto candidate = keyOf(modal); takesKey(candidate)) {
                next = candidate;
            }
        } else if (const auto found = std::find_if(ordered.begin(), ordered.end(), takesKey);
                   found != ordered.end()) {
            next = keyOf(*found);
        }
        if (next) {
            next->makeKeyWindow();
        }
    }
    if (main && !mainWindow()) {
        const auto found = std::find_if(ordered.begin(), ordered.end(), [](const auto& window) {
            return window->isVisible() && window->canBecomeMainWindow();
        });
        if (found != ordered.end()) {
            (*found)->makeMainWindow();
        }
    }
}

void NSApplication::windowClicked(NSWindow& window) {
    threadChecker_.check();
    if (terminated_) {
        return;
    }
    const auto clicked = window.self();
    const auto parent = clicked->sheetParent();
    const auto front = parent ? parent : clicked;
    // A modal run takes no clicks in the windows it holds.
    if (const auto modal = modalWindow(); modal && modal != front) {
        return;
    }
    // The window's sheets move with it, in front of it.
    front->orderFront();
    for (const auto& sheet : front->sheets()) {
        sheet->orderFront();
    }
    const auto panel = std::dynamic_pointer_cast<NSPanel>(clicked);
    if (panel && panel->becomesKeyOnlyIfNeeded()) {
        return; // none of the stand-in's views needs the keyboard
    }
    if (const auto key = parent ? clicked : keyOf(front); takesKey(key)) {
        key->makeKeyWindow();
    }
    front->makeMainWindow();
}

void NSApplication::windowWillBecomeKey(NSWindow& window) {
    threadChecker_.check();
    if (auto old = keyWindow_.lock(); old && old.get() != &window) {
        old->resignKey();
    }
    keyWindow_ = window.self();
}

void NSApplication::windowDidResignKey(NSWindow& window) {
    threadChecker_.check();
    if (keyWindow_.lock().get() == &window) {
        keyWindow_.reset();
    }
}

void NSApplication::windowDidResignMain(NSWindow& window) {
    threadChecker_.check();
    if (mainWindow_.lock().get() == &window) {
        mainWindow_.reset();
    }
}

void NSApplication::windowWillBecomeMain(NSWindow& window) {
    threadChecker_.check();
    if (auto old = mainWindow_.lock(); old && old.get() != &window) {
        old->resignMain();
    }
    mainWindow_ = window.self();
}

void NSApplication::windowDidClose(NSWindow& window) {
    threadChecker_.check();
    std::erase_if(windows_, [&](const auto& entry) {
        auto alive = entry.lock();
        return !alive || alive.get() == &window;
    });
}

std::vector<std::shared_ptr<NSWindow>> NSApplication::windows() const {
    std::vector<std::shared_ptr<NSWindow>> result;
    for (const auto& entry : windows_) {
        if (auto window = entry.lock()) {
            result.push_back(window);
        }
    }
    return result;
}

std::vector<std::shared_ptr<NSWindow>> NSApplication::orderedWindows() const {
    std::vector<std::shared_ptr<NSWindow>> result(onScreen_.rbegin(), onScreen_.rend());
    // A higher level is always in front; within a level the last ordered front leads.
    std::stable_sort(result.begin(), result.end(),
                     [](const auto& a, const auto& b) { return a->level() > b->level(); });
    return result;
}

std::shared_ptr<NSWindow> NSApplication::windowWithWindowNumber(std::int64_t number) const {
    for (const auto& window : windows()) {
        if (window->windowNumber() == number) {
            return window;
        }
    }
    return nullptr;
}

NSModalResponse NSApplication::runModal(const std::shared_ptr<NSWindow>& window) {
    threadChecker_.check();
    if (terminated_) {
        return NSModalResponseAbort;
    }
    auto session = std::make_shared<ModalSession>();
    session->window = window;
    modalSessions_.push_back(session);
    // Also when the process's end stops the run: nothing waits on it any more, and the events
    // that waited for it are taken where it returns to.
    const std::shared_ptr<void> ended(nullptr, [this, session](void*) {
        std::erase(modalSessions_, session);
        if (!hasStoppedModalRun()) {
            for (auto& event : std::exchange(eventsAfterStoppedRuns_, {})) {
                RunLoop::main().machineAsync(std::move(event));
            }
        }
    });
    if (window) {
        window->makeKeyAndOrderFront();
    }
    const auto result = RunLoop::main().runInMode(
        RunLoopMode::modalPanel, [&] { return session->response.has_value() || terminated_; });
    // A stop meant for the run this one interrupted, or the end of the process, goes on to it.
    if (result == RunLoop::RunResult::stopped || terminated_) {
        RunLoop::main().stop();
    }
    return session->response.value_or(NSModalResponseAbort);
}

void NSApplication::stopModal(NSModalResponse code) {
    threadChecker_.check();
    if (modalSessions_.empty() || modalSessions_.back()->response) {
        return;
    }
    modalSessions_.back()->response = code;
}

std::shared_ptr<NSWindow> NSApplication::modalWindow() const {
    for (auto it = modalSessions_.rbegin(); it != modalSessions_.rend(); ++it) {
        if (!(*it)->response) {
            return (*it)->window;
        }
    }
    return nullptr;
}

bool NSApplication::hasStoppedModalRun() const {
    return std::any_of(modalSessions_.begin(), modalSessions_.end(),
                       [](const auto& session) { return session->response.has_value(); });
}

void NSApplication::takeNextEvent(std::function<void()> event) {
    threadChecker_.check();
    if (hasStoppedModalRun()) {
        eventsAfterStoppedRuns_.push_back(std::move(event));
    } else {
        RunLoop::main().machineAsync(std::move(event));
    }
}

bool NSApplication::presentError(const Error& error) {
    const auto alert = NSAlert::withError(error);
    const NSModalResponse response = alert->runModal();
    const auto recovery = recoveryFor(error, response);
    if (!recovery) {
        return false;
    }
    bool recovered = false;
    recovery->attempter->attemptRecoveryFromError(
        error, recovery->optionIndex,
        [&recovered](bool didRecover, const Value&) { recovered = didRecover; }, Value());
    return recovered;
}

void NSApplication::presentError(
    const Error& error, const std::shared_ptr<NSWindow>& window,
    std::function<void(bool didRecover, const Value& contextInfo)> didPresent, Value contextInfo) {
    const auto alert = NSAlert::withError(error);
    alert->beginSheetModal(window,
                           [alert, error, didPresent = std::move(didPresent),
                            contextInfo = std::move(contextInfo)](NSModalResponse response) {
                               const auto recovery = recoveryFor(error, response);
                               if (!recovery) {
                                   if (didPresent) {
                                       didPresent(false, contextInfo);
                                   }
                                   return;
                               }
                               recovery->attempter->attemptRecoveryFromError(
                                   error, recovery->optionIndex,
                                   [didPresent](bool didRecover, const Value& context) {
                                       if (didPresent) {
                                           didPresent(didRecover, context);
                                       }
                                   },
                                   contextInfo);
                           });
}

} // namespace zestrel::platform
