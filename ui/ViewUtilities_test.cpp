#include "ui/ViewUtilities.h"

#include "platform/appkit/NSLayoutConstraint.h"
#include "platform/appkit/NSWindow.h"
#include "platform/desktop/Desktop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zestrel {
namespace {

using namespace platform;
using namespace std::chrono_literals;

TEST(ShakeTest, RunsTheKeyFramesForItsDurationOnTheLayer) {
    testing::TestEnvironment env;
    auto view = std::make_shared<NSView>();
    shake(*view, Duration::milliseconds(300), ShakeDirection::vertical, 2);
    ASSERT_TRUE(view->wantsLayer());
    auto running = view->layer()->animations();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0]->keyPath, "transform.translation.y");
    EXPECT_EQ(running[0]->values, (std::vector<double>{-2, 2, -1, 1, 0}));
    EXPECT_EQ(running[0]->timingFunction->name(), kCAMediaTimingFunctionEaseInEaseOut);

    env.advance(299ms);
    EXPECT_EQ(view->layer()->animations().size(), 1u);
    env.advance(1ms);
    EXPECT_TRUE(view->layer()->animations().empty());

    shakeRejected(*view);
    EXPECT_EQ(view->layer()->animations().at(0)->keyPath, "transform.translation.x");
    EXPECT_EQ(view->layer()->animations().at(0)->values,
              (std::vector<double>{-5, 5, -2.5, 2.5, 0}));
}

TEST(ShakeTest, ReduceMotionAnimatesNothingButStillBacksTheViewWithALayer) {
    testing::TestEnvironment env;
    platform::Desktop::current()->setReduceMotion(true);
    auto view = std::make_shared<NSView>();
    shakeRejected(*view);
    ASSERT_TRUE(view->wantsLayer());
    EXPECT_TRUE(view->layer()->addedAnimations().empty());
}

TEST(ViewScaleTest, NewScaleReplacesTheOldOneAndNonFiniteSizesAreRejected) {
    testing::TestEnvironment env;
    auto parent = std::make_shared<NSView>();
    auto view = std::make_shared<NSView>();
    parent->addSubview(view);
    setScale(*parent, 3.0); // the view's window scale includes its ancestors'
    EXPECT_DOUBLE_EQ(scale(*view), 3);

    setScale(*view, 2.0);
    EXPECT_DOUBLE_EQ(scale(*view), 2) << "the view's own scale undoes what it inherits";
    EXPECT_TRUE(view->needsDisplay());
    setScale(*view, 1.0);
    EXPECT_DOUBLE_EQ(scale(*view), 1);

    setScale(*view, CGSize{std::numeric_limits<double>::infinity(), 1});
    EXPECT_DOUBLE_EQ(scale(*view), 1);
    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].localizedDescription(), "The given scale size inf×1 is not finite.");
}

TEST(LayoutTest, EdgesArePinnedWithInsetsAndSizeIsFixed) {
    testing::TestEnvironment env;
    auto container = std::make_shared<NSView>();
    auto view = std::make_shared<NSView>();
    container->addSubview(view);
    constrainEdges(view, container, 30, 80, 10, 20);
    EXPECT_FALSE(view->translatesAutoresizingMaskIntoConstraints());
    using Attribute = NSLayoutConstraint::Attribute;
    std::map<Attribute, double> constants;
    for (const auto& constraint : view->constraints()) {
        EXPECT_TRUE(constraint->isActive());
        EXPECT_EQ(constraint->secondItem(), container);
        EXPECT_EQ(constraint->secondAttribute(), constraint->firstAttribute());
        constants[constraint->firstAttribute()] = constraint->constant();
    }
    EXPECT_EQ(constants, (std::map<Attribute, double>{{Attribute::leading, 80},
                                                      {Attribute::trailing, -20},
                                                      {Attribute::top, 30},
                                                      {Attribute::bottom, -10}}));
}

TEST(SmallViewsTest, NonInteractiveViewLetsClicksThroughAndDragsTheWindow) {
    testing::TestEnvironment env;
    auto view = std::make_shared<NonInteractiveView>();
    EXPECT_EQ(view->hitTest(CGPoint{1, 1}), nullptr);
    EXPECT_TRUE(view->mouseDownCanMoveWindow());
    EXPECT_FALSE(view->acceptsFirstMouse(nullptr));

    auto image = std::make_shared<NonInteractiveImageView>();
    EXPECT_EQ(image->hitTest(CGPoint{1, 1}), nullptr);
    EXPECT_TRUE(image->mouseDownCanMoveWindow());

    auto unclipped = std::make_shared<NoClippingView>();
    unclipped->awakeFromNib();
    EXPECT_FALSE(unclipped->wantsDefaultClipping());
    EXPECT_FALSE(unclipped->layer()->masksToBounds());
}

TEST(AppearanceTest, DarkAndVibrantDarkAreDarkAndEverythingElseIsNot) {
    EXPECT_TRUE(isDarkMode(NSAppearance(NSAppearanceNameDarkAqua)));
    EXPECT_TRUE(isDarkMode(NSAppearance(NSAppearanceNameVibrantDark)));
    EXPECT_FALSE(isDarkMode(NSAppearance(NSAppearanceNameAqua)));
    EXPECT_FALSE(isDarkMode(NSAppearance(NSAppearanceNameVibrantLight)));
    EXPECT_FALSE(isDarkMode(NSAppearance("NSAppearanceNameAccessibilityHighContrastAqua")));
}

TEST(AppearanceTest, DynamicColorSwitchesWithTheDrawingAppearance) {
    const Color light{1, 1, 1, 1};
    const Color dark{0.1, 0.2, 0.3, 1};
    const auto color = dynamicColor(light, dark);
    const auto lightOnly = dynamicColor(light);
    EXPECT_FALSE(color->colorName().has_value());

    NSAppearance::setCurrentDrawingAppearance(NSAppearance::named(NSAppearanceNameVibrantDark));
    EXPECT_EQ(color->color(), dark);
    EXPECT_DOUBLE_EQ(color->blueComponent(), 0.3);
    EXPECT_EQ(lightOnly->color(), light);

    NSAppearance::setCurrentDrawingAppearance(NSAppearance::named(NSAppearanceNameAqua));
    EXPECT_EQ(color->color(), light);
    // The same colour object answers per appearance, whatever the thread draws with.
    EXPECT_EQ(color->resolved(NSAppearance(NSAppearanceNameDarkAqua))->color(), dark);
    NSAppearance::setCurrentDrawingAppearance(nullptr);
}

TEST(SmallViewsTest, ExpansionTextFieldShowsItsTextAsATooltipOnlyWhileTruncated) {
    testing::TestEnvironment env;
    auto field = std::make_shared<ExpansionTextField>();
    field->setStringValue("A rather long file name.txt"); // 27 characters, 6.5 points each
    field->setFrame(CGRect(0, 0, 400, 20));
    EXPECT_EQ(field->toolTip(), std::nullopt);
    field->setFrame(CGRect(0, 0, 100, 20));
    EXPECT_EQ(field->toolTip(), "A rather long file name.txt");
    field->setFrame(CGRect(0, 0, 400, 20));
    EXPECT_EQ(field->toolTip(), std::nullopt);
}

} // namespace
} // namespace zestrel
