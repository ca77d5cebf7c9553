#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSViewController.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/NSWindowController.h"
#include "platform/appkit/TextOutline.h"
#include "platform/desktop/InputSource.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

constexpr std::uint16_t kVKEscape = 53;
constexpr std::uint16_t kVKComma = 43;
constexpr std::uint16_t kVKW = 13;

// A view that takes "copy:" and records the keys it is sent.
class CopyingView final : public NSView {
public:
    bool acceptsFirstResponder() const override { return true; }
    bool respondsToAction(std::string_view action) const override { return action == "copy:"; }
    void performAction(std::string_view, const std::shared_ptr<NSObject>&) override { ++copies; }
    int copies = 0;
};

class NSWindowActionsTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;

    static std::shared_ptr<NSWindow> window(std::string title,
                                            NSWindow::StyleMask extra = NSWindow::StyleMask{}) {
        auto made = std::make_shared<NSWindow>(CGRect(100, 100, 300, 200),
                                               NSWindow::StyleMask::titled |
                                                   NSWindow::StyleMask::closable | extra);
        made->setTitle(std::move(title));
        return made;
    }
    static void press(std::uint16_t keyCode, CGEventFlags flags = {}) {
        NSApp().sendEvent(std::make_shared<NSEvent>(CGEvent(CGEventType::keyDown, keyCode, flags),
                                                    InputSources::current()->currentLayout()));
    }
};

TEST_F(NSWindowActionsTest, EscapeClosesAPanelButNotAPlainWindow) {
    auto plain = window("Plain");
    plain->makeKeyAndOrderFront();
    press(kVKEscape);
    EXPECT_TRUE(plain->isVisible());

    auto panel = std::make_shared<NSPanel>(
        CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    panel->makeKeyAndOrderFront();
    ASSERT_TRUE(panel->isKeyWindow());
    press(kVKEscape);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(NSWindowActionsTest, ButtonsAnswerTheirKeysBeforeThePanelCancels) {
    std::vector<std::string> clicked;
    auto panel = std::make_shared<NSPanel>(
        CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    auto content = std::make_shared<NSView>();
    auto ok = NSButton::withTitle("OK", [&](NSControl&) { clicked.push_back("OK"); });
    ok->setKeyEquivalent("\r");
    auto cancel = NSButton::withTitle("Cancel", [&](NSControl&) { clicked.push_back("Cancel"); });
    cancel->setKeyEquivalent("\x1b");
    content->addSubview(ok);
    content->addSubview(cancel);
    panel->setContentView(content);
    panel->makeKeyAndOrderFront();

    press(36); // Return
    press(kVKEscape);
    EXPECT_EQ(clicked, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_TRUE(panel->isVisible()); // the button answered Escape, not the panel

    cancel->setEnabled(false);
    press(kVKEscape);
    EXPECT_EQ(clicked.size(), 2u);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(NSWindowActionsTest, EscapeLeavesAnAlertWithoutACancelButtonOpen) {
    auto alert = std::make_shared<NSAlert>();
    alert->setMessageText("Only OK");
    const auto panel = alert->window();
    panel->makeKeyAndOrderFront();
    press(kVKEscape);
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(NSWindowActionsTest, MainMenuKeyEquivalentsComeBeforeTheKeyWindowAndMatchExactly) {
    std::vector<std::string> chosen;
    auto appMenu = std::make_shared<NSMenu>("App");
    appMenu->addItem(
        "Settings…", [&](NSMenuItem&) { chosen.push_back("settings"); }, ",");
    auto mainMenu = std::make_shared<NSMenu>("Main");
    auto top = std::make_shared<NSMenuItem>("App");
    top->setSubmenu(appMenu);
    mainMenu->addItem(top);
    NSApp().setMainMenu(mainMenu);

    press(kVKComma, kCGEventFlagMaskCommand | kCGEventFlagMaskAlphaShift); // Caps Lock ignored
    press(kVKComma, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);      // another shortcut
    press(kVKComma);
    env.runUntilIdle();
    EXPECT_EQ(chosen, std::vector<std::string>{"settings"});
}

TEST_F(NSWindowActionsTest, ActionsFollowTheChainFromTheFirstResponderToTheApplication) {
    auto key = window("Key", NSWindow::StyleMask::miniaturizable);
    auto view = std::make_shared<CopyingView>();
    auto content = std::make_shared<NSView>();
    content->addSubview(view);
    key->setContentView(content);
    key->makeKeyAndOrderFront();
    ASSERT_TRUE(key->makeFirstResponder(view));

    EXPECT_TRUE(NSApp().sendAction("copy:", nullptr, nullptr));
    EXPECT_EQ(view->copies, 1);
    EXPECT_FALSE(NSApp().sendAction("paste:", nullptr, nullptr));

    // The view is not asked when the target is named.
    EXPECT_FALSE(NSApp().sendAction("copy:", key, nullptr));
    EXPECT_EQ(view->copies, 1);

    EXPECT_TRUE(NSApp().sendAction("performMiniaturize:", nullptr, nullptr));
    EXPECT_TRUE(key->isMiniaturized());
    EXPECT_FALSE(key->isVisible());
    key->deminiaturize();
    EXPECT_TRUE(key->isKeyWindow());

    EXPECT_TRUE(NSApp().sendAction("performClose:", nullptr, nullptr));
    EXPECT_FALSE(key->isVisible());
}

TEST_F(NSWindowActionsTest, MinimizingNeedsTheMinimizeButton) {
    auto fixed = window("Fixed");
    fixed->makeKeyAndOrderFront();
    fixed->performMiniaturize();
    EXPECT_FALSE(fixed->isMiniaturized());
    EXPECT_TRUE(fixed->isVisible());
}

TEST_F(NSWindowActionsTest, AboutPanelIsOneUntitledPanelShownAgainWhileOpen) {
    EXPECT_TRUE(NSApp().sendAction("orderFrontStandardAboutPanel:", nullptr, nullptr));
    NSApp().orderFrontStandardAboutPanel();
    EXPECT_EQ(NSApp().aboutPanelOrderCount(), 2u);
    std::vector<std::shared_ptr<NSWindow>> panels;
    for (const auto& shown : NSApp().orderedWindows()) {
        if (std::dynamic_pointer_cast<NSPanel>(shown) && shown->title().empty()) {
            panels.push_back(shown);
        }
    }
    ASSERT_EQ(panels.size(), 1u);
    EXPECT_TRUE(panels[0]->isKeyWindow());
    press(kVKEscape);
    EXPECT_FALSE(panels[0]->isVisible());
}

TEST_F(NSWindowActionsTest, ControllersStandInTheChainAndShowTheirWindows) {
    auto shown = window("Shown");
    auto controller = NSWindowController::make(shown);
    EXPECT_EQ(shown->windowController(), controller);
    controller->showWindow(nullptr);
    EXPECT_TRUE(shown->isKeyWindow());
    EXPECT_TRUE(NSApp().sendAction("showWindow:", nullptr, nullptr)); // reached the controller

    auto viewController = std::make_shared<NSViewController>(std::make_shared<CopyingView>());
    shown->setContentViewController(viewController);
    EXPECT_EQ(shown->contentView(), viewController->view());
    EXPECT_EQ(shown->contentView()->nextResponder(), viewController);
    EXPECT_EQ(viewController->nextResponder(), shown);

    controller->close();
    EXPECT_FALSE(shown->isVisible());
}

TEST_F(NSWindowActionsTest, CommandWReachesAWindowThatHandlesItsOwnKeys) {
    class SelfClosing final : public NSWindow {
    public:
        using NSWindow::NSWindow;
        void keyDown(const NSEvent& event) override {
            if (event.eventModifierFlags() == NSEvent::ModifierFlags::command &&
                event.charactersIgnoringModifiers() == "w") {
                performClose();
                return;
            }
            NSWindow::keyDown(event);
        }
    };
    auto own = std::make_shared<SelfClosing>(
        CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    own->makeKeyAndOrderFront();
    press(kVKW, kCGEventFlagMaskCommand);
    EXPECT_FALSE(own->isVisible());
}

} // namespace
} // namespace zestrel::platform
