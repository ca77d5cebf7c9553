#include "platform/concurrency/ObservationRegistrar.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

// An `@Observable` object as the app writes one.
class Model {
public:
    bool visible() const {
        registrar_.access("visible");
        return visible_;
    }
    void setVisible(bool value) {
        registrar_.withMutation("visible", [&] { visible_ = value; });
    }
    int count() const {
        registrar_.access("count");
        return count_;
    }
    void setCount(int value) {
        registrar_.withMutation("count", [&] { count_ = value; });
    }

private:
    ObservationRegistrar registrar_;
    bool visible_ = true;
    int count_ = 0;
};

TEST(ObservationRegistrar, OnChangeRunsOnceBeforeTheFirstChangeOfWhatWasRead) {
    Model model;
    std::vector<bool> valueSeenByOnChange;
    const bool read = withObservationTracking(
        [&] { return model.visible(); }, [&] { valueSeenByOnChange.push_back(model.visible()); });
    EXPECT_TRUE(read);
    model.setCount(5); // not read: no change reported
    EXPECT_TRUE(valueSeenByOnChange.empty());
    model.setVisible(false);
    model.setVisible(true);
    // Called in the will-set, so it still sees the old value; and only once.
    EXPECT_EQ(valueSeenByOnChange, (std::vector<bool>{true}));
}

TEST(ObservationRegistrar, OneTrackingOverSeveralObjectsFiresOnceForAll) {
    Model a;
    Model b;
    int changes = 0;
    withObservationTracking([&] { return a.count() + b.count(); }, [&] { ++changes; });
    b.setCount(1);
    a.setCount(1);
    b.setCount(2);
    EXPECT_EQ(changes, 1);
}

TEST(ObservationRegistrar, NestedTrackingCountsForTheOuterToo) {
    Model model;
    int inner = 0;
    int outer = 0;
    withObservationTracking(
        [&] { withObservationTracking([&] { (void)model.count(); }, [&] { ++inner; }); },
        [&] { ++outer; });
    model.setCount(1);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(outer, 1);
}

TEST(ObservationRegistrar, ReadsOutsideATrackingAndAThrowingApplyArmNothing) {
    Model model;
    (void)model.count();
    int changes = 0;
    EXPECT_THROW(withObservationTracking(
                     [&]() -> int {
                         (void)model.count();
                         throw std::runtime_error("apply failed");
                     },
                     [&] { ++changes; }),
                 std::runtime_error);
    // Later reads on this thread are not recorded into the abandoned tracking either.
    withObservationTracking([] {}, [&] { changes += 10; });
    (void)model.count();
    model.setCount(1);
    EXPECT_EQ(changes, 0);
}

TEST(ObservationRegistrar, OnChangeMayStartTheNextTracking) {
    // The host's pattern: re-evaluate and track again from inside onChange.
    Model model;
    int evaluations = 0;
    std::function<void()> track = [&] {
        withObservationTracking(
            [&] {
                ++evaluations;
                (void)model.count();
            },
            [&] { track(); });
    };
    track();
    model.setCount(1);
    model.setCount(2);
    EXPECT_EQ(evaluations, 3);
}

TEST(ObservationRegistrar, ConcurrentWritersFireOnChangeExactlyOnce) {
    for (int round = 0; round < 100; ++round) {
        ObservationRegistrar registrar;
        std::atomic<int> counter{0};
        std::atomic<int> changes{0};
        withObservationTracking([&] { registrar.access("counter"); },
                                [&] { changes.fetch_add(1); });
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back([&registrar, &counter, t] {
                registrar.withMutation("counter", [&] { counter.store(t); });
            });
        }
        for (auto& writer : writers) {
            writer.join();
        }
        ASSERT_EQ(changes.load(), 1);
    }
}

TEST(ObservationRegistrar, AHandleKeepsOnlyTheLatestTrackingArmed) {
    Model model;
    int changes = 0;
    ObservationHandle handle;
    // An owner that evaluates again and again without a change in between.
    for (int i = 0; i < 1000; ++i) {
        withObservationTracking([&] { return model.visible(); }, [&] { ++changes; }, handle);
    }
    model.setVisible(false);
    EXPECT_EQ(changes, 1);

    withObservationTracking([&] { return model.visible(); }, [&] { ++changes; }, handle);
    handle.cancel();
    model.setVisible(true);
    EXPECT_EQ(changes, 1);
    {
        ObservationHandle ending;
        withObservationTracking([&] { return model.count(); }, [&] { ++changes; }, ending);
    }
    model.setCount(3);
    EXPECT_EQ(changes, 1);
}

} // namespace
} // namespace zestrel::platform
