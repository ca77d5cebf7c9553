#include "platform/base/NSCache.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

// A key object equal to any other with the same text, as the typed cache's keys are.
class TextKey final : public NSObject {
public:
    explicit TextKey(std::string text) : text(std::move(text)) {}
    bool isEqual(const NSObject& other) const override {
        const auto* key = dynamic_cast<const TextKey*>(&other);
        return key != nullptr && key->text == text;
    }
    std::size_t hash() const override { return std::hash<std::string>{}(text); }
    std::string text;
};

std::shared_ptr<NSObject> key(const std::string& text) {
    return std::make_shared<TextKey>(text);
}

TEST(NSCacheTest, FindsObjectsByEqualKeysAndReplacesThem) {
    NSCache cache;
    auto first = std::make_shared<NSObject>();
    auto second = std::make_shared<NSObject>();
    cache.setObject(first, key("a"));
    EXPECT_EQ(cache.objectForKey(key("a")), first);
    cache.setObject(second, key("a"));
    EXPECT_EQ(cache.objectForKey(key("a")), second);
    cache.removeObjectForKey(key("a"));
    EXPECT_EQ(cache.objectForKey(key("a")), nullptr);
    // Without an `isEqual` of its own, a key matches only itself.
    auto plainKey = std::make_shared<NSObject>();
    cache.setObject(first, plainKey);
    EXPECT_EQ(cache.objectForKey(plainKey), first);
    EXPECT_EQ(cache.objectForKey(std::make_shared<NSObject>()), nullptr);
}

TEST(NSCacheTest, LimitsEvictTheOldestEntriesAndReleaseThem) {
    NSCache cache;
    cache.setCountLimit(2);
    std::weak_ptr<NSObject> oldest;
    {
        auto object = std::make_shared<NSObject>();
        oldest = object;
        cache.setObject(object, key("1"));
    }
    cache.setObject(std::make_shared<NSObject>(), key("2"));
    cache.setObject(std::make_shared<NSObject>(), key("3"));
    EXPECT_EQ(cache.objectForKey(key("1")), nullptr);
    EXPECT_TRUE(oldest.expired());
    EXPECT_NE(cache.objectForKey(key("3")), nullptr);

    NSCache costly;
    costly.setTotalCostLimit(10);
    costly.setObject(std::make_shared<NSObject>(), key("a"), 6);
    costly.setObject(std::make_shared<NSObject>(), key("b"), 6);
    EXPECT_EQ(costly.objectForKey(key("a")), nullptr);
    EXPECT_NE(costly.objectForKey(key("b")), nullptr);
}

TEST(NSCacheTest, IsSafeToUseFromSeveralThreads) {
    NSCache cache;
    cache.setCountLimit(50);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < 500; ++i) {
                const std::string name = std::to_string(t) + ":" + std::to_string(i % 80);
                cache.setObject(std::make_shared<NSObject>(), key(name));
                cache.objectForKey(key(name));
                if (i % 7 == 0) {
                    cache.removeObjectForKey(key(name));
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    cache.removeAllObjects();
    EXPECT_EQ(cache.objectForKey(key("0:1")), nullptr);
}

} // namespace
} // namespace zestrel::platform
