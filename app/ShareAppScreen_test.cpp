#include "app/ShareAppScreen.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/TextOutline.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;
namespace ui = platform::swiftui;

class ShareAppScreenTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;

    static std::vector<std::shared_ptr<pf::NSWindow>> shareWindows() {
        std::vector<std::shared_ptr<pf::NSWindow>> found;
        for (const auto& window : pf::NSApp().windows()) {
            if (window->isVisible() && window->title() == "Share Zestrel") {
                found.push_back(window);
            }
        }
        return found;
    }
    // The developer debug window, titled after its first page, on screen.
    static bool showsDebugWindow() {
        const auto windows = pf::NSApp().windows();
        return std::any_of(windows.begin(), windows.end(), [](const auto& window) {
            return window->isVisible() && window->title() == "Dashboard";
        });
    }
};

TEST_F(ShareAppScreenTest, EachCommandOpensAFloatingWindowWithTheLinkAndItsCode) {
    // No store listing in this build: the link is the product page.
    EXPECT_EQ(ShareAppScreen::shareURL().absoluteString(), "https://zestrel.app");
    ShareAppScreen::showWindow();
    ShareAppScreen::showWindow();
    env.runUntilIdle();
    const auto windows = shareWindows();
    ASSERT_EQ(windows.size(), 2u);
    const auto& window = windows.back();
    EXPECT_EQ(window->level().rawValue, pf::NSWindow::Level::floating.rawValue);
    EXPECT_FALSE(window->styleMask().contains(pf::NSWindow::StyleMask::miniaturizable));
    EXPECT_FALSE(window->styleMask().contains(pf::NSWindow::StyleMask::resizable));
    EXPECT_EQ(window->contentRectForFrameRect(window->frame()).size.width, 340);
    const std::string shown = pf::render(pf::outline(*window));
    for (const char* part : {"button \"Copy Link\"", "share link \"Share Link\"",
                             "button \"Open Link\"", "image \"https://zestrel.app\""}) {
        EXPECT_NE(shown.find(part), std::string::npos) << part << "\n" << shown;
    }
    ASSERT_TRUE(pf::click(pf::outline(*window), "Copy Link"));
    EXPECT_EQ(pf::NSPasteboard::general()->stringForType(pf::NSPasteboardType::string),
              "https://zestrel.app");
}

TEST_F(ShareAppScreenTest, OnlyATripleClickOnTheCodeOpensTheDebugWindow) {
    auto host = ui::ViewHost::make(ShareAppScreen{});
    EXPECT_FALSE(host->tap("https://zestrel.app", 1));
    EXPECT_FALSE(host->tap("https://zestrel.app", 2));
    env.runUntilIdle();
    EXPECT_FALSE(showsDebugWindow());
    EXPECT_TRUE(host->tap("https://zestrel.app", 3));
    env.runUntilIdle();
    EXPECT_TRUE(showsDebugWindow());
}

TEST_F(ShareAppScreenTest, ThePreviewShowsTheApplicationsOwnIcon) {
    const auto icon = applicationIconImage();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, pf::NSApp().applicationIconImage());
    EXPECT_EQ(icon->name(), "NSApplicationIcon");
    EXPECT_NE(icon->cgImage(), nullptr);
    // One the application was given instead is the one shown.
    const auto custom = std::make_shared<pf::NSImage>("Custom", pf::CGSize{128, 128});
    pf::NSApp().setApplicationIconImage(custom);
    EXPECT_EQ(applicationIconImage(), custom);
}

} // namespace
} // namespace zestrel
