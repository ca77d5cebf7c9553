#include "platform/base/DispatchQueue.h"

#include "platform/base/MainThread.h"
#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;

// Waits, with a generous bound, for a condition other threads make true.
class Flag {
public:
    void set() {
        std::lock_guard lock(mutex_);
        set_ = true;
        changed_.notify_all();
    }
    bool wait() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return set_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

class DispatchQueueTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
};

TEST_F(DispatchQueueTest, SerialQueueRunsBlocksOneAtATimeInOrder) {
    DispatchQueue queue("test.serial");
    std::vector<int> order;
    std::atomic<int> inside{0};
    bool overlapped = false;
    for (int i = 0; i < 100; ++i) {
        queue.async([&, i] {
            overlapped |= ++inside > 1;
            order.push_back(i);
            --inside;
        });
    }
    const std::vector<int> seen = queue.sync([&] { return order; });
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(seen[i], i);
    }
    EXPECT_FALSE(overlapped);
}

TEST_F(DispatchQueueTest, SyncReturnsTheResultAndPassesOnWhatItThrows) {
    DispatchQueue queue("test.serial");
    EXPECT_EQ(queue.sync([] { return std::string("result"); }), "result");
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("failed"); }),
                 std::runtime_error);
    EXPECT_EQ(queue.sync([] { return 7; }), 7); // the queue is free again
}

TEST_F(DispatchQueueTest, BackgroundAsyncRunsOnAnotherThreadAndNeverInline) {
    DispatchQueue queue("test.serial");
    Flag done;
    std::atomic<bool> ran{false};
    std::atomic<bool> onMain{true};
    std::mutex gate;
    {
        std::lock_guard lock(gate); // the block cannot finish before async returns
        queue.async([&] {
            {
                std::lock_guard wait(gate);
                onMain = isMainThread();
                ran = true;
            }
            // Not under the gate: once the test has seen the flag, it destroys the gate.
            done.set();
        });
        EXPECT_FALSE(ran.load());
    }
    ASSERT_TRUE(done.wait());
    EXPECT_FALSE(onMain.load());
}

TEST_F(DispatchQueueTest, ConcurrentQueueRunsReadersSideBySide) {
    DispatchQueue queue("test.concurrent", DispatchQueue::Attributes::concurrent);
    // Each reader waits for the other: only side by side can both finish.
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    std::atomic<int> bothSeen{0};
    Flag finished;
    std::atomic<int> left{2};
    for (int i = 0; i < 2; ++i) {
        queue.async([&] {
            {
                std::unique_lock lock(mutex);
                ++arrived;
                changed.notify_all();
                if (changed.wait_for(lock, 10s, [&] { return arrived == 2; })) {
                    ++bothSeen;
                }
            }
            // The last to leave signals after letting go of the mutex, which the test
            // destroys as soon as it sees the flag.
            if (--left == 0) {
                finished.set();
            }
        });
    }
    ASSERT_TRUE(finished.wait());
    EXPECT_EQ(bothSeen.load(), 2);
}

TEST_F(DispatchQueueTest, BarrierWaitsForEarlierBlocksAndRunsAlone) {
    DispatchQueue queue("test.rw", DispatchQueue::Attributes::concurrent);
    std::atomic<int> readers{0};
    std::atomic<bool> writing{false};
    std::atomic<int> violations{0};
    int value = 0; // written only by barriers
    std::vector<int> readValues[4];
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < 200; ++i) {
                if (i % 10 == 0) {
                    queue.async(
                        [&] {
                            if (writing.exchange(true) || readers.load() != 0) {
                                ++violations;
                            }
                            ++value;
                            writing = false;
                        },
                        DispatchWorkItemFlags::barrier);
                } else {
                    readValues[c].push_back(queue.sync([&] {
                        ++readers;
                        if (writing.load()) {
                            ++violations;
                        }
                        const int seen = value;
                        --readers;
                        return seen;
                    }));
                }
            }
        });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(queue.sync([&] { return value; }, DispatchWorkItemFlags::barrier), 80);
    EXPECT_EQ(violations.load(), 0);
    for (const auto& values : readValues) {
        // A client's read sees every write it submitted before.
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_GE(values[i], static_cast<int>(i / 9 + 1));
        }
    }
}

TEST_F(DispatchQueueTest, CancelledWorkItemNeverRuns) {
    DispatchQueue queue("test.serial");
    std::atomic<int> runs{0};
    auto kept = std::make_shared<DispatchWorkItem>([&] { ++runs; });
    auto cancelled = std::make_shared<DispatchWorkItem>([&] { runs += 10; });
    std::mutex gate;
    {
        std::lock_guard lock(gate);
        queue.async([&] { std::lock_guard wait(gate); });
        queue.async(kept);
        queue.async(cancelled);
        cancelled->cancel();
    }
    queue.sync([] {});
    EXPECT_EQ(runs.load(), 1);

    auto onMain = std::make_shared<DispatchWorkItem>([&] { runs += 100; });
    DispatchQueue::main().asyncAfter(DispatchTime::now() + 1s, onMain);
    onMain->cancel();
    env.advance(2s);
    EXPECT_EQ(runs.load(), 1);
}

TEST_F(DispatchQueueTest, DelayedBlockOnABackgroundQueueWaitsForTheVirtualClock) {
    DispatchQueue queue("test.serial");
    std::atomic<bool> ran{false};
    queue.asyncAfter(500ms, [&] { ran = true; });
    env.advance(400ms);
    queue.sync([] {});
    EXPECT_FALSE(ran.load());
    env.advance(100ms);
    queue.sync([] {});
    EXPECT_TRUE(ran.load());

    // Its deadline does not wait behind a main-queue block that runs an alert, given with a
    // block or with a work item.
    for (const bool workItem : {false, true}) {
        ran = false;
        if (workItem) {
            queue.asyncAfter(DispatchTime::now() + 500ms,
                             std::make_shared<DispatchWorkItem>([&] { ran = true; }));
        } else {
            queue.asyncAfter(500ms, [&] { ran = true; });
        }
        std::optional<bool> alertEnded;
        DispatchQueue::main().async([&] {
            alertEnded = RunLoop::main().runModal(RunLoopMode::modalPanel, [&] {
                queue.sync([] {});
                return ran.load();
            });
        });
        env.runUntilIdle();
        EXPECT_EQ(alertEnded, true) << (workItem ? "work item" : "block");
    }
}

TEST_F(DispatchQueueTest, MainSyncFromAnotherThreadRunsOnTheMainLoop) {
    int result = 0;
    std::thread caller([&] {
        result = DispatchQueue::main().sync([] { return isMainThread() ? 1 : 2; });
        DispatchQueue::main().async([] { RunLoop::main().stop(); });
    });
    RunLoop::main().run(); // sleeps until the caller's posts arrive
    caller.join();
    EXPECT_EQ(result, 1);
}

TEST_F(DispatchQueueTest, GlobalQueuesAreSharedPerQualityOfService) {
    EXPECT_EQ(DispatchQueue::global(), DispatchQueue::global(DispatchQoS::defaultQoS));
    EXPECT_FALSE(DispatchQueue::global(DispatchQoS::utility) == DispatchQueue::global());
    EXPECT_EQ(DispatchQueue::global(DispatchQoS::utility).label(), "com.apple.root.utility-qos");
    EXPECT_EQ(DispatchQueue::main().label(), "com.apple.main-thread");
    EXPECT_EQ(DispatchQueue::global().sync([] { return 3; }), 3);
}

using DispatchQueueDeathTest = DispatchQueueTest;

TEST_F(DispatchQueueDeathTest, SyncOntoTheQueueItRunsOnStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(DispatchQueue::main().sync([] {}), "dispatch_sync called on queue already owned");
    EXPECT_DEATH(
        {
            DispatchQueue queue("test.serial");
            queue.sync([&] { queue.sync([] {}); });
        },
        "dispatch_sync called on queue already owned");
    EXPECT_DEATH(
        {
            DispatchQueue queue("test.rw", DispatchQueue::Attributes::concurrent);
            queue.sync([&] { queue.sync([] {}); }, DispatchWorkItemFlags::barrier);
        },
        "dispatch_sync called on queue already owned");
}

TEST_F(DispatchQueueTest, ReaderMayReadAgainInsideARead) {
    DispatchQueue queue("test.rw", DispatchQueue::Attributes::concurrent);
    EXPECT_EQ(queue.sync([&] { return queue.sync([] { return 5; }); }), 5);
}

} // namespace
} // namespace zestrel::platform
