#include "foundation/AsyncStreamUtilities.h"

#include "foundation/GeneralError.h"
#include "platform/concurrency/AsyncStream.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zestrel {
namespace {

using namespace std::chrono_literals;
using platform::AsyncStream;
using platform::AsyncThrowingStream;
using platform::Error;
using platform::Task;

// A stream whose end is an exception of no platform kind rather than a finish.
struct ForeignThrowingSequence {
    using Element = int;
    AsyncStream<int> stream;

    ForeignThrowingSequence makeAsyncIterator() const { return *this; }
    Task<std::optional<int>> next() const {
        auto element = co_await stream.next();
        if (!element) {
            throw std::runtime_error("Wire cut.");
        }
        co_return element;
    }
};

class AsyncStreamUtilitiesTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::vector<int> seen;
    std::vector<std::string> outcome;

    // Records the result or the error's description of an operation run in a task.
    template <class F> void record(F operation) {
        Task<void>::run([this, operation]() -> Task<void> {
            try {
                const int value = co_await operation();
                outcome.push_back(std::to_string(value));
            } catch (const Error& error) {
                outcome.push_back(error.describe());
            }
        });
    }
    // An operation that sleeps, then gives `value`; it records its own cancellation.
    auto sleeper(std::chrono::seconds duration, int value) {
        return [this, duration, value]() -> Task<int> {
            try {
                co_await Task<>::sleep(duration);
            } catch (const Error&) {
                outcome.push_back("cancelled " + std::to_string(value));
                throw;
            }
            co_return value;
        };
    }
};

TEST_F(AsyncStreamUtilitiesTest, AStreamThatFinishesAtOnceNeverRunsTheBody) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    continuation.finish();
    bool ended = false;
    Task<void>::run([&, stream = stream]() -> Task<void> {
        auto body = [this](int value) -> Task<void> {
            seen.push_back(value);
            co_return;
        };
        co_await forEachAsyncStreamElement(stream, body);
        ended = true;
    });
    env.runUntilIdle();
    EXPECT_TRUE(ended);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(AsyncStreamUtilitiesTest, AnErrorOfTheIterationIsReportedOnceAndEndsTheLoop) {
    auto [stream, continuation] = AsyncThrowingStream<int>::makeStream();
    continuation.yield(1);
    continuation.yield(2);
    continuation.finish(GeneralError::make("Disk gone."));
    Task<void>::run([&, stream = stream]() -> Task<void> {
        co_await forEachAsyncStreamElement(stream, [this](int value) -> Task<void> {
            seen.push_back(value);
            co_return;
        });
    });
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].localizedDescription(), "Async stream should not throw: Disk gone.");
}

TEST_F(AsyncStreamUtilitiesTest, AForeignExceptionOfTheIterationIsReportedAndEndsTheLoop) {
    for (const bool sequenceLoop : {true, false}) {
        seen.clear();
        auto [stream, continuation] = AsyncStream<int>::makeStream();
        continuation.yield(1);
        continuation.finish();
        const ForeignThrowingSequence sequence{stream};
        bool ended = false;
        Task<void>::run([&, sequence]() -> Task<void> {
            auto body = [this](int value) -> Task<void> {
                seen.push_back(value);
                co_return;
            };
            if (sequenceLoop) {
                co_await forEach(sequence, body);
            } else {
                co_await forEachAsyncStreamElement(sequence, body);
            }
            ended = true;
        });
        env.runUntilIdle();
        EXPECT_TRUE(ended);
        EXPECT_EQ(seen, (std::vector<int>{1}));
    }
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].localizedDescription(), "Async stream should not throw: Wire cut.");
}

TEST_F(AsyncStreamUtilitiesTest, ACancellationErrorOfTheIterationEndsTheLoopSilently) {
    auto [stream, continuation] = AsyncThrowingStream<int>::makeStream();
    continuation.yield(1);
    continuation.finish(Error::make<platform::CancellationError>());
    Task<void>::run([&, stream = stream]() -> Task<void> {
        co_await forEach(stream, [this](int value) -> Task<void> {
            seen.push_back(value);
            co_return;
        });
    });
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_TRUE(env.reports().empty());
}

// A body that cancels its own task on the first element: `forEach` stops after it, the
// stream loop goes on with what is buffered.
TEST_F(AsyncStreamUtilitiesTest, CancellationDuringABodyStopsOnlyTheSequenceLoop) {
    for (const bool sequenceLoop : {true, false}) {
        seen.clear();
        auto [stream, continuation] = AsyncStream<int>::makeStream();
        continuation.yield(1);
        continuation.yield(2);
        continuation.finish();
        auto task = std::make_shared<std::optional<Task<void>>>();
        auto body = [this, task](int value) -> Task<void> {
            seen.push_back(value);
            (*task)->cancel();
            co_return;
        };
        *task = Task<void>::run([=, stream = stream]() -> Task<void> {
            if (sequenceLoop) {
                co_await forEach(stream, body);
            } else {
                co_await forEachAsyncStreamElement(stream, body);
            }
        });
        env.runUntilIdle();
        task->reset();
        EXPECT_EQ(seen, (sequenceLoop ? std::vector<int>{1} : std::vector<int>{1, 2}));
        EXPECT_TRUE(env.reports().empty());
    }
}

TEST_F(AsyncStreamUtilitiesTest, ReleasingTheCancellableOfForEachInTaskStopsTheLoop) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    std::vector<platform::AsyncStream<int>::Termination> terminations;
    continuation.setOnTermination([&](auto why) { terminations.push_back(why); });
    auto cancellable = std::make_optional(forEachInTask(stream, [this](int value) -> Task<void> {
        seen.push_back(value);
        co_return;
    }));
    continuation.yield(1);
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{1}));
    cancellable.reset();
    env.runUntilIdle();
    continuation.yield(2);
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(terminations, (std::vector<platform::AsyncStream<int>::Termination>{
                                platform::AsyncStream<int>::Termination::cancelled}));
}

TEST_F(AsyncStreamUtilitiesTest, WithTimeoutReturnsAnOperationThatEndsInTime) {
    record([this] { return withTimeout(5s, sleeper(1s, 7)); });
    env.advance(1s);
    EXPECT_EQ(outcome, (std::vector<std::string>{"7"}));
}

TEST_F(AsyncStreamUtilitiesTest, WithTimeoutCancelsASlowOperationAtTheExactDeadline) {
    record([this] { return withTimeout(5s, sleeper(6s, 7)); });
    env.advance(5s - 1ns);
    EXPECT_TRUE(outcome.empty());
    env.advance(1ns);
    // The loser is cancelled and awaited before the call ends.
    EXPECT_EQ(outcome, (std::vector<std::string>{"cancelled 7", "TimeoutError()"}));
}

TEST_F(AsyncStreamUtilitiesTest, WithTimeoutPassesOnAnEarlyFailureOfTheOperation) {
    record([] {
        return withTimeout(5s, []() -> Task<int> {
            throw GeneralError::make("Broken.");
            co_return 0;
        });
    });
    env.runUntilIdle();
    ASSERT_EQ(outcome.size(), 1u);
    EXPECT_NE(outcome[0].find("Broken."), std::string::npos);
}

TEST_F(AsyncStreamUtilitiesTest, WithTimeoutOfZeroEndsWithoutTimePassing) {
    record([this] { return withTimeout(0s, sleeper(1s, 7)); });
    env.runUntilIdle();
    EXPECT_EQ(outcome, (std::vector<std::string>{"cancelled 7", "TimeoutError()"}));
}

TEST_F(AsyncStreamUtilitiesTest, CancellingTheCallerOfWithTimeoutCancelsBothChildren) {
    auto caller = Task<void>::run([this]() -> Task<void> {
        try {
            co_await withTimeout(5s, sleeper(6s, 7));
        } catch (const Error& error) {
            outcome.push_back(error.describe());
        }
    });
    env.advance(1s);
    caller.cancel();
    env.runUntilIdle();
    ASSERT_EQ(outcome.size(), 2u);
    EXPECT_EQ(outcome[0], "cancelled 7");
    EXPECT_EQ(outcome[1], "CancellationError()");
}

TEST_F(AsyncStreamUtilitiesTest, RaceAnswersTheFirstAndCancelsTheOther) {
    record([this] { return race(sleeper(3s, 1), sleeper(2s, 2)); });
    env.advance(2s);
    EXPECT_EQ(outcome, (std::vector<std::string>{"cancelled 1", "2"}));

    outcome.clear();
    record([this] {
        return race(
            []() -> Task<int> {
                co_await Task<>::sleep(1s);
                throw GeneralError::make("First failed.");
            },
            sleeper(2s, 2));
    });
    env.advance(1s);
    ASSERT_EQ(outcome.size(), 2u);
    EXPECT_EQ(outcome[0], "cancelled 2");
    EXPECT_NE(outcome[1].find("First failed."), std::string::npos);
}

TEST_F(AsyncStreamUtilitiesTest, RaceInACancelledTaskThrowsAtOnce) {
    auto task = Task<void>::run([this]() -> Task<void> {
        try {
            co_await race(sleeper(1s, 1), sleeper(1s, 2));
        } catch (const Error& error) {
            outcome.push_back(error.describe());
        }
    });
    task.cancel();
    env.runUntilIdle();
    EXPECT_EQ(outcome, (std::vector<std::string>{"CancellationError()"}));
}

TEST_F(AsyncStreamUtilitiesTest, FirstAnswersTheNextElementOrNothing) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    std::vector<std::optional<int>> answers;
    Task<void>::run([&, stream = stream]() -> Task<void> {
        answers.push_back(co_await first(stream));
        answers.push_back(co_await first(stream));
    });
    env.runUntilIdle();
    continuation.yield(4);
    env.runUntilIdle();
    continuation.finish();
    env.runUntilIdle();
    EXPECT_EQ(answers, (std::vector<std::optional<int>>{4, std::nullopt}));
}

TEST(TimeoutErrorTest, AllValuesAreEqualAndTheTextIsThePlatformsGenericOne) {
    EXPECT_EQ(TimeoutError(), TimeoutError());
    EXPECT_EQ(Error::make<TimeoutError>().localizedDescription(),
              "The operation couldn’t be completed. (Zestrel.TimeoutError error 1.)");
}

} // namespace
} // namespace zestrel
