#include "foundation/AnyAsyncSequence.h"
#include "foundation/MergeAsyncSequence.h"
#include "foundation/PassthroughAsyncSequence.h"
#include "foundation/RemoveDuplicatesAsyncSequence.h"

#include "foundation/GeneralError.h"
#include "platform/concurrency/AsyncStream.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <vector>

namespace zestrel {
namespace {

using platform::AsyncStream;
using platform::AsyncThrowingStream;
using platform::Task;

class AsyncSequenceAdaptersTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;

    static AsyncStream<int> finishedStream(const std::vector<int>& elements) {
        auto [stream, continuation] = AsyncStream<int>::makeStream();
        for (int element : elements) {
            continuation.yield(element);
        }
        continuation.finish();
        return stream;
    }

    // Everything the sequence gives, read in a task; -1 marks an error.
    template <class Sequence> std::vector<int> collect(Sequence sequence) {
        auto seen = std::make_shared<std::vector<int>>();
        Task<void>::run([sequence, seen]() -> Task<void> {
            try {
                auto iterator = sequence.makeAsyncIterator();
                while (auto element = co_await iterator.next()) {
                    seen->push_back(*element);
                }
            } catch (const platform::Error&) {
                seen->push_back(-1);
            }
        });
        env.runUntilIdle();
        return *seen;
    }
};

TEST_F(AsyncSequenceAdaptersTest, RemoveDuplicatesDropsConsecutiveRepeats) {
    EXPECT_EQ(collect(removeDuplicates(finishedStream({1, 1, 2, 2, 2, 1}))),
              (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(collect(removeDuplicates(finishedStream({}))), (std::vector<int>{}));
    EXPECT_EQ(collect(removeDuplicates(finishedStream({5}))), (std::vector<int>{5}));
}

TEST_F(AsyncSequenceAdaptersTest, RemoveDuplicatesComparesWithTheImmediatePredecessor) {
    auto close = [](int a, int b) { return std::abs(a - b) < 2; };
    EXPECT_EQ(collect(removeDuplicates(finishedStream({1, 2, 3, 10}), close)),
              (std::vector<int>{1, 10}));
}

TEST_F(AsyncSequenceAdaptersTest, RemoveDuplicatesOverALongRunKeepsTheStackFlat) {
    std::vector<int> elements(200'000, 7);
    elements.push_back(8);
    // Through a type-erased base, so each element is a full nested await.
    EXPECT_EQ(collect(removeDuplicates(eraseToAnyAsyncSequence(finishedStream(elements)))),
              (std::vector<int>{7, 8}));
}

// A base every iterator of which reads the values from the start.
struct Replay {
    using Element = int;
    struct Iterator {
        std::vector<int> values;
        std::size_t index = 0;
        Task<std::optional<int>> next() {
            co_return index < values.size() ? std::optional(values[index++]) : std::nullopt;
        }
    };
    std::vector<int> values;
    Iterator makeAsyncIterator() const { return Iterator{values}; }
};

TEST_F(AsyncSequenceAdaptersTest, IteratorsOfOneSequenceAreIndependent) {
    const auto sequence = removeDuplicates(Replay{{1, 1, 2}});
    auto first = sequence.makeAsyncIterator();
    auto second = sequence.makeAsyncIterator();
    std::vector<std::optional<int>> seen;
    Task<void>::run([&]() -> Task<void> {
        seen.push_back(co_await first.next());
        seen.push_back(co_await second.next());
        seen.push_back(co_await second.next());
        seen.push_back(co_await first.next());
    });
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::optional<int>>{1, 1, 2, 2}));
    EXPECT_EQ(collect(eraseToAnyAsyncSequence(sequence)), (std::vector<int>{1, 2}));
    EXPECT_EQ(collect(eraseToAnyAsyncSequence(sequence)), (std::vector<int>{1, 2}));
}

TEST_F(AsyncSequenceAdaptersTest, AnyAsyncSequencePassesTheBaseErrorThrough) {
    auto [stream, continuation] = AsyncThrowingStream<int>::makeStream();
    continuation.yield(3);
    continuation.finish(GeneralError::make("Broken."));
    EXPECT_EQ(collect(eraseToAnyAsyncSequence(removeDuplicates(stream))),
              (std::vector<int>{3, -1}));
}

TEST_F(AsyncSequenceAdaptersTest, PassthroughsDeliverWhatWasSentBeforeTheirFinish) {
    PassthroughAsyncSequence<int> sequence;
    sequence.yield(1);
    sequence.yield(2);
    sequence.finish();
    EXPECT_EQ(collect(sequence), (std::vector<int>{1, 2}));

    AsyncPassthroughSubject<int> subject;
    AsyncPassthroughSubject<int> copy = subject;
    subject.send(1);
    subject.finish();
    subject.send(2);
    copy.send(3); // into the finished stream: dropped
    EXPECT_FALSE(copy.isFinished);
    EXPECT_EQ(collect(subject.stream), (std::vector<int>{1}));
}

TEST_F(AsyncSequenceAdaptersTest, MergeDeliversBothBasesAndEndsAfterBoth) {
    auto [a, feedA] = AsyncThrowingStream<int>::makeStream();
    auto [b, feedB] = AsyncThrowingStream<int>::makeStream();
    auto merged = merge(a, b);
    auto seen = std::make_shared<std::vector<int>>();
    Task<void>::run([merged, seen]() -> Task<void> {
        auto iterator = merged.makeAsyncIterator();
        while (auto element = co_await iterator.next()) {
            seen->push_back(*element);
        }
        seen->push_back(0);
    });
    feedA.yield(1);
    env.runUntilIdle();
    feedB.yield(2);
    env.runUntilIdle();
    feedA.yield(3);
    feedA.finish();
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<int>{1, 2, 3}));
    feedB.yield(4);
    feedB.finish();
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<int>{1, 2, 3, 4, 0}));
}

TEST_F(AsyncSequenceAdaptersTest, MergeEndsNormallyWhenTheFirstBaseFails) {
    auto [a, feedA] = AsyncThrowingStream<int>::makeStream();
    auto [b, feedB] = AsyncThrowingStream<int>::makeStream();
    std::vector<platform::AsyncThrowingStream<int>::Termination> secondEnded;
    feedB.setOnTermination([&secondEnded](auto why) { secondEnded.push_back(why); });
    auto merged = merge(a, b);
    feedA.yield(1);
    feedB.yield(2);
    feedA.finish(GeneralError::make("Broken."));
    EXPECT_EQ(collect(merged), (std::vector<int>{1, 2}));
    // The second base was cancelled and awaited.
    EXPECT_EQ(secondEnded.size(), 1u);
}

// A base that throws something other than a platform error still ends the merged
// sequence, at once when it is the first, and the fault is reported.
TEST_F(AsyncSequenceAdaptersTest, MergeFinishesWhenABaseThrowsAForeignException) {
    struct Base {
        using Element = int;
        AsyncStream<int> stream;
        bool throwsAtEnd = false;

        Base makeAsyncIterator() const { return *this; }
        Task<std::optional<int>> next() const {
            auto element = co_await stream.next();
            if (!element && throwsAtEnd) {
                throw std::runtime_error("Wire cut.");
            }
            co_return element;
        }
    };
    auto [a, feedA] = AsyncStream<int>::makeStream();
    auto [b, feedB] = AsyncStream<int>::makeStream();
    feedA.yield(1);
    feedA.finish();
    auto merged = merge(Base{a, true}, Base{b, false});
    auto seen = std::make_shared<std::vector<int>>();
    Task<void>::run([merged, seen]() -> Task<void> {
        auto iterator = merged.makeAsyncIterator();
        while (auto element = co_await iterator.next()) {
            seen->push_back(*element);
        }
        seen->push_back(0);
    });
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<int>{1, 0}));
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].localizedDescription(), "Async stream should not throw: Wire cut.");
}

} // namespace
} // namespace zestrel
