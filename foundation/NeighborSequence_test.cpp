#include "foundation/NeighborSequence.h"

#include <gtest/gtest.h>

#include <ranges>
#include <string>
#include <vector>

namespace zestrel {
namespace {

template <class Base> std::vector<std::string> describe(NeighborSequence<Base> sequence) {
    const auto text = [](const auto& element) {
        return element ? std::to_string(*element) : std::string("nil");
    };
    std::vector<std::string> lines;
    for (const auto& neighbors : sequence) {
        lines.push_back(text(neighbors.previous) + " " + std::to_string(neighbors.current) + " " +
                        text(neighbors.next));
    }
    return lines;
}

TEST(NeighborSequenceTest, EachElementComesWithItsNeighbours) {
    EXPECT_EQ(describe(neighbors(std::vector<int>{1, 2, 3})),
              (std::vector<std::string>{"nil 1 2", "1 2 3", "2 3 nil"}));
}

TEST(NeighborSequenceTest, EndsOfShortSequences) {
    EXPECT_EQ(describe(neighbors(std::vector<int>{7})), (std::vector<std::string>{"nil 7 nil"}));
    EXPECT_TRUE(describe(neighbors(std::vector<int>{})).empty());
}

TEST(NeighborSequenceTest, ReadsTheBaseOnceInOrderOneElementAhead) {
    std::vector<int> reads;
    auto sequence = neighbors(std::views::iota(1, 4) | std::views::transform([&reads](int value) {
                                  reads.push_back(value);
                                  return value;
                              }));
    auto it = sequence.begin();
    EXPECT_EQ(it->current, 1);
    EXPECT_EQ(reads, (std::vector<int>{1, 2}));
    while (it != sequence.end()) {
        ++it;
    }
    EXPECT_EQ(reads, (std::vector<int>{1, 2, 3}));
}

} // namespace
} // namespace zestrel
