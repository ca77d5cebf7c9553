#include "platform/RunLoop.h"

#include "platform/DispatchQueue.h"
#include "platform/MainThread.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
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

} // namespace
} // namespace zestrel::platform
