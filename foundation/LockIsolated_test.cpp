#include "foundation/LockIsolated.h"
#include "foundation/LockedValueBox.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zestrel {
namespace {

struct Counter {
    int count = 0;
    std::string label;
};

TEST(LockIsolatedTest, WithValueKeepsChangesMadeBeforeAThrow) {
    LockIsolated<Counter> counter(Counter{1, "a"});
    EXPECT_THROW(counter.withValue([](Counter& c) {
        c.count = 5;
        throw std::runtime_error("late failure");
    }),
                 std::runtime_error);
    EXPECT_EQ(counter.value().count, 5);
}

TEST(LockIsolatedTest, SetValueWhoseClosureThrowsLeavesTheValue) {
    LockIsolated<int> value(7);
    EXPECT_THROW(value.setValue([]() -> int { throw std::runtime_error("no"); }),
                 std::runtime_error);
    EXPECT_EQ(value.value(), 7);
    value.setValue([] { return 8; });
    EXPECT_EQ(value.value(), 8);
}

TEST(LockIsolatedTest, ThrowingInitializerPassesTheErrorOn) {
    auto make = []() -> int { throw std::runtime_error("no start"); };
    EXPECT_THROW(LockIsolated<int>{make}, std::runtime_error);
}

TEST(LockIsolatedTest, OperationsMayReenterTheSameObject) {
    LockIsolated<Counter> counter(Counter{});
    const int seen = counter.withValue([&](Counter& c) {
        c.count = 3;
        // The outer operation works on a copy, so a nested read sees the value before it.
        return counter[&Counter::count] + counter.value().count;
    });
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(counter[&Counter::count], 3);
}

TEST(LockIsolatedTest, SerializesUpdatesFromManyThreads) {
    LockIsolated<int> value(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                value.withValue([](int& v) { ++v; });
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(value.value(), 8000);
}

TEST(LockedValueBoxTest, CopiesShareOneValueAcrossThreads) {
    LockedValueBox<int> box(0);
    LockedValueBox<int> copy = box;
    std::thread other([copy]() mutable {
        for (int i = 0; i < 5000; ++i) {
            copy.withValue([](int& v) { ++v; });
        }
    });
    for (int i = 0; i < 5000; ++i) {
        box.withValue([](int& v) { ++v; });
    }
    other.join();
    EXPECT_EQ(copy.value(), 10000);
    box.setValue(1);
    EXPECT_EQ(copy.value(), 1);
}

} // namespace
} // namespace zestrel
