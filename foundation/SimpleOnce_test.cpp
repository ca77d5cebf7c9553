#include "foundation/SimpleOnce.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zestrel {
namespace {

TEST(SimpleOnceTest, ComputesFromTheFirstInputAndKeepsIt) {
    int runs = 0;
    SimpleOnce<std::string, bool> isBrowser([&](const std::string& name) {
        ++runs;
        return name == "Safari";
    });
    EXPECT_TRUE(isBrowser.value("Safari"));
    EXPECT_TRUE(isBrowser.value("Finder"));
    EXPECT_EQ(runs, 1);
}

TEST(SimpleOnceTest, EqualityAndHashFollowIdentity) {
    auto closure = [](const int& x) { return x * 2; };
    SimpleOnce<int, int> a(closure);
    SimpleOnce<int, int> b(closure);
    EXPECT_TRUE(a == a);
    EXPECT_FALSE(a == b);
    std::hash<SimpleOnce<int, int>> hash;
    EXPECT_EQ(hash(a), hash(a));
    EXPECT_NE(hash(a), hash(b));
}

} // namespace
} // namespace zestrel
