#include "app/DebugScreens.h"

#include "app/DebugWindowController.h"
#include "foundation/Logger.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/TextOutline.h"
#include "platform/data/UserDefaults.h"
#include "platform/data/UserDirectories.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/desktop/NSScreen.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/DesktopEnvironment.h"
#include "ui/Pasteboard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace zestrel {
namespace {

namespace pf = platform;
namespace ui = platform::swiftui;
namespace fs = std::filesystem;
using Page = IOSDebug_MainView::Page;

class DebugScreensTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;
    std::shared_ptr<pf::UserDefaults> defaults = pf::UserDefaults::standard();

    static std::optional<std::string> pasteboardText() {
        return pf::NSPasteboard::general()->stringForType(pf::NSPasteboardType::string);
    }
    // The command of the page's More menu.
    static std::shared_ptr<ui::Node> moreCommand(const ui::ViewHost& host,
                                                 const std::string& title) {
        const auto toolbar = host.nodes().empty() ? nullptr : findKind(host.nodes(), "Toolbar");
        return toolbar ? ui::findNode(toolbar->children, title) : nullptr;
    }
    static std::shared_ptr<ui::Node> findKind(const ui::Nodes& nodes, const std::string& kind) {
        for (const auto& node : nodes) {
            if (node->kind == kind) {
                return node;
            }
            if (auto found = findKind(node->children, kind)) {
                return found;
            }
        }
        return nullptr;
    }
    static std::vector<std::string> sidebar(const ui::ViewHost& host) {
        std::vector<std::string> rows;
        const auto list = findKind(findKind(host.nodes(), "Sidebar")->children, "List");
        for (const auto& row : list->children) {
            rows.push_back(row->label + (row->detail == "selected" ? " *" : ""));
        }
        return rows;
    }
};

TEST_F(DebugScreensTest, TheSidebarListsTheFivePagesInOrderWithTheDashboardFirst) {
    std::vector<std::string> titles;
    for (const Page page : IOSDebug_MainView::allCases) {
        titles.push_back(IOSDebug_MainView::title(page));
        EXPECT_EQ(IOSDebug_MainView::page(IOSDebug_MainView::rawValue(page)), page);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Dashboard", "User Defaults", "Logs", "Files",
                                                "Settings"}));
    EXPECT_EQ(IOSDebug_MainView::page("UserDefaults"), std::nullopt);
    EXPECT_EQ(IOSDebug_MainView::page(""), std::nullopt);

    // No page chosen: the dashboard shows, and no row is marked.
    auto host = ui::ViewHost::make(IOSDebug_MainView{std::nullopt});
    EXPECT_EQ(sidebar(*host), (std::vector<std::string>{"Dashboard", "User Defaults", "Logs",
                                                        "Files", "Settings"}));
    EXPECT_NE(host->find("Send Debug Info to Developer"), nullptr);
    ASSERT_TRUE(host->click("Logs"));
    host->update();
    EXPECT_EQ(sidebar(*host)[2], "Logs *");
    EXPECT_EQ(host->find("Send Debug Info to Developer"), nullptr);
    EXPECT_NE(host->outline().find("navigationTitle(\"Logs\")"), std::string::npos);
}

TEST_F(DebugScreensTest, OnlyTextThatReadsLikeJSONIsPrettyPrinted) {
    const auto text = [](const char* stored) {
        return IOSDebug_UserDefaultsView::valueText(pf::Value(stored));
    };
    EXPECT_EQ(text(R"({"b":1,"a":[true]})"), "{\n  \"a\" : [\n    true\n  ],\n  \"b\" : 1\n}");
    EXPECT_EQ(text("a:b"), "a:b");
    EXPECT_EQ(text("[1, 2]"), "[1, 2]");
    EXPECT_EQ(text(R"({"a": 1)"), R"({"a": 1)");
    // Quote, colon and brackets, but no JSON: shown as it is.
    EXPECT_EQ(text(R"(["a": 1])"), R"(["a": 1])");
    EXPECT_EQ(IOSDebug_UserDefaultsView::valueText(pf::Value(std::int64_t{7})), "7");
}

TEST_F(DebugScreensTest, TheUserDefaultsPageShowsTheAppsOwnSettingsAndFollowsChanges) {
    auto host = ui::ViewHost::make(IOSDebug_UserDefaultsView{});
    // Nothing stored: nothing to copy, share or clear.
    ASSERT_NE(moreCommand(*host, "Copy"), nullptr);
    EXPECT_TRUE(moreCommand(*host, "Copy")->isDisabled);
    EXPECT_TRUE(moreCommand(*host, "Clear")->isDisabled);

    defaults->set(pf::Value(true), "hideMenuBarIcon");
    defaults->set(pf::Value(std::int64_t{3}), "NSWindowFrame");
    defaults->set(pf::Value(std::int64_t{4}), "SessionIdHistory");
    env.runUntilIdle();
    const std::string shown = host->outline();
    EXPECT_NE(shown.find("section \"Standard\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("text \"hideMenuBarIcon\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("text \"true\""), std::string::npos) << shown;
    EXPECT_EQ(shown.find("NSWindowFrame"), std::string::npos);
    EXPECT_EQ(shown.find("SessionIdHistory"), std::string::npos);
    EXPECT_FALSE(moreCommand(*host, "Copy")->isDisabled);

    // A row's delete removes that key from its database.
    const auto list = findKind(findKind(host->nodes(), "Section")->children, "List");
    ASSERT_EQ(list->children.size(), 1u);
    const auto remove = list->children[0]->children.back();
    ASSERT_EQ(remove->label, "Delete");
    remove->action();
    EXPECT_TRUE(defaults->object("hideMenuBarIcon").isAbsent());
    EXPECT_FALSE(defaults->object("NSWindowFrame").isAbsent());
}

TEST_F(DebugScreensTest, CopyPutsEveryEntryOnALineAndClearEmptiesTheDatabases) {
    defaults->set(pf::Value(std::int64_t{1}), "a");
    defaults->set(pf::Value(std::int64_t{2}), "b");
    auto host = ui::ViewHost::make(IOSDebug_UserDefaultsView{});
    moreCommand(*host, "Copy")->action();
    EXPECT_EQ(pasteboardText(), "a: 1\nb: 2");
    EXPECT_EQ(pf::NSPasteboard::general()->stringForType(pasteboardTypeSource()),
              "com.quorvik.Zestrel");
    moreCommand(*host, "Clear")->action();
    EXPECT_TRUE(defaults->object("a").isAbsent());
    EXPECT_TRUE(defaults->object("b").isAbsent());
    env.runUntilIdle();
    EXPECT_TRUE(moreCommand(*host, "Copy")->isDisabled);
}

TEST_F(DebugScreensTest, TheLogPageReadsTheBufferEverySecondAndOnlyClearEmptiesIt) {
    logBuffer().clear();
    auto host = ui::ViewHost::make(IOSDebug_LogView{});
    EXPECT_TRUE(moreCommand(*host, "Copy")->isDisabled);
    logMessage({pf::Value("first line")});
    logMessage({pf::Value("second line")});
    EXPECT_EQ(host->outline().find("first line"), std::string::npos);
    env.advance(std::chrono::seconds(1));
    const std::string shown = host->outline();
    EXPECT_NE(shown.find("first line"), std::string::npos) << shown;
    EXPECT_NE(shown.find("second line"), std::string::npos);
    // Read, not taken: the report still has both.
    EXPECT_EQ(logBuffer().entries().size(), 2u);

    moreCommand(*host, "Copy")->action();
    const auto copied = pasteboardText().value_or("");
    EXPECT_NE(copied.find("first line"), std::string::npos);
    EXPECT_NE(copied.find("\n"), std::string::npos);
    EXPECT_NE(copied.find("second line"), copied.find("first line"));
    // Every entry as the buffer holds it, one line break between two, none after the last.
    const auto entries = logBuffer().entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(copied, entries[0] + "\n" + entries[1]);
    moreCommand(*host, "Clear")->action();
    EXPECT_TRUE(logBuffer().entries().empty());
    env.advance(std::chrono::seconds(1));
    EXPECT_EQ(host->outline().find("first line"), std::string::npos);
    EXPECT_TRUE(moreCommand(*host, "Clear")->isDisabled);
}

TEST_F(DebugScreensTest, TheAppKitSwitchesStoreTheirKeyAndRelaunch) {
    auto host = ui::ViewHost::make(IOSDebug_SettingsView{});
    // Made with the page: false is their registered default.
    EXPECT_EQ(defaults->object("NSTraceEvents"), pf::Value(false));
    ASSERT_TRUE(host->toggle("Log AppKit Events"));
    env.runUntilIdle();
    EXPECT_EQ(defaults->object("NSTraceEvents"), pf::Value(true));
    EXPECT_TRUE(env.desktop().relaunchRequested());
}

TEST_F(DebugScreensTest, TheFilesPageListsTheAppsOwnFoldersInOrder) {
    const auto roots = [] {
        std::vector<fs::path> paths;
        for (const auto& url : IOSDebug_FilesView::rootItems()) {
            paths.emplace_back(url.path());
        }
        return paths;
    };
    const std::string id = "com.quorvik.Zestrel";
    EXPECT_EQ(roots(), (std::vector<fs::path>{pf::xdgDataHome() / id, env.home() / "Documents" / id,
                                              pf::xdgCacheHome() / id}));

    // In a sandbox: the container's own places, from its top down to its Library.
    env.desktop().quitOwnApplication();
    setenv("APP_SANDBOX_CONTAINER_ID", id.c_str(), 1);
    env.desktop().launchOwnApplication();
    const fs::path container = env.home() / "Library" / "Containers" / id / "Data";
    EXPECT_EQ(roots(),
              (std::vector<fs::path>{container, container / "Documents", container / "tmp",
                                     container / "Library" / "Application Support",
                                     container / "Library" / "Caches", container / "Library"}));
}

TEST_F(DebugScreensTest, EachAppKitSwitchStoresItsOwnKeyAndAnyChangeOfItRelaunches) {
    const std::vector<std::pair<std::string, std::string>> switches{
        {"Draw Outlines Around Views", "NSShowAllViews"},
        {"Visualize Mutually Exclusive Constraints",
         "NSConstraintBasedLayoutVisualizeMutuallyExclusiveConstraints"},
        {"Log AppKit Events", "NSTraceEvents"},
        {"Show Internal AppKit Debug Menu", "_NS_4445425547"},
    };
    for (const auto& [label, key] : switches) {
        SCOPED_TRACE(label);
        auto page = ui::ViewHost::make(IOSDebug_SettingsView{});
        ASSERT_TRUE(page->toggle(label));
        env.runUntilIdle();
        for (const auto& [otherLabel, otherKey] : switches) {
            EXPECT_EQ(defaults->boolValue(otherKey), otherKey == key) << otherKey;
        }
        EXPECT_TRUE(env.desktop().relaunchRequested());
        page.reset();
        env.desktop().relaunchOwnApplication();
        defaults = pf::UserDefaults::standard();

        // Written from elsewhere while the page shows: the app relaunches all the same.
        page = ui::ViewHost::make(IOSDebug_SettingsView{});
        defaults->set(pf::Value(false), key);
        env.runUntilIdle();
        EXPECT_TRUE(env.desktop().relaunchRequested());
        page.reset();
        env.desktop().relaunchOwnApplication();
        defaults = pf::UserDefaults::standard();
    }
}

TEST_F(DebugScreensTest, DeleteAppDataRemovesTheSettingsAndRelaunches) {
    defaults->set(pf::Value(true), "hideMenuBarIcon");
    defaults->set(pf::Value(std::int64_t{3}), "QV_launchCount");
    auto page = ui::ViewHost::make(IOSDebug_SettingsView{});
    EXPECT_NE(page->outline().find("section \"DANGER\""), std::string::npos);
    ASSERT_TRUE(page->click("Delete App Data"));
    env.runUntilIdle();
    EXPECT_EQ(defaults->persistentDomain(defaults->domainName()),
              (pf::Value::Dictionary{{"QVApp_wasRelaunched", pf::Value(true)}}));
    EXPECT_TRUE(env.desktop().relaunchRequested());
    EXPECT_TRUE(pf::NSApp().isTerminated());
}

TEST_F(DebugScreensTest, HighlightDrawnRectanglesFlipsWhatIsStoredWhateverItShowed) {
    defaults->set(pf::Value("200"), "NSShowAllDrawing");
    defaults->set(pf::Value("red"), "NSShowAllDrawingColor");
    auto host = ui::ViewHost::make(DebugAddHighlightDrawnRectanglesSetting{});
    EXPECT_EQ(host->outline(), "toggle \"Highlight Drawn Rectangles\" [on]\n");
    ASSERT_TRUE(host->toggle("Highlight Drawn Rectangles"));
    EXPECT_EQ(defaults->object("NSShowAllDrawing"), pf::Value("no"));
    EXPECT_EQ(defaults->object("NSShowAllDrawingColor"), pf::Value("red"));
    // Written as the number 200, it is on too; turning it on asks for the cycling colour.
    defaults->set(pf::Value(std::int64_t{200}), "NSShowAllDrawing");
    EXPECT_TRUE(DebugAddHighlightDrawnRectanglesSetting::isOn());
    defaults->set(pf::Value("no"), "NSShowAllDrawing");
    DebugAddHighlightDrawnRectanglesSetting::flip();
    EXPECT_EQ(defaults->object("NSShowAllDrawing"), pf::Value("200"));
    EXPECT_EQ(defaults->object("NSShowAllDrawingColor"), pf::Value("cycle"));
    env.runUntilIdle();
    EXPECT_TRUE(env.desktop().relaunchRequested());
}

TEST_F(DebugScreensTest, TheWindowSitsCentredAcrossAndAboveTheMiddle) {
    const pf::CGPoint origin = debugWindowOrigin({800, 400}, {1440, 875});
    EXPECT_EQ(origin.x, 320);
    EXPECT_EQ(origin.y, 342.5);

    DebugWindowController::show();
    DebugWindowController::show();
    env.runUntilIdle();
    const auto window = pf::NSApp().keyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), "Dashboard");
    EXPECT_EQ(window->level(), pf::NSWindow::Level::floating);
    EXPECT_EQ(SingletonWindowController::liveCount(), 1u);
    const pf::CGSize size = window->frame().size;
    EXPECT_GE(window->contentRectForFrameRect(window->frame()).size.width, 800);
    const pf::CGSize visible = pf::NSScreen::main()->visibleFrame().size;
    EXPECT_EQ(window->frame().origin, debugWindowOrigin(size, visible));

    // Closed, it goes; the next one starts on the dashboard again.
    ASSERT_TRUE(pf::click(pf::outline(*window), "Files"));
    env.runUntilIdle();
    EXPECT_EQ(window->title(), "Files");
    window->close();
    EXPECT_EQ(SingletonWindowController::liveCount(), 0u);
    DebugWindowController::show();
    env.runUntilIdle();
    EXPECT_EQ(pf::NSApp().keyWindow()->title(), "Dashboard");
}

} // namespace
} // namespace zestrel
