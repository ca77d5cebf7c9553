#include "foundation/NeighborSequence.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
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

// Hands out 1, 2 and 3 once, noting each element as it is read.
struct RecordingSequence {
    struct Iterator {
        using iterator_concept = std::input_iterator_tag;
        using value_type = int;
        using difference_type = std::ptrdiff_t;

        int operator*() const {
            reads->push_back(next);
            return next;
        }
        Iterator& operator++() {
            ++next;
            return *this;
        }
        void operator++(int) { ++next; }
        bool operator==(const Iterator& other) const { return next == other.next; }

        std::vector<int>* reads = nullptr;
        int next = 0;
    };
    Iterator begin() const { return Iterator{reads, 1}; }
    Iterator end() const { return Iterator{reads, 4}; }

    std::vector<int>* reads = nullptr;
};

TEST(NeighborSequenceTest, ReadsTheBaseOnceInOrderOneElementAhead) {
    std::vector<int> reads;
    auto sequence = neighbors(RecordingSequence{&reads});
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
