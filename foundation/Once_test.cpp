#include "foundation/Once.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <stdexcept>
#include <string>
#include <thread>

namespace zestrel {
namespace {

TEST(OnceTest, ConcurrentCallersRunTheClosureOnceAndShareItsResult) {
    Once once;
    std::atomic<int> runs{0};
    std::atomic<bool> finished{false};
    std::latch start(2);
    int results[2] = {};
    bool sawFinishedRun[2] = {};
    auto caller = [&](int slot) {
        start.arrive_and_wait();
        results[slot] = once.run([&] {
            ++runs;
            // Give the other caller time to arrive at the lock.
            std::this_thread::yield();
            finished = true;
            return 42;
        });
        sawFinishedRun[slot] = finished.load();
    };
    std::thread first(caller, 0);
    std::thread second(caller, 1);
    first.join();
    second.join();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(results[0], 42);
    EXPECT_EQ(results[1], 42);
    // Neither caller returns before the one run has finished.
    EXPECT_TRUE(sawFinishedRun[0]);
    EXPECT_TRUE(sawFinishedRun[1]);
}

TEST(OnceTest, LaterCallsAnswerTheKeptResultWhateverTheClosure) {
    Once once;
    EXPECT_EQ(once.run([] { return std::string("first"); }), "first");
    EXPECT_EQ(once.run([] { return std::string("second"); }), "first");

    Once unit;
    int runs = 0;
    unit.run([&] { ++runs; });
    unit.run([&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(OnceDeathTest, AThrowingClosureStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Once once;
            once.run([]() -> int { throw std::runtime_error("boom"); });
        },
        "must not fail");
}

TEST(Once2Test, RunsTheQueuedClosureOnceEvenUnderContention) {
    std::atomic<int> runs{0};
    Once2 once([&] { ++runs; });
    EXPECT_FALSE(once.isExecuted());
    std::thread a([&] { once.run(); });
    std::thread b([&] { once.run(); });
    a.join();
    b.join();
    once.run();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(once.isExecuted());
}

} // namespace
} // namespace zestrel
