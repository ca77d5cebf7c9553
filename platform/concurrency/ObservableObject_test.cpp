#include "platform/concurrency/ObservableObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform::combine {
namespace {

class Counter : public ObservableObject {
public:
    Published<int> count{*this, 0};
    Published<std::string> name{*this, "a"};
};

TEST(ObservableObject, WillChangeComesBeforeTheStoreAndBeforeTheProjectedValue) {
    auto counter = std::make_shared<Counter>();
    std::vector<std::string> events;
    auto willChange = counter->objectWillChange().sink([&](const Void&) {
        events.push_back("willChange count=" + std::to_string(counter->count.get()));
    });
    auto projected = counter->count.projectedValue().sink([&](int v) {
        events.push_back("$count " + std::to_string(v) +
                         " while count=" + std::to_string(counter->count.get()));
    });
    counter->count = 1;
    EXPECT_EQ(counter->count.get(), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"$count 0 while count=0", "willChange count=0",
                                                "$count 1 while count=0"}));
}

TEST(ObservableObject, EveryPublishedPropertyAnnouncesEvenAnEqualValue) {
    auto counter = std::make_shared<Counter>();
    int announcements = 0;
    auto c = counter->objectWillChange().sink([&](const Void&) { ++announcements; });
    counter->name = "a";
    counter->name.modify([](std::string& s) { s += "b"; });
    counter->count = 0;
    EXPECT_EQ(announcements, 3);
    EXPECT_EQ(counter->name.get(), "ab");
}

TEST(ObservableObject, StandalonePublishedStillPublishes) {
    Published<int> value(3);
    std::vector<int> seen;
    auto c = value.projectedValue().sink([&](int v) { seen.push_back(v); });
    value = 4;
    EXPECT_EQ(seen, (std::vector<int>{3, 4}));
}

} // namespace
} // namespace zestrel::platform::combine
