#include "platform/concurrency/Subjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform::combine {
namespace {

TEST(PassthroughSubject, DeliversToCurrentSubscribersOnlyAndStopsAtCompletion) {
    PassthroughSubject<int> subject;
    subject.send(0); // nobody listens yet
    std::vector<int> first;
    std::vector<int> second;
    int completions = 0;
    auto a = subject.sink([&](const Completion<Never>&) { ++completions; },
                          [&](int v) { first.push_back(v); });
    subject.send(1);
    auto b = subject.sink([&](int v) { second.push_back(v); });
    subject.send(2);
    subject.send(Completion<Never>::finished());
    subject.send(3);
    EXPECT_EQ(first, (std::vector<int>{1, 2}));
    EXPECT_EQ(second, (std::vector<int>{2}));
    EXPECT_EQ(completions, 1);

    // A late subscriber hears the completion alone.
    int late = 0;
    auto c = subject.sink([&](const Completion<Never>& c) { late += c.isFinished() ? 10 : 1; },
                          [&](int) { ++late; });
    EXPECT_EQ(late, 10);
}

TEST(PassthroughSubject, CancelledOrReleasedSinkHearsNothingMore) {
    PassthroughSubject<int> subject;
    std::vector<int> seen;
    auto cancellable = subject.sink([&](int v) { seen.push_back(v); });
    subject.send(1);
    cancellable.cancel();
    subject.send(2);
    {
        auto scoped = subject.sink([&](int v) { seen.push_back(v * 10); });
        subject.send(3);
    }
    subject.send(4);
    EXPECT_EQ(seen, (std::vector<int>{1, 30}));
}

TEST(PassthroughSubject, FailureReachesTheCompletionHandler) {
    PassthroughSubject<int, std::string> subject;
    std::string error;
    auto c = subject.sink(
        [&](const Completion<std::string>& c) {
            if (const auto* e = c.error()) {
                error = *e;
            }
        },
        [](int) {});
    subject.send(Completion<std::string>::failure("broken"));
    EXPECT_EQ(error, "broken");
}

TEST(PassthroughSubject, SubscriberMaySendAndCancelFromInsideADelivery) {
    PassthroughSubject<int> subject;
    std::vector<int> seen;
    AnyCancellable self;
    self = subject.sink([&](int v) {
        seen.push_back(v);
        if (v == 1) {
            subject.send(2); // re-entrant: delivered after this call returns
        } else {
            self.cancel();
        }
    });
    subject.send(1);
    subject.send(3);
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(CurrentValueSubject, NewSubscriberGetsTheCurrentValueFirst) {
    CurrentValueSubject<std::string> subject("a");
    std::vector<std::string> seen;
    auto c = subject.sink([&](const std::string& v) { seen.push_back(v); });
    subject.send("b");
    subject.setValue("c");
    EXPECT_EQ(subject.value(), "c");
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(CurrentValueSubject, ValueIsStoredBeforeSubscribersHearIt) {
    CurrentValueSubject<int> subject(0);
    std::vector<int> valueDuringDelivery;
    auto c = subject.sink([&](int) { valueDuringDelivery.push_back(subject.value()); });
    subject.send(5);
    EXPECT_EQ(valueDuringDelivery, (std::vector<int>{0, 5}));
}

// Each subscriber is called one call at a time (plain counters, checked by TSan) and hears
// every value of every thread, each thread's values in their order.
TEST(SubjectThreads, ConcurrentSendersReachEverySubscriberSeriallyAndInOrder) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    PassthroughSubject<std::pair<int, int>> subject;
    struct Tally {
        int count = 0;
        std::vector<int> lastPerThread = std::vector<int>(kThreads, -1);
        bool ordered = true;
    };
    std::vector<Tally> tallies(3);
    std::vector<AnyCancellable> cancellables;
    for (auto& tally : tallies) {
        subject
            .sink([&tally](const std::pair<int, int>& v) {
                ++tally.count;
                tally.ordered = tally.ordered && v.second > tally.lastPerThread[v.first];
                tally.lastPerThread[v.first] = v.second;
            })
            .store(cancellables);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&subject, t] {
            for (int i = 0; i < kPerThread; ++i) {
                subject.send({t, i});
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& tally : tallies) {
        EXPECT_EQ(tally.count, kThreads * kPerThread);
        EXPECT_TRUE(tally.ordered);
    }
}

// A subscriber returns from subscribing with the current value delivered, however fast the
// sender goes; a value the sender was passing on when the cancel came may still arrive, so
// what the sink touches is its own.
TEST(SubjectThreads, SubscribingAndCancellingWhileOthersSendIsSafe) {
    CurrentValueSubject<int> subject(0);
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        for (int i = 1; !stop.load(); ++i) {
            subject.send(i);
        }
    });
    struct Seen {
        int count = 0;
        int last = -1;
        std::atomic<bool> ordered{true};
        std::atomic<bool> hadFirst{false};
    };
    std::vector<std::thread> churners;
    std::atomic<int> disordered{0};
    std::atomic<int> firstValues{0};
    for (int t = 0; t < 3; ++t) {
        churners.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                auto seen = std::make_shared<Seen>();
                auto c = subject.sink([seen](int v) {
                    if (seen->count++ == 0) {
                        seen->hadFirst = true;
                    }
                    if (v <= seen->last) {
                        seen->ordered = false;
                    }
                    seen->last = v;
                });
                if (seen->hadFirst) {
                    firstValues.fetch_add(1);
                }
                c.cancel();
                if (!seen->ordered) {
                    disordered.fetch_add(1);
                }
            }
        });
    }
    for (auto& thread : churners) {
        thread.join();
    }
    stop.store(true);
    sender.join();
    EXPECT_EQ(disordered.load(), 0);
    EXPECT_EQ(firstValues.load(), 900);
}

} // namespace
} // namespace zestrel::platform::combine
