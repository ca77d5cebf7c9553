#include "foundation/Box.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace zestrel {
namespace {

struct Item {
    int number;
    int id() const { return number; }
    bool operator==(const Item&) const = default;
};

TEST(Box, DescriptionsNameTheBoxAroundTheValue) {
    EXPECT_EQ(MutableBox<int>(5).debugDescription(), "MutableBox(5)");
    EXPECT_EQ(Box<std::string>("a").debugDescription(), "Box(a)");
    EXPECT_EQ(Box<double>(1).description(), "1.0");
}

TEST(Box, ComparesHashesAndIdentifiesThroughItsValue) {
    Box<int> one(1);
    Box<int> otherOne(1);
    Box<int> two(2);
    EXPECT_EQ(one, otherOne);
    EXPECT_LT(one, two);
    EXPECT_EQ(one.hash(), otherOne.hash());
    EXPECT_EQ(Box<Item>(Item{4}).id(), 4);

    MutableBox<int> box(1);
    EXPECT_EQ(box, MutableBox<int>(1));
    box.wrappedValue = 3;
    EXPECT_GT(box, MutableBox<int>(2));
    EXPECT_EQ(box.hash(), std::hash<int>{}(3));
}

} // namespace
} // namespace zestrel
