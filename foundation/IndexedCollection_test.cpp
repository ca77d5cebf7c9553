#include "foundation/IndexedCollection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <ranges>
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

// The standard algorithms that need random access accept the view over a vector, and take
// no shortcut it cannot give over a list.
TEST(IndexedCollectionTest, IsRandomAccessExactlyWhenItsCollectionIs) {
    using OverVector = IndexedCollection<std::vector<int>>;
    using OverList = IndexedCollection<std::list<int>>;
    EXPECT_TRUE(std::ranges::random_access_range<OverVector>);
    EXPECT_TRUE(std::random_access_iterator<OverVector::Iterator>);
    EXPECT_TRUE(std::ranges::bidirectional_range<OverList>);
    EXPECT_FALSE(std::ranges::random_access_range<OverList>);

    const auto view = indexed(std::vector<int>{10, 20, 30, 40, 50});
    // A binary search by element: random access lets it jump.
    const auto found =
        std::ranges::lower_bound(view, 35, {}, [](const auto& pair) { return pair.second; });
    EXPECT_EQ((*found).first, 3);
    EXPECT_EQ(view.begin()[4].second, 50);
    EXPECT_EQ((*(view.end() - 2)).first, 3);
    EXPECT_EQ((2 + view.begin() - 1)[0].second, 20);
    EXPECT_LT(view.begin() + 1, view.begin() + 2);
    EXPECT_EQ(std::ranges::next(view.begin(), 10, view.end()), view.end());
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
