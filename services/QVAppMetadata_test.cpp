#include "services/QVAppMetadata.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

TEST(QVAppMetadataTest, ThisBuildHasAWebsiteAndNoStoreListing) {
    platform::testing::TestEnvironment environment;
    ASSERT_TRUE(QVApp::website());
    EXPECT_EQ(QVApp::website()->absoluteString(), "https://zestrel.app");
    EXPECT_EQ(QVApp::metadata().appStoreID, std::nullopt);
    EXPECT_EQ(QVApp::gumroadID(), std::nullopt);
    EXPECT_EQ(QVApp::appStoreURL(), std::nullopt);
    EXPECT_EQ(QVApp::purchaseURL(), std::nullopt);
}

TEST(QVAppMetadataTest, StoreAddressesComeFromTheIdentifiers) {
    const QVApp::Metadata listed{.website = std::nullopt, .appStoreID = "123", .gumroadID = "zz"};
    ASSERT_TRUE(QVApp::appStoreURL(listed));
    EXPECT_EQ(QVApp::appStoreURL(listed)->absoluteString(),
              "macappstore://apps.apple.com/app/id123");
    ASSERT_TRUE(QVApp::purchaseURL(listed));
    EXPECT_EQ(QVApp::purchaseURL(listed)->absoluteString(), "https://zestrel.app/buy/zz");
}

} // namespace
} // namespace zestrel
