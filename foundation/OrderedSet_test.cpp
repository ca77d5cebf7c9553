#include "foundation/OrderedSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel {
namespace {

std::vector<int> elementsOf(const OrderedSet<int>& set) {
    return std::vector<int>(set.begin(), set.end());
}

TEST(OrderedSetTest, KeepsFirstOccurrencesInInsertionOrder) {
    OrderedSet<int> set{3, 1, 3, 2};
    EXPECT_EQ(elementsOf(set), (std::vector<int>{3, 1, 2}));
    EXPECT_FALSE(set.append(1));
    EXPECT_EQ(elementsOf(set), (std::vector<int>{3, 1, 2}));
    EXPECT_TRUE(set.append(0));
    EXPECT_EQ(set[3], 0);
    EXPECT_EQ(OrderedSet<int>(std::vector<int>{5, 5, 4}).count(), 2);
}

TEST(OrderedSetTest, RemovalKeepsOrderAndMembershipInStep) {
    OrderedSet<std::string> set{"a", "b", "c", "d"};
    EXPECT_EQ(set.remove("b"), "b");
    EXPECT_EQ(set.remove("b"), std::nullopt);
    EXPECT_FALSE(set.contains("b"));
    EXPECT_EQ(set.removeFirst(), "a");
    EXPECT_EQ(set.removeLast(), "d");
    EXPECT_FALSE(set.contains("a"));
    EXPECT_FALSE(set.contains("d"));
    // A removed element may come back, at the end.
    EXPECT_TRUE(set.append("a"));
    EXPECT_EQ(set.elements(), (std::vector<std::string>{"c", "a"}));
}

TEST(OrderedSetTest, RemovingTheOnlyElementLeavesAnEmptySet) {
    OrderedSet<int> set{7};
    EXPECT_EQ(set.removeFirst(), 7);
    EXPECT_TRUE(set.isEmpty());
    EXPECT_FALSE(set.contains(7));
    set = {1, 2};
    set.removeAll(true);
    EXPECT_TRUE(set.isEmpty());
    EXPECT_FALSE(set.contains(1));
}

TEST(OrderedSetTest, EqualityDependsOnOrder) {
    EXPECT_NE((OrderedSet<int>{1, 2}), (OrderedSet<int>{2, 1}));
    EXPECT_EQ((OrderedSet<int>{1, 2, 1}), (OrderedSet<int>{1, 2}));
}

TEST(OrderedSetDeathTest, RemovingFromAnEmptySetStops) {
    OrderedSet<int> set;
    EXPECT_DEATH(set.removeFirst(), "empty collection");
    EXPECT_DEATH(set.removeLast(), "empty collection");
}

} // namespace
} // namespace zestrel
