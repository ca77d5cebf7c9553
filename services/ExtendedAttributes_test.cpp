#include "services/ExtendedAttributes.h"

#include "platform/data/MDItem.h"
#include "platform/data/PropertyList.h"
#include "platform/data/XAttr.h"
#include "platform/testing/CannotRunHere.h"
#include "platform/testing/TestEnvironment.h"
#include "services/FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
using platform::URL;

class ExtendedAttributesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = (environment.home() / "shot.png").string();
        std::ofstream(path) << "png";
        if (platform::setxattr(path.c_str(), "probe", "", 0, 0, 0) != 0) {
            platform::testing::cannotRunHere("the file system keeps no user attributes");
            GTEST_SKIP(); // under CI it has failed already: the body would only fail again
        }
    }
    void setAttribute(const std::string& name, const platform::Data& bytes) {
        ASSERT_EQ(platform::setxattr(path.c_str(), name.c_str(), bytes.data(), bytes.size(), 0, 0),
                  0);
    }
    static platform::Data plist(const platform::Value& value) {
        return platform::PropertyList::encodeBinary(value);
    }

    platform::testing::TestEnvironment environment;
    std::string path;
};

TEST_F(ExtendedAttributesTest, EmptyAbsentAndMissingFile) {
    const ExtendedAttributes attributes(URL::fileURL(path));
    EXPECT_EQ(attributes.getIfPresent("probe"), platform::Data{});
    EXPECT_EQ(attributes.getIfPresent("com.example.none"), std::nullopt);
    setAttribute("com.example.tag", {1, 2, 3});
    EXPECT_EQ(attributes.get("com.example.tag"), (platform::Data{1, 2, 3}));
    try {
        ExtendedAttributes(URL::fileURL(path + ".missing")).getIfPresent("probe");
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.domain(), platform::NSPOSIXErrorDomain);
        EXPECT_EQ(error.code(), ENOENT);
    }
}

// Callers written for the platform look for its number of a missing attribute, not Linux's.
TEST_F(ExtendedAttributesTest, AMissingAttributeIsThePlatformsErrorNumber) {
    try {
        ExtendedAttributes(URL::fileURL(path)).get("com.example.none");
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.domain(), platform::NSPOSIXErrorDomain);
        EXPECT_EQ(error.code(), 93);
    }
    EXPECT_EQ(platform::getxattr(path.c_str(), "com.example.none", nullptr, 0, 0, 0), -1);
    EXPECT_EQ(errno, 93);
}

TEST_F(ExtendedAttributesTest, PropertyListBooleans) {
    const ExtendedAttributes attributes(URL::fileURL(path));
    setAttribute("com.apple.metadata:flag", plist(platform::Value(true)));
    EXPECT_EQ(attributes.propertyListBool("com.apple.metadata:flag"), true);
    setAttribute("com.apple.metadata:text", plist(platform::Value("yes")));
    try {
        attributes.propertyListBool("com.apple.metadata:text");
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.code(), 3840);
    }
    try {
        ExtendedAttributes(*URL::parse("https://example.com/a")).propertyListBool("x");
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.domain(), platform::NSCocoaErrorDomain);
        EXPECT_EQ(error.code(), 4);
    }
}

TEST_F(ExtendedAttributesTest, ScreenshotBySpotlightThenByAttribute) {
    const URL url = URL::fileURL(path);
    EXPECT_FALSE(isScreenshot(url));
    EXPECT_EQ(spotlightBool(url, platform::kMDItemIsScreenCapture), std::nullopt);
    setAttribute("com.apple.metadata:kMDItemIsScreenCapture", plist(platform::Value(true)));
    EXPECT_TRUE(isScreenshot(url));
    platform::SpotlightIndex::setAttributes(
        url, {{platform::kMDItemIsScreenCapture, platform::Value(false)}});
    EXPECT_FALSE(isScreenshot(url)); // Spotlight's answer comes first
    setAttribute("com.apple.metadata:kMDItemIsScreenCapture", {'n', 'o'});
    EXPECT_FALSE(isScreenshot(URL::fileURL(path + ".missing")));
}

} // namespace
} // namespace zestrel
