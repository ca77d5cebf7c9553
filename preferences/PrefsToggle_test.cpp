#include "preferences/PrefsToggle.h"

#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <vector>

namespace zestrel {
namespace {

using platform::swiftui::ViewHost;

class PrefsToggleTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    Prefs::Key<bool> hideMenuBarIcon{"hideMenuBarIcon", false};
    Prefs::Key<bool> playSoundEffects{"playSoundEffects", true};
    std::vector<bool> changes;
    Prefs::Toggle::OnChange record = [this](bool stored) { changes.push_back(stored); };
};

TEST_F(PrefsToggleTest, InvertedSwitchShowsTheNegationAndStoresTheNegation) {
    Prefs::set(hideMenuBarIcon, true);
    auto host =
        ViewHost::make(Prefs::Toggle("Show menu bar icon", hideMenuBarIcon, true).onChange(record));
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "toggle \"Show menu bar icon\" [off]\n");
    EXPECT_TRUE(changes.empty()); // not for the value it first shows

    host->toggle("Show menu bar icon");
    env.runUntilIdle();
    EXPECT_FALSE(Prefs::value(hideMenuBarIcon));
    EXPECT_EQ(host->outline(), "toggle \"Show menu bar icon\" [on]\n");
    EXPECT_EQ(changes, (std::vector<bool>{false}));

    host->toggle("Show menu bar icon");
    env.runUntilIdle();
    EXPECT_EQ(changes, (std::vector<bool>{false, true}));
}

TEST_F(PrefsToggleTest, ChangesMadeElsewhereReachTheSwitchAndItsCallbackOnce) {
    auto host =
        ViewHost::make(Prefs::Toggle("Play sound effect when cutting", "speaker", playSoundEffects)
                           .onChange(record));
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "toggle \"Play sound effect when cutting\" [image: speaker, on]\n");
    Prefs::set(playSoundEffects, false);
    Prefs::set(playSoundEffects, false);
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "toggle \"Play sound effect when cutting\" [image: speaker, off]\n");
    EXPECT_EQ(changes, (std::vector<bool>{false}));
}

TEST_F(PrefsToggleTest, TheCallbackSetLastIsCalledAndCopiesShareIt) {
    std::vector<bool> first;
    Prefs::Toggle toggle("Switch", playSoundEffects);
    const Prefs::Toggle copy = toggle.onChange([&](bool stored) { first.push_back(stored); });
    toggle.onChange(record); // replaces it in the box the copy shares
    auto host = ViewHost::make(copy);
    env.runUntilIdle();
    host->toggle("Switch");
    env.runUntilIdle();
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(changes, (std::vector<bool>{false}));
}

} // namespace
} // namespace zestrel
