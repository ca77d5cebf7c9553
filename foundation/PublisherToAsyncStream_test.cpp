#include "foundation/PublisherToAsyncStream.h"

#include "platform/concurrency/KeyValuePublisher.h"
#include "platform/concurrency/Subjects.h"
#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace zestrel {
namespace {

using platform::AsyncStream;
using platform::Task;
using platform::combine::Completion;
using platform::combine::CurrentValueSubject;
using platform::combine::Never;
using platform::combine::PassthroughSubject;

class PublisherToAsyncStreamTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::vector<bool> seen;
    bool ended = false;

    // Consumes the stream until it ends, or until `until` is seen when given.
    Task<void> consume(AsyncStream<bool> stream, std::optional<bool> until = std::nullopt) {
        return Task<void>::run([this, stream, until]() -> Task<void> {
            for (;;) {
                auto element = co_await stream.next();
                if (!element) {
                    ended = true;
                    co_return;
                }
                seen.push_back(*element);
                if (until && *element == *until) {
                    co_return;
                }
            }
        });
    }
};

TEST_F(PublisherToAsyncStreamTest, KeyValuePublisherWithInitialGivesTheCurrentValueFirst) {
    auto defaults = platform::UserDefaults::standard();
    defaults->set(false, "visible");
    auto publisher = platform::combine::keyValuePublisher<bool>(
        defaults, "visible", [](const platform::UserDefaults& d) { return d.boolValue("visible"); },
        platform::NSKeyValueObservingOptionInitial | platform::NSKeyValueObservingOptionNew);
    consume(toAsyncStream(publisher), true);
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<bool>{false}));
    defaults->set(true, "visible");
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

// A publisher that counts cancellations of its subscription.
struct CancelCounter final : platform::combine::Subscription {
    explicit CancelCounter(int& cancels) : cancels(cancels) {}
    void cancel() override { ++cancels; }
    int& cancels;
};

TEST_F(PublisherToAsyncStreamTest, EndingTheConsumerCancelsTheSubscription) {
    int cancels = 0;
    std::function<void(bool)> send;
    platform::combine::AnyPublisher<bool> source(
        [&](const platform::combine::SubscriberPtr<bool, Never>& subscriber) {
            subscriber->receive(std::make_shared<CancelCounter>(cancels));
            send = [subscriber](bool v) { subscriber->receive(v); };
        });
    consume(toAsyncStream(source), true);
    env.runUntilIdle();
    send(false);
    env.runUntilIdle();
    EXPECT_EQ(cancels, 0);
    send(true); // the consumer stops here and lets go of the stream
    env.runUntilIdle();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

TEST_F(PublisherToAsyncStreamTest, CancellingTheConsumingTaskCancelsTheSubscription) {
    int cancels = 0;
    platform::combine::AnyPublisher<bool> source(
        [&](const platform::combine::SubscriberPtr<bool, Never>& subscriber) {
            subscriber->receive(std::make_shared<CancelCounter>(cancels));
        });
    auto task = consume(toAsyncStream(source));
    env.runUntilIdle();
    task.cancel();
    env.runUntilIdle();
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(ended);
}

TEST_F(PublisherToAsyncStreamTest, CompletionFinishesTheStreamForAWaitingConsumer) {
    PassthroughSubject<bool> subject;
    consume(toAsyncStream(subject.eraseToAnyPublisher()));
    env.runUntilIdle();
    subject.send(true);
    env.runUntilIdle();
    EXPECT_FALSE(ended);
    subject.send(Completion<Never>::finished());
    env.runUntilIdle();
    EXPECT_TRUE(ended);
    EXPECT_EQ(seen, (std::vector<bool>{true}));
}

TEST_F(PublisherToAsyncStreamTest, ASlowConsumerLosesNothing) {
    CurrentValueSubject<bool> subject(true);
    auto stream = toAsyncStream(subject.eraseToAnyPublisher());
    for (bool v : {false, true, true, false}) {
        subject.send(v);
    }
    subject.send(Completion<Never>::finished());
    consume(stream);
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, true, false}));
    EXPECT_TRUE(ended);
}

} // namespace
} // namespace zestrel
