#include "preferences/PrefsObservable.h"

#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <vector>

namespace zestrel {
namespace {

using platform::UserDefaults;
using platform::combine::AnyCancellable;

class PrefsObservableTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::shared_ptr<UserDefaults> defaults = UserDefaults::standard();
    Prefs::Key<std::int64_t> count{"count", 5};

    // Counts announcements, noting the stored value each one saw.
    AnyCancellable watch(const std::shared_ptr<Prefs::Observable<std::int64_t>>& observable) {
        return observable->objectWillChange().sink(
            [this, observable = std::weak_ptr(observable)](const auto&) {
                seen.push_back(observable.lock()->value());
            });
    }
    std::vector<std::int64_t> seen;
};

TEST_F(PrefsObservableTest, AnnouncesOnceWhenMadeAndForEveryNotificationEvenOfAnEqualValue) {
    auto observable = Prefs::Observable<std::int64_t>::make(count);
    auto watching = watch(observable);
    EXPECT_TRUE(seen.empty());
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::int64_t>{5}));
    Prefs::set(count, 7);
    Prefs::set(count, 7);
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::int64_t>{5, 7, 7}));
}

TEST_F(PrefsObservableTest, WritingAnnouncesBeforeTheWriteAndAgainForItsNotification) {
    auto observable = Prefs::Observable<std::int64_t>::make(count);
    env.runUntilIdle();
    auto watching = watch(observable);
    observable->setValue(5); // the value it already has
    EXPECT_EQ(seen, (std::vector<std::int64_t>{5}));
    EXPECT_EQ(Prefs::value(count), 5);
    EXPECT_FALSE(defaults->object("count").isAbsent());
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::int64_t>{5, 5}));
}

TEST_F(PrefsObservableTest, AnotherKeyOfTheSameNameKeepsTheObservationAndANewNameRestartsIt) {
    const Prefs::Key<std::int64_t> sameName("count", 6);
    const Prefs::Key<std::int64_t> other("other", 1);
    auto observable = Prefs::Observable<std::int64_t>::make(count);
    env.runUntilIdle();
    auto watching = watch(observable);
    observable->setKey(sameName);
    env.runUntilIdle();
    EXPECT_TRUE(seen.empty()); // a restart would have announced the current value
    EXPECT_EQ(observable->value(), 6);

    observable->setKey(other);
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1}));
    Prefs::set(count, 9);
    env.runUntilIdle();
    EXPECT_EQ(seen.size(), 1u);
    Prefs::set(other, 2);
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2}));
}

TEST_F(PrefsObservableTest, DefaultReadsWritesResetsAndPublishes) {
    const Default<std::int64_t> value(count);
    EXPECT_TRUE(value.isDefaultValue());
    value.projectedValue().set(8);
    EXPECT_EQ(value.wrappedValue(), 8);
    value.modify([](std::int64_t& current) { current += 1; });
    EXPECT_EQ(Prefs::value(count), 9);

    std::vector<std::int64_t> published;
    AnyCancellable subscription =
        value.publisher().sink([&](const Prefs::KeyChange<std::int64_t>& change) {
            published.push_back(change.newValue);
        });
    value.reset();
    const auto domain = defaults->persistentDomain(defaults->domainName());
    EXPECT_TRUE(!domain || domain->count("count") == 0);
    EXPECT_EQ(value.wrappedValue(), 5);
    EXPECT_TRUE(value.isDefaultValue());
    EXPECT_EQ(published, (std::vector<std::int64_t>{9, 5}));
}

TEST_F(PrefsObservableTest, StoredValueAndSetValueFollowTheStoredForm) {
    const Prefs::Key<std::optional<std::string>> name("userName");
    EXPECT_EQ(storedValue(*defaults, name), std::nullopt);
    EXPECT_EQ(storedValue(*defaults, count), 5); // the registered default answers too
    defaults->setObject(platform::Value(true), "count");
    EXPECT_EQ(storedValue(*defaults, count), std::nullopt); // not an integer
    setValue(*defaults, std::optional<std::string>("Ann"), name);
    EXPECT_EQ(defaults->object("userName"), platform::Value("Ann"));
    setValue(*defaults, std::optional<std::string>(), name);
    EXPECT_TRUE(defaults->object("userName").isAbsent());

    defaults->setObject(platform::Value(1), "a");
    defaults->setObject(platform::Value(2), "b");
    Prefs::reset({"a", "b"}, defaults);
    EXPECT_TRUE(defaults->object("a").isAbsent());
    EXPECT_TRUE(defaults->object("b").isAbsent());
}

TEST_F(PrefsObservableTest, AViewWithADefaultFollowsTheKey) {
    struct Counter {
        Default<std::int64_t> value;
        platform::swiftui::View body(platform::swiftui::ViewContext& context) const {
            const auto installed = value.installed(context, "value");
            return platform::swiftui::Text(std::to_string(installed.wrappedValue()));
        }
    };
    auto host = platform::swiftui::ViewHost::make(Counter{Default<std::int64_t>(count)});
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "text \"5\"\n");
    Prefs::set(count, 12);
    env.runUntilIdle();
    EXPECT_EQ(host->outline(), "text \"12\"\n");
}

} // namespace
} // namespace zestrel
