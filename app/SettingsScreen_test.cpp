#include "app/SettingsScreen.h"

#include "app/ShareAppScreen.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/TextOutline.h"
#include "platform/data/UserDefaults.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/DesktopEnvironment.h"
#include "preferences/Prefs.h"
#include "services/QVAppLaunch.h"
#include "services/QVAppRunOnce.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;
namespace ui = platform::swiftui;

class SettingsScreenTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;

    static std::vector<std::string> rows(const ui::ViewHost& host) {
        std::vector<std::string> labels;
        const auto collect = [&labels](const auto& self, const ui::Nodes& nodes) -> void {
            for (const auto& node : nodes) {
                if (node->isVisible() && node->kind == "Toggle") {
                    labels.push_back(node->label);
                }
                self(self, node->children);
            }
        };
        collect(collect, host.nodes());
        return labels;
    }
};

TEST_F(SettingsScreenTest, FourRowsOrThreeWithoutInterfaceSounds) {
    auto host = ui::ViewHost::make(SettingsScreen{});
    EXPECT_EQ(rows(*host),
              (std::vector<std::string>{"Launch at login", "Show menu bar icon",
                                        "Play sound effect when cutting",
                                        "Use more reliable way of handling Command+X"}));
    EXPECT_NE(host->outline().find("link \"Help, the app does not work\" "
                                   "[https://zestrel.app#not-working"),
              std::string::npos);
    pf::UserDefaults::standard()->set(pf::Value(false), "com.apple.sound.uiaudio.enabled");
    EXPECT_EQ(rows(*ui::ViewHost::make(SettingsScreen{})).size(), 3u);
    pf::UserDefaults::standard()->set(pf::Value("yes"), "com.apple.sound.uiaudio.enabled");
    EXPECT_EQ(rows(*ui::ViewHost::make(SettingsScreen{})).size(), 4u);
}

TEST_F(SettingsScreenTest, TheIconSwitchReadsOnUntilTheIconIsHidden) {
    const auto switchIsOn = [](const ui::ViewHost& host) {
        const auto node = host.find("Show menu bar icon");
        return node && node->isOn && node->isOn->get();
    };
    auto host = ui::ViewHost::make(SettingsScreen{});
    EXPECT_TRUE(switchIsOn(*host));
    Prefs::set(AppPreferences::hideMenuBarIcon(), true);
    env.runUntilIdle();
    host->update();
    EXPECT_FALSE(switchIsOn(*host));
    EXPECT_FALSE(switchIsOn(*ui::ViewHost::make(SettingsScreen{})));
}

TEST_F(SettingsScreenTest, HidingTheIconExplainsHowToGetItBack) {
    auto host = ui::ViewHost::make(SettingsScreen{});
    const std::string alert = "If you need to access the menu bar icon, launch the app to "
                              "reveal it for 5 seconds.";
    EXPECT_EQ(host->find(alert), nullptr);
    ASSERT_TRUE(host->toggle("Show menu bar icon"));
    env.runUntilIdle();
    EXPECT_TRUE(Prefs::value(AppPreferences::hideMenuBarIcon()));
    ASSERT_NE(host->find(alert), nullptr);
    ASSERT_TRUE(host->click("OK"));
    env.runUntilIdle();
    EXPECT_EQ(host->find(alert), nullptr);
    // Turning it back on shows nothing; nor does a screen opened while it is hidden.
    ASSERT_TRUE(host->toggle("Show menu bar icon"));
    env.runUntilIdle();
    EXPECT_FALSE(Prefs::value(AppPreferences::hideMenuBarIcon()));
    EXPECT_EQ(host->find(alert), nullptr);
    Prefs::set(AppPreferences::hideMenuBarIcon(), true);
    env.runUntilIdle();
    EXPECT_EQ(ui::ViewHost::make(SettingsScreen{})->find(alert), nullptr);
}

TEST_F(SettingsScreenTest, ChangingTheMethodRelaunchesIntoSettingsOnce) {
    auto host = ui::ViewHost::make(SettingsScreen{});
    const std::string method = "Use more reliable way of handling Command+X";
    ASSERT_TRUE(host->toggle(method));
    env.runUntilIdle();
    EXPECT_TRUE(Prefs::value(AppPreferences::newMethod()));
    EXPECT_TRUE(env.desktop().relaunchRequested());
    EXPECT_TRUE(Prefs::value(QVApp::isShowingSettingsAfterRelaunchKey()));
    EXPECT_TRUE(pf::NSApp().isTerminated());
}

TEST_F(SettingsScreenTest, TheWindowKeepsItsWidthWhateverTheTexts) {
    const auto view = ui::NSHostingView::make(SettingsScreen{});
    EXPECT_EQ(view->fittingSize().width, 320);
    EXPECT_NE(view->host()->outline().find("frame(width: 320)"), std::string::npos);
}

// Shows a once-per-launch banner while its switch is on.
struct Flipper {
    ui::View body(ui::ViewContext& context) const {
        const auto on = context.state<bool>("on", true);
        return ui::Group({ui::Button("Flip", [on] { on.set(!on.get()); }),
                          on.get()
                              ? ui::View(ShowForAppRuns(ui::Text("Banner"), 5, "banner", 1, true))
                              : ui::View()});
    }
};

TEST(ShowForAppRunsTest, ShowsDuringItsLaunchesAndOncePerLaunchWhenAsked) {
    pf::testing::DesktopEnvironment env;
    const auto shown = [](bool oncePerAppRun) {
        auto host =
            ui::ViewHost::make(ShowForAppRuns(ui::Text("Promotion"), 2, "promo", 2, oncePerAppRun));
        return host->find("Promotion") != nullptr;
    };
    std::vector<bool> seen;
    for (int launch = 1; launch <= 4; ++launch) {
        seen.push_back(shown(false));
        env.desktop().relaunchOwnApplication();
    }
    EXPECT_EQ(seen, (std::vector<bool>{false, true, true, false}));

    // Once per launch: the first time it comes on screen, not when it comes again.
    auto host = ui::ViewHost::make(Flipper{});
    ASSERT_NE(host->find("Banner"), nullptr);
    ASSERT_TRUE(host->click("Flip"));
    env.runUntilIdle();
    ASSERT_EQ(host->find("Banner"), nullptr);
    ASSERT_TRUE(host->click("Flip"));
    env.runUntilIdle();
    EXPECT_EQ(host->find("Banner"), nullptr);
}

} // namespace
} // namespace zestrel
