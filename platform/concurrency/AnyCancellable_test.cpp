#include "platform/concurrency/AnyCancellable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace zestrel::platform::combine {
namespace {

TEST(AnyCancellable, CancelsOnceWhenTheLastCopyGoesOrOnCancel) {
    int cancels = 0;
    {
        AnyCancellable original([&] { ++cancels; });
        std::vector<AnyCancellable> stored;
        original.store(stored);
        {
            AnyCancellable copy = original;
            EXPECT_EQ(copy, original);
        }
        EXPECT_EQ(cancels, 0); // copies share one subscription
        stored.clear();
        EXPECT_EQ(cancels, 0);
    }
    EXPECT_EQ(cancels, 1);

    AnyCancellable explicitOne([&] { ++cancels; });
    explicitOne.cancel();
    explicitOne.cancel();
    EXPECT_EQ(cancels, 2);
}

TEST(AnyCancellable, StoresInSetsByIdentity) {
    int cancels = 0;
    std::unordered_set<AnyCancellable> hashed;
    std::set<AnyCancellable> ordered;
    {
        AnyCancellable a([&] { ++cancels; });
        AnyCancellable b([&] { ++cancels; });
        a.store(hashed);
        a.store(hashed);
        b.store(hashed);
        a.store(ordered);
        EXPECT_EQ(hashed.size(), 2u);
        EXPECT_EQ(ordered.size(), 1u);
    }
    EXPECT_EQ(cancels, 0);
    hashed.clear();
    EXPECT_EQ(cancels, 1); // a is still in `ordered`
    ordered.clear();
    EXPECT_EQ(cancels, 2);
}

TEST(AnyCancellable, CancelRacingFromManyThreadsRunsTheCancellationOnce) {
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> cancels{0};
        AnyCancellable cancellable([&] { cancels.fetch_add(1); });
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            // Each thread holds its own copy, as a real sharer would.
            threads.emplace_back([copy = cancellable] { copy.cancel(); });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        ASSERT_EQ(cancels.load(), 1);
    }
}

} // namespace
} // namespace zestrel::platform::combine
