#include "platform/concurrency/AsyncStream.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;
using Termination = AsyncStream<int>::Termination;

class AsyncStreamTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;

    // Reads the stream to its end in a task; the elements seen so far.
    template <class Stream> std::shared_ptr<std::vector<int>> consume(Stream stream) {
        auto seen = std::make_shared<std::vector<int>>();
        consumer_ = Task<void>::run([stream, seen]() -> Task<void> {
            while (auto element = co_await stream.next()) {
                seen->push_back(*element);
            }
            seen->push_back(-1); // the end
        });
        return seen;
    }
    Task<void> consumer_{std::shared_ptr<detail::TaskState<void>>()};
};

TEST_F(AsyncStreamTest, BuffersEverythingYieldedBeforeTheConsumerAsksAndEndsAfterIt) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(continuation.yield(i), AsyncStream<int>::Continuation::YieldResult::enqueued);
    }
    continuation.finish();
    EXPECT_EQ(continuation.yield(4), AsyncStream<int>::Continuation::YieldResult::terminated);
    auto seen = consume(stream);
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<int>{1, 2, 3, -1}));
}

TEST_F(AsyncStreamTest, AWaitingConsumerGetsEachElementAsItIsYielded) {
    std::optional<AsyncStream<int>::Continuation> continuation;
    AsyncStream<int> stream([&](AsyncStream<int>::Continuation c) { continuation = c; });
    auto seen = consume(stream);
    env.runUntilIdle();
    continuation->yield(7);
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<int>{7}));
    continuation->finish();
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<int>{7, -1}));
}

TEST_F(AsyncStreamTest, TerminationHandlerRunsExactlyOnceAndAtOnceWhenSetLate) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    std::vector<Termination> calls;
    continuation.setOnTermination([&calls](Termination why) { calls.push_back(why); });
    continuation.finish();
    continuation.finish();
    EXPECT_EQ(calls, (std::vector<Termination>{Termination::finished}));
    continuation.setOnTermination([&calls](Termination why) { calls.push_back(why); });
    EXPECT_EQ(calls, (std::vector<Termination>{Termination::finished, Termination::finished}));
}

TEST_F(AsyncStreamTest, CancellingTheWaitingConsumerEndsTheStreamAsCancelled) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    std::vector<Termination> calls;
    continuation.setOnTermination([&calls](Termination why) { calls.push_back(why); });
    auto seen = consume(stream);
    env.runUntilIdle();
    consumer_.cancel();
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<int>{-1}));
    EXPECT_EQ(calls, (std::vector<Termination>{Termination::cancelled}));
    EXPECT_EQ(continuation.yield(1), AsyncStream<int>::Continuation::YieldResult::terminated);
}

TEST_F(AsyncStreamTest, DroppingEveryCopyOfTheStreamEndsItAsCancelled) {
    std::vector<Termination> calls;
    std::optional<AsyncStream<int>::Continuation> continuation;
    {
        auto made = AsyncStream<int>::makeStream();
        continuation = made.second;
        continuation->setOnTermination([&calls](Termination why) { calls.push_back(why); });
        auto copy = made.first;
        EXPECT_TRUE(calls.empty());
    }
    EXPECT_EQ(calls, (std::vector<Termination>{Termination::cancelled}));
}

TEST_F(AsyncStreamTest, ThrowingStreamThrowsItsErrorAfterTheBufferedElementsThenEnds) {
    auto [stream, continuation] = AsyncThrowingStream<int>::makeStream();
    continuation.yield(1);
    continuation.finish(Error::make<CancellationError>());
    std::vector<std::string> seen;
    Task<void>::run([stream = stream, &seen]() -> Task<void> {
        seen.push_back(std::to_string(*co_await stream.next()));
        try {
            co_await stream.next();
        } catch (const Error& error) {
            seen.push_back(error.describe());
        }
        const auto after = co_await stream.next();
        seen.push_back(after ? "more" : "end");
    });
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "CancellationError()", "end"}));
}

// Producers on other threads and a consumer on the thread pool.
TEST_F(AsyncStreamTest, YieldsFromManyThreadsAreAllDelivered) {
    setGlobalExecutorMode(GlobalExecutorMode::threadPool);
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    std::promise<long> total;
    Task<void>::run([stream = stream, &total]() -> Task<void> {
        long sum = 0;
        while (auto element = co_await stream.next()) {
            sum += *element;
        }
        total.set_value(sum);
    });
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([continuation = continuation] {
            for (int i = 1; i <= kEach; ++i) {
                continuation.yield(i);
            }
        });
    }
    for (auto& producer : producers) {
        producer.join();
    }
    continuation.finish();
    EXPECT_EQ(total.get_future().get(), long{kThreads} * kEach * (kEach + 1) / 2);
    setGlobalExecutorMode(GlobalExecutorMode::mainRunLoop);
}

} // namespace
} // namespace zestrel::platform
