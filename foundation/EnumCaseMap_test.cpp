#include "foundation/EnumCaseMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zestrel {

enum class Season { spring, summer, autumn, winter };

template <> struct CaseList<Season> {
    static const std::vector<Season>& allCases() {
        static const std::vector<Season> cases{Season::spring, Season::summer, Season::autumn,
                                               Season::winter};
        return cases;
    }
};

namespace {

using Map = EnumCaseMap<Season, std::string>;

const std::unordered_map<Season, std::string> kNames{{Season::winter, "cold"},
                                                     {Season::spring, "mild"},
                                                     {Season::summer, "hot"},
                                                     {Season::autumn, "wet"}};

std::vector<Season> keysOf(const Map& map) {
    std::vector<Season> keys;
    for (const auto& [key, value] : map) {
        keys.push_back(key);
    }
    return keys;
}

TEST(EnumCaseMapTest, IteratesInDeclarationOrderWhateverTheDictionarysOrder) {
    const Map map(kNames);
    EXPECT_EQ(keysOf(map), (std::vector<Season>{Season::spring, Season::summer, Season::autumn,
                                                Season::winter}));
    EXPECT_EQ(map.at(3), (Map::Element{Season::winter, "cold"}));
    auto values = map.values();
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<std::string>{"cold", "hot", "mild", "wet"}));
}

TEST(EnumCaseMapTest, LeftOutCasesAreSkippedWhateverTheListsOrderOrRepeats) {
    const Map withoutFirst(kNames, {Season::spring});
    EXPECT_EQ(withoutFirst.count(), 3);
    EXPECT_EQ(keysOf(withoutFirst),
              (std::vector<Season>{Season::summer, Season::autumn, Season::winter}));
    const Map twoLeft(kNames, {Season::winter, Season::summer, Season::winter});
    EXPECT_EQ(keysOf(twoLeft), (std::vector<Season>{Season::spring, Season::autumn}));
}

TEST(EnumCaseMapTest, SubscriptWritesInPlace) {
    Map map(kNames);
    map[Season::summer] += "!";
    EXPECT_EQ(map[Season::summer], "hot!");
    EXPECT_EQ(map.at(1).value, "hot!");
}

TEST(EnumCaseMapDeathTest, AKeyWithoutValueStops) {
    Map map({{Season::spring, "mild"}}, {Season::summer, Season::autumn, Season::winter});
    EXPECT_EQ(map.count(), 1);
    EXPECT_DEATH(map[Season::winter] = "x", "has no value");
}

} // namespace
} // namespace zestrel
