#include "services/WindowInfo.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSScreen.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace zestrel {
namespace {

namespace pf = platform;

constexpr const char* kGrammarly = "com.grammarly.ProjectLlama";

// An ordinary document window of the Finder; cases change one thing of it.
WindowInfo documentWindow() {
    WindowInfo window;
    window.identifier = 7;
    window.owner.name = "Finder";
    window.owner.processIdentifier = 400;
    window.owner.bundleIdentifier = BundleIdentifier{pf::kFinderBundleIdentifier};
    window.bounds = pf::CGRect(100, 100, 800, 600);
    window.isOnScreen = true;
    return window;
}

std::shared_ptr<pf::NSScreen> screen(pf::CGRect frame) {
    return std::make_shared<pf::NSScreen>(frame, frame, 1.0, 1);
}

class WindowInfoTest : public ::testing::Test {
protected:
    static bool kept(const WindowInfo& window) {
        return WindowInfo::userAppWindows({window}).size() == 1;
    }
    std::shared_ptr<pf::NSRunningApplication> running(const std::string& bundleIdentifier) {
        return env.desktop().runningApplications(bundleIdentifier).front();
    }
    // A window of the overlay application, as the window server lists it.
    WindowInfo overlayWindow(pf::CGRect bounds, double alpha) {
        const int pid =
            env.desktop().launch(pf::kOverlayBundleIdentifier, false)->processIdentifier();
        pf::ServerWindow window;
        window.ownerPID = pid;
        window.ownerName = "Overlay";
        window.bounds = bounds;
        window.alpha = alpha;
        const auto number = env.desktop().windowServer().addWindow(window);
        for (auto& listed : WindowInfo::list(pf::kCGWindowListOptionOnScreenOnly)) {
            if (listed.identifier == number) {
                return listed;
            }
        }
        ADD_FAILURE() << "window not listed";
        return {};
    }
    void installGrammarly() {
        env.desktop().install({kGrammarly,
                               "Grammarly",
                               pf::URL::fileURL("/Applications/Grammarly.app", true),
                               pf::NSApplicationActivationPolicy::accessory,
                               {},
                               {}});
    }

    pf::testing::DesktopEnvironment env;
};

TEST_F(WindowInfoTest, FilterBoundaries) {
    struct Case {
        const char* what;
        std::function<void(WindowInfo&)> change;
        bool kept;
    };
    const std::vector<Case> cases{
        {"ordinary", [](WindowInfo&) {}, true},
        {"level -1", [](WindowInfo& w) { w.level = -1; }, false},
        {"level 23", [](WindowInfo& w) { w.level = 23; }, true},
        {"level 24", [](WindowInfo& w) { w.level = 24; }, false},
        {"alpha 0.2", [](WindowInfo& w) { w.alpha = 0.2; }, false},
        {"alpha 0.21", [](WindowInfo& w) { w.alpha = 0.21; }, true},
        {"full screen alpha 0.3",
         [](WindowInfo& w) {
             w.alpha = 0.3;
             w.fillsScreen = true;
         },
         false},
        {"full screen alpha 0.5",
         [](WindowInfo& w) {
             w.alpha = 0.5;
             w.fillsScreen = true;
         },
         true},
        {"full screen alpha 0.6",
         [](WindowInfo& w) {
             w.alpha = 0.6;
             w.fillsScreen = true;
         },
         true},
        {"50 wide",
         [](WindowInfo& w) {
             w.bounds.size = {50, 200};
         },
         false},
        {"50 high",
         [](WindowInfo& w) {
             w.bounds.size = {200, 50};
         },
         false},
        {"51 by 51",
         [](WindowInfo& w) {
             w.bounds.size = {51, 51};
         },
         true},
        {"owner agent", [](WindowInfo& w) { w.owner.name = "Finder AGENT"; }, false},
        {"bundle agent",
         [](WindowInfo& w) {
             w.owner.bundleIdentifier = BundleIdentifier{"com.example.HelperAgent"};
         },
         false},
        {"agent inside",
         [](WindowInfo& w) { w.owner.bundleIdentifier = BundleIdentifier{"com.agent.Tool"}; },
         true},
        {"excluded owner",
         [](WindowInfo& w) { w.owner.bundleIdentifier = BundleIdentifier{"com.apple.dock"}; },
         false},
        {"excluded setapp edition",
         [](WindowInfo& w) {
             w.owner.bundleIdentifier = BundleIdentifier{"com.pointum.hazeover-setapp"};
         },
         false},
        {"no bundle identifier",
         [](WindowInfo& w) {
             w.owner.name = "helper";
             w.owner.bundleIdentifier.reset();
         },
         true},
        {"no bundle identifier but agent",
         [](WindowInfo& w) {
             w.owner.name = "SomeAgent";
             w.owner.bundleIdentifier.reset();
         },
         false},
    };
    for (const auto& c : cases) {
        auto window = documentWindow();
        c.change(window);
        EXPECT_EQ(kept(window), c.kept) << c.what;
    }
}

TEST_F(WindowInfoTest, FrontmostOnlyOwnerCountsOnlyWhileFrontmost) {
    installGrammarly();
    const int pid = env.desktop().launch(kGrammarly, false)->processIdentifier();
    auto window = documentWindow();
    window.owner.bundleIdentifier = BundleIdentifier{kGrammarly};
    EXPECT_FALSE(kept(window));
    env.desktop().activate(pid);
    EXPECT_TRUE(kept(window));

    // Without a frontmost application nothing is held against it.
    pf::Desktop::setCurrent(pf::Desktop::makeEmpty());
    EXPECT_TRUE(kept(window));
    pf::Desktop::setCurrent(env.desktopPointer());
}

TEST_F(WindowInfoTest, ListReadsTheWindowServersDictionaries) {
    const auto windows = WindowInfo::list(pf::kCGWindowListOptionOnScreenOnly);
    ASSERT_EQ(windows.size(), 2u);
    const auto& browser = windows[0];
    const auto served = env.desktop().windowServer().window(browser.identifier);
    ASSERT_TRUE(served.has_value());
    EXPECT_EQ(browser.name, served->name);
    EXPECT_EQ(browser.owner.name, "Finder");
    EXPECT_EQ(browser.owner.app, running(pf::kFinderBundleIdentifier));
    EXPECT_EQ(browser.owner.processIdentifier, browser.owner.app->processIdentifier());
    EXPECT_EQ(browser.owner.bundleIdentifier, BundleIdentifier{pf::kFinderBundleIdentifier});
    EXPECT_EQ(browser.bounds, pf::CGRect(180, 120, 920, 560));
    EXPECT_EQ(browser.level, 0);
    EXPECT_EQ(browser.alpha, 1.0);
    EXPECT_EQ(browser.memoryUsage, Bytes{920 * 560 * 4});
    EXPECT_EQ(browser.sharingState, pf::kCGWindowSharingReadOnly);
    EXPECT_TRUE(browser.isOnScreen);
    EXPECT_FALSE(browser.fillsScreen);

    // The desktop icons cover the main screen, below every ordinary window.
    EXPECT_EQ(windows[1].level, pf::kCGDesktopIconWindowLevel);
    EXPECT_TRUE(windows[1].fillsScreen);
    EXPECT_EQ(WindowInfo::list(pf::kCGWindowListOptionOnScreenOnly |
                               pf::kCGWindowListExcludeDesktopElements)
                  .size(),
              1u);
    EXPECT_EQ(WindowInfo::userAppWindows(windows).size(), 1u);
}

TEST_F(WindowInfoTest, DictionaryOptionalKeysFallBackAndRequiredKeysAreNeeded) {
    pf::ServerWindow served;
    served.number = 9;
    served.ownerPID = 99999;
    served.bounds = pf::CGRect(0, 0, 300, 200);
    served.isOnScreen = false;
    auto dictionary = served.dictionary();
    dictionary.erase(pf::kCGWindowOwnerName);
    dictionary.erase(pf::kCGWindowMemoryUsage);
    dictionary[pf::kCGWindowName] = 3;

    auto window = WindowInfo::make(dictionary);
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(window->identifier, 9u);
    EXPECT_EQ(window->name, std::nullopt);
    EXPECT_EQ(window->owner.name, "<Unknown>");
    EXPECT_EQ(window->owner.bundleIdentifier, std::nullopt);
    EXPECT_EQ(window->owner.app, nullptr);
    EXPECT_EQ(window->memoryUsage, Bytes::zero());
    EXPECT_FALSE(window->isOnScreen);

    // Without the window server's owner name the application's display name stands.
    dictionary[pf::kCGWindowOwnerPID] = running(pf::kFinderBundleIdentifier)->processIdentifier();
    dictionary[pf::kCGWindowIsOnscreen] = "yes";
    window = WindowInfo::make(dictionary);
    EXPECT_EQ(window->owner.name, "Finder");
    EXPECT_FALSE(window->isOnScreen);
    dictionary[pf::kCGWindowIsOnscreen] = 2;
    EXPECT_TRUE(WindowInfo::make(dictionary)->isOnScreen);

    for (const char* key : {pf::kCGWindowNumber, pf::kCGWindowOwnerPID, pf::kCGWindowBounds,
                            pf::kCGWindowLayer, pf::kCGWindowAlpha}) {
        auto lacking = dictionary;
        lacking.erase(key);
        EXPECT_EQ(WindowInfo::make(lacking).has_value(), false) << key;
    }
    auto wideProcess = dictionary;
    wideProcess[pf::kCGWindowOwnerPID] = std::int64_t{1} << 40;
    EXPECT_FALSE(WindowInfo::make(wideProcess).has_value());
}

TEST_F(WindowInfoTest, ScreensAreMatchedInWindowServerCoordinates) {
    const pf::CGRect primary(0, 0, 1920, 1080);
    struct Case {
        const char* where;
        pf::CGRect secondaryFrame;  // origin bottom left
        pf::CGRect secondaryBounds; // origin top left
    };
    for (const auto& c :
         {Case{"above", {0, 1080, 1440, 900}, {0, -900, 1440, 900}},
          Case{"below", {0, -900, 1440, 900}, {0, 1080, 1440, 900}},
          Case{"right, bottoms aligned", {1920, 0, 1280, 1024}, {1920, 56, 1280, 1024}}}) {
        pf::NSScreen::setScreens({screen(primary), screen(c.secondaryFrame)});
        EXPECT_TRUE(overlayWindow(primary, 0.3).fillsScreen) << c.where;
        const auto dimming = overlayWindow(c.secondaryBounds, 0.3);
        EXPECT_TRUE(dimming.fillsScreen) << c.where;
        EXPECT_TRUE(WindowInfo::userAppWindows({dimming}).empty()) << c.where;
        if (c.secondaryFrame.origin.y != 0) {
            // The screen's own frame, unflipped, is somewhere else on the desktop.
            const auto elsewhere = overlayWindow(c.secondaryFrame, 0.3);
            EXPECT_FALSE(elsewhere.fillsScreen) << c.where;
            EXPECT_EQ(WindowInfo::userAppWindows({elsewhere}).size(), 1u) << c.where;
        }
    }
    pf::NSScreen::setScreens({});
    EXPECT_FALSE(overlayWindow(primary, 0.3).fillsScreen);
}

TEST_F(WindowInfoTest, UserAppOfARunningApplication) {
    const auto finder = running(pf::kFinderBundleIdentifier);
    const auto textEdit = env.desktop().launch(pf::kTextEditBundleIdentifier, false);
    const auto overlay = env.desktop().launch(pf::kOverlayBundleIdentifier, false);
    const WindowInfo::UserApp finderApp{*finder->bundleURL(),
                                        BundleIdentifier{pf::kFinderBundleIdentifier}};
    const WindowInfo::UserApp textEditApp{*textEdit->bundleURL(),
                                          BundleIdentifier{pf::kTextEditBundleIdentifier}};

    EXPECT_EQ(WindowInfo::UserApp::make(nullptr, false, true), std::nullopt);
    EXPECT_EQ(WindowInfo::UserApp::make(finder, false, true), finderApp);
    // A regular application behind the frontmost one counts only when asked not to care.
    EXPECT_EQ(WindowInfo::UserApp::make(textEdit, false, true), std::nullopt);
    EXPECT_EQ(WindowInfo::UserApp::make(textEdit, true, true), textEditApp);
    EXPECT_EQ(WindowInfo::UserApp::make(textEdit, false, false), textEditApp);
    // Accessory applications (overlays, panels) count in front of any application.
    ASSERT_TRUE(WindowInfo::UserApp::make(overlay, false, true).has_value());
    EXPECT_EQ(WindowInfo::UserApp::make(overlay, false, true)->bundleIdentifier,
              BundleIdentifier{pf::kOverlayBundleIdentifier});

    std::unordered_set<WindowInfo::UserApp> set{finderApp, finderApp, textEditApp};
    EXPECT_EQ(set.size(), 2u);
}

TEST_F(WindowInfoTest, ThisProgramGivesAUserAppOnlyWhileActive) {
    const auto own = env.desktop().ownApplication();
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(WindowInfo::UserApp::make(own, true, false), std::nullopt);
    env.desktop().activate(own->processIdentifier());
    ASSERT_TRUE(WindowInfo::UserApp::make(own, true, false).has_value());
    EXPECT_EQ(WindowInfo::UserApp::make(own, true, false)->url, *own->bundleURL());
}

TEST_F(WindowInfoTest, FrontmostApplicationIsWhereTheWorkspaceFindsItElseWhereItRuns) {
    const auto textEdit = env.desktop().launch(pf::kTextEditBundleIdentifier, true);
    auto moved = *env.desktop().installedApplication(pf::kTextEditBundleIdentifier);
    moved.bundleURL = pf::URL::fileURL("/Applications/Utilities/TextEdit.app", true);
    env.desktop().install(moved);
    EXPECT_EQ(WindowInfo::UserApp::make(textEdit, false, true)->url, moved.bundleURL);

    // Deleted while it runs: the running application's own bundle stands.
    env.desktop().uninstall(pf::kTextEditBundleIdentifier);
    env.advance(std::chrono::seconds(2));
    EXPECT_EQ(WindowInfo::UserApp::make(textEdit, false, true),
              (WindowInfo::UserApp{*textEdit->bundleURL(),
                                   BundleIdentifier{pf::kTextEditBundleIdentifier}}));
}

TEST(MakeStringSetTest, KeepsEachTextOnce) {
    EXPECT_EQ(makeStringSet({"a", "b", "a"}), (std::unordered_set<std::string>{"a", "b"}));
}

} // namespace
} // namespace zestrel
