#include "platform/base/ProcessTeardown.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

class Observed : public NSObject {
public:
    Observed() : observers(*this, [this](const std::string&) { return Value(value); }) {}
    void set(std::int64_t newValue) {
        observers.performChange({"value"}, [&] { value = newValue; });
    }
    std::int64_t value = 0;
    KeyValueObserverRegistry observers;
};

class ProcessTeardownTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
};

TEST_F(ProcessTeardownTest, TheEndLastsUntilTheNextProcessAndTakesWorkAddedLateAtOnce) {
    // Made before anything of the end, so it goes after it: the process is still ended then.
    static bool endedWhileDestroyed = false;
    struct Witness {
        ~Witness() { endedWhileDestroyed = ProcessTeardown::hasEnded(); }
    };
    static ProcessLocal<Witness> witness;
    witness.get();
    std::vector<std::string> ran;
    ProcessTeardown::add([&] { ran.push_back("first"); });
    ProcessTeardown::addOnce(&ran, [&] { ran.push_back("once"); });
    ProcessTeardown::addOnce(&ran, [&] { ran.push_back("twice"); });
    EXPECT_FALSE(ProcessTeardown::hasEnded());

    ProcessTeardown::run();
    EXPECT_EQ(ran, (std::vector<std::string>{"once", "first"}));
    EXPECT_TRUE(ProcessTeardown::hasEnded());
    ProcessTeardown::add([&] { ran.push_back("late"); });
    EXPECT_EQ(ran.back(), "late");

    resetProcess();
    EXPECT_TRUE(endedWhileDestroyed);
    EXPECT_FALSE(ProcessTeardown::hasEnded());
    ProcessTeardown::run();
    EXPECT_EQ(ran.size(), 3u); // the new process's list starts empty
}

TEST_F(ProcessTeardownTest, NothingThatWaitedOnTheRunLoopRunsAfterTheEnd) {
    int ran = 0;
    RunLoop::main().async([&] { ++ran; });
    DispatchQueue::main().asyncAfter(1s, [&] { ++ran; });
    const auto timer = Timer::scheduledTimer(500ms, true, [&](Timer&) { ++ran; });

    ProcessTeardown::run();
    EXPECT_FALSE(timer->isValid());
    env.advance(2s);
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(RunLoop::main().pendingItems().empty());
    // Its holder's work goes on.
    RunLoop::main().async([&] { ran = 10; });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(ran, 10);
}

TEST_F(ProcessTeardownTest, AnEndedProcessHearsAndObservesNothingOldOrNew) {
    int heard = 0;
    Observed object;
    auto center = NotificationCenter::defaultCenter();
    const auto before = center->addObserver("N", Value(), [&](const Notification&) { ++heard; });
    object.observers.addObserver("value", NSKeyValueObservingOptionNew,
                                 [&](const KeyValueNotification&) { ++heard; });

    ProcessTeardown::run();
    const auto after = center->addObserver("N", Value(), [&](const Notification&) { ++heard; });
    object.observers.addObserver("value",
                                 NSKeyValueObservingOptionNew | NSKeyValueObservingOptionInitial,
                                 [&](const KeyValueNotification&) { ++heard; });
    center->post("N");
    object.set(2);
    EXPECT_EQ(heard, 0);
    EXPECT_EQ(object.value, 2); // the change itself is made
}

TEST_F(ProcessTeardownTest, BlocksLeftOnTheProcesssQueuesNeverRun) {
    DispatchQueue queue("com.example.work");
    std::promise<void> release;
    std::promise<void> started;
    queue.async([&, wait = release.get_future().share()] {
        started.set_value();
        wait.wait();
    });
    bool left = false;
    queue.async([&] { left = true; });
    started.get_future().wait();

    ProcessTeardown::run();
    release.set_value();
    queue.sync([] {}); // after the block that was left
    EXPECT_FALSE(left);
}

} // namespace
} // namespace zestrel::platform
