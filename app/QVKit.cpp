#include "app/QVKit.h"

#include "app/UserDebugWindow.h"

#include "foundation/AlertBuilder.h"
#include "foundation/LaunchModes.h"
#include "foundation/QVApp.h"
#include "foundation/TaskStarters.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessInfo.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/NSFileManager.h"
#include "platform/data/UserDefaults.h"
#include "services/FileSystem.h"
#include "services/QVAppLaunch.h"
#include "services/Relaunch.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel {

namespace pf = platform;
using Flags = pf::NSEvent::ModifierFlags;

namespace {

const Flags kUserDebugWindowGesture = Flags::shift | Flags::control | Flags::option;
const Flags kResetGesture = Flags::shift | Flags::control | Flags::option | Flags::command;

// The did-finish-launching subscription: its first delivery fixes the launch facts, then
// ends it.
pf::ObserverToken& launchObserver() {
    static auto* const token = new pf::ProcessLocal<pf::ObserverToken>();
    return **token;
}

void observeFinishedLaunching() {
    const auto center = pf::NotificationCenter::defaultCenter();
    launchObserver() = center->addObserver(
        pf::NSApplicationDidFinishLaunchingNotification, pf::Value(), [](const pf::Notification&) {
            if (!launchObserver()) {
                return;
            }
            QVApp::initializeAppStatics();
            pf::DispatchQueue::main().async([] {
                if (auto token = std::exchange(launchObserver(), nullptr)) {
                    pf::NotificationCenter::defaultCenter()->removeObserver(token);
                }
            });
        });
}

// The after-launch step: what other code queued for the end of launching.
void afterLaunch() {
    if (QVApp::isResettingSettingsAndData()) {
        return;
    }
    QVApp::runDidFinishLaunchingHandlers();
    addDebugMenu();
}

namespace fs = std::filesystem;

// `path` lies strictly inside a ".../Containers/<identifier>/Data" folder.
bool liesInOwnContainer(const fs::path& path, const std::string& identifier) {
    std::vector<std::string> parts;
    for (const auto& part : path) {
        parts.push_back(part.string());
    }
    for (std::size_t i = 0; i + 3 < parts.size(); ++i) {
        if (parts[i] == "Containers" && parts[i + 1] == identifier && parts[i + 2] == "Data") {
            return true;
        }
    }
    return false;
}

// The real path, links and ".." followed; nothing when it cannot be made.
std::optional<fs::path> realPath(const pf::URL& url) {
    std::error_code error;
    auto real = fs::weakly_canonical(fs::path(url.path()), error);
    if (error || !real.is_absolute()) {
        return std::nullopt;
    }
    return real;
}

// The sandbox's data to move: the container's folder two levels above Application Support,
// only when it really lies in this app's container.
std::optional<pf::URL> containerFolderToTrash() {
    if (appDirectoryIsTemporaryFallback(pf::NSSearchPathDirectory::applicationSupportDirectory)) {
        return std::nullopt;
    }
    const auto folder =
        applicationSupportDirectory().deletingLastPathComponent().deletingLastPathComponent();
    const auto real = realPath(folder);
    if (!real || !liesInOwnContainer(*real, QVApp::id())) {
        return std::nullopt;
    }
    return pf::URL::fileURL(real->string(), true);
}

// The app's own folder of that kind: named after the app, and not the stand-in a failed
// lookup gave.
std::optional<pf::URL> ownFolderToTrash(pf::NSSearchPathDirectory directory,
                                        const pf::URL& folder) {
    if (appDirectoryIsTemporaryFallback(directory)) {
        return std::nullopt;
    }
    const auto real = realPath(folder);
    if (!real || real->filename().string() != QVApp::id() || real->parent_path() == *real) {
        return std::nullopt;
    }
    return folder;
}

} // namespace

pf::NSEvent::ModifierFlags launchModifierMask() {
    return launchGestureFlags(pf::NSEvent::modifierFlags());
}

QVKit& QVKit::shared() {
    static auto* const kit = new pf::ProcessLocal<QVKit>();
    return kit->get();
}

bool QVKit::isDebugMode() {
    return isDebugModeLaunch();
}

void QVKit::openUserDebugWindowAsync() {
    pf::DispatchQueue::main().async([] { UserDebugWindowController::show(); });
}

QVKit::QVKit() {
    const bool safe = QVApp::isSafeLaunch();
    pf::UserDefaults::standard()->registerDefaults({
        {"NSApplicationCrashOnExceptions", pf::Value(!safe)},
        {"NSAppSleepDisabled", pf::Value(true)},
        {"NSDisableAutomaticTermination", pf::Value(true)},
    });
    if (!safe) {
        pf::NSProcessInfo::disableAutomaticTermination("");
        pf::NSProcessInfo::disableSuddenTermination();
        QVApp::forceLaunchBookkeeping();
    }
    if (launchModifierMask() == kUserDebugWindowGesture) {
        openUserDebugWindowAsync();
    }
    pf::DispatchQueue::main().async([] { offerSettingsResetAtLaunch(); });
    pf::DispatchQueue::main().async([] { afterLaunch(); });
    QVApp::showSettingsIfRelaunched();
    observeFinishedLaunching();
}

void offerSettingsResetAtLaunch() {
    if (launchModifierMask() != kResetGesture) {
        return;
    }
    pf::NSApp().yieldActivation(QVApp::id());
    pf::NSApp().activate();
    const auto response = runModal(AlertOptions{
        .title = "Are you sure you want to delete the settings and data for " + QVApp::name() + "?",
        .style = pf::NSAlert::Style::warning,
        .buttonTitles = {"Delete", "Cancel"},
        .destructiveButtonIndices = {0},
    });
    if (response != pf::NSAlertFirstButtonReturn) {
        return;
    }
    // The pending launch work of this instance must not write the wiped settings again.
    QVApp::beginResettingSettingsAndData();
    deleteSettingsAndData();
    startMainActorTask(std::nullopt, []() -> pf::Task<void> {
        co_await relaunchApp(RelaunchOptions{});
        // A new instance has already ended this one; when none could start, the failure has
        // been shown, and with its data gone this instance must not go on half-launched.
        pf::NSApp().terminate();
    });
}

void deleteSettingsAndData() {
    pf::UserDefaults::standard()->removeAll();
    if (QVApp::isSandboxed()) {
        if (const auto container = containerFolderToTrash()) {
            try {
                trash(*container);
            } catch (const pf::Error&) {
                // Silent: the settings are gone all the same, and the relaunch follows.
            }
            return;
        }
    }
    std::vector<pf::URL> folders;
    for (const auto& [directory, folder] :
         {std::pair{pf::NSSearchPathDirectory::applicationSupportDirectory,
                    applicationSupportDirectory()},
          std::pair{pf::NSSearchPathDirectory::cachesDirectory, cachesDirectory()}}) {
        if (auto own = ownFolderToTrash(directory, folder)) {
            folders.push_back(*own);
        }
    }
    try {
        trashItems(folders);
    } catch (const pf::Error&) {
        // Silent, as above; the folders after the one that failed stay.
    }
}

} // namespace zestrel
