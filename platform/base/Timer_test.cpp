#include "platform/base/Timer.h"

#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

class TimerTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    Nanoseconds start = clock().uptime();
    std::vector<Nanoseconds> fired;

    Timer::Block record() {
        return [this](Timer&) { fired.push_back(clock().uptime() - start); };
    }
};

TEST_F(TimerTest, OneShotTimerFiresOnceAtItsTimeAndIsThenInvalid) {
    auto timer = Timer::scheduledTimer(0.25, false, record());
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(timer->fireDate(), env.clock().now().addingTimeInterval(0.25));
    EXPECT_EQ(timer->interval(), 0.0); // a one-shot timer has no repeat interval
    env.advance(200ms);
    EXPECT_TRUE(fired.empty());
    env.advance(1s);
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{250ms}));
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTest, RepeatingTimerKeepsItsScheduleAndSkipsMissedIntervals) {
    auto timer = Timer::scheduledTimer(0.1, true, record());
    EXPECT_EQ(timer->interval(), 0.1);
    env.advance(250ms);
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{100ms, 200ms}));
    // A loop that was not turned for a while fires once, then continues on the old grid.
    env.clock().advance(380ms); // now 630 ms, without running the loop
    env.runUntilIdle();
    env.advance(100ms);
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{100ms, 200ms, 630ms, 700ms}));
}

TEST_F(TimerTest, BlockCanInvalidateItsOwnTimer) {
    int count = 0;
    auto timer = Timer::scheduledTimer(0.1, true, [&](Timer& self) {
        if (++count == 3) {
            self.invalidate();
        }
    });
    env.advance(1s);
    EXPECT_EQ(count, 3);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTest, InvalidatedTimerNeverFiresAndLoopLetsGoOfIt) {
    auto owned = std::make_shared<int>(0);
    std::weak_ptr<int> watch = owned;
    auto timer = Timer::scheduledTimer(0.1, true, [owned](Timer&) { ++*owned; });
    owned.reset();
    timer->invalidate();
    env.advance(1s);
    EXPECT_TRUE(watch.expired());
}

TEST_F(TimerTest, UnscheduledTimerFiresFromItsCreationTimeOnceAdded) {
    auto timer = Timer::make(0.3, false, record());
    env.advance(1s);
    EXPECT_TRUE(fired.empty());
    RunLoop::main().add(timer, RunLoopMode::defaultMode);
    env.runUntilIdle(); // long overdue: fires at once
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{1s}));
}

TEST_F(TimerTest, FireRunsTheBlockNowAndEndsOnlyAOneShotTimer) {
    auto repeating = Timer::scheduledTimer(1.0, true, record());
    repeating->fire();
    EXPECT_TRUE(repeating->isValid());
    auto oneShot = Timer::scheduledTimer(1.0, false, record());
    oneShot->fire();
    EXPECT_FALSE(oneShot->isValid());
    env.advance(1s);
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{0ms, 0ms, 1s}));
}

TEST_F(TimerTest, ZeroIntervalRepeatingTimerDoesNotSpinTheLoop) {
    auto timer = Timer::scheduledTimer(0, true, record());
    env.runUntilIdle();
    EXPECT_TRUE(fired.empty());
    env.advance(1ms);
    EXPECT_EQ(fired.size(), 10u); // the 0.1 ms floor
}

TEST_F(TimerTest, TimersAndBlocksDueTogetherRunInSubmissionOrder) {
    std::vector<std::string> order;
    RunLoop::main().asyncAt(clock().uptime() + 200ms, [&] { order.push_back("block 1"); });
    auto timer = Timer::scheduledTimer(0.2, false, [&](Timer&) { order.push_back("timer"); });
    RunLoop::main().asyncAt(clock().uptime() + 200ms, [&] { order.push_back("block 2"); });
    env.advance(200ms);
    EXPECT_EQ(order, (std::vector<std::string>{"block 1", "timer", "block 2"}));
}

} // namespace
} // namespace zestrel::platform
