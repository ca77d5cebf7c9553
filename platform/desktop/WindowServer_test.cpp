#include "platform/desktop/WindowServer.h"

#include "platform/desktop/Desktop.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

using testing::DesktopEnvironment;

std::vector<std::string> owners(const Value& list) {
    std::vector<std::string> names;
    for (const auto& entry : *list.asArray()) {
        const auto& window = *entry.asDictionary();
        names.push_back(*window.at(kCGWindowOwnerName).asString() + "@" +
                        std::to_string(*window.at(kCGWindowLayer).asInt64()));
    }
    return names;
}

TEST(WindowServerTest, TheListRunsFrontToBackByLayerThenByActivation) {
    DesktopEnvironment env;
    env.desktop().launch(kTextEditBundleIdentifier, true);
    env.desktop().launch(kOverlayBundleIdentifier, false);
    const std::string desktopIcons = "Finder@" + std::to_string(kCGDesktopIconWindowLevel);

    EXPECT_EQ(owners(CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly |
                                                    kCGWindowListExcludeDesktopElements,
                                                kCGNullWindowID)),
              (std::vector<std::string>{"Overlay@25", "TextEdit@0", "Finder@0"}));
    EXPECT_EQ(owners(CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID)),
              (std::vector<std::string>{"Overlay@25", "TextEdit@0", "Finder@0", desktopIcons}));

    env.desktop().activate(
        env.desktop().runningApplications(kFinderBundleIdentifier)[0]->processIdentifier());
    EXPECT_EQ(
        owners(CGWindowListCopyWindowInfo(kCGWindowListExcludeDesktopElements, kCGNullWindowID)),
        (std::vector<std::string>{"Overlay@25", "Finder@0", "TextEdit@0"}));
}

TEST(WindowServerTest, AWindowOffScreenIsListedOnlyWithoutTheOnScreenOption) {
    DesktopEnvironment env;
    auto finder = env.finder();
    env.desktop().windowServer().updateWindow(finder->browserWindow(),
                                              [](ServerWindow& w) { w.isOnScreen = false; });
    auto all = CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID);
    ASSERT_EQ(all.asArray()->size(), 2u);
    EXPECT_EQ(all.asArray()->front().asDictionary()->count(kCGWindowIsOnscreen), 0u);
    EXPECT_EQ(CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly |
                                             kCGWindowListExcludeDesktopElements,
                                         kCGNullWindowID)
                  .asArray()
                  ->size(),
              0u);
}

TEST(WindowServerTest, AWindowDictionaryHoldsThePlatformsKeys) {
    DesktopEnvironment env;
    auto finder = env.finder();
    auto list = CGWindowListCopyWindowInfo(
        kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements, kCGNullWindowID);
    ASSERT_EQ(list.asArray()->size(), 1u);
    const auto& window = *list.asArray()->front().asDictionary();
    EXPECT_EQ(window.at(kCGWindowNumber), Value(finder->browserWindow()));
    EXPECT_EQ(window.at(kCGWindowName), Value(env.home().filename().string()));
    EXPECT_EQ(window.at(kCGWindowOwnerName), Value("Finder"));
    EXPECT_EQ(window.at(kCGWindowOwnerPID), Value(finder->processIdentifier()));
    EXPECT_EQ(window.at(kCGWindowBounds), Value(Value::Dictionary{{"X", Value(180.0)},
                                                                  {"Y", Value(120.0)},
                                                                  {"Width", Value(920.0)},
                                                                  {"Height", Value(560.0)}}));
    EXPECT_EQ(window.at(kCGWindowLayer), Value(0));
    EXPECT_EQ(window.at(kCGWindowAlpha), Value(1.0));
    EXPECT_EQ(window.at(kCGWindowMemoryUsage), Value(920 * 560 * 4));
    EXPECT_EQ(window.at(kCGWindowSharingState), Value(1));
    EXPECT_EQ(window.at(kCGWindowIsOnscreen).asInt64(), 1);
}

TEST(WindowServerTest, OrderingKeepsLayersApartAndAnOwnersWindowsTogether) {
    WindowServer server;
    auto windowOf = [](int pid, CGWindowLevel layer) {
        ServerWindow window;
        window.ownerPID = pid;
        window.layer = layer;
        return window;
    };
    auto a1 = server.addWindow(windowOf(1, 0));
    auto a2 = server.addWindow(windowOf(1, 0));
    auto b = server.addWindow(windowOf(2, 0));
    auto floating = server.addWindow(windowOf(3, kCGFloatingWindowLevel));
    auto numbers = [&] {
        std::vector<CGWindowID> list;
        for (const auto& w : server.windows()) {
            list.push_back(w.number);
        }
        return list;
    };
    EXPECT_EQ(numbers(), (std::vector<CGWindowID>{floating, b, a2, a1}));
    server.orderFrontWindows(1);
    EXPECT_EQ(numbers(), (std::vector<CGWindowID>{floating, a2, a1, b}));
    server.orderFront(b);
    EXPECT_EQ(numbers(), (std::vector<CGWindowID>{floating, b, a2, a1}));
    server.updateWindow(a1, [](ServerWindow& w) { w.layer = 30; });
    EXPECT_EQ(numbers(), (std::vector<CGWindowID>{a1, floating, b, a2}));
    server.removeWindows(1);
    EXPECT_EQ(numbers(), (std::vector<CGWindowID>{floating, b}));
}

} // namespace
} // namespace zestrel::platform
