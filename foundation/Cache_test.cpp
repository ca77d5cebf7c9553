#include "foundation/Cache.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

TEST(Cache, FindsValuesByEqualKeysAndForgetsRemovedOnes) {
    Cache<std::string, int> cache;
    cache.insert(1, "a");
    cache.set("b", 2);
    EXPECT_EQ(cache.value(std::string("a")), 1); // a new key object with an equal key
    EXPECT_EQ(cache.value("b"), 2);
    EXPECT_EQ(cache.value("c"), std::nullopt);
    cache.set("a", std::nullopt);
    EXPECT_EQ(cache.value("a"), std::nullopt);
    cache.insert(3, "b");
    EXPECT_EQ(cache.value("b"), 3);
    cache.removeAll();
    EXPECT_EQ(cache.value("b"), std::nullopt);
}

} // namespace
} // namespace zestrel
