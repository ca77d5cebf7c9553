#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

class TextViewEditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        window->setContentView(std::make_shared<NSView>());
        window->contentView()->addSubview(textView);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(textView);
        textView->setString("one two");
    }
    bool send(const std::string& action) { return NSApp().sendAction(action, nullptr, nullptr); }

    testing::DesktopEnvironment env;
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(0, 0, 300, 200), NSWindow::StyleMask::titled);
    std::shared_ptr<NSTextView> textView = std::make_shared<NSTextView>();
};

TEST_F(TextViewEditingTest, EditingActionsGoThroughThePasteboardAndCanBeUndone) {
    textView->setAllowsUndo(true);
    EXPECT_FALSE(send("undo:")) << "nothing to undo yet";
    textView->setSelectedRange({4, 3});
    auto pasteboard = NSPasteboard::general();
    const auto before = pasteboard->changeCount();
    ASSERT_TRUE(send("cut:"));
    EXPECT_EQ(textView->string(), "one ");
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "two");
    EXPECT_GT(pasteboard->changeCount(), before);

    textView->setSelectedRange({0, 0});
    ASSERT_TRUE(send("paste:"));
    EXPECT_EQ(textView->string(), "twoone ");
    ASSERT_TRUE(send("undo:"));
    ASSERT_TRUE(send("undo:"));
    EXPECT_EQ(textView->string(), "one two");
    ASSERT_TRUE(send("redo:"));
    EXPECT_EQ(textView->string(), "one ");

    ASSERT_TRUE(send("selectAll:"));
    EXPECT_EQ(textView->selectedRange(), (NSTextView::Range{0, 4}));
}

TEST_F(TextViewEditingTest, ReadOnlyTextCopiesButNeitherCutsNorPastes) {
    textView->setEditable(false);
    textView->setSelectedRange({0, 3});
    EXPECT_FALSE(send("cut:"));
    EXPECT_TRUE(send("copy:"));
    EXPECT_EQ(NSPasteboard::general()->stringForType(NSPasteboardType::string), "one");
    EXPECT_FALSE(send("paste:"));
    EXPECT_EQ(textView->string(), "one two");
    EXPECT_FALSE(send("undo:")) << "undo is off unless allowed";
}

TEST_F(TextViewEditingTest, ActionsWithoutAResponderFallToTheApplication) {
    EXPECT_FALSE(send("unknownAction:"));
    EXPECT_TRUE(send("orderFrontCharacterPalette:"));
    EXPECT_EQ(NSApp().characterPaletteOrders(), 1);
    auto button = NSButton::withTitle("OK");
    EXPECT_FALSE(NSApp().sendAction("copy:", button, nullptr)) << "a given target is not passed on";
}

TEST_F(TextViewEditingTest, KeysTypeIntoTheFocusedTextAndTheKeyViewLoopGoesRound) {
    auto press = [&](std::uint16_t keyCode, NSEvent::ModifierFlags flags = {}) {
        auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, true);
        CGEventSetFlags(event, CGEventFlags{flags.rawValue});
        window->sendEvent(*NSEvent::eventWithCGEvent(event));
    };
    textView->setString("");
    press(0);                                // a
    press(0, NSEvent::ModifierFlags::shift); // A
    press(48);                               // Tab, typed: no delegate takes it
    press(36);                               // Return
    press(0, NSEvent::ModifierFlags::command);
    EXPECT_EQ(textView->string(), "aA\t\n");

    auto field = std::make_shared<NSTextField>();
    window->contentView()->addSubview(field);
    window->selectNextKeyView();
    EXPECT_EQ(window->firstResponder(), field);
    window->selectNextKeyView();
    EXPECT_EQ(window->firstResponder(), textView) << "round from the last to the first";
    window->selectPreviousKeyView();
    EXPECT_EQ(window->firstResponder(), field);
}

} // namespace
} // namespace zestrel::platform
