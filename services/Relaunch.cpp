#include "services/Relaunch.h"

#include "foundation/ErrorPresentation.h"
#include "foundation/ErrorReporter.h"
#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/Bundle.h"
#include "platform/base/ProcessLocal.h"
#include "platform/concurrency/Continuation.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/system/NSTask.h"
#include "preferences/Prefs.h"
#include "services/InstalledApp.h"
#include "services/QVAppLaunch.h"

#include <atomic>
#include <cstdlib>
#include <optional>
#include <utility>

namespace zestrel {

namespace {

namespace pf = platform;

// "$1" is the bundle path, handed to the shell as an argument: a path with quotes, "$" or
// backticks in it is opened as it stands and never read as a command.
constexpr const char* kShellCommand = "sleep 0.2; open \"$1\"";

std::atomic<bool>& relaunchInProgress() {
    static auto* const inProgress = new pf::ProcessLocal<std::atomic<bool>>();
    return **inProgress;
}

// Leaves this instance once the new one is on its way.
void leave(bool exitsImmediately) {
    if (exitsImmediately) {
        // exit(0) skips the termination that would write the pending defaults, and the new
        // instance must find the relaunch flags.
        pf::UserDefaults::flushAll();
        std::exit(0);
    }
    pf::NSApp().terminate();
}

// The relaunch is over without a new instance: the next launch must not be taken for a
// relaunch, and a later request must be able to start.
void clearRelaunchMarks() {
    Prefs::set(QVApp::wasRelaunchedKey(), false);
    Prefs::set(QVApp::isShowingSettingsAfterRelaunchKey(), false);
    relaunchInProgress() = false;
}

// Whether the shell was started; a failure is reported and, unless silent, shown.
bool launchShell(bool exitsImmediately, bool isSilent) {
    pf::NSTask task;
    task.setExecutableURL(pf::URL::fileURL("/bin/sh"));
    task.setArguments({"-c", kShellCommand, "sh", pf::Bundle::main()->bundleURL().path()});
    try {
        task.launchAndReturnError();
    } catch (const pf::Error& error) {
        reportError(error);
        if (!isSilent) {
            presentAsModalLegacy(error);
        }
        return false;
    }
    leave(exitsImmediately);
    return true;
}

// Asks the workspace for a new instance of the app at `url`: nothing when it started, else
// the error.
pf::Task<std::optional<pf::Error>> openNewInstance(pf::URL url) {
    pf::NSWorkspaceOpenConfiguration configuration;
    configuration.createsNewApplicationInstance = true;
    configuration.activates =
        pf::NSApp().activationPolicy() == pf::NSApplication::ActivationPolicy::regular;
    auto open = [&url, &configuration](pf::CheckedContinuation<std::optional<pf::Error>> resume) {
        pf::NSWorkspace::shared()->openApplicationAtURL(
            url, configuration,
            [resume](const std::shared_ptr<pf::NSRunningApplication>&,
                     std::optional<pf::Error> error) { resume.resume(std::move(error)); });
    };
    co_return co_await pf::withCheckedContinuation<std::optional<pf::Error>>(open);
}

pf::Task<void> handleFailure(pf::Error error, pf::Value::Dictionary userInfo, bool isSilent) {
    reportError(error, std::move(userInfo));
    // Cleared before the alert: the user may quit from it.
    clearRelaunchMarks();
    if (isSilent) {
        co_return;
    }
    auto show = [&error](pf::CheckedContinuation<void> shown) {
        present(error, nullptr, [shown] { shown.resume(); });
    };
    co_await pf::withCheckedContinuation<void>(show);
}

} // namespace

pf::Task<void> relaunchApp(RelaunchOptions options) {
    if (relaunchInProgress().exchange(true)) {
        co_return;
    }
    Prefs::set(QVApp::wasRelaunchedKey(), true);
    if (options.showsSettingsAfterRelaunch) {
        Prefs::set(QVApp::isShowingSettingsAfterRelaunchKey(), true);
    }
    if (options.usesShell) {
        if (!launchShell(options.exitsImmediately, options.isSilent)) {
            clearRelaunchMarks();
        }
        co_return;
    }

    // Arguments of awaited calls are named first: g++ 12 destroys temporaries there twice.
    const pf::URL ownURL = QVApp::url();
    const std::optional<pf::Error> failure = co_await openNewInstance(ownURL);
    if (!failure) {
        leave(options.exitsImmediately);
        co_return;
    }
    // The bundle may have moved since launch; the workspace knows where it is now.
    const std::optional<pf::URL> installed =
        urlForApplication(*pf::NSWorkspace::shared(), QVApp::id());
    if (!installed) {
        const pf::Error firstError = *failure;
        const pf::Value::Dictionary noInfo;
        co_await handleFailure(firstError, noInfo, options.isSilent);
        co_return;
    }
    const pf::URL installedURL = *installed;
    const std::optional<pf::Error> fallbackFailure = co_await openNewInstance(installedURL);
    if (!fallbackFailure) {
        leave(options.exitsImmediately);
        co_return;
    }
    const pf::Error fallbackError = *fallbackFailure;
    const pf::Value::Dictionary fallbackInfo{{"isFallback", pf::Value(true)}};
    co_await handleFailure(fallbackError, fallbackInfo, options.isSilent);
}

void shellRelaunch(bool exitsImmediately, bool isSilent) {
    launchShell(exitsImmediately, isSilent);
}

} // namespace zestrel
