#include "platform/appkit/NSWindow.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSView.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zestrel::platform {
namespace {

using ::testing::ElementsAre;

std::shared_ptr<NSWindow> titledWindow(std::string title) {
    auto window = std::make_shared<NSWindow>(
        CGRect(100, 100, 300, 200), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    window->setTitle(std::move(title));
    return window;
}

// Titled windows made key one after another, so the last is in front and key.
std::vector<std::shared_ptr<NSWindow>> windowsBackToFront(std::vector<std::string> titles) {
    std::vector<std::shared_ptr<NSWindow>> windows;
    for (auto& title : titles) {
        windows.push_back(titledWindow(std::move(title)));
        windows.back()->makeKeyAndOrderFront();
    }
    return windows;
}

class NotificationLog {
public:
    NotificationLog() {
        token_ = NotificationCenter::defaultCenter()->addObserver(
            std::nullopt, Value(), [this](const Notification& note) {
                if (note.name.rfind("NSWindow", 0) == 0) {
                    auto window = note.object.asObject<NSWindow>();
                    names.push_back(note.name + " " + (window ? window->title() : "?"));
                }
            });
    }
    ~NotificationLog() { NotificationCenter::defaultCenter()->removeObserver(token_); }
    std::vector<std::string> names;

private:
    ObserverToken token_;
};

TEST(NSWindowTest, KeyMovesBetweenWindowsWithNotifications) {
    testing::TestEnvironment env;
    NotificationLog log;
    auto first = titledWindow("First");
    auto second = titledWindow("Second");
    first->makeKeyAndOrderFront();
    second->makeKeyAndOrderFront();
    EXPECT_FALSE(first->isKeyWindow());
    EXPECT_TRUE(second->isKeyWindow());
    EXPECT_EQ(NSApp().keyWindow(), second);
    EXPECT_THAT(log.names, ElementsAre("NSWindowDidBecomeKeyNotification First",
                                       "NSWindowDidBecomeMainNotification First",
                                       "NSWindowDidResignKeyNotification First",
                                       "NSWindowDidBecomeKeyNotification Second",
                                       "NSWindowDidResignMainNotification First",
                                       "NSWindowDidBecomeMainNotification Second"));
}

TEST(NSWindowTest, BorderlessWindowsDoNotBecomeKeyUnlessTheySaySo) {
    testing::TestEnvironment env;
    auto plain = std::make_shared<NSWindow>(CGRect(0, 0, 10, 10), NSWindow::StyleMask::borderless);
    plain->makeKeyAndOrderFront();
    EXPECT_TRUE(plain->isVisible());
    EXPECT_FALSE(plain->isKeyWindow());

    class KeyBorderless final : public NSWindow {
    public:
        using NSWindow::NSWindow;
        bool canBecomeKeyWindow() const override { return true; }
    };
    auto keyable =
        std::make_shared<KeyBorderless>(CGRect(0, 0, 10, 10), NSWindow::StyleMask::borderless);
    keyable->makeKeyAndOrderFront();
    EXPECT_TRUE(keyable->isKeyWindow());
}

// The ways a window leaves the screen, each of which hands the keyboard on when it was key.
const std::pair<const char*, void (*)(NSWindow&)> kWaysToLeave[] = {
    {"close", [](NSWindow& window) { window.close(); }},
    {"performClose", [](NSWindow& window) { window.performClose(); }},
    {"orderOut", [](NSWindow& window) { window.orderOut(); }},
};

TEST(NSWindowKeyHandoverTest, TheFrontmostWindowLeftTakesKeyAndMain) {
    for (const auto& [way, leave] : kWaysToLeave) {
        SCOPED_TRACE(way);
        testing::TestEnvironment env;
        const auto windows = windowsBackToFront({"Back", "Front", "Closing"});
        const auto& back = windows[0];
        const auto& front = windows[1];
        const auto& closing = windows[2];
        // In front of them all, a window that cannot take the keyboard.
        auto borderless =
            std::make_shared<NSPanel>(CGRect(0, 0, 10, 10), NSWindow::StyleMask::borderless);
        borderless->setTitle("Borderless");
        borderless->orderFront();
        NotificationLog log;

        leave(*closing);
        EXPECT_EQ(NSApp().keyWindow(), front);
        EXPECT_EQ(NSApp().mainWindow(), front);
        EXPECT_TRUE(front->isKeyWindow());
        EXPECT_FALSE(borderless->isKeyWindow());
        EXPECT_THAT(log.names,
                    ::testing::IsSupersetOf({"NSWindowDidResignKeyNotification Closing",
                                             "NSWindowDidBecomeKeyNotification Front",
                                             "NSWindowDidBecomeMainNotification Front"}));
        // One that leaves without being key changes nothing.
        back->close();
        EXPECT_EQ(NSApp().keyWindow(), front);
    }
}

TEST(NSWindowKeyHandoverTest, APanelTakesTheKeyboardAndTheWindowBehindItBecomesMain) {
    testing::TestEnvironment env;
    const auto windows = windowsBackToFront({"Document", "Closing"});
    const auto& document = windows[0];
    const auto& closing = windows[1];
    auto palette = std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    palette->setFloatingPanel(true);
    palette->orderFront();

    closing->close();
    EXPECT_EQ(NSApp().keyWindow(), palette);
    EXPECT_EQ(NSApp().mainWindow(), document) << "a panel is never main";

    palette->close();
    EXPECT_EQ(NSApp().keyWindow(), document);
    // The last window that can take the keyboard goes: nobody is key, not even the gone one.
    document->close();
    EXPECT_EQ(NSApp().keyWindow(), nullptr);
    EXPECT_EQ(NSApp().mainWindow(), nullptr);
}

TEST(NSWindowKeyHandoverTest, AnEndingProcessHandsNothingOn) {
    testing::TestEnvironment env;
    const auto windows = windowsBackToFront({"Back", "Front"});
    const auto& back = windows[0];
    NotificationLog log;
    NSApp().terminate();
    EXPECT_FALSE(back->isVisible());
    EXPECT_THAT(log.names,
                ::testing::Not(::testing::Contains("NSWindowDidBecomeKeyNotification Back")));
}

class RefusingDelegate final : public NSWindowDelegate {
public:
    bool windowShouldClose(NSWindow&) override { return allow; }
    void windowWillClose(const Notification&) override { ++willClose; }
    bool allow = false;
    int willClose = 0;
};

TEST(NSWindowTest, PerformCloseAsksTheDelegateAndCloseDoesNot) {
    testing::TestEnvironment env;
    NotificationLog log;
    auto window = titledWindow("Doc");
    auto delegate = std::make_shared<RefusingDelegate>();
    window->setDelegate(delegate);
    window->makeKeyAndOrderFront();

    window->performClose();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(delegate->willClose, 0);

    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->isKeyWindow());
    EXPECT_EQ(delegate->willClose, 1);
    EXPECT_EQ(log.names.back(), "NSWindowDidResignMainNotification Doc");
    EXPECT_TRUE(NSApp().windows().empty()) << "released when closed";
}

TEST(NSWindowTest, TheApplicationKeepsWindowsOnScreenAlive) {
    testing::TestEnvironment env;
    std::weak_ptr<NSWindow> weak;
    {
        auto window = titledWindow("Kept");
        window->orderFront();
        weak = window;
    }
    ASSERT_FALSE(weak.expired());
    EXPECT_THAT(NSApp().orderedWindows(), ElementsAre(weak.lock()));
    weak.lock()->orderOut();
    EXPECT_TRUE(weak.expired());
}

TEST(NSWindowTest, TitledWindowsAddATitleBarAndStayUnderTheMenuBar) {
    testing::TestEnvironment env;
    auto window =
        std::make_shared<NSWindow>(CGRect(0, 1000, 300, 200), NSWindow::StyleMask::titled);
    EXPECT_EQ(window->frame(), CGRect(0, 1000, 300, 228));
    window->orderFront();
    const CGRect visible = NSScreen::main()->visibleFrame();
    EXPECT_EQ(window->frame().origin.y + window->frame().size.height,
              visible.origin.y + visible.size.height);

    auto full = std::make_shared<NSWindow>(CGRect(0, 0, 100, 100),
                                           NSWindow::StyleMask::titled |
                                               NSWindow::StyleMask::fullSizeContentView);
    EXPECT_EQ(full->frame().size.height, 100);
}

TEST(NSWindowTest, OcclusionFollowsVisibilityAndTheWindowServer) {
    testing::TestEnvironment env;
    auto window = titledWindow("W");
    EXPECT_FALSE(window->occlusionState().contains(NSWindow::OcclusionState::visible));
    window->orderFront();
    EXPECT_TRUE(window->occlusionState().contains(NSWindow::OcclusionState::visible));
    window->setOccluded(true);
    EXPECT_FALSE(window->occlusionState().contains(NSWindow::OcclusionState::visible));
}

TEST(NSWindowTest, EndingASheetRunsItsHandlerOnceWithTheCode) {
    testing::TestEnvironment env;
    auto parent = titledWindow("Parent");
    parent->makeKeyAndOrderFront();
    auto sheet = titledWindow("Sheet");
    std::vector<NSModalResponse> codes;
    parent->beginSheet(sheet, [&](NSModalResponse code) { codes.push_back(code); });
    EXPECT_EQ(parent->attachedSheet(), sheet);
    EXPECT_EQ(sheet->sheetParent(), parent);
    EXPECT_TRUE(sheet->isVisible());

    parent->endSheet(sheet, 7);
    parent->endSheet(sheet, 8);
    EXPECT_THAT(codes, ElementsAre(7));
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(parent->attachedSheet(), nullptr);
}

TEST(NSWindowTest, CenterUsesTheVisibleFrame) {
    testing::TestEnvironment env;
    auto window =
        std::make_shared<NSWindow>(CGRect(0, 0, 100, 50), NSWindow::StyleMask::borderless);
    window->center();
    const CGRect visible = NSScreen::main()->visibleFrame();
    EXPECT_EQ(window->frame().origin.x, visible.origin.x + (visible.size.width - 100) / 2);
    EXPECT_EQ(window->frame().origin.y, visible.origin.y + (visible.size.height - 50) / 2);
}

} // namespace
} // namespace zestrel::platform

namespace zestrel::platform {
namespace {

// A field that holds on to the focus while its text is not acceptable.
class StubbornField final : public NSTextField {
public:
    bool letGo = false;
    bool resignFirstResponder() override { return letGo && NSTextField::resignFirstResponder(); }
};

TEST(NSWindowFocusTest, TheFocusedResponderMayKeepTheFocusAndTheFieldEditorFollowsIt) {
    testing::TestEnvironment env;
    auto window = titledWindow("Focus");
    window->setContentView(std::make_shared<NSView>());
    auto stubborn = std::make_shared<StubbornField>();
    stubborn->setStringValue("12");
    auto other = std::make_shared<NSTextField>();
    window->contentView()->addSubview(stubborn);
    window->contentView()->addSubview(other);
    EXPECT_EQ(window->fieldEditor(false), nullptr) << "made only when first needed";

    ASSERT_TRUE(window->makeFirstResponder(stubborn));
    EXPECT_TRUE(window->makeFirstResponder(stubborn)) << "the same responder again is no change";
    stubborn->userTypes("123");
    EXPECT_EQ(stubborn->currentEditor()->string(), "123");

    EXPECT_FALSE(window->makeFirstResponder(other));
    EXPECT_EQ(window->firstResponder(), stubborn);
    EXPECT_EQ(other->currentEditor(), nullptr);

    stubborn->letGo = true;
    EXPECT_TRUE(window->makeFirstResponder(other));
    EXPECT_EQ(stubborn->currentEditor(), nullptr);
    EXPECT_EQ(other->currentEditor(), window->fieldEditor(false));
}

} // namespace
} // namespace zestrel::platform
