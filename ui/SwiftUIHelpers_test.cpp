#include "ui/SwiftUIHelpers.h"

#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Preferences.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

using namespace platform;
using namespace std::chrono_literals;
using swiftui::View;
using swiftui::ViewHost;

TEST(CopyButtonTest, PressedTwiceWithinASecondCopiesOnceThenComesBack) {
    testing::TestEnvironment env;
    int copies = 0;
    auto host = ViewHost::make(CopyButton{std::nullopt, [&copies] { ++copies; }});
    ASSERT_NE(host->find("Copy"), nullptr) << host->outline();
    EXPECT_TRUE(host->click("Copy"));
    env.runUntilIdle();
    EXPECT_FALSE(host->click("Copy")) << "disabled while it shows success";
    EXPECT_EQ(copies, 1);
    env.advance(900ms);
    EXPECT_FALSE(host->click("Copy"));
    env.advance(200ms);
    EXPECT_TRUE(host->click("Copy"));
    EXPECT_EQ(copies, 2);
    env.advance(2s);
}

TEST(MoreButtonTest, TitleShowsOnlyWithTheTitleStyle) {
    testing::TestEnvironment env;
    const auto commands = std::vector<View>{swiftui::Button("Reset", [] {})};
    auto titled = ViewHost::make(MoreButton(std::nullopt, false, true, commands));
    const auto menu = titled->find("More");
    ASSERT_NE(menu, nullptr) << titled->outline();
    EXPECT_EQ(menu->systemImage, "ellipsis");
    auto icon = ViewHost::make(MoreButton(std::nullopt, true, false, commands));
    EXPECT_EQ(icon->find("More"), nullptr);
    EXPECT_NE(icon->outline().find("ellipsis.circle"), std::string::npos) << icon->outline();
}

struct Circle {
    std::string path(CGRect) const { return "circle"; }
    Circle inset(double) const { return {}; }
};
struct Rectangle {
    std::string path(CGRect) const { return "rectangle"; }
    Rectangle inset(double) const { return {}; }
};

TEST(EitherShapeTest, DrawsTheSecondShapeWhenOffAndKeepsTheChoiceWhenInset) {
    const EitherShape<Circle, Rectangle> off{false, {}, {}};
    EXPECT_EQ(off.path({}), "rectangle");
    EXPECT_EQ(off.inset(4).path({}), "rectangle");
    EXPECT_EQ((EitherShape<Circle, Rectangle>{true, {}, {}}.inset(2).path({})), "circle");
}

TEST(LazyViewTest, BuildsItsContentOnlyWhenShown) {
    testing::TestEnvironment env;
    int built = 0;
    struct Screen {
        int* built;
        View body(swiftui::ViewContext& context) const {
            const auto shown = context.state<bool>("shown", false);
            const View detail = LazyView([built = built] {
                ++*built;
                return View(swiftui::Text("Detail"));
            });
            return swiftui::VStack(
                {swiftui::Toggle("Show", shown.binding()), shown.get() ? detail : View()});
        }
    };
    auto host = ViewHost::make(Screen{&built});
    EXPECT_EQ(built, 0);
    ASSERT_TRUE(host->toggle("Show"));
    env.runUntilIdle();
    EXPECT_EQ(built, 1);
    EXPECT_NE(host->find("Detail"), nullptr);
}

// Counts the builds of a text.
struct CountedText {
    std::shared_ptr<int> builds;
    std::string text;
    View body(swiftui::ViewContext& /*context*/) const {
        ++*builds;
        return swiftui::Text(text);
    }
};

TEST(EquatableByTest, TheContentIsBuiltAgainOnlyWhenTheValueChanges) {
    testing::TestEnvironment env;
    auto builds = std::make_shared<int>(0);
    auto host = ViewHost::make(swiftui::Text("Start"));
    // The text differs at every evaluation: only the value decides.
    const auto screen = [&builds](int value, const std::string& text) {
        return swiftui::Group({equatableBy(View(CountedText{builds, text}), value)});
    };
    host->setRootView(screen(1, "First"));
    EXPECT_EQ(*builds, 1);
    host->setRootView(screen(1, "Second"));
    EXPECT_EQ(*builds, 1);
    EXPECT_EQ(host->outline(), "text \"First\"\n");
    host->setRootView(screen(2, "Third"));
    EXPECT_EQ(*builds, 2);
    EXPECT_EQ(host->outline(), "text \"Third\"\n");

    EXPECT_EQ((EquatableView<int>{swiftui::Text("A"), 1}),
              (EquatableView<int>{swiftui::Text("B"), 1}));
    EXPECT_NE((EquatableView<int>{swiftui::Text("A"), 1}),
              (EquatableView<int>{swiftui::Text("A"), 2}));
}

TEST(SwiftUIHelperViewsTest, OptionalTextsAndModifiersLeaveNothingWhenAbsentOrOff) {
    testing::TestEnvironment env;
    auto host = ViewHost::make(swiftui::VStack(
        {TextOptional(std::nullopt), TextOptional("Shown"),
         modifierIf(makeText("Plain"), false, [](View v) { return v.modifier("bold"); }),
         backgroundOptional(makeText("Bare"), std::nullopt),
         backgroundOptional(makeText("Tinted"), "red")}));
    EXPECT_EQ(host->outline().find("bold"), std::string::npos);
    EXPECT_NE(host->find("Shown"), nullptr);
    EXPECT_TRUE(host->find("Bare")->modifiers.empty());
    EXPECT_FALSE(host->find("Tinted")->modifiers.empty());
}

TEST(OnChangeInitialTest, InitialRunsForTheFirstValueToo) {
    testing::TestEnvironment env;
    std::vector<int> seen;
    struct Screen {
        std::vector<int>* seen;
        View body(swiftui::ViewContext& context) const {
            const auto count = context.state<int>("count", 1);
            return onChangeInitial<int>(
                swiftui::Button("Add", [count] { count.set(count.get() + 1); }), count.get(), true,
                [seen = seen](const int& value) { seen->push_back(value); });
        }
    };
    auto host = ViewHost::make(Screen{&seen});
    env.runUntilIdle();
    ASSERT_TRUE(host->click("Add"));
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(SizePreferenceKeyTest, TheReaderPublishesTheSizeItIsOfferedToTheViewsAround) {
    platform::testing::TestEnvironment environment;
    std::vector<platform::CGSize> told;
    const auto view = platform::swiftui::NSHostingView::make(
        platform::swiftui::onPreferenceChange<SizePreferenceKey>(
            platform::swiftui::Text("Measured").background(SizePreferenceKey::reader()),
            [&told](const platform::CGSize& size) { told.push_back(size); }));
    EXPECT_TRUE(told.empty()); // nothing offered yet: the default
    view->setFrame(platform::CGRect(0, 0, 320, 200));
    view->setFrame(platform::CGRect(10, 10, 320, 200)); // moved, not resized
    view->setFrame(platform::CGRect(0, 0, 340, 120));
    EXPECT_EQ(told, (std::vector<platform::CGSize>{{320, 200}, {340, 120}}));
    EXPECT_NE(view->host()->find("Measured"), nullptr);
}

} // namespace
} // namespace zestrel
