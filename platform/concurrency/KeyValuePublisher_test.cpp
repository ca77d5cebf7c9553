#include "platform/concurrency/KeyValuePublisher.h"

#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <vector>

namespace zestrel::platform::combine {
namespace {

class KeyValuePublisherTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
    std::shared_ptr<UserDefaults> defaults = UserDefaults::standard();

    AnyPublisher<bool> flag(NSKeyValueObservingOptions options) {
        return keyValuePublisher<bool>(
            defaults, "flag", [](const UserDefaults& d) { return d.boolValue("flag"); }, options);
    }
};

TEST_F(KeyValuePublisherTest, InitialOptionGivesTheCurrentValueFirst) {
    defaults->set(true, "flag");
    std::vector<bool> seen;
    auto c =
        flag(NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew).sink([&](bool v) {
            seen.push_back(v);
        });
    EXPECT_EQ(seen, (std::vector<bool>{true}));
    defaults->set(false, "flag");
    defaults->set(false, "flag"); // every notification publishes, equal or not
    EXPECT_EQ(seen, (std::vector<bool>{true, false, false}));
}

TEST_F(KeyValuePublisherTest, WithoutInitialOnlyChangesPublish) {
    defaults->set(true, "flag");
    std::vector<bool> seen;
    auto c = flag(NSKeyValueObservingOptionNew).sink([&](bool v) { seen.push_back(v); });
    EXPECT_TRUE(seen.empty());
    defaults->removeObject("flag");
    EXPECT_EQ(seen, (std::vector<bool>{false}));
}

TEST_F(KeyValuePublisherTest, PriorOptionPublishesTheValueBeforeTheChangeToo) {
    std::vector<bool> seen;
    auto c = flag(NSKeyValueObservingOptionPrior).sink([&](bool v) { seen.push_back(v); });
    defaults->set(true, "flag");
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

// An object of our own whose one property is observable.
class Lamp : public NSObject {
public:
    bool isOn() const { return on_; }
    void setOn(bool on) {
        observers_.performChange({"isOn"}, [&] { on_ = on; });
    }
    KeyValueObservationToken addObserver(std::string keyPath, NSKeyValueObservingOptions options,
                                         KeyValueObserver observer) {
        return observers_.addObserver(std::move(keyPath), options, std::move(observer));
    }
    void removeObserver(KeyValueObservationToken token) { observers_.removeObserver(token); }
    std::size_t observerCount() const { return observers_.observerCount(); }

private:
    bool on_ = false;
    KeyValueObserverRegistry observers_{*this, [this](const std::string&) { return Value(on_); }};
};

// Takes the first value and cancels at once, as a "wait until" consumer does.
class FirstValue final : public Subscriber<bool, Never> {
public:
    void receive(std::shared_ptr<Subscription> subscription) override {
        subscription_ = std::move(subscription);
    }
    void receive(const bool& value) override {
        values.push_back(value);
        subscription_->cancel();
    }
    void receive(const Completion<Never>&) override {}
    std::vector<bool> values;

private:
    std::shared_ptr<Subscription> subscription_;
};

TEST_F(KeyValuePublisherTest, CancelFromInsideTheInitialValueRemovesTheObserver) {
    auto lamp = std::make_shared<Lamp>();
    lamp->setOn(true);
    auto first = std::make_shared<FirstValue>();
    keyValuePublisher<bool>(lamp, "isOn", [](const Lamp& l) { return l.isOn(); }).receive(first);
    EXPECT_EQ(lamp->observerCount(), 0u);
    lamp->setOn(false);
    EXPECT_EQ(first->values, (std::vector<bool>{true}));
}

TEST_F(KeyValuePublisherTest, SubscriptionDoesNotKeepTheObjectAlive) {
    auto lamp = std::make_shared<Lamp>();
    std::weak_ptr<Lamp> weak = lamp;
    std::vector<bool> seen;
    AnyCancellable c;
    {
        auto publisher =
            keyValuePublisher<bool>(lamp, "isOn", [](const Lamp& l) { return l.isOn(); });
        c = publisher.sink([&](bool v) { seen.push_back(v); });
    }
    lamp->setOn(true);
    lamp.reset();
    EXPECT_TRUE(weak.expired());
    c.cancel(); // nothing left to remove from
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

} // namespace
} // namespace zestrel::platform::combine
