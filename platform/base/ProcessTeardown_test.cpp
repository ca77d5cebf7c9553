#include "platform/base/ProcessTeardown.h"

#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "platform/base/UnifiedLog.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <utility>
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

TEST_F(ProcessTeardownTest, NothingOfTheProcessRunsOnTheLoopAfterTheEndAndTheMachinesWorkGoesOn) {
    int ran = 0;
    int machine = 0;
    RunLoop::main().async([&] { ++ran; });
    DispatchQueue::main().asyncAfter(1s, [&] { ++ran; });
    const auto timer = Timer::scheduledTimer(500ms, true, [&](Timer&) { ++ran; });
    RunLoop::main().machineAsyncAt(clock().uptime() + 1s, [&] { ++machine; });

    ProcessTeardown::run();
    EXPECT_FALSE(timer->isValid());
    // What it asks afterwards is refused.
    RunLoop::main().async([&] { ++ran; });
    const auto late = Timer::scheduledTimer(100ms, false, [&](Timer&) { ++ran; });
    EXPECT_FALSE(late->isValid());
    EXPECT_EQ(RunLoop::main().pendingItems().size(), 1u);
    env.advance(2s);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(machine, 1);
    RunLoop::main().machineAsync([&] { machine = 10; });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(machine, 10);
    // The next process's work runs again.
    resetProcess();
    RunLoop::main().async([&] { ran = 20; });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(ran, 20);
}

TEST_F(ProcessTeardownTest, AnEndStopsTheProcesssCodeWhereItStandsAndTheMachineGoesOn) {
    std::vector<std::string> ran;
    const auto waitInARun = [] {
        RunLoop::main().runInMode(RunLoopMode::modalPanel, [] { return false; });
    };
    const auto logs = [](const char* text) {
        osLog(OSLog{"com.example", "test"}, OSLogType::info, text);
    };
    // Two runs of the process stacked, as an alert over an alert; the machine's work served
    // under them ends the process.
    DispatchQueue::main().async([&] {
        ran.push_back("outer waits");
        RunLoop::main().add(Timer::make(1s, false,
                                        [&](Timer&) {
                                            ran.push_back("inner waits");
                                            RunLoop::main().machineAsync([&] {
                                                ProcessTeardown::run();
                                                ran.push_back("the machine goes on");
                                                logs("heard");
                                            });
                                            try {
                                                waitInARun();
                                            } catch (const std::exception&) {
                                                ran.push_back("taken for an error");
                                            }
                                            ran.push_back("inner goes on");
                                        }),
                            RunLoopMode::common);
        waitInARun();
        ran.push_back("outer goes on");
    });
    bool machineAfter = false;
    RunLoop::main().machineAsyncAt(clock().uptime() + 2s, [&] { machineAfter = true; });
    env.advance(3s);
    EXPECT_EQ(ran, (std::vector<std::string>{"outer waits", "inner waits", "the machine goes on"}));
    EXPECT_TRUE(machineAfter);
    EXPECT_EQ(env.logLines(), std::vector<std::string>{"heard"}); // the machine's asks stand
    EXPECT_FALSE(ProcessTeardown::processFramesOnStack());
    // The machine calls into it no more.
    bool called = false;
    EXPECT_FALSE(ProcessTeardown::callIn([&] { called = true; }));
    EXPECT_FALSE(called);
}

TEST_F(ProcessTeardownTest, ProcessCodeThatEndsItsProcessGoesNoFurther) {
    std::vector<std::string> ran;
    RunLoop::main().async([&] {
        ProcessTeardown::callIn([&] {
            ran.push_back("a call of its own is a plain call");
            ProcessTeardown::run();
            ran.push_back("the end itself returns");
            ProcessTeardown::stopIfEnded();
            ran.push_back("goes on");
        });
        ran.push_back("its caller goes on");
    });
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"a call of its own is a plain call",
                                             "the end itself returns"}));
    // The machine's code is never stopped.
    EXPECT_NO_THROW(ProcessTeardown::stopIfEnded());

    // A main-queue block served by a run of the process's own (an alert's, begun by an event)
    // is called into plainly too: its stop goes on through the run, and it holds the main
    // queue no longer, not for the next process either.
    resetProcess();
    ran.clear();
    RunLoop::main().performBlock([&] {
        RunLoop::main().runInMode(RunLoopMode::modalPanel, [] { return false; });
        ran.push_back("the alert's caller goes on");
    });
    DispatchQueue::main().async([&] {
        ProcessTeardown::run();
        ProcessTeardown::stopIfEnded();
        ran.push_back("goes on");
    });
    env.runUntilIdle();
    resetProcess();
    DispatchQueue::main().async([&] { ran.push_back("the next process's block"); });
    env.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"the next process's block"}));
}

TEST_F(ProcessTeardownTest, TheObjectsOfAnEndedProcessLogNothingAsTheyGo) {
    struct LogsAsItGoes {
        ~LogsAsItGoes() { osLog(OSLog{"com.example", "test"}, OSLogType::info, "going"); }
    };
    static ProcessLocal<LogsAsItGoes> object;
    object.get();
    resetProcess(); // a process that did not end: a reset is all there is of it
    EXPECT_EQ(env.logLines(), std::vector<std::string>{"going"});

    object.get();
    ProcessTeardown::run();
    resetProcess();
    EXPECT_EQ(env.logLines().size(), 1u);
}

TEST(ProcessTeardownDeathTest, TheProcessIsNotResetWhileItsCodeIsOnTheStack) {
    testing::TestEnvironment env;
    EXPECT_DEATH(ProcessTeardown::callIn([] { resetProcess(); }),
                 "while the process's code is on the stack");
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
    bool wentOn = false;
    queue.async([&, wait = release.get_future().share()] {
        started.set_value();
        wait.wait();
        DispatchQueue::main().sync([] {}); // refused: the wait ends at once, and so does the code
        wentOn = true;
    });
    bool left = false;
    queue.async([&] { left = true; });
    started.get_future().wait();

    ProcessTeardown::run();
    release.set_value();
    queue.sync([] {}); // after the block that was left
    EXPECT_FALSE(left);
    EXPECT_FALSE(wentOn);
}

// Ends the process, and starts the next, the first time it is read: between a post's look at
// its process and its queueing, as when another thread ends the process then.
class EndingClock final : public Clock {
public:
    explicit EndingClock(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {}
    Nanoseconds uptime() const override {
        if (!std::exchange(ended_, true)) {
            ProcessTeardown::run();
            resetProcess();
        }
        return clock_->uptime();
    }
    Date now() const override { return clock_->now(); }
    bool isVirtual() const override { return true; }

private:
    std::shared_ptr<Clock> clock_;
    mutable bool ended_ = false;
};

TEST_F(ProcessTeardownTest, ABlockPostedAsItsProcessEndsRunsInNoLaterProcess) {
    const std::shared_ptr<VirtualClock> time = virtualClock();
    installClock(std::make_shared<EndingClock>(time));
    bool ran = false;
    RunLoop::main().async([&] { ran = true; });
    installClock(time);
    env.runUntilIdle();
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace zestrel::platform
