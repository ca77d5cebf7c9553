#include "foundation/AsyncSemaphore.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel {
namespace {

using platform::Error;
using platform::Task;

class AsyncSemaphoreTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::vector<std::string> events;

    // A task that waits (cancellably or not) and records how the wait ended.
    Task<void> waiter(AsyncSemaphore& semaphore, std::string name, bool cancellable) {
        return Task<void>::run([this, &semaphore, name, cancellable]() -> Task<void> {
            try {
                if (cancellable) {
                    co_await semaphore.waitUnlessCancelled();
                } else {
                    co_await semaphore.wait();
                }
                events.push_back(name + " got it");
            } catch (const Error& error) {
                events.push_back(name + " " + error.describe());
            }
        });
    }
};

TEST_F(AsyncSemaphoreTest, WaitersAreResumedFirstInFirstOut) {
    AsyncSemaphore semaphore(0);
    waiter(semaphore, "A", false);
    waiter(semaphore, "B", true);
    waiter(semaphore, "C", false);
    env.runUntilIdle();
    EXPECT_EQ(semaphore.value(), -3);
    EXPECT_TRUE(semaphore.signal());
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"A got it"}));
    EXPECT_TRUE(semaphore.signal());
    EXPECT_TRUE(semaphore.signal());
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"A got it", "B got it", "C got it"}));
    EXPECT_EQ(semaphore.value(), 0);
}

TEST_F(AsyncSemaphoreTest, AnAvailableUnitIsTakenAtOnceAndASignalWithoutWaitersAddsOne) {
    AsyncSemaphore semaphore(1);
    waiter(semaphore, "A", false);
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"A got it"}));
    EXPECT_EQ(semaphore.value(), 0);
    EXPECT_FALSE(semaphore.signal());
    EXPECT_EQ(semaphore.value(), 1);
}

TEST_F(AsyncSemaphoreTest, ACancelledTaskTakesNothingEvenWhenAUnitIsFree) {
    AsyncSemaphore semaphore(1);
    waiter(semaphore, "A", true).cancel();
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"A CancellationError()"}));
    EXPECT_EQ(semaphore.value(), 1);
}

TEST_F(AsyncSemaphoreTest, CancellingASuspendedWaiterUnlistsItAndRestoresTheCount) {
    AsyncSemaphore semaphore(0);
    auto a = waiter(semaphore, "A", true);
    waiter(semaphore, "B", true);
    env.runUntilIdle();
    a.cancel();
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"A CancellationError()"}));
    EXPECT_EQ(semaphore.suspendedCount(), 1u);
    EXPECT_EQ(semaphore.value(), -1);
    EXPECT_TRUE(semaphore.signal()); // goes to B, the only one left
    env.runUntilIdle();
    EXPECT_EQ(events.back(), "B got it");
}

TEST_F(AsyncSemaphoreTest, CancellationBeforeTheWaiterIsListedThrowsWithoutListingIt) {
    AsyncSemaphore semaphore(0);
    // Cancelled before it starts: its handler runs while the count is already decreased
    // and before the suspension is registered.
    waiter(semaphore, "A", true).cancel();
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"A CancellationError()"}));
    EXPECT_EQ(semaphore.suspendedCount(), 0u);
    EXPECT_EQ(semaphore.value(), 0);
    EXPECT_FALSE(semaphore.signal());
}

TEST_F(AsyncSemaphoreTest, CancellationAfterTheSignalLeavesTheWaiterItsUnit) {
    AsyncSemaphore semaphore(0);
    auto a = waiter(semaphore, "A", true);
    env.runUntilIdle();
    EXPECT_TRUE(semaphore.signal());
    // The waiter is resumed but has not left its cancellation handler yet.
    a.cancel();
    env.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"A got it"}));
    EXPECT_EQ(semaphore.value(), 0);
    EXPECT_EQ(semaphore.suspendedCount(), 0u);
}

using AsyncSemaphoreDeathTest = AsyncSemaphoreTest;

TEST_F(AsyncSemaphoreDeathTest, NegativeCountOrReleaseWithWaitersStopsTheProcess) {
    EXPECT_DEATH(AsyncSemaphore(-1), "value equal or greater than zero");
    EXPECT_DEATH(
        {
            auto semaphore = std::make_unique<AsyncSemaphore>(0);
            waiter(*semaphore, "A", false);
            env.runUntilIdle();
            semaphore.reset();
        },
        "deallocated while some task");
}

} // namespace
} // namespace zestrel
