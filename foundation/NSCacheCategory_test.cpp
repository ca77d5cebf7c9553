#include "foundation/NSCacheCategory.h"

#include "platform/base/ProcessLocal.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

class NSCacheCategoryTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment environment;
};

TEST_F(NSCacheCategoryTest, SharedIsOneCachePerProcess) {
    const auto shared = sharedCache();
    auto key = std::make_shared<platform::NSObject>();
    auto object = std::make_shared<platform::NSObject>();
    setObjectForKeyedSubscript(*shared, object, key);
    EXPECT_EQ(sharedCache(), shared);
    EXPECT_EQ(objectForKeyedSubscript(*sharedCache(), key), object);

    platform::resetProcess();
    EXPECT_NE(sharedCache(), shared);
    EXPECT_EQ(objectForKeyedSubscript(*sharedCache(), key), nullptr);
}

TEST_F(NSCacheCategoryTest, MadeWithItsLimitsAndSubscriptNilRemoves) {
    const auto cache = makeCache("thumbnails", 100, 3);
    EXPECT_EQ(cache->name(), "thumbnails");
    EXPECT_EQ(cache->totalCostLimit(), 100);
    EXPECT_EQ(cache->countLimit(), 3);
    auto key = std::make_shared<platform::NSObject>();
    setObjectForKeyedSubscript(*cache, std::make_shared<platform::NSObject>(), key);
    setObjectForKeyedSubscript(*cache, nullptr, key);
    EXPECT_EQ(objectForKeyedSubscript(*cache, key), nullptr);
}

} // namespace
} // namespace zestrel
