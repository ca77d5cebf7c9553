#include "foundation/AggregateHashable.h"
#include "foundation/AnyEquatable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <unordered_set>

namespace zestrel {
namespace {

TEST(AnyEquatableTest, EqualOnlyWithinOneType) {
    EXPECT_FALSE(AnyEquatable(1) == AnyEquatable(1.0));
    EXPECT_FALSE(AnyEquatable(1) == AnyEquatable("1"));
    EXPECT_TRUE(AnyEquatable(std::string("a")) == "a");
    EXPECT_TRUE("a" == AnyEquatable(std::string("a")));
    EXPECT_TRUE(AnyEquatable(1) == 1);
    EXPECT_TRUE(AnyEquatable(true) == true);
    EXPECT_FALSE(AnyEquatable(NAN) == AnyEquatable(NAN));
}

TEST(AggregateHashableTest, EqualElementsInOrderAreEqualAndHashEqually) {
    const AggregateHashable first({1, "a"});
    const AggregateHashable second({1, std::string("a")});
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::hash<AggregateHashable>{}(first), std::hash<AggregateHashable>{}(second));
    EXPECT_FALSE(first == AggregateHashable({"a", 1}));
    EXPECT_FALSE(first == AggregateHashable({1, "a", 2}));
    EXPECT_FALSE(AggregateHashable({1}) == AggregateHashable({1L}));

    std::unordered_set<AggregateHashable> keys{first, AggregateHashable({"a", 1})};
    EXPECT_EQ(keys.size(), 2u);
    EXPECT_TRUE(keys.contains(second));
}

TEST(HashableTypeTest, SameTypeOnly) {
    EXPECT_EQ(HashableType::of<int>(), HashableType::of<int>());
    EXPECT_FALSE(HashableType::of<int>() == HashableType::of<long>());
    EXPECT_EQ(std::hash<HashableType>{}(HashableType::of<std::string>()),
              std::hash<HashableType>{}(HashableType(typeid(std::string))));
}

} // namespace
} // namespace zestrel
