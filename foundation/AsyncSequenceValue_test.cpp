#include "foundation/AsyncSequenceValue.h"

#include "platform/concurrency/AsyncStream.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <vector>

namespace zestrel {
namespace {

using platform::AsyncStream;
using Stream = AsyncStream<int>;

class AsyncSequenceValueTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
};

TEST_F(AsyncSequenceValueTest, ShowsTheDefaultThenTheLatestElement) {
    auto [stream, continuation] = Stream::makeStream();
    AsyncSequenceValue<Stream> value(-1, stream);
    int announcements = 0;
    auto c = value.observable()->objectWillChange().sink(
        [&](const platform::combine::Void&) { ++announcements; });
    env.runUntilIdle();
    EXPECT_EQ(value.wrappedValue(), -1);
    continuation.yield(1);
    continuation.yield(2);
    env.runUntilIdle();
    EXPECT_EQ(value.wrappedValue(), 2);
    EXPECT_EQ(announcements, 2);
}

TEST_F(AsyncSequenceValueTest, WithoutASequenceShowsTheDefaultForEver) {
    AsyncSequenceValue<Stream> value(7, std::nullopt);
    env.runUntilIdle();
    EXPECT_EQ(value.wrappedValue(), 7);
    EXPECT_FALSE(value.observable()->cancellable.has_value());
}

TEST_F(AsyncSequenceValueTest, ReplacingTheSequenceStopsConsumingTheOldOne) {
    auto [first, firstContinuation] = Stream::makeStream();
    std::vector<Stream::Termination> terminations;
    firstContinuation.setOnTermination(
        [&](Stream::Termination termination) { terminations.push_back(termination); });
    AsyncSequenceValue<Stream> value(0, first);
    first = Stream::makeStream().first; // only the value holds the first stream now
    firstContinuation.yield(1);
    env.runUntilIdle();
    EXPECT_EQ(value.wrappedValue(), 1);

    auto [second, secondContinuation] = Stream::makeStream();
    value.setSequence(second);
    env.runUntilIdle();
    EXPECT_EQ(terminations, (std::vector<Stream::Termination>{Stream::Termination::cancelled}));
    firstContinuation.yield(5);
    secondContinuation.yield(2);
    env.runUntilIdle();
    EXPECT_EQ(value.wrappedValue(), 2);
}

TEST_F(AsyncSequenceValueTest, AnObservableThatIsGoneIsNotWritten) {
    auto [stream, continuation] = Stream::makeStream();
    std::weak_ptr<AsyncSequenceValue<Stream>::Observable> weak;
    {
        AsyncSequenceValue<Stream> value(0, stream);
        weak = value.observable();
        continuation.yield(1);
    }
    env.runUntilIdle();
    EXPECT_TRUE(weak.expired());
}

} // namespace
} // namespace zestrel
