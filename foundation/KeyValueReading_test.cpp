#include "foundation/KeyValueReading.h"

#include "platform/appkit/NSStatusBar.h"
#include "platform/base/KeyValueCoding.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

class Gauge final : public pf::NSObject {
public:
    std::string className() const override { return "Gauge"; }
    int level = 3;
};

TEST(KeyValueReadingTest, AnsweredKeysAreReadAndOthersAreNothing) {
    pf::registerKeyValueGetter("Gauge", "level", [](const pf::NSObject& object) {
        return pf::Value(dynamic_cast<const Gauge&>(object).level);
    });
    Gauge gauge;
    gauge.level = 7;
    EXPECT_EQ(valueIfResponds(gauge, "level"), pf::Value(7));
    EXPECT_EQ(valueIfResponds(gauge, "Level"), std::nullopt);
    // Keys belong to a class by its exact name.
    EXPECT_EQ(valueIfResponds(pf::NSObject(), "level"), std::nullopt);
}

TEST(KeyValueReadingDeathTest, ReadingAnUnknownKeyDirectlyStops) {
    EXPECT_DEATH(pf::valueForKey(Gauge(), "nothing"), "not key value coding-compliant");
}

TEST(KeyValueReadingTest, TheStatusBarAnswersItsPrivateListOfItems) {
    pf::testing::TestEnvironment environment;
    const auto bar = pf::NSStatusBar::system();
    const auto first = bar->statusItem(pf::NSVariableStatusItemLength);
    const auto second = bar->statusItem(pf::NSVariableStatusItemLength);
    const auto items = valueIfResponds(*bar, "_statusItems");
    ASSERT_TRUE(items);
    const pf::Value::Array* array = items->asArray();
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(array->size(), 2u);
    EXPECT_EQ((*array)[0], pf::Value(second));
}

} // namespace
} // namespace zestrel
