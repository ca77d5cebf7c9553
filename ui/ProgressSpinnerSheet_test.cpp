#include "ui/ProgressSpinnerSheet.h"

#include "platform/appkit/NSLayoutConstraint.h"
#include "platform/appkit/TextOutline.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using namespace platform;

class ProgressSpinnerSheetTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<NSWindow> presenter =
        std::make_shared<NSWindow>(CGRect(0, 0, 400, 300), NSWindow::StyleMask::titled);
    std::shared_ptr<ProgressSpinnerSheet> sheet = ProgressSpinnerSheet::make();
};

TEST_F(ProgressSpinnerSheetTest, EmptyTextShowsOnlyTheSpinner) {
    presenter->makeKeyAndOrderFront();
    sheet->present(presenter);
    EXPECT_EQ(presenter->attachedSheet(), sheet);
    EXPECT_TRUE(sheet->isShown());
    EXPECT_TRUE(sheet->spinner()->isAnimating());
    EXPECT_TRUE(sheet->label()->isHidden());

    sheet->setText("Copying 3 files");
    const auto screen = render(outlineOfScreen());
    EXPECT_NE(screen.find("progress [spinning, animating]"), std::string::npos) << screen;
    EXPECT_NE(screen.find("text \"Copying 3 files\""), std::string::npos) << screen;
    sheet->setText("");
    EXPECT_TRUE(sheet->label()->isHidden());
}

TEST_F(ProgressSpinnerSheetTest, TextWrapsWithinThreeHundredPointsWithRoomAroundTheSpinner) {
    const auto& label = sheet->label();
    EXPECT_EQ(sheet->contentView(), sheet->spinner()->superview());
    const auto insets = std::static_pointer_cast<NSStackView>(sheet->contentView())->edgeInsets();
    EXPECT_EQ(insets, (NSStackView::EdgeInsets{30, 80, 30, 80}));
    EXPECT_EQ(label->contentCompressionResistancePriority(NSView::Orientation::horizontal), 2000)
        << "above every other rule: the text wraps instead of being clipped";

    bool widthLimited = false;
    bool centred = false;
    for (const auto& constraint : label->constraints()) {
        using Attribute = NSLayoutConstraint::Attribute;
        if (constraint->firstAttribute() == Attribute::width) {
            widthLimited =
                constraint->relation() == NSLayoutConstraint::Relation::lessThanOrEqual &&
                constraint->constant() == 300 && !constraint->secondItem();
        }
        centred = centred || (constraint->firstAttribute() == Attribute::centerX &&
                              constraint->secondItem() == sheet->contentView());
    }
    EXPECT_TRUE(widthLimited) << "at most 300 points wide, not exactly";
    EXPECT_TRUE(centred);
}

TEST_F(ProgressSpinnerSheetTest, EscapeRunsTheCancelAndDismissesOnTheNextPass) {
    int cancels = 0;
    sheet->onCancel = [&] { ++cancels; };
    sheet->present(presenter);
    sheet->setText("Working");
    ASSERT_TRUE(sheet->tryToPerform("cancelOperation:", nullptr));
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(sheet->isShown()) << "the dismissal is posted";
    env.runUntilIdle();
    EXPECT_FALSE(sheet->isShown());
    EXPECT_EQ(presenter->attachedSheet(), nullptr);
    EXPECT_FALSE(sheet->spinner()->isAnimating());
    EXPECT_EQ(sheet->text(), "");
    EXPECT_TRUE(sheet->label()->isHidden());
}

} // namespace
} // namespace zestrel
