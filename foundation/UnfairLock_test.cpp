#include "foundation/UnfairLock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zestrel {
namespace {

// Tried from another thread: the owner may not try its own lock again (the standard leaves
// that undefined).
bool takenFromAnotherThread(UnfairLock& lock) {
    bool taken = false;
    std::thread([&] {
        if (lock.try_lock()) {
            taken = true;
            lock.unlock();
        }
    }).join();
    return taken;
}

TEST(UnfairLockTest, SerializesIncrementsFromManyThreads) {
    UnfairLock lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                UnfairLockGuard guard(lock);
                ++counter;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 40000);
}

TEST(UnfairLockTest, IsFreeForOthersOnlyOnceReleased) {
    UnfairLock lock;
    {
        UnfairLockGuard guard(lock);
        EXPECT_FALSE(takenFromAnotherThread(lock));
        guard.unlock();
        EXPECT_TRUE(takenFromAnotherThread(lock));
        guard.lock();
        EXPECT_FALSE(takenFromAnotherThread(lock));
    }
    EXPECT_TRUE(takenFromAnotherThread(lock));
}

} // namespace
} // namespace zestrel
