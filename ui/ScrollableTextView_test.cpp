#include "ui/ScrollableTextView.h"

#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/desktop/CGEvent.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using namespace platform;
using Flags = NSEvent::ModifierFlags;

void press(NSWindow& window, std::uint16_t keyCode, Flags flags = {}) {
    auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, true);
    CGEventSetFlags(event, CGEventFlags{flags.rawValue});
    window.sendEvent(*NSEvent::eventWithCGEvent(event));
}

class ScrollableTextViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        window->setContentView(std::make_shared<NSView>());
        window->contentView()->addSubview(before);
        window->contentView()->addSubview(scrollView);
        window->contentView()->addSubview(after);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(textView());
    }
    std::shared_ptr<PlaceholderTextView> textView() const {
        return std::dynamic_pointer_cast<PlaceholderTextView>(scrollView->documentView());
    }

    testing::TestEnvironment env;
    std::string text = "Dear team";
    std::shared_ptr<ScrollableTextViewCoordinator> coordinator =
        std::make_shared<ScrollableTextViewCoordinator>(swiftui::Binding<std::string>(
            [this] { return text; }, [this](const std::string& value) { text = value; }));
    ScrollableTextViewOptions options = [] {
        ScrollableTextViewOptions options;
        options.placeholder = "Your message";
        return options;
    }();
    std::shared_ptr<NSScrollView> scrollView = coordinator->makeView(options);
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(0, 0, 400, 300), NSWindow::StyleMask::titled);
    std::shared_ptr<NSTextField> before = std::make_shared<NSTextField>();
    std::shared_ptr<NSTextField> after = std::make_shared<NSTextField>();
};

TEST_F(ScrollableTextViewTest, TypingReachesTheBindingAndUpdatesKeepTheInsertionPoint) {
    EXPECT_EQ(textView()->string(), "Dear team");
    textView()->setSelectedRange({9, 0});
    press(*window, 1); // "s"
    EXPECT_EQ(text, "Dear teams");
    textView()->setSelectedRange({2, 0});
    const auto at = textView()->selectedRange();
    coordinator->update(*scrollView, options);
    EXPECT_EQ(textView()->selectedRange(), at) << "the same text is not set again";

    text = "";
    coordinator->update(*scrollView, options);
    EXPECT_NE(render(outline(*scrollView)).find("\"Your message\" [placeholder]"),
              std::string::npos);
}

TEST_F(ScrollableTextViewTest, TabMovesTheFocusUnlessTabsAreAllowed) {
    press(*window, 48);
    EXPECT_EQ(window->firstResponder(), after);
    EXPECT_EQ(text, "Dear team") << "no tab typed";
    window->makeFirstResponder(textView());
    press(*window, 48, Flags::shift);
    EXPECT_EQ(window->firstResponder(), before);

    options.allowsTab = true;
    coordinator->update(*scrollView, options);
    window->makeFirstResponder(textView());
    textView()->setSelectedRange({0, 0});
    press(*window, 48);
    EXPECT_EQ(window->firstResponder(), textView());
    EXPECT_EQ(text, "\tDear team");
}

TEST_F(ScrollableTextViewTest, ScrollViewTakesBorderBackgroundAndFocusRingAtEveryUpdate) {
    EXPECT_EQ(scrollView->borderType(), NSBorderType::noBorder);
    EXPECT_FALSE(scrollView->drawsBackground());

    options.borderType = NSBorderType::bezelBorder;
    options.drawsBackground = true;
    options.focusRingType = NSFocusRingType::none;
    coordinator->update(*scrollView, options);
    EXPECT_EQ(scrollView->borderType(), NSBorderType::bezelBorder);
    EXPECT_TRUE(scrollView->drawsBackground());
    EXPECT_EQ(scrollView->focusRingType(), NSFocusRingType::none);
    EXPECT_FALSE(textView()->drawsBackground()) << "the background is the scroll view's";
    EXPECT_EQ(textView()->focusRingType(), NSFocusRingType::defaultType);
}

struct Notes {
    swiftui::View body(swiftui::ViewContext& context) const {
        const auto notes = context.state<std::string>("notes", "");
        ScrollableTextViewOptions options;
        options.placeholder = "Notes";
        options.lineLimit = 4;
        return swiftui::VStack({swiftui::Text(std::to_string(notes.get().size()) + " characters"),
                                swiftui::Button("Clear", [notes] { notes.set(""); }),
                                ScrollableTextView(notes.binding(), options)});
    }
};

TEST(ScrollableTextViewWrapperTest, EditorTextAndStateStayInStepBothWays) {
    testing::TestEnvironment env;
    const auto hosting = swiftui::NSHostingView::make(Notes{});
    std::shared_ptr<NSScrollView> scrollView;
    for (const auto& view : hosting->representedViews()) {
        scrollView = scrollView ? scrollView : std::dynamic_pointer_cast<NSScrollView>(view);
    }
    ASSERT_NE(scrollView, nullptr);
    auto textView = std::dynamic_pointer_cast<PlaceholderTextView>(scrollView->documentView());
    ASSERT_NE(textView, nullptr);
    EXPECT_EQ(textView->placeholderString, "Notes");
    EXPECT_EQ(textView->maximumNumberOfLines, 4);

    textView->insertText("abc");
    env.runUntilIdle();
    EXPECT_NE(hosting->host()->find("3 characters"), nullptr);

    hosting->host()->click("Clear");
    env.runUntilIdle();
    EXPECT_EQ(textView->string(), "");
    EXPECT_NE(hosting->host()->find("0 characters"), nullptr);
}

} // namespace
} // namespace zestrel
