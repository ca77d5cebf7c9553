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
    EXPECT_EQ(std::static_pointer_cast<NSStackView>(sheet->contentView())->edgeInsets(),
              (NSStackView::EdgeInsets{30, 80, 30, 80}));
    EXPECT_EQ(label->contentCompressionResistancePriority(NSView::Orientation::horizontal), 2000);
    const auto width = label->constraints().front();
    EXPECT_EQ(width->firstAttribute(), NSLayoutConstraint::Attribute::width);
    EXPECT_EQ(width->relation(), NSLayoutConstraint::Relation::lessThanOrEqual)
        << "at most 300 points wide, not exactly";
    EXPECT_EQ(width->constant(), 300);
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
