#include "platform/concurrency/Publisher.h"

#include "platform/base/DispatchQueue.h"
#include "platform/concurrency/Subjects.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace zestrel::platform::combine {
namespace {

using namespace std::chrono_literals;

class PublisherTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::vector<AnyCancellable> cancellables;
};

TEST_F(PublisherTest, MapFilterAndRemoveDuplicatesChain) {
    PassthroughSubject<int> subject;
    std::vector<std::string> seen;
    subject.eraseToAnyPublisher()
        .filter([](int v) { return v >= 0; })
        .map([](int v) { return v / 10; })
        .removeDuplicates()
        .map([](int v) { return std::to_string(v); })
        .sink([&](const std::string& v) { seen.push_back(v); })
        .store(cancellables);
    for (int v : {1, 5, -20, 12, 19, 3, 3, 40}) {
        subject.send(v);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"0", "1", "0", "4"}));
}

TEST_F(PublisherTest, RemoveDuplicatesKeepsStatePerSubscription) {
    PassthroughSubject<int> subject;
    auto unique = subject.eraseToAnyPublisher().removeDuplicates();
    std::vector<int> a;
    std::vector<int> b;
    unique.sink([&](int v) { a.push_back(v); }).store(cancellables);
    subject.send(1);
    unique.sink([&](int v) { b.push_back(v); }).store(cancellables);
    subject.send(1);
    EXPECT_EQ(a, (std::vector<int>{1}));
    EXPECT_EQ(b, (std::vector<int>{1}));
}

TEST_F(PublisherTest, CompletionPassesThroughOperatorsAndCancelReachesTheSource) {
    PassthroughSubject<int> subject;
    int finished = 0;
    std::vector<int> seen;
    auto chained = subject.eraseToAnyPublisher().map([](int v) { return v * 2; });
    auto c = chained.sink([&](const Completion<Never>&) { ++finished; },
                          [&](int v) { seen.push_back(v); });
    auto cancelled = chained.sink([&](int v) { seen.push_back(-v); });
    subject.send(1);
    cancelled.cancel();
    subject.send(2);
    subject.send(Completion<Never>::finished());
    EXPECT_EQ(seen, (std::vector<int>{2, -2, 4}));
    EXPECT_EQ(finished, 1);
}

TEST_F(PublisherTest, EmptyCompletesAtOnceOrNever) {
    int values = 0;
    int completions = 0;
    auto onCompletion = [&](const Completion<Never>&) { ++completions; };
    Empty<int>().sink(onCompletion, [&](int) { ++values; }).store(cancellables);
    EXPECT_EQ(completions, 1);
    Empty<int>(false).sink(onCompletion, [&](int) { ++values; }).store(cancellables);
    env.advance(1h);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(values, 0);
}

TEST_F(PublisherTest, MergeInterleavesAndFinishesWhenAllHaveFinished) {
    PassthroughSubject<int> a;
    PassthroughSubject<int> b;
    std::vector<int> seen;
    int completions = 0;
    auto c = a.eraseToAnyPublisher()
                 .merge(b.eraseToAnyPublisher())
                 .sink([&](const Completion<Never>&) { ++completions; },
                       [&](int v) { seen.push_back(v); });
    a.send(1);
    b.send(2);
    a.send(Completion<Never>::finished());
    b.send(3);
    EXPECT_EQ(completions, 0);
    b.send(Completion<Never>::finished());
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(completions, 1);
}

TEST_F(PublisherTest, MergeFailsAtTheFirstFailureAndCancelsTheRest) {
    PassthroughSubject<int, std::string> a;
    PassthroughSubject<int, std::string> b;
    std::vector<int> seen;
    std::vector<std::string> errors;
    auto c = mergeMany<int, std::string>({a.eraseToAnyPublisher(), b.eraseToAnyPublisher()})
                 .sink(
                     [&](const Completion<std::string>& c) {
                         errors.push_back(c.error() ? *c.error() : "finished");
                     },
                     [&](int v) { seen.push_back(v); });
    a.send(1);
    b.send(Completion<std::string>::failure("b failed"));
    a.send(2);
    a.send(Completion<std::string>::failure("a failed"));
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(errors, (std::vector<std::string>{"b failed"}));
}

TEST_F(PublisherTest, MergeManyOverEmptyNeverCompletingStartsSilent) {
    // The shape the preferences build for several keys: Empty(false) merged with each key.
    auto merged = Empty<Void>(false);
    int completions = 0;
    int values = 0;
    merged.sink([&](const Completion<Never>&) { ++completions; }, [&](Void) { ++values; })
        .store(cancellables);
    PassthroughSubject<Void> key;
    merged = mergeMany<Void, Never>({merged, key.eraseToAnyPublisher()});
    merged.sink([&](const Completion<Never>&) { ++completions; }, [&](Void) { ++values; })
        .store(cancellables);
    key.send(Void{});
    key.send(Completion<Never>::finished());
    EXPECT_EQ(values, 1);
    EXPECT_EQ(completions, 0);
}

TEST_F(PublisherTest, MergeOfCurrentValuesDeliversEachInitialValue) {
    CurrentValueSubject<int> a(1);
    CurrentValueSubject<int> b(2);
    std::vector<int> seen;
    auto c = a.eraseToAnyPublisher().merge(b.eraseToAnyPublisher()).sink([&](int v) {
        seen.push_back(v);
    });
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST_F(PublisherTest, ReceiveOnMainNeverDeliversInline) {
    PassthroughSubject<int> subject;
    std::vector<int> seen;
    int completions = 0;
    auto c = subject.eraseToAnyPublisher()
                 .receiveOn(DispatchQueue::main())
                 .sink([&](const Completion<Never>&) { ++completions; },
                       [&](int v) { seen.push_back(v); });
    DispatchQueue::main().async([&] {
        subject.send(1); // already on the main queue: still a hop
        EXPECT_TRUE(seen.empty());
    });
    env.runUntilIdle();
    subject.send(2);
    subject.send(Completion<Never>::finished());
    EXPECT_EQ(seen, (std::vector<int>{1}));
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    EXPECT_EQ(completions, 1);
}

TEST_F(PublisherTest, ReceiveOnDropsHopsThatArriveAfterCancel) {
    PassthroughSubject<int> subject;
    std::vector<int> seen;
    auto c = subject.eraseToAnyPublisher().receiveOn(DispatchQueue::main()).sink([&](int v) {
        seen.push_back(v);
    });
    subject.send(1);
    c.cancel();
    env.runUntilIdle();
    EXPECT_TRUE(seen.empty());
}

TEST_F(PublisherTest, DebounceGivesTheLastValueAfterTheQuietPeriod) {
    PassthroughSubject<int> subject;
    std::vector<std::pair<int, Nanoseconds>> seen;
    const auto start = clock().uptime();
    auto c = subject.eraseToAnyPublisher().debounce(500ms, DispatchQueue::main()).sink([&](int v) {
        seen.emplace_back(v, clock().uptime() - start);
    });
    // Ten changes within 0.3 s...
    for (int i = 1; i <= 10; ++i) {
        subject.send(i);
        if (i < 10) {
            env.advance(30ms);
        }
    }
    env.advance(499ms);
    EXPECT_TRUE(seen.empty());
    env.advance(1ms);
    // ...give one value, 0.5 s after the last.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, 10);
    EXPECT_EQ(seen[0].second, 770ms);
    env.advance(5s);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(PublisherTest, DebounceFlushesAWaitingValueBeforeFinishing) {
    PassthroughSubject<int> subject;
    std::vector<int> seen;
    int completions = 0;
    auto c = subject.eraseToAnyPublisher()
                 .debounce(1s, DispatchQueue::main())
                 .sink([&](const Completion<Never>&) { ++completions; },
                       [&](int v) { seen.push_back(v); });
    subject.send(7);
    subject.send(Completion<Never>::finished());
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{7}));
    EXPECT_EQ(completions, 1);
    env.advance(2s);
    EXPECT_EQ(seen, (std::vector<int>{7}));
}

TEST_F(PublisherTest, CancelledDebounceNeverFires) {
    PassthroughSubject<int> subject;
    int values = 0;
    auto c = subject.eraseToAnyPublisher().debounce(1s, DispatchQueue::main()).sink([&](int) {
        ++values;
    });
    subject.send(1);
    c.cancel();
    env.advance(2s);
    EXPECT_EQ(values, 0);
}

// A publisher of our own, as the preferences store writes one: it hands over a subscription
// and then publishes.
struct Countdown {
    int from;
    void receive(const SubscriberPtr<int, Never>& subscriber) const {
        subscriber->receive(std::make_shared<detail::EmptySubscription>());
        for (int i = from; i > 0; --i) {
            subscriber->receive(i);
        }
        subscriber->receive(Completion<Never>::finished());
    }
};

TEST_F(PublisherTest, CustomPublisherIsErasedAndChained) {
    std::vector<int> seen;
    AnyPublisher<int>(Countdown{3})
        .map([](int v) { return v * v; })
        .sink([&](int v) { seen.push_back(v); })
        .store(cancellables);
    EXPECT_EQ(seen, (std::vector<int>{9, 4, 1}));
}

} // namespace
} // namespace zestrel::platform::combine
