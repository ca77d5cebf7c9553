#include "foundation/PublishedUnique.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel {
namespace {

using platform::combine::Void;

class Settings : public platform::combine::ObservableObject {
public:
    PublishedUnique<std::string> title{*this, "a"};
};

TEST(PublishedUnique, EqualValueAnnouncesAndSendsNothing) {
    auto settings = std::make_shared<Settings>();
    std::vector<std::string> events;
    auto willChange =
        settings->objectWillChange().sink([&](const Void&) { events.push_back("willChange"); });
    auto values = settings->title.projectedValue().sink(
        [&](const std::string& v) { events.push_back("value " + v); });
    settings->title = "a";
    settings->title.modify([](std::string&) {});
    EXPECT_EQ(events, (std::vector<std::string>{"value a"}));
}

TEST(PublishedUnique, DifferentValueAnnouncesBeforeSubscribersReceiveIt) {
    auto settings = std::make_shared<Settings>();
    std::vector<std::string> events;
    auto willChange = settings->objectWillChange().sink(
        [&](const Void&) { events.push_back("willChange while " + settings->title.get()); });
    auto values = settings->title.projectedValue().sink(
        [&](const std::string& v) { events.push_back("value " + v); });
    settings->title = "b";
    settings->title.modify([](std::string& s) { s += "c"; });
    EXPECT_EQ(settings->title.get(), "bc");
    EXPECT_EQ(events, (std::vector<std::string>{"value a", "willChange while a", "value b",
                                                "willChange while b", "value bc"}));
}

TEST(PublishedUnique, OutsideAnObservableObjectOnlyTheSubjectSends) {
    PublishedUnique<int> number(1);
    std::vector<int> seen;
    auto c = number.projectedValue().sink([&](int v) { seen.push_back(v); });
    number = 1;
    number = 2;
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

} // namespace
} // namespace zestrel
