#include "foundation/LazyBox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace zestrel {
namespace {

TEST(LazyBoxTest, ConcurrentFirstReadsRunTheClosureOnce) {
    std::atomic<int> runs{0};
    LazyBox<std::string> box([&] {
        ++runs;
        return std::string("computed");
    });
    std::latch start(4);
    std::vector<std::thread> threads;
    std::vector<std::string> seen(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            seen[t] = box.wrappedValue();
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(runs.load(), 1);
    for (const auto& value : seen) {
        EXPECT_EQ(value, "computed");
    }
}

TEST(LazyBoxTest, ComparisonsAndHashDelegateToTheValue) {
    LazyBox<int> one([] { return 1; });
    LazyBox<int> alsoOne([] { return 1; });
    LazyBox<int> two([] { return 2; });
    EXPECT_TRUE(one == alsoOne);
    EXPECT_FALSE(one == two);
    EXPECT_TRUE(one < two);
    EXPECT_EQ(std::hash<LazyBox<int>>{}(one), std::hash<int>{}(1));
}

} // namespace
} // namespace zestrel
