#include "platform/base/Timer.h"

#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

// What the platform's interval and date arithmetic take.
double seconds(Nanoseconds duration) {
    return std::chrono::duration<double>(duration).count();
}

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
    auto timer = Timer::scheduledTimer(250ms, false, record());
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(timer->fireDate(), env.clock().now().addingTimeInterval(seconds(250ms)));
    EXPECT_EQ(timer->interval(), 0.0); // a one-shot timer has no repeat interval
    env.advance(200ms);
    EXPECT_TRUE(fired.empty());
    env.advance(1s);
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{250ms}));
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTest, RepeatingTimerKeepsItsScheduleAndSkipsMissedIntervals) {
    auto timer = Timer::scheduledTimer(100ms, true, record());
    EXPECT_EQ(timer->interval(), seconds(100ms));
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
    auto timer = Timer::scheduledTimer(100ms, true, [&](Timer& self) {
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
    auto timer = Timer::scheduledTimer(100ms, true, [owned](Timer&) { ++*owned; });
    owned.reset();
    timer->invalidate();
    env.advance(1s);
    EXPECT_TRUE(watch.expired());
}

TEST_F(TimerTest, UnscheduledTimerFiresFromItsCreationTimeOnceAdded) {
    auto timer = Timer::make(300ms, false, record());
    env.advance(1s);
    EXPECT_TRUE(fired.empty());
    RunLoop::main().add(timer, RunLoopMode::defaultMode);
    env.runUntilIdle(); // long overdue: fires at once
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{1s}));
}

TEST_F(TimerTest, FireRunsTheBlockNowAndEndsOnlyAOneShotTimer) {
    auto repeating = Timer::scheduledTimer(1s, true, record());
    repeating->fire();
    EXPECT_TRUE(repeating->isValid());
    auto oneShot = Timer::scheduledTimer(1s, false, record());
    oneShot->fire();
    EXPECT_FALSE(oneShot->isValid());
    env.advance(1s);
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{0ms, 0ms, 1s}));
}

TEST_F(TimerTest, ZeroIntervalRepeatingTimerDoesNotSpinTheLoop) {
    auto timer = Timer::scheduledTimer(0ns, true, record());
    env.runUntilIdle();
    EXPECT_TRUE(fired.empty());
    env.advance(1ms);
    EXPECT_EQ(fired.size(), 10u); // the 0.1 ms floor
}

TEST_F(TimerTest, TimersAndBlocksDueTogetherRunInSubmissionOrder) {
    std::vector<std::string> order;
    RunLoop::main().asyncAt(clock().uptime() + 200ms, [&] { order.push_back("block 1"); });
    auto timer = Timer::scheduledTimer(200ms, false, [&](Timer&) { order.push_back("timer"); });
    RunLoop::main().asyncAt(clock().uptime() + 200ms, [&] { order.push_back("block 2"); });
    env.advance(200ms);
    EXPECT_EQ(order, (std::vector<std::string>{"block 1", "timer", "block 2"}));
}

TEST_F(TimerTest, SecondsAndNanosecondsMakeTheSameSchedule) {
    auto inSeconds = Timer::scheduledTimer(0.15, true, record());
    auto inNanoseconds = Timer::scheduledTimer(150ms, true, record());
    EXPECT_EQ(inSeconds->fireDate(), inNanoseconds->fireDate());
    EXPECT_EQ(inSeconds->interval(), inNanoseconds->interval());
    auto negative = Timer::make(-1ms, false, record());
    EXPECT_EQ(negative->fireDate(), env.clock().now().addingTimeInterval(seconds(100us)));
}

using TimerDeathTest = TimerTest;

TEST_F(TimerDeathTest, SchedulingFromAnotherThreadStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(std::thread([this] { Timer::scheduledTimer(1s, false, record()); }).join(),
                 "RunLoop used on thread .*, but it belongs to thread ");
}

TEST_F(TimerDeathTest, InvalidatingFromAnotherThreadThanItsLoopStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto timer = Timer::scheduledTimer(1s, false, record());
    EXPECT_DEATH(std::thread([&timer] { timer->invalidate(); }).join(),
                 "Timer used on thread .*, but it belongs to thread ");
}

TEST_F(TimerTest, TimerMadeElsewhereBelongsToTheLoopItIsAddedTo) {
    std::shared_ptr<Timer> timer;
    std::thread([&] { timer = Timer::make(100ms, false, record()); }).join();
    RunLoop::main().add(timer, RunLoopMode::defaultMode);
    env.advance(100ms);
    EXPECT_EQ(fired, (std::vector<Nanoseconds>{100ms}));
    EXPECT_FALSE(timer->isValid());
}

} // namespace
} // namespace zestrel::platform
