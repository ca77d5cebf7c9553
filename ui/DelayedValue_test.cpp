#include "ui/DelayedValue.h"

#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace sui = platform::swiftui;
using namespace std::chrono_literals;

// A counter shown with a delay, half a second unless told otherwise.
struct DelayedCounter {
    Duration delay = Duration::milliseconds(500);
    sui::View body(sui::ViewContext& context) const {
        const auto count = context.state<int>("count", 0);
        return sui::VStack({
            sui::Button("Add", [count] { count.set(count.get() + 1); }),
            sui::View(WithDelayedValue<int>{
                count.get(), delay, sui::Animation::defaultAnimation(),
                [](const int& shown) { return sui::Text("Shown " + std::to_string(shown)); }}),
        });
    }
};

class DelayedValueTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;

    bool shows(const sui::ViewHost& host, int value) {
        return host.find("Shown " + std::to_string(value)) != nullptr;
    }
};

TEST_F(DelayedValueTest, AValueShowsOnlyOnceItHasStayedForTheDelay) {
    auto host = sui::ViewHost::make(DelayedCounter{});
    EXPECT_TRUE(shows(*host, 0));

    // Ten changes within 0.3 seconds.
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(host->click("Add"));
        env.advance(30ms);
    }
    EXPECT_TRUE(shows(*host, 0));
    env.advance(499ms - 30ms);
    EXPECT_TRUE(shows(*host, 0)) << host->outline();
    env.advance(1ms);
    EXPECT_TRUE(shows(*host, 10)) << host->outline();
}

TEST_F(DelayedValueTest, ADelayTooLongToCountWaitsTheLongestCountInsteadOfStopping) {
    auto host = sui::ViewHost::make(DelayedCounter{Duration::max()});
    ASSERT_TRUE(host->click("Add"));
    env.advance(std::chrono::hours(24 * 365 * 200));
    EXPECT_TRUE(shows(*host, 0)) << host->outline();
}

// Sends the changes of its counter through a transform it counts.
struct PublishingCounter {
    std::shared_ptr<int> transforms;
    std::shared_ptr<std::vector<int>> received;
    sui::View body(sui::ViewContext& context) const {
        const auto count = context.state<int>("count", 0);
        return withChangePublisher<int>(
            sui::Button("Add", [count] { count.set(count.get() + 1); }), count.get(),
            [transforms = transforms,
             received = received](const platform::combine::AnyPublisher<int>& changes) {
                ++*transforms;
                return changes.sink([received](const int& value) { received->push_back(value); });
            });
    }
};

TEST_F(DelayedValueTest, TheChangePublisherIsShapedOnceAtTheFirstChange) {
    auto transforms = std::make_shared<int>(0);
    auto received = std::make_shared<std::vector<int>>();
    auto host = sui::ViewHost::make(PublishingCounter{transforms, received});
    EXPECT_EQ(*transforms, 0) << "the first value is not a change";

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(host->click("Add"));
        env.runUntilIdle();
    }
    EXPECT_EQ(*transforms, 1);
    EXPECT_EQ(*received, (std::vector<int>{1, 2, 3}));
}

} // namespace
} // namespace zestrel
