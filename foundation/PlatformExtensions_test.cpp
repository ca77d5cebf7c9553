#include "foundation/PlatformExtensions.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::NSResponder;
using platform::Value;

TEST(ResponderChain, EndsAtTheFirstResponderWithoutANextOne) {
    auto view = std::make_shared<NSResponder>();
    auto window = std::make_shared<NSResponder>();
    auto application = std::make_shared<NSResponder>();
    view->setNextResponder(window);
    window->setNextResponder(application);
    EXPECT_EQ(responderChain(view),
              (std::vector<std::shared_ptr<NSResponder>>{view, window, application}));
    EXPECT_EQ(responderChain(application).size(), 1u);
    EXPECT_TRUE(responderChain(nullptr).empty());
}

TEST(TimingFunctions, AreCreatedOnceWithThePlatformsNames) {
    platform::testing::TestEnvironment env;
    EXPECT_EQ(defaultTimingFunction(), defaultTimingFunction());
    EXPECT_EQ(defaultTimingFunction()->name(), "default");
    EXPECT_EQ(easeInEaseOutTimingFunction()->name(), "easeInEaseOut");
}

TEST(BoolForKey, OnlyABooleanCountsOtherwiseTheFallback) {
    platform::testing::TestEnvironment env;
    auto defaults = platform::UserDefaults::standard();
    EXPECT_TRUE(boolForKey(*defaults, "missing", true));
    defaults->set(Value(false), "flag");
    EXPECT_FALSE(boolForKey(*defaults, "flag", true));
    defaults->set(Value(1), "number"); // a number is not a Boolean here, unlike `boolValue`
    EXPECT_TRUE(boolForKey(*defaults, "number", true));
    EXPECT_FALSE(boolForKey(*defaults, "number", false));
}

} // namespace
} // namespace zestrel
