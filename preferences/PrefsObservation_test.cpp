#include "preferences/PrefsObservation.h"

#include "platform/testing/TestEnvironment.h"
#include "preferences/PrefsPublisher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace zestrel {

// A value whose every read from the database is counted: a read shows that an observer of
// its key is still registered.
struct Counted {
    std::int64_t value = 0;
    bool operator==(const Counted&) const = default;
    static inline int reads = 0;
};

struct CountedBridge {
    using ValueType = Counted;
    using Serializable = std::int64_t;
    static std::optional<std::int64_t> serialize(const std::optional<Counted>& value) {
        if (!value) {
            return std::nullopt;
        }
        return value->value;
    }
    static std::optional<Counted> deserialize(const std::optional<std::int64_t>& object) {
        ++Counted::reads;
        if (!object) {
            return std::nullopt;
        }
        return Counted{*object};
    }
};

template <> struct Prefs::PrefsSerializable<Counted> {
    using Bridge = CountedBridge;
    static constexpr bool isNativelySupportedType = false;
};

namespace {

using platform::UserDefaults;
using platform::Value;
using platform::combine::AnyCancellable;
using Prefs::ObservationOption;

class PrefsObservationTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::shared_ptr<UserDefaults> defaults = UserDefaults::standard();
    Prefs::Key<bool> flag{"playSoundEffects", true};
    Prefs::Key<std::int64_t> count{"count", 5};

    // Reads the stream in a main-actor task until it ends.
    template <class T>
    std::shared_ptr<std::vector<T>> consume(platform::AsyncStream<T> stream,
                                            std::shared_ptr<bool> ended = nullptr) {
        auto seen = std::make_shared<std::vector<T>>();
        consumer = platform::Task<void>::runOnMain([stream, seen, ended]() -> platform::Task<void> {
            while (auto element = co_await stream.next()) {
                seen->push_back(*element);
            }
            if (ended) {
                *ended = true;
            }
        });
        return seen;
    }
    platform::Task<void> consumer{std::shared_ptr<platform::detail::TaskState<void>>()};
};

// Writes `key` on a thread of its own, over and over, until destroyed.
class BackgroundWriter {
public:
    explicit BackgroundWriter(const Prefs::Key<std::int64_t>& key)
        : thread_([this, key] {
              for (std::int64_t value = 0; !stop_.load(); ++value) {
                  Prefs::set(key, value);
              }
          }) {}
    ~BackgroundWriter() {
        stop_.store(true);
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The counters of the threaded tests are relaxed, so that the test orders nothing between
// the threads: only the observation may.
void waitUntilCalled(const std::atomic<int>& calls) {
    while (calls.load(std::memory_order_relaxed) == 0) {
        std::this_thread::yield();
    }
}

TEST_F(PrefsObservationTest, OptionsAskThePlatformForNewAndOldWithInitialWinningOverPrior) {
    EXPECT_EQ(Prefs::ObservationOptions{}.keyValueObservingOptions(), 3u);
    EXPECT_EQ(Prefs::ObservationOptions{ObservationOption::prior}.keyValueObservingOptions(), 11u);
    EXPECT_EQ(Prefs::ObservationOptions{ObservationOption::initial}.keyValueObservingOptions(), 7u);
    EXPECT_EQ((Prefs::ObservationOptions{ObservationOption::initial, ObservationOption::prior}
                   .keyValueObservingOptions()),
              7u);
}

TEST_F(PrefsObservationTest, InitialDeliversTheDefaultThenEveryWriteWithOldAndNew) {
    std::vector<Prefs::KeyChange<bool>> changes;
    auto observation = Prefs::observe<bool>(
        flag, {ObservationOption::initial},
        [&](const Prefs::KeyChange<bool>& change) { changes.push_back(change); });
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(changes[0].newValue);
    EXPECT_FALSE(changes[0].isPrior);
    EXPECT_EQ(changes[0].kind, platform::NSKeyValueChangeSetting);

    Prefs::set(flag, false);
    Prefs::set(flag, false); // an equal value notifies again
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_FALSE(changes[1].newValue);
    EXPECT_TRUE(changes[1].oldValue);
    EXPECT_FALSE(changes[2].newValue);
    EXPECT_FALSE(changes[2].oldValue);
    EXPECT_FALSE(changes[1] == changes[2]); // the old values differ
    EXPECT_TRUE(changes[2] ==
                Prefs::KeyChange<bool>(Prefs::BaseChange{1, {}, false, false, false}, true));
}

TEST_F(PrefsObservationTest, PriorNotifiesBeforeWithTheOldValueOnlyUnlessInitialIsAsked) {
    std::vector<Prefs::KeyChange<std::int64_t>> changes;
    auto prior = Prefs::observe<std::int64_t>(
        count, {ObservationOption::prior},
        [&](const Prefs::KeyChange<std::int64_t>& change) { changes.push_back(change); });
    Prefs::set(count, 9);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].isPrior);
    EXPECT_EQ(changes[0].oldValue, 5);
    EXPECT_EQ(changes[0].newValue, 5); // no new value yet: the default
    EXPECT_FALSE(changes[1].isPrior);
    EXPECT_EQ(changes[1].newValue, 9);

    prior.reset();
    changes.clear();
    auto both = Prefs::observe<std::int64_t>(
        count, {ObservationOption::initial, ObservationOption::prior},
        [&](const Prefs::KeyChange<std::int64_t>& change) { changes.push_back(change); });
    Prefs::set(count, 10);
    ASSERT_EQ(changes.size(), 2u); // the initial one and the change, no prior
    EXPECT_FALSE(changes[1].isPrior);
    EXPECT_EQ(changes[1].newValue, 10);
}

TEST_F(PrefsObservationTest, MissingOrUnreadableValuesArriveAsTheDefault) {
    const Prefs::Key<std::optional<std::string>> name("userName");
    std::vector<Prefs::KeyChange<std::optional<std::string>>> names;
    auto nameObservation = Prefs::observe<std::optional<std::string>>(
        name, {}, [&](const auto& change) { names.push_back(change); });
    Prefs::set(name, std::optional<std::string>("Ann"));
    Prefs::set(name, std::nullopt); // removed, nothing registered: NSNull
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1].newValue, std::nullopt);
    EXPECT_EQ(names[1].oldValue, std::optional<std::string>("Ann"));

    std::vector<std::int64_t> counts;
    auto countObservation = Prefs::observe<std::int64_t>(
        count, {}, [&](const auto& change) { counts.push_back(change.newValue); });
    defaults->setObject(Value("not a number"), "count");
    EXPECT_EQ(counts, (std::vector<std::int64_t>{5}));
}

TEST_F(PrefsObservationTest, ReleasedOrInvalidatedObservationsCallNothing) {
    int calls = 0;
    auto observation = Prefs::observe<bool>(flag, {}, [&](const auto&) { ++calls; });
    Prefs::set(flag, false);
    observation->invalidate();
    observation->invalidate();
    Prefs::set(flag, true);
    EXPECT_EQ(calls, 1);

    auto released = Prefs::observe<bool>(flag, {}, [&](const auto&) { ++calls; });
    released.reset();
    Prefs::set(flag, false);
    EXPECT_EQ(calls, 1);
}

// Whatever way an observation ends on the main thread while another thread keeps writing
// its key, its callback is neither running nor called any more once the end returns, so
// what the callback uses may be freed at once.
TEST_F(PrefsObservationTest, AnEndedObservationNeverCallsBackFromAWritersThread) {
    struct Round {
        std::atomic<int> calls{0};
        std::atomic<bool> ended{false};
        std::vector<std::int64_t> values; // touched by the writer's callbacks only
    };
    std::atomic<int> lateCalls{0};
    const auto record = [&lateCalls](Round* round, std::int64_t value) {
        if (round->ended.load(std::memory_order_relaxed)) {
            ++lateCalls;
        }
        round->values.push_back(value);
        round->calls.fetch_add(1, std::memory_order_relaxed);
    };
    const BackgroundWriter writer(count);
    for (int index = 0; index < 100; ++index) {
        auto round = std::make_unique<Round>();
        Round* const data = round.get();
        switch (index % 5) {
        case 0: {
            auto observation = Prefs::observe<std::int64_t>(
                count, {}, [&, data](const auto& change) { record(data, change.newValue); });
            waitUntilCalled(data->calls);
            observation->invalidate();
            break;
        }
        case 1: {
            auto observation = Prefs::observe<std::int64_t>(
                count, {}, [&, data](const auto& change) { record(data, change.newValue); });
            waitUntilCalled(data->calls);
            observation.reset();
            break;
        }
        case 2: {
            auto observation = Prefs::observeKeys({count}, {}, [&, data](const auto& change) {
                record(data, change.newValue.asInt64().value_or(-1));
            });
            waitUntilCalled(data->calls);
            observation.reset();
            break;
        }
        case 3: {
            auto owner = std::make_shared<platform::NSObject>();
            Prefs::observe<std::int64_t>(count, {}, [&, data](const auto& change) {
                record(data, change.newValue);
            })->tieToLifetime(owner);
            waitUntilCalled(data->calls);
            owner.reset();
            break;
        }
        case 4: {
            AnyCancellable subscription = Prefs::publisher(count).sink(
                [&, data](const Prefs::KeyChange<std::int64_t>& change) {
                    record(data, change.newValue);
                });
            waitUntilCalled(data->calls);
            subscription.cancel();
            break;
        }
        }
        data->ended.store(true, std::memory_order_relaxed);
        EXPECT_FALSE(data->values.empty());
        round.reset();
    }
    EXPECT_EQ(lateCalls.load(), 0);
}

// The writer's callback ends its own observation while the main thread ends it too: neither
// waits for the other, and nothing is called after the first end.
TEST_F(PrefsObservationTest, AnObservationEndsItselfFromItsCallbackWhileTheMainThreadEndsIt) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> calls{0};
        auto self = std::make_shared<std::weak_ptr<Prefs::UserDefaultsKeyObservation>>();
        auto observation = std::make_shared<Prefs::UserDefaultsKeyObservation>(
            defaults, count.name(), [&calls, self](const Prefs::BaseChange&) {
                calls.fetch_add(1, std::memory_order_relaxed);
                if (auto observation = self->lock()) {
                    observation->invalidate();
                }
            });
        *self = observation;
        observation->start({});
        std::thread writer([&] {
            Prefs::set(count, 1);
            Prefs::set(count, 2);
        });
        if (round % 2 == 0) {
            waitUntilCalled(calls);
        }
        observation->invalidate();
        writer.join();
        EXPECT_LE(calls.load(), 1);
    }

    // On one thread, too.
    int calls = 0;
    auto self = std::make_shared<std::weak_ptr<Prefs::UserDefaultsKeyObservation>>();
    auto observation = std::make_shared<Prefs::UserDefaultsKeyObservation>(
        defaults, count.name(), [&calls, self](const Prefs::BaseChange&) {
            ++calls;
            if (auto observation = self->lock()) {
                observation->invalidate();
            }
        });
    *self = observation;
    observation->start({ObservationOption::initial});
    Prefs::set(count, 3);
    EXPECT_EQ(calls, 1);
}

TEST_F(PrefsObservationTest, NotificationsOfAnotherObjectAreIgnored) {
    int calls = 0;
    auto observation = Prefs::observe<bool>(flag, {}, [&](const auto&) { ++calls; });
    auto other = UserDefaults::suite("com.example.other");
    observation->observeValue({"playSoundEffects", other, {{"kind", Value(1)}}, nullptr});
    observation->observeValue({"playSoundEffects", nullptr, {{"kind", Value(1)}}, nullptr});
    EXPECT_EQ(calls, 0);
}

TEST_F(PrefsObservationTest, TheUpdatingValuesFlagSilencesOnlyThisThreadsWrites) {
    std::vector<bool> values;
    auto observation = Prefs::observe<bool>(
        flag, {}, [&](const Prefs::KeyChange<bool>& change) { values.push_back(change.newValue); });
    Prefs::performWithUpdatingValuesFlag([&] {
        Prefs::set(flag, false);
        // Another thread's write is reported (on that thread) while the flag is up here.
        std::thread([&] { Prefs::set(flag, true); }).join();
    });
    EXPECT_EQ(values, (std::vector<bool>{true}));
    EXPECT_FALSE(Prefs::detail::isUpdatingValues());
    Prefs::set(flag, false);
    EXPECT_EQ(values, (std::vector<bool>{true, false}));
}

TEST_F(PrefsObservationTest, LifetimeTieInvalidatesWithTheOwnerUntilRemoved) {
    int calls = 0;
    auto owner = std::make_shared<platform::NSObject>();
    std::weak_ptr<PrefsObservation> weak =
        Prefs::observe<bool>(flag, {}, [&](const auto&) { ++calls; })->tieToLifetime(owner);
    Prefs::set(flag, false); // kept alive by the owner alone
    EXPECT_EQ(calls, 1);
    owner.reset();
    EXPECT_TRUE(weak.expired());
    Prefs::set(flag, true);
    EXPECT_EQ(calls, 1);

    auto kept = Prefs::observe<bool>(flag, {}, [&](const auto&) { ++calls; });
    auto former = std::make_shared<platform::NSObject>();
    kept->tieToLifetime(former);
    kept->removeLifetimeTie();
    former.reset();
    Prefs::set(flag, false);
    EXPECT_EQ(calls, 2);
}

TEST_F(PrefsObservationTest, TyingAgainMovesTheTieToTheNewOwnerAndKeepsObserving) {
    int calls = 0;
    auto first = std::make_shared<platform::NSObject>();
    auto second = std::make_shared<platform::NSObject>();
    auto observation = Prefs::observe<bool>(flag, {}, [&](const auto&) { ++calls; });
    observation->tieToLifetime(first);
    observation->tieToLifetime(second);
    std::weak_ptr<PrefsObservation> weak = observation;
    observation.reset();
    Prefs::set(flag, false);
    EXPECT_EQ(calls, 1);
    first.reset(); // no longer tied to the first owner
    Prefs::set(flag, true);
    EXPECT_EQ(calls, 2);
    second.reset();
    EXPECT_TRUE(weak.expired());
    Prefs::set(flag, false);
    EXPECT_EQ(calls, 2);
}

TEST_F(PrefsObservationTest, CompositeObservationCallsOnceForEachChangeOfAnyKey) {
    auto suite = UserDefaults::suite("com.example.suite");
    const Prefs::Key<bool> elsewhere("elsewhere", false, suite);
    std::vector<Value> newValues;
    auto observation =
        Prefs::observeKeys({flag, count, elsewhere}, {}, [&](const Prefs::BaseChange& change) {
            newValues.push_back(change.newValue);
        });
    Prefs::set(flag, false);
    Prefs::set(count, 7);
    Prefs::set(elsewhere, true);
    Prefs::performWithUpdatingValuesFlag([&] { Prefs::set(count, 8); });
    EXPECT_EQ(newValues, (std::vector<Value>{Value(false), Value(7), Value(true)}));

    auto owner = std::make_shared<platform::NSObject>();
    observation->tieToLifetime(owner);
    observation.reset();
    owner.reset();
    Prefs::set(count, 9);
    EXPECT_EQ(newValues.size(), 3u);
}

TEST_F(PrefsObservationTest, KeyPublisherStartsWithTheCurrentValueAndStopsWhenCancelled) {
    Prefs::set(count, 2);
    std::vector<std::int64_t> values;
    AnyCancellable subscription = Prefs::publisher(count, {ObservationOption::initial})
                                      .sink([&](const Prefs::KeyChange<std::int64_t>& change) {
                                          values.push_back(change.newValue);
                                      });
    Prefs::set(count, 3);
    subscription.cancel();
    Prefs::set(count, 4);
    EXPECT_EQ(values, (std::vector<std::int64_t>{2, 3}));
}

TEST_F(PrefsObservationTest, KeysPublisherSignalsEveryKeyAndWithNoKeysNeverEnds) {
    int signals = 0;
    bool completed = false;
    AnyCancellable both =
        Prefs::publisher({flag, count})
            .sink([&](const auto&) { completed = true; }, [&](const auto&) { ++signals; });
    Prefs::set(flag, false);
    Prefs::set(count, 1);
    EXPECT_EQ(signals, 2);

    AnyCancellable none =
        Prefs::publisher(std::vector<std::reference_wrapper<const Prefs::Keys>>{})
            .sink([&](const auto&) { completed = true; }, [&](const auto&) { ++signals; });
    env.runUntilIdle();
    EXPECT_EQ(signals, 2);
    EXPECT_FALSE(completed);
}

TEST_F(PrefsObservationTest, StreamYieldsTheCurrentValueFirstAndEveryWriteAfter) {
    auto seen = consume(Prefs::updates(flag, true));
    env.runUntilIdle();
    Prefs::set(flag, false);
    Prefs::set(flag, false);
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<bool>{true, false, false}));

    auto later = consume(Prefs::updates(count, false));
    env.runUntilIdle();
    Prefs::set(count, 6);
    env.runUntilIdle();
    EXPECT_EQ(*later, (std::vector<std::int64_t>{6}));
}

TEST_F(PrefsObservationTest, StreamObserverIsRemovedOnTheMainQueueAfterTheStreamEnds) {
    const Prefs::Key<Counted> counted("counted", Counted{1});
    auto ended = std::make_shared<bool>(false);
    auto seen = consume(Prefs::updates(counted, true), ended);
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<Counted>{Counted{1}}));

    consumer.cancel();
    env.runUntilIdle();
    EXPECT_TRUE(*ended);
    Counted::reads = 0;
    Prefs::set(counted, Counted{2});
    EXPECT_EQ(Counted::reads, 0);
}

// A write visits every observer registered on its key, so one left behind by each ended
// observation would make every later write slower, for good.
TEST_F(PrefsObservationTest, EveryWayOfEndingAnObservationLeavesNoObserverOnTheKey) {
    const auto observers = [&] { return defaults->observerCount(count.name()); };
    int calls = 0;
    const auto counting = [&](const auto&) { ++calls; };
    for (int cycle = 0; cycle < 100; ++cycle) {
        auto invalidated = Prefs::observe<std::int64_t>(count, {}, counting);
        ASSERT_EQ(observers(), 1u) << "observing";
        invalidated->invalidate();
        EXPECT_EQ(observers(), 0u) << "invalidated, cycle " << cycle;

        Prefs::observe<std::int64_t>(count, {}, counting).reset();
        EXPECT_EQ(observers(), 0u) << "released, cycle " << cycle;

        auto owner = std::make_shared<platform::NSObject>();
        Prefs::observe<std::int64_t>(count, {}, counting)->tieToLifetime(owner);
        owner.reset();
        EXPECT_EQ(observers(), 0u) << "its owner gone, cycle " << cycle;

        auto composite = Prefs::observeKeys({flag, count}, {}, counting);
        composite.reset();
        EXPECT_EQ(observers(), 0u) << "a composite released, cycle " << cycle;

        std::shared_ptr<Prefs::UserDefaultsKeyObservation> endsItself;
        endsItself = std::make_shared<Prefs::UserDefaultsKeyObservation>(
            defaults, count.name(), [&](const Prefs::BaseChange&) { endsItself->invalidate(); });
        endsItself->start({ObservationOption::initial});
        EXPECT_EQ(observers(), 0u) << "ended in its first delivery, cycle " << cycle;

        AnyCancellable subscription = Prefs::publisher(count, {}).sink(counting);
        subscription.cancel();
        EXPECT_EQ(observers(), 0u) << "a publisher cancelled, cycle " << cycle;

        consume(Prefs::updates(count, true));
        env.runUntilIdle();
        ASSERT_EQ(observers(), 1u) << "streaming";
        consumer.cancel();
        env.runUntilIdle();
        EXPECT_EQ(observers(), 0u) << "its stream ended, cycle " << cycle;
    }
    EXPECT_EQ(defaults->observerCount(flag.name()), 0u);
    Prefs::set(count, 1);
    EXPECT_EQ(calls, 0);
}

TEST_F(PrefsObservationTest, StreamObserverStaysUntilTheMainQueueRuns) {
    const Prefs::Key<Counted> counted("counted", Counted{1});
    std::optional<platform::AsyncStream<Counted>> stream = Prefs::updates(counted, false);
    stream.reset(); // the last copy: the stream ends at once
    Counted::reads = 0;
    Prefs::set(counted, Counted{2});
    EXPECT_GT(Counted::reads, 0); // still observing; the yield is dropped
    env.runUntilIdle();
    Counted::reads = 0;
    Prefs::set(counted, Counted{3});
    EXPECT_EQ(Counted::reads, 0);
}

} // namespace
} // namespace zestrel
