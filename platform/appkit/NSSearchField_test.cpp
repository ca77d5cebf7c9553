#include "platform/appkit/NSSearchField.h"

#include "platform/appkit/NSWindow.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

class EditingLog final : public NSControlTextEditingDelegate {
public:
    void controlTextDidChange(const Notification& notification) override {
        events.push_back("change " + notification.object.asObject<NSTextField>()->stringValue());
    }
    void controlTextDidEndEditing(const Notification&) override { events.push_back("end"); }
    std::vector<std::string> events;
};

// A view that keeps the focus while `keeps` is set.
class StubbornView final : public NSView {
public:
    bool acceptsFirstResponder() const override { return true; }
    bool resignFirstResponder() override { return !keeps; }
    bool keeps = true;
};

class NSSearchFieldTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(0, 0, 300, 100), NSWindow::StyleMask::titled);
    std::shared_ptr<NSSearchField> field = std::make_shared<NSSearchField>(CGRect(10, 10, 200, 22));
    std::shared_ptr<EditingLog> log = std::make_shared<EditingLog>();

    NSSearchFieldTest() {
        window->setContentView(std::make_shared<NSView>());
        window->contentView()->addSubview(field);
        field->setDelegate(log);
    }
};

TEST_F(NSSearchFieldTest, TheClearButtonEmptiesTheFieldAndTellsTheDelegate) {
    EXPECT_FALSE(field->isCancelButtonShown()) << "nothing to clear";
    field->setStringValue("query");
    ASSERT_TRUE(field->isCancelButtonShown());

    field->cell()->cancelButtonCell()->performClick();
    EXPECT_EQ(field->stringValue(), "");
    EXPECT_EQ(log->events, (std::vector<std::string>{"change "}));

    // A cell kept after its field is gone clicks into nothing.
    auto cell = field->cell()->cancelButtonCell();
    window->contentView()->removeFromSuperview();
    field.reset();
    window.reset();
    cell->performClick();
    EXPECT_EQ(log->events.size(), 1u);
}

TEST_F(NSSearchFieldTest, FocusStartsAndEndsEditing) {
    ASSERT_TRUE(window->makeFirstResponder(field));
    EXPECT_NE(field->currentEditor(), nullptr);
    EXPECT_TRUE(window->makeFirstResponder(field)) << "already focused: no new editing";
    EXPECT_TRUE(log->events.empty());

    EXPECT_TRUE(window->makeFirstResponder(nullptr));
    EXPECT_EQ(field->currentEditor(), nullptr);
    EXPECT_EQ(log->events, (std::vector<std::string>{"end"}));
}

TEST_F(NSSearchFieldTest, AResponderThatKeepsTheFocusIsNotReplaced) {
    auto stubborn = std::make_shared<StubbornView>();
    window->contentView()->addSubview(stubborn);
    ASSERT_TRUE(window->makeFirstResponder(stubborn));

    EXPECT_FALSE(window->makeFirstResponder(field));
    EXPECT_EQ(window->firstResponder(), stubborn);
    EXPECT_EQ(field->currentEditor(), nullptr);

    stubborn->keeps = false;
    EXPECT_TRUE(window->makeFirstResponder(field));
    EXPECT_EQ(window->firstResponder(), field);
}

} // namespace
} // namespace zestrel::platform
