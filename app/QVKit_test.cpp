#include "app/QVKit.h"

#include "foundation/QVApp.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/Error.h"
#include "platform/base/ProcessInfo.h"
#include "platform/data/NSFileManager.h"
#include "platform/data/UserDefaults.h"
#include "platform/data/UserDirectories.h"
#include "platform/testing/DesktopEnvironment.h"
#include "services/FileSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zestrel {
namespace {

namespace pf = platform;
namespace fs = std::filesystem;
using Flags = pf::NSEvent::ModifierFlags;

class QVKitTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;
    std::shared_ptr<pf::ScriptedModalResponder> responder = pf::ScriptedModalResponder::install();

    void launchHolding(Flags held) {
        pf::NSEvent::setHeldModifierFlags(held);
        QVKit::shared();
        env.runUntilIdle();
        pf::NSEvent::setHeldModifierFlags({});
    }
    static pf::Value stored(const std::string& key) {
        const auto defaults = pf::UserDefaults::standard();
        const auto domain = defaults->persistentDomain(defaults->domainName());
        const auto found = domain ? domain->find(key) : pf::Value::Dictionary::const_iterator{};
        return domain && found != domain->end() ? found->second : pf::Value();
    }
    // The user debug window, titled "Zestrel <version> — Debug", on screen.
    static bool showsUserDebugWindow() {
        for (const auto& window : pf::NSApp().windows()) {
            if (window->isVisible() &&
                window->title() == "Zestrel " + QVApp::version() + " — Debug") {
                return true;
            }
        }
        return false;
    }
    static fs::path trashed(const std::string& name) {
        return pf::xdgDataHome() / "Trash" / "files" / name;
    }
    // A file in each folder, so a move shows.
    static void fill(const fs::path& folder) {
        fs::create_directories(folder);
        std::ofstream(folder / "kept.txt") << "data";
    }
};

TEST_F(QVKitTest, ANormalLaunchCountsItselfAndKeepsTheSystemFromEndingTheApp) {
    // Shift+Option+Command is no gesture at all.
    launchHolding(Flags::shift | Flags::option | Flags::command);
    EXPECT_FALSE(QVApp::isSafeLaunch());
    const auto defaults = pf::UserDefaults::standard();
    EXPECT_EQ(defaults->object("NSApplicationCrashOnExceptions"), pf::Value(true));
    EXPECT_EQ(defaults->object("NSAppSleepDisabled"), pf::Value(true));
    EXPECT_EQ(defaults->object("NSDisableAutomaticTermination"), pf::Value(true));
    EXPECT_EQ(stored("QV_launchCount"), pf::Value(std::int64_t{1}));
    EXPECT_FALSE(stored("QV_firstLaunchDate").isAbsent());
    EXPECT_FALSE(pf::NSProcessInfo::automaticTerminationSupportEnabled());
    EXPECT_FALSE(pf::NSProcessInfo::suddenTerminationEnabled());
    EXPECT_TRUE(pf::NSAlert::shownAlerts().empty());
    EXPECT_FALSE(showsUserDebugWindow());
}

TEST_F(QVKitTest, SafeModeLeavesTheLaunchHistoryAndTerminationAlone) {
    launchHolding(Flags::shift | Flags::option | Flags::capsLock);
    EXPECT_TRUE(QVApp::isSafeLaunch());
    EXPECT_EQ(pf::UserDefaults::standard()->object("NSApplicationCrashOnExceptions"),
              pf::Value(false));
    for (const char* key : {"QV_launchCount", "QV_firstLaunchDate", "QV_previousLaunchedVersion",
                            "QVApp_wasRelaunched"}) {
        EXPECT_TRUE(stored(key).isAbsent()) << key;
    }
    EXPECT_TRUE(pf::NSProcessInfo::automaticTerminationSupportEnabled());
    EXPECT_TRUE(pf::NSProcessInfo::suddenTerminationEnabled());
}

TEST_F(QVKitTest, TheUserDebugWindowGestureIsExactCapsLockAside) {
    launchHolding(Flags::shift | Flags::control | Flags::option | Flags::capsLock);
    EXPECT_TRUE(showsUserDebugWindow());
    EXPECT_TRUE(pf::NSAlert::shownAlerts().empty());
}

TEST_F(QVKitTest, CancellingTheResetOfferKeepsEverything) {
    pf::UserDefaults::standard()->set(pf::Value(false), "playSoundEffects");
    fill(pf::xdgDataHome() / QVApp::id());
    responder->enqueue(pf::ModalAnswer::button("Cancel"));
    launchHolding(Flags::shift | Flags::control | Flags::option | Flags::command);
    EXPECT_FALSE(showsUserDebugWindow());
    ASSERT_EQ(pf::NSAlert::shownAlerts().size(), 1u);
    EXPECT_EQ(stored("playSoundEffects"), pf::Value(false));
    EXPECT_TRUE(fs::exists(pf::xdgDataHome() / QVApp::id() / "kept.txt"));
    EXPECT_FALSE(pf::NSApp().isTerminated());
    EXPECT_FALSE(env.desktop().relaunchRequested());
}

TEST_F(QVKitTest, TheResetMovesOnlyTheAppsOwnFolders) {
    const fs::path support = pf::xdgDataHome() / QVApp::id();
    const fs::path caches = pf::xdgCacheHome() / QVApp::id();
    fill(support);
    fill(caches);
    fill(pf::xdgDataHome() / "Other");
    pf::UserDefaults::standard()->set(pf::Value(true), "hideMenuBarIcon");
    deleteSettingsAndData();
    EXPECT_TRUE(stored("hideMenuBarIcon").isAbsent());
    EXPECT_FALSE(fs::exists(support));
    EXPECT_FALSE(fs::exists(caches));
    EXPECT_TRUE(fs::exists(trashed(QVApp::id()) / "kept.txt"));
    EXPECT_TRUE(fs::exists(pf::xdgDataHome() / "Other" / "kept.txt"));
}

TEST_F(QVKitTest, WhenTheFirstFolderCannotBeMovedTheSecondStaysAndTheRelaunchStillComes) {
    // Made at its first lookup, then gone by the time of the reset: it cannot be moved.
    const fs::path support = applicationSupportDirectory().path();
    fs::remove_all(support);
    const fs::path caches = pf::xdgCacheHome() / QVApp::id();
    fill(caches);
    pf::UserDefaults::standard()->set(pf::Value(false), "playSoundEffects");
    responder->enqueue(pf::ModalAnswer::button("Delete"));
    launchHolding(Flags::shift | Flags::control | Flags::option | Flags::command);
    EXPECT_TRUE(stored("playSoundEffects").isAbsent());
    EXPECT_TRUE(fs::exists(caches / "kept.txt"));
    EXPECT_FALSE(fs::exists(trashed(QVApp::id())));
    EXPECT_TRUE(env.desktop().relaunchRequested());
    EXPECT_TRUE(pf::NSApp().isTerminated());
}

TEST_F(QVKitTest, ADataFolderThatLinksToAFolderOfAnotherNameIsNotMoved) {
    const fs::path elsewhere = pf::xdgDataHome() / "Elsewhere";
    fill(elsewhere);
    const fs::path link = pf::xdgDataHome() / QVApp::id();
    fs::create_directory_symlink(elsewhere, link);
    const fs::path caches = pf::xdgCacheHome() / QVApp::id();
    fill(caches);
    deleteSettingsAndData();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::exists(elsewhere / "kept.txt"));
    EXPECT_FALSE(fs::exists(trashed("Elsewhere")));
    // The app's own Caches folder still goes.
    EXPECT_FALSE(fs::exists(caches));
    EXPECT_TRUE(fs::exists(trashed(QVApp::id()) / "kept.txt"));
}

TEST_F(QVKitTest, ASandboxedResetMovesTheContainersDataFolder) {
    setenv("APP_SANDBOX_CONTAINER_ID", QVApp::id().c_str(), 1);
    const fs::path data = env.home() / "Library" / "Containers" / QVApp::id() / "Data";
    fill(data / "Library" / "Application Support" / QVApp::id());
    fill(data / "Documents");
    const fs::path plainCaches = pf::xdgCacheHome() / QVApp::id();
    fill(plainCaches);
    deleteSettingsAndData();
    EXPECT_FALSE(fs::exists(data / "Library"));
    EXPECT_TRUE(fs::exists(trashed("Library") / "Application Support" / QVApp::id()));
    EXPECT_TRUE(fs::exists(data / "Documents" / "kept.txt"));
    EXPECT_TRUE(fs::exists(plainCaches / "kept.txt"));
}

TEST_F(QVKitTest, ASandboxedResetOutsideTheContainerMovesNothingAboveTheAppsFolders) {
    // The container's Library is a link to the home folder: two levels above Application
    // Support is then the home folder's parent, which must never move.
    setenv("APP_SANDBOX_CONTAINER_ID", QVApp::id().c_str(), 1);
    const fs::path data = env.home() / "Library" / "Containers" / QVApp::id() / "Data";
    fs::create_directories(data);
    fs::create_directory_symlink(env.home(), data / "Library");
    fill(env.home() / "Application Support" / QVApp::id());
    fill(env.home() / "Caches" / QVApp::id());
    fill(env.home() / "Precious");
    deleteSettingsAndData();
    EXPECT_TRUE(fs::exists(env.home() / "Precious" / "kept.txt"));
    EXPECT_TRUE(fs::exists(env.home().parent_path()));
    EXPECT_FALSE(fs::exists(env.home() / "Application Support" / QVApp::id()));
    EXPECT_FALSE(fs::exists(env.home() / "Caches" / QVApp::id()));
}

TEST_F(QVKitTest, AFailedLookupsTemporaryStandInIsNeverMoved) {
    const fs::path temporary = pf::temporaryDirectory();
    pf::NSFileManager::defaultManager().failNextDirectoryLookups(
        pf::NSSearchPathDirectory::applicationSupportDirectory,
        pf::NSError::make(pf::NSCocoaErrorDomain, 4));
    fill(temporary / QVApp::id());
    const fs::path caches = pf::xdgCacheHome() / QVApp::id();
    fill(caches);
    deleteSettingsAndData();
    EXPECT_TRUE(fs::exists(temporary / QVApp::id() / "kept.txt"));
    EXPECT_FALSE(fs::exists(caches));
}

} // namespace
} // namespace zestrel
