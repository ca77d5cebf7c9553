#include "platform/base/RunLoop.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThread.h"
#include "platform/base/Timer.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

class RunLoopTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    RunLoop& loop = RunLoop::main();
    std::vector<std::string> ran;

    std::function<void()> record(std::string name) {
        return [this, name] { ran.push_back(name); };
    }
    // Virtual time since the test began.
    Nanoseconds elapsed() const { return clock().uptime() - start_; }

private:
    Nanoseconds start_ = clock().uptime();
};

TEST_F(RunLoopTest, AsyncNeverRunsInlineNotEvenAtZeroDelay) {
    DispatchQueue::main().async(record("async"));
    DispatchQueue::main().asyncAfter(0ns, record("after zero"));
    EXPECT_TRUE(ran.empty());
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"async", "after zero"}));
}

TEST_F(RunLoopTest, ItemsDueAtTheSameTimeRunInSubmissionOrder) {
    DispatchQueue::main().asyncAfter(200ms, record("a"));
    DispatchQueue::main().asyncAfter(100ms, record("b"));
    DispatchQueue::main().asyncAfter(200ms, record("c"));
    DispatchQueue::main().asyncAfter(0ms, record("d"));
    DispatchQueue::main().async(record("e"));
    env.advance(200ms);
    EXPECT_EQ(ran, (std::vector<std::string>{"d", "e", "b", "a", "c"}));
}

TEST_F(RunLoopTest, ABlockWhoseDeadlineHasPassedRunsAfterTheBlocksQueuedBeforeIt) {
    env.advance(1s);
    loop.async(record("queued"));
    loop.asyncAt(clock().uptime() - 500ms, record("overdue"));
    loop.async(record("queued after"));
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"queued", "overdue", "queued after"}));
}

TEST_F(RunLoopTest, DelayedBlocksRunInOrderAtTheirVirtualTimes) {
    std::vector<Nanoseconds> times;
    for (auto delay : {600ms, 200ms, 400ms}) {
        DispatchQueue::main().asyncAfter(delay, [&] { times.push_back(elapsed()); });
    }
    env.advance(300ms);
    EXPECT_EQ(times, (std::vector<Nanoseconds>{200ms}));
    env.advance(700ms);
    EXPECT_EQ(times, (std::vector<Nanoseconds>{200ms, 400ms, 600ms}));
    EXPECT_EQ(elapsed(), 1000ms);
}

TEST_F(RunLoopTest, RunUntilIdleRunsWhatBlocksPostButNotWhatIsNotYetDue) {
    DispatchQueue::main().async([&] {
        ran.push_back("outer");
        DispatchQueue::main().async(record("inner"));
        DispatchQueue::main().asyncAfter(1ms, record("later"));
    });
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"outer", "inner"}));
    EXPECT_EQ(elapsed(), 0ns);
    env.advance(1ms);
    EXPECT_EQ(ran.back(), "later");
}

TEST_F(RunLoopTest, DelayedBlockPostedDuringAdvanceRunsWithinIt) {
    DispatchQueue::main().asyncAfter(100ms, [&] {
        DispatchQueue::main().asyncAfter(100ms,
                                         [&] { ran.push_back(std::to_string(elapsed() / 1ms)); });
    });
    env.advance(250ms);
    EXPECT_EQ(ran, (std::vector<std::string>{"200"}));
}

TEST_F(RunLoopTest, BlocksPostedFromAnotherThreadRunOnTheMainThread) {
    bool onMain = false;
    std::thread poster([&] {
        EXPECT_FALSE(isMainThread());
        DispatchQueue::main().async([&] { onMain = isMainThread(); });
    });
    poster.join();
    EXPECT_TRUE(isMainThread());
    env.runUntilIdle();
    EXPECT_TRUE(onMain);
}

TEST_F(RunLoopTest, CommonModeTimerFiresDuringNestedEventTrackingRunAndDefaultOneWaits) {
    std::vector<std::string> fired;
    auto common = Timer::make(0.1, false, [&](Timer&) {
        fired.push_back("common in " + std::to_string(static_cast<int>(loop.currentMode())));
    });
    loop.add(common, RunLoopMode::common);
    Timer::scheduledTimer(0.1, false, [&](Timer&) {
        fired.push_back("default at " + std::to_string(elapsed() / 1ms));
    });
    bool menuClosed = false;
    // The person closes the menu: the main queue waits on the block that tracks it.
    loop.machineAsyncAt(clock().uptime() + 300ms, [&] { menuClosed = true; });
    RunLoop::RunResult result{};
    DispatchQueue::main().async([&] {
        result = loop.runInMode(RunLoopMode::eventTracking, [&] { return menuClosed; });
        fired.push_back("menu closed at " + std::to_string(elapsed() / 1ms));
    });
    env.runUntilIdle();
    EXPECT_EQ(result, RunLoop::RunResult::finished);
    EXPECT_EQ(fired,
              (std::vector<std::string>{"common in 1", "menu closed at 300", "default at 300"}));
    EXPECT_EQ(loop.currentMode(), RunLoopMode::defaultMode);
}

// The main queue is serial: a nested run begun by one of its blocks takes no other block of
// it until that block returns, while events, common-mode timers and the machine's work go
// on. A nested run begun by anything else serves the main queue.
TEST_F(RunLoopTest, ANestedRunBegunByAMainQueueBlockHoldsTheQueueUntilItReturns) {
    auto nestedRun = [&](std::string name) {
        return [this, name] {
            bool answered = false;
            loop.machineAsyncAt(clock().uptime() + 100ms, [&] {
                ran.push_back("answered");
                answered = true;
            });
            loop.runModal(RunLoopMode::modalPanel, [&] { return answered; });
            ran.push_back(name + " returned");
        };
    };
    loop.add(Timer::make(0.02, false, [&](Timer&) { ran.push_back("timer"); }),
             RunLoopMode::common);
    DispatchQueue::main().async(nestedRun("block"));
    DispatchQueue::main().async(record("queued"));
    DispatchQueue::main().asyncAfter(50ms, record("due meanwhile"));
    loop.performBlock(record("event"));
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"event", "timer", "answered", "block returned",
                                             "queued", "due meanwhile"}));

    ran.clear();
    loop.performBlock(nestedRun("event"));
    DispatchQueue::main().async(record("queued"));
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"queued", "answered", "event returned"}));

    // Nor one begun by a timer's callback or a source's.
    ran.clear();
    loop.add(Timer::make(1ms, false, [run = nestedRun("timer")](Timer&) { run(); }),
             RunLoopMode::common);
    DispatchQueue::main().asyncAfter(2ms, record("queued"));
    env.advance(1ms);
    EXPECT_EQ(ran, (std::vector<std::string>{"queued", "answered", "timer returned"}));
    ran.clear();
    const auto source = RunLoopSource::make(nestedRun("source"));
    loop.add(source, RunLoopMode::common);
    source->signal();
    DispatchQueue::main().async(record("queued"));
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"queued", "answered", "source returned"}));

    // A block that leaves by an exception, which the loop's driver passes on to be reported,
    // holds the queue no longer.
    ran.clear();
    DispatchQueue::main().async([] { throw std::runtime_error("failed"); });
    DispatchQueue::main().async(record("queued"));
    EXPECT_THROW(env.runUntilIdle(), std::runtime_error);
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"queued"}));
}

TEST_F(RunLoopTest, NestedRunOnTheVirtualClockEndsByTimeoutOrWhenNothingCanHappen) {
    int ticks = 0;
    loop.add(Timer::make(0.25, true, [&](Timer&) { ++ticks; }), RunLoopMode::modalPanel);
    EXPECT_EQ(loop.runInMode(
                  RunLoopMode::modalPanel, [] { return false; }, 1s),
              RunLoop::RunResult::timedOut);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(elapsed(), 1s);
    // In the event-tracking mode the timer does not count: nothing is left to wait for.
    EXPECT_FALSE(loop.runModal(RunLoopMode::eventTracking, [] { return false; }));
    EXPECT_EQ(elapsed(), 1s);
}

TEST_F(RunLoopTest, StopEndsTheInnermostNestedRun) {
    DispatchQueue::main().asyncAfter(50ms, [&] { loop.stop(); });
    DispatchQueue::main().asyncAfter(60ms, record("after the nested run"));
    EXPECT_EQ(loop.runInMode(RunLoopMode::modalPanel, [] { return false; }),
              RunLoop::RunResult::stopped);
    EXPECT_EQ(elapsed(), 50ms);
    EXPECT_TRUE(ran.empty());
    env.advance(10ms);
    EXPECT_EQ(ran, (std::vector<std::string>{"after the nested run"}));
}

TEST_F(RunLoopTest, ObserversSeeTheTurnsOfTheirModes) {
    std::vector<std::string> seen;
    auto name = [](RunLoopActivity activity) -> std::string {
        switch (activity) {
        case RunLoopActivity::entry:
            return "entry";
        case RunLoopActivity::beforeTimers:
            return "timers";
        case RunLoopActivity::beforeSources:
            return "sources";
        case RunLoopActivity::beforeWaiting:
            return "waiting";
        case RunLoopActivity::afterWaiting:
            return "woken";
        case RunLoopActivity::exit:
            return "exit";
        default:
            return "?";
        }
    };
    auto all = std::make_shared<RunLoopObserver>(
        RunLoopActivity::allActivities, true, [&](RunLoopActivity a) { seen.push_back(name(a)); });
    loop.add(all, RunLoopMode::defaultMode);
    int onceCalls = 0;
    loop.add(std::make_shared<RunLoopObserver>(RunLoopActivity::beforeWaiting, false,
                                               [&](RunLoopActivity) { ++onceCalls; }),
             RunLoopMode::common);
    int trackingCalls = 0;
    loop.add(std::make_shared<RunLoopObserver>(RunLoopActivity::allActivities, true,
                                               [&](RunLoopActivity) { ++trackingCalls; }),
             RunLoopMode::eventTracking);

    DispatchQueue::main().async([&] { seen.push_back("block"); });
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::string>{"entry", "timers", "sources", "block", "timers",
                                              "sources", "waiting", "exit"}));
    seen.clear();
    DispatchQueue::main().asyncAfter(10ms, [&] { seen.push_back("block"); });
    env.advance(10ms);
    EXPECT_EQ(seen, (std::vector<std::string>{"entry", "timers", "sources", "waiting", "woken",
                                              "timers", "sources", "block", "timers", "sources",
                                              "waiting", "exit"}));
    EXPECT_EQ(onceCalls, 1);
    EXPECT_EQ(trackingCalls, 0);
    all->invalidate();
    seen.clear();
    env.runUntilIdle();
    EXPECT_TRUE(seen.empty());
}

TEST_F(RunLoopTest, WorkPostedBeforeWaitingRunsBeforeTheLoopSleeps) {
    int flushes = 0;
    bool dirty = false;
    loop.add(std::make_shared<RunLoopObserver>(RunLoopActivity::beforeWaiting, true,
                                               [&](RunLoopActivity) {
                                                   if (dirty) {
                                                       dirty = false;
                                                       DispatchQueue::main().async(
                                                           [&] { ++flushes; });
                                                   }
                                               }),
             RunLoopMode::common);
    DispatchQueue::main().async([&] { dirty = true; });
    DispatchQueue::main().async([&] { dirty = true; });
    env.runUntilIdle();
    EXPECT_EQ(flushes, 1); // one flush for the burst, run before runUntilIdle returns
}

TEST_F(RunLoopTest, SourcesArePerformedOnceOnTheLoopInTheirModes) {
    int performed = 0;
    auto source = RunLoopSource::make([&] { ++performed; });
    source->signal(); // kept until the source is added
    loop.add(source, RunLoopMode::defaultMode);
    std::thread signaller([&] {
        source->signal();
        source->signal();
    });
    signaller.join();
    EXPECT_EQ(performed, 0);
    env.runUntilIdle();
    EXPECT_EQ(performed, 1);

    source->signal();
    loop.runInMode(RunLoopMode::eventTracking, [] { return false; });
    EXPECT_EQ(performed, 1); // not in the tracking mode
    loop.remove(source, RunLoopMode::defaultMode);
    env.runUntilIdle();
    EXPECT_EQ(performed, 1);

    loop.add(source, RunLoopMode::common);
    source->signal();
    source->invalidate();
    env.runUntilIdle();
    EXPECT_EQ(performed, 1);
}

TEST_F(RunLoopTest, ASourceTakenOffTheLoopForgetsItsSignalAndModes) {
    int performed = 0;
    auto source = RunLoopSource::make([&] { ++performed; });
    loop.add(source, RunLoopMode::defaultMode);
    loop.add(source, RunLoopMode::eventTracking);
    source->signal();
    loop.remove(source, RunLoopMode::defaultMode); // still in the tracking mode, still signalled
    EXPECT_TRUE(source->isScheduled());
    env.runUntilIdle();
    EXPECT_EQ(performed, 0);
    loop.runInMode(RunLoopMode::eventTracking, [&] { return performed > 0; });
    EXPECT_EQ(performed, 1);

    source->signal();
    loop.remove(source, RunLoopMode::eventTracking); // the last mode: the signal goes with it
    EXPECT_FALSE(source->isScheduled());
    loop.add(source, RunLoopMode::defaultMode);
    env.runUntilIdle();
    EXPECT_EQ(performed, 1);
    loop.runInMode(
        RunLoopMode::eventTracking, [] { return false; }, 1s);
    EXPECT_EQ(performed, 1) << "the tracking mode was not kept";
    source->signal();
    env.runUntilIdle();
    EXPECT_EQ(performed, 2);
}

TEST_F(RunLoopTest, ATimerAddedInASecondModeKeepsItsScheduleAndFiresInBoth) {
    int fired = 0;
    auto timer = Timer::make(1.0, true, [&](Timer&) { ++fired; });
    loop.add(timer, RunLoopMode::defaultMode);
    loop.advance(500ms);
    loop.add(timer, RunLoopMode::eventTracking); // does not restart the interval
    loop.runInMode(RunLoopMode::eventTracking, [&] { return fired == 1; });
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(elapsed(), 1s);
    loop.advance(1s);
    EXPECT_EQ(fired, 2);
    timer->invalidate();
    loop.advance(5s);
    EXPECT_EQ(fired, 2);
}

class RealRunLoopTest : public RunLoopTest {
protected:
    RealRunLoopTest() { installClock(nullptr); }
};

TEST_F(RealRunLoopTest, RunSleepsUntilACrossThreadPostThenStops) {
    std::promise<void> sleeping;
    bool sleepingSet = false;
    loop.add(std::make_shared<RunLoopObserver>(RunLoopActivity::beforeWaiting, true,
                                               [&](RunLoopActivity) {
                                                   if (!std::exchange(sleepingSet, true)) {
                                                       sleeping.set_value();
                                                   }
                                               }),
             RunLoopMode::defaultMode);
    std::thread poster([&] {
        sleeping.get_future().wait();
        DispatchQueue::main().async([&] {
            ran.push_back("posted");
            loop.stop();
        });
    });
    loop.run();
    poster.join();
    EXPECT_EQ(ran, (std::vector<std::string>{"posted"}));
}

TEST_F(RealRunLoopTest, RunWakesForADeadlineAndForASourceSignal) {
    auto source = RunLoopSource::make([&] {
        ran.push_back("source");
        DispatchQueue::main().asyncAfter(20ms, [&] {
            ran.push_back("deadline");
            loop.stop();
        });
    });
    loop.add(source, RunLoopMode::common);
    std::thread signaller([&] { source->signal(); });
    const auto before = std::chrono::steady_clock::now();
    loop.run();
    signaller.join();
    EXPECT_GE(std::chrono::steady_clock::now() - before, 20ms);
    EXPECT_EQ(ran, (std::vector<std::string>{"source", "deadline"}));
}

TEST_F(RealRunLoopTest, StopBeforeRunIsRemembered) {
    std::thread([&] { loop.stop(); }).join();
    loop.run(); // returns at once
    SUCCEED();
}

using RunLoopDeathTest = RunLoopTest;

TEST_F(RunLoopDeathTest, ProgrammingErrorsStopTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(loop.runInMode(RunLoopMode::common, [] { return true; }), "common modes");
    installClock(nullptr);
    EXPECT_DEATH(loop.advance(1s), "virtual clock");
}

TEST_F(RunLoopDeathTest, RunningOrAddingFromAnotherThreadStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(std::thread([this] { loop.runUntilIdle(); }).join(),
                 "RunLoop used on thread .*, but it belongs to thread ");
    auto source = RunLoopSource::make([] {});
    EXPECT_DEATH(std::thread([&] { loop.add(source, RunLoopMode::defaultMode); }).join(),
                 "RunLoop used on thread .*, but it belongs to thread ");
}

TEST_F(RunLoopTest, SourcesAreSignalledAndLoopsStoppedFromAnyThread) {
    auto source = RunLoopSource::make(record("source"));
    loop.add(source, RunLoopMode::defaultMode);
    std::thread([&] {
        source->signal();
        loop.async(record("block"));
    }).join();
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"source", "block"}));
}

} // namespace
} // namespace zestrel::platform
