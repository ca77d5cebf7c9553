#include "platform/desktop/Desktop.h"
#include "platform/base/Mutex.h"

#include "platform/base/Bundle.h"
#include "platform/base/Error.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSWorkspace.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace zestrel::platform {

namespace {

// The desktop the program runs on. Not a process-local: it outlives a relaunch.
struct CurrentDesktop {
    Mutex mutex;
    std::shared_ptr<Desktop> desktop GUARDED_BY(mutex);
};

CurrentDesktop& currentDesktop() {
    static auto* const holder = new CurrentDesktop; // deliberately leaked, lives for the process
    return *holder;
}

// The Launch Services status for an application that cannot be found.
constexpr std::int64_t kLSApplicationNotFoundErr = -10814;

Error applicationNotFound(const std::string& what) {
    return NSError::make(
        NSOSStatusErrorDomain, kLSApplicationNotFoundErr,
        {{NSDebugDescriptionErrorKey, Value("No application is installed for " + what)}});
}

template <class App> std::function<std::shared_ptr<SimulatedApplication>()> maker() {
    return [] { return std::make_shared<App>(); };
}

} // namespace

URL InstalledApplication::executableURL() const {
    return bundleURL.appendingPathComponent("Contents")
        .appendingPathComponent("MacOS")
        .appendingPathComponent(name);
}

Desktop::Desktop() : generalPasteboard_(std::make_shared<NSPasteboard>(NSPasteboardNameGeneral)) {}

Desktop::~Desktop() = default;

std::shared_ptr<Desktop> Desktop::makeEmpty() {
    return std::shared_ptr<Desktop>(new Desktop());
}

std::shared_ptr<Desktop> Desktop::make(OwnProcess own) {
    auto desktop = makeEmpty();
    desktop->install({kFinderBundleIdentifier,
                      "Finder",
                      URL::fileURL("/System/Library/CoreServices/Finder.app", true),
                      NSApplicationActivationPolicy::regular,
                      {},
                      [] { return std::make_shared<FileManagerApplication>(true); }});
    desktop->install({kForkLiftBundleIdentifier,
                      "ForkLift",
                      URL::fileURL("/Applications/ForkLift.app", true),
                      NSApplicationActivationPolicy::regular,
                      {},
                      maker<FileManagerApplication>()});
    desktop->install({kForkLiftSetappBundleIdentifier,
                      "ForkLift",
                      URL::fileURL("/Applications/Setapp/ForkLift.app", true),
                      NSApplicationActivationPolicy::regular,
                      {},
                      maker<FileManagerApplication>()});
    desktop->install({kTextEditBundleIdentifier,
                      "TextEdit",
                      URL::fileURL("/System/Applications/TextEdit.app", true),
                      NSApplicationActivationPolicy::regular,
                      {},
                      maker<TextEditorApplication>()});
    desktop->install({kMailBundleIdentifier,
                      "Mail",
                      URL::fileURL("/System/Applications/Mail.app", true),
                      NSApplicationActivationPolicy::regular,
                      {"mailto"},
                      {}});
    desktop->install({kOverlayBundleIdentifier,
                      "Overlay",
                      URL::fileURL("/Applications/Overlay.app", true),
                      NSApplicationActivationPolicy::accessory,
                      {},
                      maker<OverlayApplication>()});
    desktop->install({kPanelBundleIdentifier,
                      "Panel",
                      URL::fileURL("/Applications/Panel.app", true),
                      NSApplicationActivationPolicy::accessory,
                      {},
                      maker<PanelApplication>()});
    desktop->launch(kFinderBundleIdentifier, true);
    if (own == OwnProcess::running) {
        desktop->launchOwnApplication();
    }
    return desktop;
}

std::shared_ptr<Desktop> Desktop::current() {
    auto& holder = currentDesktop();
    MutexLock lock(holder.mutex);
    if (!holder.desktop) {
        lock.unlock();
        auto made = make(); // outside the lock: making one reads the current desktop
        lock.lock();
        if (!holder.desktop) {
            holder.desktop = made;
            lock.unlock();
            made->connectEventSystem();
            return made;
        }
    }
    return holder.desktop;
}

void Desktop::setCurrent(std::shared_ptr<Desktop> desktop) {
    auto& holder = currentDesktop();
    std::shared_ptr<Desktop> old;
    {
        MutexLock lock(holder.mutex);
        old = std::exchange(holder.desktop, desktop);
    }
    if (desktop) {
        desktop->connectEventSystem();
    }
}

bool Desktop::isCurrent() const {
    auto& holder = currentDesktop();
    MutexLock lock(holder.mutex);
    return holder.desktop.get() == this;
}

// --- Installed applications

void Desktop::install(InstalledApplication application) {
    threadChecker_.check();
    MutexLock lock(mutex_);
    auto key = application.bundleIdentifier;
    installed_[key] = std::move(application);
}

void Desktop::uninstall(const std::string& bundleIdentifier) {
    threadChecker_.check();
    MutexLock lock(mutex_);
    installed_.erase(bundleIdentifier);
}

std::optional<InstalledApplication>
Desktop::installedApplication(const std::string& bundleIdentifier) const {
    MutexLock lock(mutex_);
    auto it = installed_.find(bundleIdentifier);
    return it == installed_.end() ? std::nullopt : std::optional(it->second);
}

std::optional<InstalledApplication> Desktop::installedApplicationAt(const URL& bundleURL) const {
    MutexLock lock(mutex_);
    const auto path = std::filesystem::path(bundleURL.path()).lexically_normal();
    for (const auto& [identifier, app] : installed_) {
        if (std::filesystem::path(app.bundleURL.path()).lexically_normal() == path) {
            return app;
        }
    }
    return std::nullopt;
}

std::optional<InstalledApplication> Desktop::applicationToOpen(const URL& url) const {
    auto applications = applicationsToOpen(url);
    return applications.empty() ? std::nullopt : std::optional(std::move(applications.front()));
}

std::vector<InstalledApplication> Desktop::applicationsToOpen(const URL& url) const {
    const auto scheme = url.scheme();
    MutexLock lock(mutex_);
    std::vector<InstalledApplication> applications;
    for (const auto& [identifier, app] : installed_) {
        if (std::find(app.urlSchemes.begin(), app.urlSchemes.end(), scheme) !=
            app.urlSchemes.end()) {
            applications.push_back(app);
        }
    }
    return applications;
}

// --- Running applications

std::vector<std::shared_ptr<NSRunningApplication>> Desktop::runningApplications() const {
    MutexLock lock(mutex_);
    std::vector<std::shared_ptr<NSRunningApplication>> list;
    for (const auto& process : processes_) {
        list.push_back(process.running);
    }
    return list;
}

std::shared_ptr<NSRunningApplication> Desktop::runningApplication(int processIdentifier) const {
    MutexLock lock(mutex_);
    for (const auto& process : processes_) {
        if (process.running->processIdentifier() == processIdentifier) {
            return process.running;
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<NSRunningApplication>>
Desktop::runningApplications(const std::string& bundleIdentifier) const {
    MutexLock lock(mutex_);
    std::vector<std::shared_ptr<NSRunningApplication>> list;
    for (const auto& process : processes_) {
        if (process.running->bundleIdentifier() == bundleIdentifier) {
            list.push_back(process.running);
        }
    }
    return list;
}

std::shared_ptr<SimulatedApplication> Desktop::application(int processIdentifier) const {
    MutexLock lock(mutex_);
    for (const auto& process : processes_) {
        if (process.running->processIdentifier() == processIdentifier) {
            return process.application;
        }
    }
    return nullptr;
}

std::shared_ptr<NSRunningApplication> Desktop::launch(const std::string& bundleIdentifier,
                                                      bool activates, bool newInstance) {
    threadChecker_.check();
    auto installed = installedApplication(bundleIdentifier);
    if (!installed) {
        throw applicationNotFound(bundleIdentifier);
    }
    if (!newInstance) {
        auto running = runningApplications(bundleIdentifier);
        if (!running.empty()) {
            reopen(running.front()->processIdentifier(), activates);
            return running.front();
        }
    }
    return start(*installed, activates);
}

std::shared_ptr<NSRunningApplication> Desktop::launchAt(const URL& bundleURL, bool activates,
                                                        bool newInstance) {
    auto installed = installedApplicationAt(bundleURL);
    if (!installed) {
        throw applicationNotFound(bundleURL.path());
    }
    return launch(installed->bundleIdentifier, activates, newInstance);
}

int Desktop::nextProcessIdentifier() {
    MutexLock lock(mutex_);
    const int pid = nextPid_;
    nextPid_ += 7; // other processes come and go between two launches
    return pid;
}

std::shared_ptr<NSRunningApplication> Desktop::start(const InstalledApplication& installed,
                                                     bool activates) {
    NSRunningApplication::Identity identity;
    identity.processIdentifier = nextProcessIdentifier();
    identity.bundleIdentifier = installed.bundleIdentifier;
    identity.localizedName = installed.name;
    identity.bundleURL = installed.bundleURL;
    identity.executableURL = installed.executableURL();
    identity.activationPolicy = installed.activationPolicy;
    identity.launchDate = currentDate();
    auto running = std::make_shared<NSRunningApplication>(identity, weak_from_this());
    auto application = installed.makeApplication ? installed.makeApplication() : nullptr;
    {
        MutexLock lock(mutex_);
        processes_.push_back({running, application});
    }
    if (application) {
        application->start(weak_from_this(), identity.processIdentifier, installed.bundleIdentifier,
                           installed.name);
        application->didLaunch();
    }
    postWorkspaceNotification(NSWorkspaceDidLaunchApplicationNotification, running);
    if (activates && (!application || application->activatesOnLaunch())) {
        activate(identity.processIdentifier);
    }
    return running;
}

bool Desktop::terminate(int processIdentifier) {
    threadChecker_.check();
    Process ended;
    std::shared_ptr<NSRunningApplication> next;
    bool wasFrontmost = false;
    bool own = false;
    {
        MutexLock lock(mutex_);
        auto it = std::find_if(processes_.begin(), processes_.end(), [&](const Process& p) {
            return p.running->processIdentifier() == processIdentifier;
        });
        if (it == processes_.end()) {
            return false;
        }
        ended = std::move(*it);
        processes_.erase(it);
        parents_.erase(processIdentifier);
        std::erase(activationOrder_, processIdentifier);
        wasFrontmost = frontmost_ == ended.running;
        if (wasFrontmost) {
            next = lastActiveOtherThan(processIdentifier);
        }
        if (ended.running->bundleIdentifier() == ownBundleIdentifier_) {
            ownLaunchEvent_ = nullptr;
            own = true;
        }
    }
    if (ended.application) {
        ended.application->stop();
    }
    // What the system takes from a process that exits, before anyone hears it ended.
    if (isCurrent()) {
        if (own) {
            endOwnProcess();
        }
        EventSystem::current()->removeTapsOfProcess(processIdentifier);
        HotKeySystem::current()->processDidQuit(processIdentifier);
    }
    powerAssertions_.setAssertions(processIdentifier, Value());
    windowServer_.removeWindows(processIdentifier);
    ended.running->terminated_ = true;
    // The application active before it comes forward at once, with no moment without one.
    if (wasFrontmost) {
        changeFrontmost(next);
        if (next) {
            windowServer_.orderFrontWindows(next->processIdentifier());
        }
    }
    ended.running->active_ = false;
    postWorkspaceNotification(NSWorkspaceDidTerminateApplicationNotification, ended.running);
    if (next) {
        postWorkspaceNotification(NSWorkspaceDidActivateApplicationNotification, next);
    }
    // This program's own code that quit it goes no further than this.
    if (own) {
        ProcessTeardown::stopIfEnded();
    }
    return true;
}

bool Desktop::activate(int processIdentifier) {
    threadChecker_.check();
    auto app = runningApplication(processIdentifier);
    if (!app || app->activationPolicy() == NSApplicationActivationPolicy::prohibited) {
        return false;
    }
    windowServer_.orderFrontWindows(processIdentifier);
    if (frontmostApplication() == app) {
        return true;
    }
    changeFrontmost(app);
    postWorkspaceNotification(NSWorkspaceDidActivateApplicationNotification, app);
    return true;
}

bool Desktop::reopen(int processIdentifier, bool activates) {
    threadChecker_.check();
    auto app = runningApplication(processIdentifier);
    if (!app) {
        return false;
    }
    if (activates) {
        activate(processIdentifier);
    }
    if (app == ownApplication()) {
        std::function<void()> handler;
        {
            MutexLock lock(mutex_);
            handler = ownReopenHandler_;
        }
        if (handler) {
            ProcessTeardown::callIn(handler);
        }
    }
    return true;
}

void Desktop::setOwnReopenHandler(std::function<void()> handler) {
    if (handler && ProcessTeardown::hasEnded()) {
        return;
    }
    MutexLock lock(mutex_);
    ownReopenHandler_ = std::move(handler);
}

void Desktop::setActivationPolicy(int processIdentifier, NSApplicationActivationPolicy policy) {
    threadChecker_.check();
    if (auto app = runningApplication(processIdentifier)) {
        app->policy_ = policy;
    }
}

std::shared_ptr<NSRunningApplication> Desktop::frontmostApplication() const {
    MutexLock lock(mutex_);
    return frontmost_;
}

std::shared_ptr<NSRunningApplication> Desktop::menuBarOwningApplication() const {
    MutexLock lock(mutex_);
    if (frontmost_ && frontmost_->activationPolicy() == NSApplicationActivationPolicy::regular) {
        return frontmost_;
    }
    for (auto pid = activationOrder_.rbegin(); pid != activationOrder_.rend(); ++pid) {
        for (const auto& process : processes_) {
            if (process.running->processIdentifier() == *pid &&
                process.running->activationPolicy() == NSApplicationActivationPolicy::regular) {
                return process.running;
            }
        }
    }
    return nullptr;
}

void Desktop::changeFrontmost(const std::shared_ptr<NSRunningApplication>& app) {
    const auto oldMenuBarOwner = menuBarOwningApplication();
    auto mutate = [&] {
        MutexLock lock(mutex_);
        if (frontmost_) {
            frontmost_->active_ = false;
        }
        frontmost_ = app;
        if (app) {
            app->active_ = true;
            std::erase(activationOrder_, app->processIdentifier());
            activationOrder_.push_back(app->processIdentifier());
        }
    };
    if (!isCurrent()) {
        mutate();
        return;
    }
    // The observers are the current process's; the menu bar's owner is announced only when
    // it changes, which an accessory application coming forward does not do.
    std::vector<std::string> keys{"frontmostApplication"};
    const bool ownerChanges =
        !app ? oldMenuBarOwner != nullptr
             : app->activationPolicy() == NSApplicationActivationPolicy::regular &&
                   app != oldMenuBarOwner;
    if (ownerChanges) {
        keys.emplace_back("menuBarOwningApplication");
    }
    NSWorkspace::shared()->keyValueObservers().performChange(keys, mutate);
}

void Desktop::postWorkspaceNotification(const std::string& name,
                                        const std::shared_ptr<NSRunningApplication>& app) const {
    if (!isCurrent()) {
        return;
    }
    NotificationCenter::workspaceCenter()->post(
        name, Value(), Value::Dictionary{{NSWorkspaceApplicationKey, Value(app)}});
}

// --- Login session

void Desktop::setScreenLocked(bool locked) {
    threadChecker_.check();
    if (session_.setScreenLocked(locked) && isCurrent()) {
        NotificationCenter::distributedCenter()->post(locked ? kScreenIsLockedNotification
                                                             : kScreenIsUnlockedNotification);
    }
}

// --- Process records

void Desktop::setParentProcessIdentifier(int processIdentifier, int parentProcessIdentifier) {
    MutexLock lock(mutex_);
    parents_[processIdentifier] = parentProcessIdentifier;
}

std::optional<int> Desktop::parentProcessIdentifier(int processIdentifier) const {
    {
        MutexLock lock(mutex_);
        if (auto it = parents_.find(processIdentifier); it != parents_.end()) {
            return it->second;
        }
    }
    // Applications are started by launchd.
    return runningApplication(processIdentifier) ? std::optional(1) : std::nullopt;
}

std::optional<int> Desktop::processGroupIdentifier(int processIdentifier) const {
    return parentProcessIdentifier(processIdentifier) ? std::optional(processIdentifier)
                                                      : std::nullopt;
}

// --- This program

std::shared_ptr<NSRunningApplication> Desktop::ownApplication() const {
    MutexLock lock(mutex_);
    if (!ownBundleIdentifier_) {
        return nullptr;
    }
    for (const auto& process : processes_) {
        if (process.running->bundleIdentifier() == ownBundleIdentifier_) {
            return process.running;
        }
    }
    return nullptr;
}

std::shared_ptr<NSRunningApplication> Desktop::launchOwnApplication(OwnLaunch launch) {
    threadChecker_.check();
    if (auto running = ownApplication()) {
        return running;
    }
    const auto bundle = Bundle::main();
    InstalledApplication own;
    own.bundleIdentifier = bundle->bundleIdentifier().value_or("");
    const auto& info = bundle->infoDictionary();
    const auto nameEntry = info.find(kCFBundleNameKey);
    own.name = nameEntry != info.end() && nameEntry->second.asString()
                   ? *nameEntry->second.asString()
                   : "Zestrel";
    own.bundleURL = bundle->bundleURL();
    own.activationPolicy = activationPolicyOf(*bundle);
    install(own);

    auto event =
        NSAppleEventDescriptor::appleEventWithEventClass(kCoreEventClass, kAEOpenApplication);
    int sender = 0;
    if (launch.launchedBy) {
        sender = *launch.launchedBy;
    } else if (auto finder = runningApplications(kFinderBundleIdentifier); !finder.empty()) {
        sender = finder.front()->processIdentifier();
    }
    if (sender != 0) {
        event->setAttributeDescriptor(NSAppleEventDescriptor::descriptorWithInt32(sender),
                                      keySenderPIDAttr);
    }
    if (launch.addressedFrom) {
        event->setAttributeDescriptor(
            std::make_shared<NSAppleEventDescriptor>(
                typeKernelProcessID,
                NSAppleEventDescriptor::descriptorWithInt32(*launch.addressedFrom)->data()),
            keyAddressAttr);
    }
    if (launch.asLoginItem) {
        event->setParamDescriptor(
            NSAppleEventDescriptor::descriptorWithEnumCode(keyAELaunchedAsLogInItem),
            keyAEPropData);
    }
    {
        MutexLock lock(mutex_);
        ownBundleIdentifier_ = own.bundleIdentifier;
        ownLaunchEvent_ = event;
    }
    auto running = start(own, false);
    if (isCurrent()) {
        EventSystem::current()->setOwnProcessIdentifier(running->processIdentifier());
    }
    MutexLock lock(mutex_);
    ownLaunchEvent_ = event; // kept even if a launch observer quit the program again
    return running;
}

void Desktop::endOwnProcess() {
    threadChecker_.check();
    // Once is all: its application's termination may have ended it before the desktop quits it.
    if (!isCurrent() || ProcessTeardown::hasEnded()) {
        return;
    }
    ProcessTeardown::run();
    std::function<void(std::uint16_t, NSEvent::ModifierFlags, const std::string&)> keyHandler;
    std::function<void()> reopenHandler; // released outside the lock
    {
        MutexLock lock(mutex_);
        keyHandler = std::exchange(ownKeyHandler_, nullptr);
        reopenHandler = std::exchange(ownReopenHandler_, nullptr);
    }
}

bool Desktop::quitOwnApplication() {
    threadChecker_.check();
    const auto running = ownApplication();
    if (!running) {
        return false;
    }
    terminate(running->processIdentifier());
    {
        MutexLock lock(mutex_);
        relaunchRequested_ = false;
    }
    resetProcess();
    return true;
}

std::shared_ptr<NSRunningApplication> Desktop::relaunchOwnApplication(OwnLaunch launch) {
    threadChecker_.check();
    if (auto running = ownApplication()) {
        terminate(running->processIdentifier());
    }
    {
        MutexLock lock(mutex_);
        relaunchRequested_ = false;
    }
    resetProcess();
    return launchOwnApplication(launch);
}

std::shared_ptr<NSAppleEventDescriptor> Desktop::ownLaunchEvent() const {
    MutexLock lock(mutex_);
    return ownLaunchEvent_;
}

bool Desktop::relaunchRequested() const {
    MutexLock lock(mutex_);
    return relaunchRequested_;
}

void Desktop::requestRelaunch() {
    threadChecker_.check();
    MutexLock lock(mutex_);
    relaunchRequested_ = true;
}

// --- Code signatures

void Desktop::setSigningInformation(const URL& bundleURL, Value::Dictionary information) {
    MutexLock lock(mutex_);
    signingByPath_[std::filesystem::path(bundleURL.path()).lexically_normal().string()] =
        std::move(information);
}

void Desktop::setSigningInformation(int processIdentifier, Value::Dictionary information) {
    MutexLock lock(mutex_);
    signingByProcess_[processIdentifier] = std::move(information);
}

std::optional<Value::Dictionary> Desktop::signingInformation(const URL& bundleURL) const {
    MutexLock lock(mutex_);
    auto it =
        signingByPath_.find(std::filesystem::path(bundleURL.path()).lexically_normal().string());
    return it == signingByPath_.end() ? std::nullopt : std::optional(it->second);
}

std::optional<Value::Dictionary> Desktop::signingInformation(int processIdentifier) const {
    {
        MutexLock lock(mutex_);
        if (auto it = signingByProcess_.find(processIdentifier); it != signingByProcess_.end()) {
            return it->second;
        }
    }
    auto running = runningApplication(processIdentifier);
    if (!running || !running->bundleURL()) {
        return std::nullopt;
    }
    return signingInformation(*running->bundleURL());
}

// --- Keys

std::shared_ptr<NSRunningApplication> Desktop::lastActiveOtherThan(int processIdentifier) const {
    for (auto pid = activationOrder_.rbegin(); pid != activationOrder_.rend(); ++pid) {
        for (const auto& process : processes_) {
            if (*pid != processIdentifier && process.running->processIdentifier() == *pid) {
                return process.running;
            }
        }
    }
    return nullptr;
}

int Desktop::keyboardFocusProcessIdentifier() const {
    const bool ownEnded = isCurrent() && ProcessTeardown::hasEnded();
    MutexLock lock(mutex_);
    auto front = frontmost_;
    // This program's process has ended and is not yet quit: it takes no more keys, and the
    // application that comes forward once it is quit has the keyboard already.
    if (front && ownEnded && front->bundleIdentifier() == ownBundleIdentifier_) {
        front = lastActiveOtherThan(front->processIdentifier());
    }
    return front ? front->processIdentifier() : -1;
}

void Desktop::connectEventSystem() {
    threadChecker_.check();
    auto events = EventSystem::current();
    std::weak_ptr<Desktop> weak = weak_from_this();
    events->setApplicationDelivery([weak](int pid, const std::shared_ptr<CGEvent>& event) {
        if (auto desktop = weak.lock()) {
            desktop->deliverEvent(pid, event);
        }
    });
    events->setHotKeyStage(
        [](const CGEvent& event) { return HotKeySystem::current()->stage(event); });
    events->setKeyboardFocusProvider([weak] {
        auto desktop = weak.lock();
        return desktop ? desktop->keyboardFocusProcessIdentifier() : -1;
    });
    if (auto own = ownApplication()) {
        events->setOwnProcessIdentifier(own->processIdentifier());
    }
}

void Desktop::deliverEvent(int processIdentifier, const std::shared_ptr<CGEvent>& event) {
    threadChecker_.check();
    if (!event || event->type() != CGEventType::keyDown) {
        return;
    }
    // Made here rather than through the conversion the app's taps use, so a conversion
    // fault set for a test never keeps a key from its application.
    const NSEvent converted(*event, InputSources::current()->currentLayout());
    deliverKeyEvent(processIdentifier, event->keyCode(),
                    NSEvent::ModifierFlags{event->flags().rawValue},
                    converted.charactersIgnoringModifiers().value_or(""));
}

bool Desktop::deliverKeyEvent(int processIdentifier, std::uint16_t keyCode,
                              NSEvent::ModifierFlags modifierFlags, std::string characters) {
    auto running = runningApplication(processIdentifier);
    if (!running) {
        return false;
    }
    if (running == ownApplication()) {
        std::function<void(std::uint16_t, NSEvent::ModifierFlags, const std::string&)> handler;
        {
            MutexLock lock(mutex_);
            handler = ownKeyHandler_;
        }
        if (handler) {
            ProcessTeardown::callIn([&] { handler(keyCode, modifierFlags, characters); });
        }
        return true;
    }
    if (auto app = application(processIdentifier)) {
        app->handleKeyEvent(keyCode, modifierFlags, std::move(characters));
    }
    return true;
}

void Desktop::setOwnKeyEventHandler(
    std::function<void(std::uint16_t, NSEvent::ModifierFlags, const std::string&)> handler) {
    if (handler && ProcessTeardown::hasEnded()) {
        return;
    }
    MutexLock lock(mutex_);
    ownKeyHandler_ = std::move(handler);
}

// --- Time

void Desktop::after(Nanoseconds delay, std::function<void()> work) {
    threadChecker_.check();
    RunLoop::main().machineAsyncAt(clock().uptime() + std::max(delay, Nanoseconds(0)),
                                   [weak = weak_from_this(), work = std::move(work)] {
                                       if (weak.lock()) {
                                           work();
                                       }
                                   });
}

// --- Copy latency

Nanoseconds Desktop::copyLatency(const std::string& bundleIdentifier) const {
    MutexLock lock(mutex_);
    const auto it = copyLatencies_.find(bundleIdentifier);
    return it == copyLatencies_.end() ? FileManagerApplication::kDefaultCopyLatency : it->second;
}

void Desktop::setCopyLatency(const std::string& bundleIdentifier, Nanoseconds latency) {
    MutexLock lock(mutex_);
    copyLatencies_[bundleIdentifier] = std::max(latency, Nanoseconds(0));
}

// --- Log

void Desktop::log(std::string message) {
    MutexLock lock(mutex_);
    if (log_.size() == kKeptLogLines) {
        log_.pop_front();
    }
    log_.push_back({nextLogOrder(), std::move(message)});
}

std::vector<std::string> Desktop::logLines() const {
    MutexLock lock(mutex_);
    std::vector<std::string> lines;
    lines.reserve(log_.size());
    for (const auto& line : log_) {
        lines.push_back(line.text);
    }
    return lines;
}

std::vector<LoggedLine> Desktop::orderedLogLines() const {
    MutexLock lock(mutex_);
    return {log_.begin(), log_.end()};
}

} // namespace zestrel::platform
