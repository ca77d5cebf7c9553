#include "platform/appkit/TextOutline.h"

#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/base/DispatchQueue.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

TEST(TextOutlineTest, MenusRenderAsAnIndentedOutlineAndClickByTitle) {
    testing::TestEnvironment env;
    std::vector<std::string> chosen;
    auto menu = std::make_shared<NSMenu>("Zestrel");
    menu->addItem(
        "About Zestrel", [&](NSMenuItem& i) { chosen.push_back(i.title()); }, "");
    menu->addItem(NSMenuItem::separator());
    auto settings = menu->addItem(
        "Settings…", [&](NSMenuItem& i) { chosen.push_back(i.title()); }, ",");
    settings->setState(NSControlStateValue::on);
    auto hide = menu->addItem(
        "Hide Others", [&](NSMenuItem& i) { chosen.push_back(i.title()); }, "h");
    hide->setKeyEquivalentModifierMask(NSEvent::ModifierFlags::command |
                                       NSEvent::ModifierFlags::option);
    hide->setEnabled(false);

    const OutlineNode node = outline(*menu);
    EXPECT_EQ(render(node), "menu \"Zestrel\"\n"
                            "  item \"About Zestrel\"\n"
                            "  separator\n"
                            "  item \"Settings…\" [⌘,, on]\n"
                            "  item \"Hide Others\" [⌥⌘h, disabled]\n");
    EXPECT_TRUE(click(node, "Settings…"));
    EXPECT_FALSE(click(node, "Hide Others"));
    EXPECT_FALSE(click(node, "Nothing"));
    EXPECT_THAT(chosen, ElementsAre("Settings…"));
}

TEST(TextOutlineTest, WindowsShowTheirViewsAndButtonsCanBeClicked) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    window->setTitle("Settings");
    auto content = std::make_shared<NSView>();
    content->addSubview(NSTextField::labelWithString("Launch at login"));
    auto box = NSButton::checkbox("Enabled");
    content->addSubview(box);
    window->setContentView(content);
    window->makeKeyAndOrderFront();

    const OutlineNode screen = outlineOfScreen();
    EXPECT_EQ(render(screen), "screen\n"
                              "  window \"Settings\" [key]\n"
                              "    view\n"
                              "      text \"Launch at login\"\n"
                              "      checkbox \"Enabled\" [off]\n");
    EXPECT_TRUE(click(screen, "Enabled"));
    EXPECT_EQ(box->state(), NSControlStateValue::on);
    ASSERT_NE(findNode(screen, "Launch at login"), nullptr);
    EXPECT_EQ(findNode(screen, "Launch at login")->kind, "text");
}

TEST(TextOutlineTest, AShowingAlertCanBeReadAndAnsweredFromTheOutline) {
    testing::TestEnvironment env;
    auto alert = NSAlert::make();
    alert->setMessageText("Item hidden");
    alert->setInformativeText("Quit some apps.");
    alert->addButton("OK");
    alert->addButton("Open Settings");
    alert->setShowsSuppressionButton(true);
    std::string seen;
    DispatchQueue::main().asyncAfter(1s, [&] {
        const OutlineNode screen = outlineOfScreen();
        seen = render(screen);
        click(screen, "Do not show this message again");
        click(screen, "Open Settings");
    });
    EXPECT_EQ(alert->runModal(), NSAlertSecondButtonReturn);
    EXPECT_EQ(seen, "screen\n"
                    "  alert \"Item hidden\" [warning]\n"
                    "    text \"Quit some apps.\"\n"
                    "    checkbox \"Do not show this message again\" [off]\n"
                    "    button \"OK\" [default]\n"
                    "    button \"Open Settings\"\n");
    EXPECT_EQ(NSAlert::shownAlerts().back().suppressed, true);
}

} // namespace
} // namespace zestrel::platform
