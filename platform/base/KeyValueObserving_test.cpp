#include "platform/base/KeyValueObserving.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace zestrel::platform {
namespace {

// A small observable object: a map of keys whose changes are bracketed as owners do.
class Box : public NSObject {
public:
    Box() : observers(*this, [this](const std::string& key) { return read(key); }) {}

    Value read(const std::string& key) const {
        const auto found = values.find(key);
        return found == values.end() ? Value() : found->second;
    }
    void write(const std::string& key, Value value) {
        observers.performChange({key}, [&] {
            if (value.isAbsent()) {
                values.erase(key);
            } else {
                values[key] = std::move(value);
            }
        });
    }

    std::map<std::string, Value> values;
    KeyValueObserverRegistry observers;
};

struct Recorder {
    std::vector<KeyValueNotification> notifications;
    KeyValueObserver observer() {
        return [this](const KeyValueNotification& n) { notifications.push_back(n); };
    }
};

TEST(KeyValueObserving, InitialNewAndOldAsAsked) {
    auto box = std::make_shared<Box>();
    box->values["k"] = 1;
    Recorder recorder;
    int context = 0;
    box->observers.addObserver("k",
                               NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld |
                                   NSKeyValueObservingOptionInitial,
                               recorder.observer(), &context);
    box->write("k", "two");
    box->write("k", Value());

    ASSERT_EQ(recorder.notifications.size(), 3u);
    EXPECT_EQ(recorder.notifications[0].change, (Value::Dictionary{{"kind", 1u}, {"new", 1}}));
    EXPECT_EQ(recorder.notifications[1].change,
              (Value::Dictionary{{"kind", 1u}, {"new", "two"}, {"old", 1}}));
    EXPECT_EQ(recorder.notifications[2].change,
              (Value::Dictionary{{"kind", 1u}, {"new", Value::null()}, {"old", "two"}}));
    EXPECT_EQ(recorder.notifications[1].keyPath, "k");
    EXPECT_EQ(recorder.notifications[1].object.get(), box.get());
    EXPECT_EQ(recorder.notifications[1].context, &context);
}

TEST(KeyValueObserving, PriorComesBeforeTheChangeWithTheOldValueOnly) {
    auto box = std::make_shared<Box>();
    box->values["k"] = 1;
    std::vector<std::pair<Value::Dictionary, Value>> seen; // change, value at that moment
    box->observers.addObserver(
        "k",
        NSKeyValueObservingOptionPrior | NSKeyValueObservingOptionOld |
            NSKeyValueObservingOptionNew,
        [&](const KeyValueNotification& n) { seen.emplace_back(n.change, box->read("k")); });
    box->write("k", 2);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first,
              (Value::Dictionary{{"kind", 1u}, {"notificationIsPrior", true}, {"old", 1}}));
    EXPECT_EQ(seen[0].second, Value(1));
    EXPECT_EQ(seen[1].first, (Value::Dictionary{{"kind", 1u}, {"new", 2}, {"old", 1}}));
}

TEST(KeyValueObserving, OnlyTheObservedKeyIsReportedAndNoOptionsMeansKindOnly) {
    auto box = std::make_shared<Box>();
    Recorder recorder;
    box->observers.addObserver("a", 0, recorder.observer());
    box->write("b", 1);
    box->write("a", 1);
    ASSERT_EQ(recorder.notifications.size(), 1u);
    EXPECT_EQ(recorder.notifications[0].change, (Value::Dictionary{{"kind", 1u}}));
}

TEST(KeyValueObserving, ObserversMayRemoveAndAddObserversWhileCalled) {
    auto box = std::make_shared<Box>();
    std::vector<std::string> calls;
    std::optional<KeyValueObservationToken> second;
    const auto first = std::make_shared<KeyValueObservationToken>();
    *first = box->observers.addObserver(
        "k", NSKeyValueObservingOptionNew, [&](const KeyValueNotification&) {
            calls.push_back("first");
            box->observers.removeObserver(*first);
            box->observers.removeObserver(*second);
            box->observers.addObserver(
                "k", 0, [&](const KeyValueNotification&) { calls.push_back("added"); });
        });
    second = box->observers.addObserver(
        "k", 0, [&](const KeyValueNotification&) { calls.push_back("second"); });

    box->write("k", 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"first"})); // the removed second is skipped
    box->write("k", 2);
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "added"}));
    EXPECT_EQ(box->observers.observerCount(), 1u);
    box->observers.removeObserver(*first); // again: harmless
    EXPECT_TRUE(box->observers.hasObservers("k"));
}

} // namespace
} // namespace zestrel::platform
