#include "foundation/ApplicationActivation.h"

#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::NSApp;
using platform::NSApplication;
using platform::NSMenu;
using platform::NSMenuItem;
using ::testing::ElementsAre;

struct ApplicationActivationTest : ::testing::Test {
    // A main menu whose application menu has the given items; each records its title.
    void installMainMenu(const std::vector<std::string>& titles) {
        auto appMenu = std::make_shared<NSMenu>("Zestrel");
        for (const auto& title : titles) {
            appMenu->addItem(
                title, [this](NSMenuItem& item) { performed.push_back(item.title()); }, "");
        }
        auto main = std::make_shared<NSMenu>("Main");
        main->addItem("Zestrel", {}, "")->setSubmenu(appMenu);
        NSApp().setMainMenu(main);
    }

    platform::testing::TestEnvironment env;
    std::vector<std::string> performed;
};

TEST_F(ApplicationActivationTest, ForceActivateOnlyActivatesAnAccessoryApp) {
    NSApp().setActivationPolicy(NSApplication::ActivationPolicy::regular);
    forceActivate();
    EXPECT_FALSE(NSApp().isActive());
    EXPECT_EQ(NSApp().activationYieldedTo(), std::nullopt);
    NSApp().setActivationPolicy(NSApplication::ActivationPolicy::accessory);
    forceActivate();
    EXPECT_TRUE(NSApp().isActive());
    EXPECT_EQ(NSApp().activationYieldedTo(), QVApp::id());
}

TEST_F(ApplicationActivationTest, ShowSettingsWindowPerformsTheSettingsItem) {
    installMainMenu({"About Zestrel", "Check for Updates", "Help", "Settings…"});
    NSApp().setActivationPolicy(NSApplication::ActivationPolicy::accessory);
    showSettingsWindow();
    EXPECT_THAT(performed, ElementsAre("Settings…"));
    EXPECT_TRUE(NSApp().isActive()) << "activated first";
}

TEST_F(ApplicationActivationTest, WithoutASettingsItemTheThirdItemOpens) {
    installMainMenu({"About Zestrel", "-", "Preferences…"});
    showSettingsWindow();
    EXPECT_THAT(performed, ElementsAre("Preferences…"));
}

TEST_F(ApplicationActivationTest, TheInitialMainMenuIsTheOneFirstRead) {
    installMainMenu({"Settings…"});
    const auto first = NSApp().mainMenu();
    EXPECT_EQ(QVApp::initialMainMenu(), first);
    installMainMenu({"Other"});
    EXPECT_EQ(QVApp::initialMainMenu(), first);
}

TEST_F(ApplicationActivationTest, NothingHappensWithoutASuitableItem) {
    showSettingsWindow(); // no main menu
    installMainMenu({"About Zestrel", "Quit"});
    showSettingsWindow();
    EXPECT_TRUE(performed.empty());
    auto bare = std::make_shared<NSMenu>();
    bare->addItem("Zestrel", {}, "");
    NSApp().setMainMenu(bare);
    showSettingsWindow();
    EXPECT_TRUE(performed.empty());
}

} // namespace
} // namespace zestrel
