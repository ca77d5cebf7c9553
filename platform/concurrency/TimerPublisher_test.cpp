#include "platform/concurrency/TimerPublisher.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

namespace zestrel::platform::combine {
namespace {

using namespace std::chrono_literals;

class TimerPublisherTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    Date start = currentDate();

    // Milliseconds since the test began.
    std::function<void(const Date&)> record(std::vector<long>& into) {
        return [this, &into](const Date& d) {
            into.push_back(std::lround(
                (d.timeIntervalSinceReferenceDate - start.timeIntervalSinceReferenceDate) * 1000));
        };
    }
};

TEST_F(TimerPublisherTest, AutoconnectTicksWhileSubscribedAndStopsWithTheLastSubscriber) {
    auto ticks = TimerPublisher(0.5, RunLoop::main(), RunLoopMode::common).autoconnect();
    std::vector<long> a;
    std::vector<long> b;
    auto first = ticks.sink(record(a));
    env.advance(1200ms);
    auto second = ticks.sink(record(b));
    env.advance(400ms);
    first.cancel();
    env.advance(500ms);
    EXPECT_EQ(a, (std::vector<long>{500, 1000, 1500}));
    EXPECT_EQ(b, (std::vector<long>{1500, 2000}));
    second.cancel();
    env.advance(2s);
    EXPECT_EQ(b.size(), 2u);

    // A new subscriber starts a new timer, a full interval from then.
    std::vector<long> c;
    auto third = ticks.sink(record(c));
    env.advance(600ms);
    EXPECT_EQ(c, (std::vector<long>{4600}));
}

TEST_F(TimerPublisherTest, TicksOnlyWhileConnected) {
    TimerPublisher publisher(1.0, RunLoop::main(), RunLoopMode::defaultMode);
    std::vector<long> seen;
    auto subscription = AnyPublisher<Date>(publisher).sink(record(seen));
    env.advance(3s);
    EXPECT_TRUE(seen.empty());
    auto connection = publisher.connect();
    env.advance(2s);
    connection.cancel();
    env.advance(2s);
    EXPECT_EQ(seen, (std::vector<long>{4000, 5000}));
}

TEST_F(TimerPublisherTest, FiresInTheModesItWasAddedFor) {
    TimerPublisher defaultOnly(0.1, RunLoop::main(), RunLoopMode::defaultMode);
    TimerPublisher common(0.1, RunLoop::main(), RunLoopMode::common);
    int defaultTicks = 0;
    int commonTicks = 0;
    auto a = defaultOnly.autoconnect().sink([&](const Date&) { ++defaultTicks; });
    auto b = common.autoconnect().sink([&](const Date&) { ++commonTicks; });
    // A nested tracking run (a menu is open) for a quarter second.
    const auto until = clock().uptime() + 250ms;
    RunLoop::main().runInMode(
        RunLoopMode::eventTracking, [] { return false; }, until - clock().uptime());
    EXPECT_EQ(defaultTicks, 0);
    EXPECT_EQ(commonTicks, 2);
}

} // namespace
} // namespace zestrel::platform::combine
