#include "foundation/IndexedCollection.h"

#include <gtest/gtest.h>

#include <iterator>
#include <list>
#include <string>
#include <vector>

namespace zestrel {
namespace {

TEST(IndexedCollectionTest, PairsEachElementWithItsPosition) {
    std::vector<std::string> seen;
    for (const auto& [index, element] : indexed(std::vector<std::string>{"a", "b"})) {
        seen.push_back(std::to_string(index) + element);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"0a", "1b"}));
    EXPECT_EQ(indexed(std::vector<int>{}).begin(), indexed(std::vector<int>{}).end());
}

TEST(IndexedCollectionTest, MovesBothWaysOverABidirectionalCollection) {
    const auto view = indexed(std::list<char>{'x', 'y', 'z'});
    auto last = std::prev(view.end());
    EXPECT_EQ((*last).first, 2);
    EXPECT_EQ((*last).second, 'z');
    --last;
    EXPECT_EQ((*last).first, 1);
    EXPECT_EQ(view.count(), 3);
}

TEST(IndexedCollectionTest, JumpsOverARandomAccessCollection) {
    const auto view = indexed(std::vector<int>{10, 20, 30, 40});
    const auto third = view.begin() + 2;
    EXPECT_EQ((*third).first, 2);
    EXPECT_EQ((*third).second, 30);
    EXPECT_EQ(view.end() - third, 2);
}

} // namespace
} // namespace zestrel
