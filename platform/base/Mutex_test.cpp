#include "platform/base/Mutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zestrel::platform {
namespace {

// Whether another thread could take the lock now (asking from the holder's own thread is
// undefined for a plain mutex).
template <class M> bool freeElsewhere(M& mutex) {
    bool taken = false;
    std::thread other([&] {
        if (mutex.try_lock()) {
            mutex.unlock();
            taken = true;
        }
    });
    other.join();
    return taken;
}

template <class M> bool freeToReadElsewhere(M& mutex) {
    bool taken = false;
    std::thread other([&] {
        if (mutex.try_lock_shared()) {
            mutex.unlock_shared();
            taken = true;
        }
    });
    other.join();
    return taken;
}

struct Counter {
    Mutex mutex;
    std::condition_variable_any changed;
    int value GUARDED_BY(mutex) = 0;
};

TEST(MutexLock, ReleasesAndRetakesWithinItsScope) {
    Mutex mutex;
    {
        MutexLock lock(mutex);
        EXPECT_TRUE(lock.owns_lock());
        EXPECT_FALSE(freeElsewhere(mutex));
        lock.unlock();
        EXPECT_FALSE(lock.owns_lock());
        EXPECT_TRUE(freeElsewhere(mutex));
        lock.lock();
        EXPECT_FALSE(freeElsewhere(mutex));
    }
    // The scope's end let go of the retaken lock.
    EXPECT_TRUE(freeElsewhere(mutex));
}

TEST(MutexLock, WaitsForAConditionSetByAnotherThread) {
    Counter counter;
    std::thread writer([&counter] {
        for (int i = 0; i < 3; ++i) {
            MutexLock lock(counter.mutex);
            ++counter.value;
            counter.changed.notify_all();
        }
    });
    {
        MutexLock lock(counter.mutex);
        while (counter.value < 3) {
            lock.wait(counter.changed);
        }
        EXPECT_EQ(counter.value, 3);
    }
    writer.join();
}

TEST(MutexLock, TimedWaitsReportATimeoutWhenNothingChanges) {
    Counter counter;
    MutexLock lock(counter.mutex);
    // A deadline already past returns at once, holding the lock again.
    EXPECT_EQ(lock.waitUntil(counter.changed, std::chrono::steady_clock::now()),
              std::cv_status::timeout);
    EXPECT_EQ(lock.waitFor(counter.changed, std::chrono::nanoseconds(0)), std::cv_status::timeout);
    EXPECT_FALSE(freeElsewhere(counter.mutex));
}

TEST(RecursiveMutex, IsTakenAgainByItsHolder) {
    RecursiveMutex mutex;
    RecursiveMutexLock outer(mutex);
    [&mutex] {
        RecursiveMutexLock inner(mutex); // the holder takes it again without deadlock
        EXPECT_FALSE(freeElsewhere(mutex));
    }();
    EXPECT_FALSE(freeElsewhere(mutex)) << "still held by the outer scope";
}

TEST(SharedMutex, ReadersShareAndAWriterExcludes) {
    SharedMutex mutex;
    {
        ReaderLock first(mutex);
        EXPECT_TRUE(freeToReadElsewhere(mutex)) << "a second reader gets in";
        EXPECT_FALSE(freeElsewhere(mutex)) << "a writer waits for the readers";
    }
    {
        WriterLock writer(mutex);
        EXPECT_FALSE(freeToReadElsewhere(mutex)) << "a reader waits for the writer";
    }
    EXPECT_TRUE(freeElsewhere(mutex));
}

} // namespace
} // namespace zestrel::platform
