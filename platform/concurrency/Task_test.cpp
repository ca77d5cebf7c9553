#include "platform/concurrency/Task.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/MainThread.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UnifiedLog.h"
#include "platform/concurrency/Continuation.h"
#include "platform/concurrency/TaskGroup.h"
#include "platform/data/NSFileManager.h"
#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

bool isCancellation(const Error& error) {
    return error.is<CancellationError>();
}

// Asks, as it goes, for a log line, a defaults write and the removal of a file of the home.
struct AsksAsItGoes {
    std::filesystem::path file;
    std::promise<void> gone;
    ~AsksAsItGoes() {
        osLog(OSLog{"com.example", "test"}, OSLogType::info, "gone");
        UserDefaults::standard()->set(Value(true), "gone");
        try {
            NSFileManager::defaultManager().removeItemAtURL(URL::fileURL(file.string()));
        } catch (const Error&) {
            // refused: the file stays
        }
        gone.set_value();
    }
};

class TaskTest : public ::testing::Test {
protected:
    // One that the frames of a task hold alone, its file made, and the future of its going.
    std::pair<std::shared_ptr<AsksAsItGoes>, std::future<void>> asksAsItGoes() {
        auto asks = std::make_shared<AsksAsItGoes>();
        asks->file = env.home() / "kept";
        std::ofstream(asks->file) << "kept";
        auto gone = asks->gone.get_future();
        return {std::move(asks), std::move(gone)};
    }
    // None of what it asked as it went took effect.
    void expectRefused(std::future<void>& gone) {
        ASSERT_EQ(gone.wait_for(10s), std::future_status::ready);
        EXPECT_EQ(env.logLines(), std::vector<std::string>{});
        EXPECT_TRUE(UserDefaults::standard()->object("gone").isAbsent());
        EXPECT_TRUE(std::filesystem::exists(env.home() / "kept"));
    }

    testing::TestEnvironment env;
    std::vector<std::string> events;
};

Task<int> twice(int value) {
    co_return value * 2;
}

Task<int> failing() {
    throw Error::make<CancellationError>();
    co_return 0;
}

TEST_F(TaskTest, StartedTaskRunsOnlyWhenTheLoopTurnsAndHandsOverItsValue) {
    auto task = Task<int>::run([]() -> Task<int> { co_return co_await twice(21); });
    EXPECT_FALSE(task.isFinished());
    std::optional<int> seen;
    Task<void>::runOnMain([task, &seen]() -> Task<void> { seen = co_await task; });
    env.runUntilIdle();
    EXPECT_TRUE(task.isFinished());
    EXPECT_EQ(seen, 42);
}

TEST_F(TaskTest, AwaitingAnOperationRethrowsItsError) {
    bool caught = false;
    auto task = Task<void>::run([&caught]() -> Task<void> {
        try {
            co_await failing();
        } catch (const Error& error) {
            caught = isCancellation(error);
        }
    });
    auto outer = Task<int>::run([task]() -> Task<int> {
        co_await task;
        co_return co_await failing();
    });
    bool outerFailed = false;
    Task<void>::run([outer, &outerFailed]() -> Task<void> {
        try {
            co_await outer.value();
        } catch (const Error&) {
            outerFailed = true;
        }
    });
    env.runUntilIdle();
    EXPECT_TRUE(caught);
    EXPECT_TRUE(outerFailed);
}

TEST_F(TaskTest, LongLoopsOfAwaitsThatDoNotSuspendKeepTheStackFlat) {
    int sum = 0;
    Task<void>::run([&sum]() -> Task<void> {
        for (int i = 0; i < 1'000'000; ++i) {
            sum += co_await twice(i % 2);
        }
    });
    env.runUntilIdle();
    EXPECT_EQ(sum, 1'000'000);
}

TEST_F(TaskTest, ATaskWhoseHandleIsDroppedKeepsRunning) {
    bool done = false;
    Task<void>::run([&done]() -> Task<void> {
        co_await Task<>::sleep(1s);
        done = true;
    });
    env.advance(1s);
    EXPECT_TRUE(done);
}

TEST_F(TaskTest, SleepEndsAtItsDeadlineOnTheVirtualClock) {
    bool done = false;
    Task<void>::run([&done]() -> Task<void> {
        co_await Task<>::sleep(5s);
        done = true;
    });
    env.advance(5s - 1ns);
    EXPECT_FALSE(done);
    env.advance(1ns);
    EXPECT_TRUE(done);
}

// The main queue waits while one of its blocks runs an alert; a task of the global executor,
// and its sleep, do not.
TEST_F(TaskTest, AGlobalTaskSleepsAndGoesOnWhileAMainQueueBlockWaitsOnAnAlert) {
    bool woke = false;
    std::optional<bool> alertEnded;
    DispatchQueue::main().async([&] {
        alertEnded = RunLoop::main().runModal(RunLoopMode::modalPanel, [&] { return woke; });
    });
    const Nanoseconds start = clock().uptime();
    Task<void>::run([&woke]() -> Task<void> {
        co_await Task<>::sleep(1s);
        woke = true;
    });
    env.runUntilIdle();
    EXPECT_EQ(alertEnded, true);
    EXPECT_EQ(clock().uptime() - start, 1s);
}

TEST_F(TaskTest, CancellingASleepingTaskEndsTheSleepAtOnceWithACancellationError) {
    std::optional<bool> cancelledWithError;
    auto task = Task<void>::run([&]() -> Task<void> {
        try {
            co_await Task<>::sleep(3600s);
            cancelledWithError = false;
        } catch (const Error& error) {
            cancelledWithError = isCancellation(error);
        }
    });
    env.runUntilIdle();
    task.cancel();
    env.runUntilIdle();
    EXPECT_EQ(cancelledWithError, true);
    EXPECT_TRUE(task.isCancelled());
}

TEST_F(TaskTest, ACancelledTaskSeesItsCancellationAndSleepsNoMore) {
    std::vector<bool> seen;
    auto task = Task<void>::run([&]() -> Task<void> {
        seen.push_back(Task<>::isCurrentCancelled());
        co_await Task<>::yield();
        seen.push_back(Task<>::isCurrentCancelled());
        try {
            Task<>::checkCancellation();
        } catch (const Error& error) {
            seen.push_back(isCancellation(error));
        }
        try {
            co_await Task<>::sleep(1s);
        } catch (const Error& error) {
            seen.push_back(isCancellation(error));
        }
    });
    task.cancel(); // before it starts: the first check already sees it
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<bool>{true, true, true, true}));
    EXPECT_FALSE(Task<>::isCurrentCancelled()); // outside any task
}

TEST_F(TaskTest, YieldLetsOtherQueuedJobsRunFirst) {
    auto worker = [this](std::string name) {
        return [this, name]() -> Task<void> {
            events.push_back(name + "1");
            co_await Task<>::yield();
            events.push_back(name + "2");
        };
    };
    Task<void>::run(worker("a"));
    Task<void>::run(worker("b"));
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"a1", "b1", "a2", "b2"}));
}

TEST_F(TaskTest, PrioritiesAreGivenInheritedOrDefaulted) {
    std::vector<std::optional<TaskPriority>> seen;
    Task<void>::run(
        [&seen]() -> Task<void> {
            seen.push_back(Task<>::currentPriority());
            Task<void>::run([&seen]() -> Task<void> {
                seen.push_back(Task<>::currentPriority());
                co_return;
            });
            Task<void>::detached([&seen]() -> Task<void> {
                seen.push_back(Task<>::currentPriority());
                co_return;
            });
            co_return;
        },
        TaskPriority::background);
    Task<void>::runOnMain([&seen]() -> Task<void> {
        seen.push_back(Task<>::currentPriority());
        co_return;
    });
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::optional<TaskPriority>>{
                        TaskPriority::background, TaskPriority::userInitiated,
                        TaskPriority::background, TaskPriority::medium}));
    EXPECT_EQ(TaskPriority::low, TaskPriority::utility);
    EXPECT_EQ(Task<>::currentPriority(), std::nullopt);
}

TEST_F(TaskTest, CancellationHandlerRunsAtOnceWhenAlreadyCancelledAndNotAfterTheOperation) {
    auto task = Task<void>::run([this]() -> Task<void> {
        co_await withTaskCancellationHandler(
            [this]() -> Task<void> {
                events.push_back("operation");
                co_return;
            },
            [this] { events.push_back("onCancel"); });
    });
    task.cancel();
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"onCancel", "operation"}));

    events.clear();
    auto finished = Task<void>::run([this]() -> Task<void> {
        co_await withTaskCancellationHandler([]() -> Task<void> { co_return; },
                                             [this] { events.push_back("late"); });
        co_await Task<>::sleep(1s);
    });
    env.runUntilIdle();
    finished.cancel();
    env.runUntilIdle();
    EXPECT_TRUE(events.empty());
}

TEST_F(TaskTest, CancellationHandlerRunsWhenTheTaskIsCancelledWhileSuspended) {
    auto task = Task<void>::run([this]() -> Task<void> {
        co_await withTaskCancellationHandler(
            [this]() -> Task<void> {
                try {
                    co_await Task<>::sleep(10s);
                } catch (const Error&) {
                    events.push_back("sleep ended");
                }
            },
            [this] { events.push_back("onCancel"); });
    });
    env.runUntilIdle();
    task.cancel();
    EXPECT_EQ(events, (std::vector<std::string>{"onCancel"}));
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"onCancel", "sleep ended"}));
}

TEST_F(TaskTest, MainActorRunHopsToTheMainThreadAndBack) {
    bool ranOnMain = false;
    int value = 0;
    Task<void>::run([&]() -> Task<void> {
        value = co_await MainActor::run([&ranOnMain] {
            ranOnMain = isMainThread();
            return 7;
        });
    });
    env.runUntilIdle();
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(value, 7);
}

TEST_F(TaskTest, ContinuationResumedLaterHandsOverItsValueOrError) {
    std::optional<CheckedContinuation<int>> plain;
    std::optional<CheckedThrowingContinuation<std::string>> throwing;
    std::optional<int> got;
    bool threw = false;
    Task<void>::run([&]() -> Task<void> {
        got = co_await withCheckedContinuation<int>(
            [&](CheckedContinuation<int> continuation) { plain = continuation; });
        try {
            co_await withCheckedThrowingContinuation<std::string>(
                [&](CheckedThrowingContinuation<std::string> continuation) {
                    throwing = continuation;
                });
        } catch (const Error& error) {
            threw = isCancellation(error);
        }
    });
    env.runUntilIdle();
    ASSERT_TRUE(plain);
    plain->resume(5);
    EXPECT_FALSE(got); // the task goes on in a later turn
    env.runUntilIdle();
    EXPECT_EQ(got, 5);
    ASSERT_TRUE(throwing);
    throwing->resumeThrowing(Error::make<CancellationError>());
    env.runUntilIdle();
    EXPECT_TRUE(threw);
}

TEST_F(TaskTest, ContinuationResumedInsideItsBodyGoesOnWithoutWaiting) {
    int got = 0;
    Task<void>::run([&]() -> Task<void> {
        got = co_await withCheckedContinuation<int>(
            [](CheckedContinuation<int> continuation) { continuation.resume(9); });
    });
    env.runUntilIdle();
    EXPECT_EQ(got, 9);
}

using TaskDeathTest = TaskTest;

TEST_F(TaskDeathTest, ResumingAContinuationTwiceStopsTheProcess) {
    EXPECT_DEATH(
        {
            Task<void>::run([]() -> Task<void> {
                co_await withCheckedContinuation<void>([](CheckedContinuation<void> c) {
                    c.resume();
                    c.resume();
                });
            });
            env.runUntilIdle();
        },
        "tried to resume its continuation more than once");
}

// Counts the frames that are gone.
struct DestructionProbe {
    int* destroyed;
    ~DestructionProbe() { ++*destroyed; }
};

TEST_F(TaskTest, ATaskNothingCanResumeAnyMoreIsDestroyed) {
    int destroyed = 0;
    bool continued = false;
    Task<void>::run([&]() -> Task<void> {
        DestructionProbe probe{&destroyed};
        co_await withCheckedContinuation<void>([](CheckedContinuation<void>) {});
        continued = true;
    });
    env.runUntilIdle();
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(continued);
}

TEST_F(TaskTest, ResettingTheProcessEndsSuspendedTasks) {
    int destroyed = 0;
    std::optional<CheckedContinuation<void>> kept;
    Task<void>::run([&]() -> Task<void> {
        DestructionProbe probe{&destroyed};
        co_await withCheckedContinuation<void>(
            [&](CheckedContinuation<void> continuation) { kept = continuation; });
    });
    env.runUntilIdle();
    EXPECT_EQ(destroyed, 0);
    resetProcess();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(TaskTest, GroupAnswersTheFirstFinishedChildAndAwaitsTheCancelledOnesOnLeaving) {
    std::optional<int> first;
    Task<void>::run([&]() -> Task<void> {
        first =
            co_await withThrowingTaskGroup<int>([this](ThrowingTaskGroup<int>& group) -> Task<int> {
                group.addTask([this]() -> Task<int> {
                    try {
                        co_await Task<>::sleep(10s);
                    } catch (const Error&) {
                        events.push_back("slow cancelled");
                        throw;
                    }
                    co_return 1;
                });
                group.addTask([]() -> Task<int> {
                    co_await Task<>::sleep(2s);
                    co_return 2;
                });
                const auto winner = co_await group.next();
                group.cancelAll();
                events.push_back("cancelled all");
                co_return winner.value();
            });
        events.push_back("left");
    });
    env.advance(2s);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(events, (std::vector<std::string>{"cancelled all", "slow cancelled", "left"}));
}

TEST_F(TaskTest, CancellingTheOwnerCancelsTheGroupsChildren) {
    bool childCancelled = false;
    auto owner = Task<void>::run([&]() -> Task<void> {
        co_await withThrowingTaskGroup<void>([&](ThrowingTaskGroup<void>& group) -> Task<void> {
            group.addTask([&]() -> Task<void> {
                try {
                    co_await Task<>::sleep(10s);
                } catch (const Error& error) {
                    childCancelled = isCancellation(error);
                }
            });
            co_await group.next();
        });
    });
    env.runUntilIdle();
    owner.cancel();
    env.runUntilIdle();
    EXPECT_TRUE(childCancelled);
    EXPECT_TRUE(owner.isFinished());
}

// A stop ends the job it is raised in, wherever it is raised in a group: none of the code
// after it runs, and the machine goes on with its work. Raised in a child, it ends the child
// unfinished: the group is not told, and its owner waits, as the process's other suspended
// tasks do, until the process is reset. Raised in the owner's code in the group, it leaves
// the owner's frames, which go with the job.
TEST_F(TaskTest, AStopInAGroupChildEndsItsJobAndTheProgramGoesOn) {
    for (const bool inChild : {true, false}) {
        SCOPED_TRACE(inChild ? "stopped in a child" : "stopped in the group's body");
        events.clear();
        int ownerGone = 0;
        const auto stop = [&](const char* after) {
            ProcessTeardown::run();
            ProcessTeardown::stopIfEnded(); // as at its next call into the platform
            events.push_back(after);
        };
        Task<void>::run([&]() -> Task<void> {
            DestructionProbe probe{&ownerGone};
            co_await withThrowingTaskGroup<void>([&](ThrowingTaskGroup<void>& group) -> Task<void> {
                group.addTask([&]() -> Task<void> {
                    if (inChild) {
                        stop("child went on");
                    }
                    co_return;
                });
                if (!inChild) {
                    stop("body went on");
                }
                co_await group.next();
                events.push_back("owner went on");
            });
        });
        RunLoop::main().machineAsyncAt(clock().uptime() + 1s,
                                       [&] { events.push_back("machine went on"); });
        env.advance(2s);
        EXPECT_EQ(events, std::vector<std::string>{"machine went on"});
        EXPECT_EQ(ownerGone, inChild ? 0 : 1);
        resetProcess();
        EXPECT_EQ(ownerGone, 1);
    }
}

// A stop raised in an awaited operation that a job resumed leaves from that job at once: the
// coroutines awaiting the operation do not go on, not even to clean up on the way, as they
// would with an error the operation kept for them; their frames go with the task.
TEST_F(TaskTest, AStopInAnAwaitedOperationLeavesFromItsJobAndItsAwaitersDoNotGoOn) {
    int awaitingGone = 0;
    const auto operation = [&]() -> Task<int> {
        co_await Task<>::yield(); // from here on a job resumes it, not the coroutine awaiting it
        ProcessTeardown::run();
        ProcessTeardown::stopIfEnded(); // as at its next call into the platform
        events.push_back("operation went on");
        co_return 1;
    };
    const auto awaiting = [&]() -> Task<int> {
        try {
            co_return co_await operation();
        } catch (...) {
            events.push_back("awaiting operation went on");
            throw;
        }
    };
    Task<void>::run([&]() -> Task<void> {
        DestructionProbe probe{&awaitingGone};
        try {
            co_await awaiting();
        } catch (...) {
            events.push_back("task went on");
            throw;
        }
    });
    RunLoop::main().machineAsyncAt(clock().uptime() + 1s,
                                   [&] { events.push_back("machine went on"); });
    env.advance(2s);
    EXPECT_EQ(events, std::vector<std::string>{"machine went on"});
    resetProcess();
    EXPECT_EQ(awaitingGone, 1);
}

// What the frames of a task hold goes as an ended process's objects go, on the main run loop,
// whether the task stopped in its job or the end dropped the job before it ran: what it asks
// as it goes is refused.
TEST_F(TaskTest, WhatAStoppedJobsFramesHoldAsksNothingAsItGoes) {
    for (const bool stoppedInItsJob : {true, false}) {
        SCOPED_TRACE(stoppedInItsJob ? "stopped in its job" : "dropped by the end");
        auto [asks, gone] = asksAsItGoes();
        Task<void>::run([asks = std::move(asks), stoppedInItsJob]() -> Task<void> {
            if (stoppedInItsJob) {
                ProcessTeardown::run();
                ProcessTeardown::stopIfEnded(); // as at its next call into the platform
            }
            co_return;
        });
        if (!stoppedInItsJob) {
            ProcessTeardown::run(); // the machine ends the process before the job runs
        }
        env.runUntilIdle();
        expectRefused(gone);
        resetProcess();
    }
}

// The global executor on real threads: continuations resumed and tasks cancelled from other
// threads while the tasks run.
class TaskThreadPoolTest : public TaskTest {
protected:
    TaskThreadPoolTest() { setGlobalExecutorMode(GlobalExecutorMode::threadPool); }
    ~TaskThreadPoolTest() override { setGlobalExecutorMode(GlobalExecutorMode::mainRunLoop); }
};

TEST_F(TaskThreadPoolTest, ContinuationsResumedFromOtherThreads) {
    constexpr int kTasks = 64;
    std::atomic<int> sum{0};
    std::vector<std::thread> resumers;
    std::mutex mutex;
    std::promise<void> allDone;
    std::atomic<int> remaining{kTasks};
    for (int i = 0; i < kTasks; ++i) {
        Task<void>::run([&, i]() -> Task<void> {
            const int value = co_await withCheckedContinuation<int>(
                [&, i](CheckedContinuation<int> continuation) {
                    std::lock_guard lock(mutex);
                    resumers.emplace_back([continuation, i] { continuation.resume(i); });
                });
            sum += value;
            if (--remaining == 0) {
                allDone.set_value();
            }
        });
    }
    allDone.get_future().wait();
    std::lock_guard lock(mutex);
    for (auto& thread : resumers) {
        thread.join();
    }
    EXPECT_EQ(sum.load(), kTasks * (kTasks - 1) / 2);
}

TEST_F(TaskThreadPoolTest, CancellationRacingTheEndOfTheWaitResumesOnce) {
    constexpr int kTasks = 64;
    std::promise<void> allDone;
    std::atomic<int> remaining{kTasks};
    std::atomic<int> resumed{0};
    std::vector<Task<void>> tasks;
    std::vector<CheckedContinuation<void>> continuations;
    std::mutex mutex;
    std::promise<void> allWaiting;
    std::atomic<int> waiting{kTasks};
    for (int i = 0; i < kTasks; ++i) {
        tasks.push_back(Task<void>::run([&]() -> Task<void> {
            co_await withTaskCancellationHandler(
                [&]() -> Task<void> {
                    co_await withCheckedContinuation<void>(
                        [&](CheckedContinuation<void> continuation) {
                            std::lock_guard lock(mutex);
                            continuations.push_back(continuation);
                            if (--waiting == 0) {
                                allWaiting.set_value();
                            }
                        });
                },
                [] {});
            ++resumed;
            if (--remaining == 0) {
                allDone.set_value();
            }
        }));
    }
    allWaiting.get_future().wait();
    std::thread canceller([&] {
        for (auto& task : tasks) {
            task.cancel();
        }
    });
    {
        std::lock_guard lock(mutex);
        for (auto& continuation : continuations) {
            continuation.resume();
        }
    }
    canceller.join();
    allDone.get_future().wait();
    EXPECT_EQ(resumed.load(), kTasks);
}

TEST_F(TaskThreadPoolTest, TheEndRefusesWhatARunningJobAsksAndRunsNoJobAfterIt) {
    std::promise<void> started;
    std::promise<void> release;
    std::promise<void> finished;
    Task<void>::run([&, released = release.get_future().share()]() -> Task<void> {
        started.set_value();
        released.wait();
        osLog(OSLog{"com.example", "test"}, OSLogType::info, "late");
        UserDefaults::standard()->set(Value(true), "late");
        finished.set_value();
        co_return;
    });
    started.get_future().wait();
    ProcessTeardown::run();
    bool startedAfter = false;
    Task<void>::run([&]() -> Task<void> {
        startedAfter = true;
        co_return;
    });
    release.set_value();
    finished.get_future().wait();
    EXPECT_TRUE(env.logLines().empty());
    EXPECT_TRUE(UserDefaults::standard()->object("late").isAbsent());
    resetProcess(); // joins the pool's threads
    EXPECT_FALSE(startedAfter);
}

// The same on a thread of the pool, which lets go of the job after its call-in.
TEST_F(TaskThreadPoolTest, WhatAStoppedJobsFramesHoldAsksNothingAsItGoes) {
    auto [asks, gone] = asksAsItGoes();
    std::promise<void> started;
    std::promise<void> ended;
    Task<void>::run(
        [asks = std::move(asks), &started, ended = ended.get_future().share()]() -> Task<void> {
            started.set_value();
            ended.wait();
            ProcessTeardown::stopIfEnded(); // as at its next call into the platform
            co_return;
        });
    started.get_future().wait();
    ProcessTeardown::run();
    ended.set_value();
    expectRefused(gone);
}

} // namespace
} // namespace zestrel::platform
