#include "ui/ViewTimer.h"

#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

namespace zestrel {
namespace {

namespace sui = platform::swiftui;
using namespace std::chrono_literals;

// Shows the timer's value and counts its own evaluations.
struct Clock {
    std::shared_ptr<int> evaluations;
    Duration interval = Duration::seconds(1);
    std::optional<Duration> tolerance = Duration::milliseconds(100);
    sui::View body(sui::ViewContext& context) const {
        ++*evaluations;
        const ViewTimer timer(context, interval, tolerance);
        return sui::Text(timer.observable()->value() ? "tick" : "tock");
    }
};

TEST(ViewTimerTest, ReevaluatesItsViewEverySecondAlternatingTheValue) {
    platform::testing::TestEnvironment env;
    auto evaluations = std::make_shared<int>(0);
    auto host = sui::ViewHost::make(Clock{evaluations});
    EXPECT_EQ(host->outline(), "text \"tick\"\n");
    EXPECT_EQ(*evaluations, 1);

    env.advance(999ms);
    EXPECT_EQ(*evaluations, 1);
    env.advance(1ms);
    EXPECT_EQ(host->outline(), "text \"tock\"\n");
    EXPECT_EQ(*evaluations, 2);
    env.advance(1s);
    EXPECT_EQ(host->outline(), "text \"tick\"\n");
    env.advance(3s);
    EXPECT_EQ(*evaluations, 6) << "one timer, kept across evaluations";

    host.reset();
    env.advance(5s);
    EXPECT_EQ(*evaluations, 6) << "the timer ends with the view";
    EXPECT_TRUE(env.pendingWork().empty());
}

TEST(ViewTimerTest, AnIntervalTooLongToCountTicksAtTheLongestCountInsteadOfStopping) {
    platform::testing::TestEnvironment env;
    auto evaluations = std::make_shared<int>(0);
    auto host = sui::ViewHost::make(Clock{evaluations, Duration::max(), Duration::max()});
    EXPECT_EQ(host->outline(), "text \"tick\"\n");
    env.advance(std::chrono::hours(24 * 365 * 200));
    EXPECT_EQ(*evaluations, 1);
}

} // namespace
} // namespace zestrel
