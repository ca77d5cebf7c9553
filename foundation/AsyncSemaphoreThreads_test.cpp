#include "foundation/AsyncSemaphore.h"

#include "platform/concurrency/Executor.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>

namespace zestrel {
namespace {

namespace pf = platform;
using pf::Task;

// Tasks on the real thread pool contend for a semaphore of two units.
TEST(AsyncSemaphoreThreadsTest, NoMoreHoldersThanUnitsAcrossPoolThreads) {
    pf::testing::TestEnvironment environment;
    pf::setGlobalExecutorMode(pf::GlobalExecutorMode::threadPool);
    constexpr int kTasks = 8;
    constexpr int kRounds = 200;
    AsyncSemaphore semaphore(2);
    std::atomic<int> holders{0};
    std::atomic<int> mostHolders{0};
    std::atomic<int> passes{0};
    std::latch finished(kTasks);

    for (int task = 0; task < kTasks; ++task) {
        Task<void>::detached([&]() -> Task<void> {
            for (int round = 0; round < kRounds; ++round) {
                co_await semaphore.wait();
                const int now = holders.fetch_add(1) + 1;
                int most = mostHolders.load();
                while (now > most && !mostHolders.compare_exchange_weak(most, now)) {
                }
                passes.fetch_add(1);
                holders.fetch_sub(1);
                semaphore.signal();
            }
            finished.count_down();
        });
    }
    finished.wait();

    EXPECT_EQ(passes.load(), kTasks * kRounds);
    EXPECT_LE(mostHolders.load(), 2);
    EXPECT_GE(mostHolders.load(), 1);
    EXPECT_EQ(semaphore.value(), 2);
    EXPECT_EQ(semaphore.suspendedCount(), 0u);
    pf::setGlobalExecutorMode(pf::GlobalExecutorMode::mainRunLoop);
}

} // namespace
} // namespace zestrel
