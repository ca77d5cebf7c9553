#include "foundation/SingletonControllerRegistry.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

class SettingsController final : public pf::NSObject {};
class AboutController final : public pf::NSObject {};

class SingletonControllerRegistryTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment environment;
    SingletonControllerRegistry& registry = SingletonControllerRegistry::shared();
};

TEST_F(SingletonControllerRegistryTest, KeepsOneControllerPerClassUntilRemoved) {
    const auto settings = std::make_shared<SettingsController>();
    const auto about = std::make_shared<AboutController>();
    EXPECT_EQ(registry.controller(HashableType::of<SettingsController>()), nullptr);

    registry.set(HashableType::of<SettingsController>(), settings);
    registry.set(HashableType::of<AboutController>(), about);
    EXPECT_EQ(registry.controller(HashableType::of<SettingsController>()), settings);
    EXPECT_EQ(SingletonControllerRegistry::shared().controller(HashableType::of<AboutController>()),
              about);

    const auto replacement = std::make_shared<SettingsController>();
    registry.set(HashableType::of<SettingsController>(), replacement);
    EXPECT_EQ(registry.controller(HashableType::of<SettingsController>()), replacement);

    registry.remove(HashableType::of<SettingsController>());
    EXPECT_EQ(registry.controller(HashableType::of<SettingsController>()), nullptr);
    EXPECT_EQ(registry.controller(HashableType::of<AboutController>()), about);
    registry.remove(HashableType::of<SettingsController>());
}

TEST(SingletonControllerRegistryLifetimeTest, EachProcessStateStartsEmpty) {
    auto environment = std::make_unique<pf::testing::TestEnvironment>();
    SingletonControllerRegistry::shared().set(HashableType::of<AboutController>(),
                                              std::make_shared<AboutController>());
    EXPECT_NE(SingletonControllerRegistry::shared().controller(HashableType::of<AboutController>()),
              nullptr);
    environment.reset();
    environment = std::make_unique<pf::testing::TestEnvironment>();
    EXPECT_EQ(SingletonControllerRegistry::shared().controller(HashableType::of<AboutController>()),
              nullptr);
}

} // namespace
} // namespace zestrel
