#include "platform/base/Bundle.h"

#include "platform/base/ProcessLocal.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace zestrel::platform {
namespace {

class BundleTest : public ::testing::Test {
protected:
    void TearDown() override { Bundle::setMainForTesting(nullptr); }

    std::filesystem::path makeResources() {
        const auto folder = env.home() / "resources";
        std::filesystem::create_directories(folder / "Folder");
        std::ofstream(folder / "CutSound.wav", std::ios::binary) << std::string("\x01\x02\x00", 3);
        std::ofstream(folder / "Notes") << "plain";
        return folder;
    }

    testing::TestEnvironment env;
};

TEST_F(BundleTest, OwnMainBundleIsZestrelBesideTheExecutable) {
    const auto bundle = Bundle::main();
    EXPECT_EQ(bundle->bundleIdentifier(), "com.quorvik.Zestrel");
    const auto& info = bundle->infoDictionary();
    EXPECT_EQ(info.at(kCFBundleIdentifierKey), Value("com.quorvik.Zestrel"));
    EXPECT_EQ(info.at(kCFBundleNameKey), Value("Zestrel"));
    ASSERT_NE(info.at(kCFBundleShortVersionStringKey).asString(), nullptr);
    ASSERT_NE(info.at(kCFBundleVersionKey).asString(), nullptr);
    EXPECT_FALSE(info.at(kCFBundleVersionKey).asString()->empty());

    ASSERT_TRUE(bundle->bundleURL().isFileURL());
    EXPECT_EQ(bundle->bundleURL().lastPathComponent(), "Zestrel.app");
    const auto executable = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(std::filesystem::path(bundle->bundleURL().path()).parent_path(),
              executable.parent_path());
}

TEST_F(BundleTest, DataAssetFindsTheResourceWithOrWithoutItsExtension) {
    const Bundle bundle({}, URL::fileURL("/Applications/Zestrel.app", true), makeResources());
    const Data expected = {1, 2, 0};
    EXPECT_EQ(bundle.dataAsset("CutSound"), expected);
    EXPECT_EQ(bundle.dataAsset("CutSound.wav"), expected);
    EXPECT_EQ(bundle.dataAsset("Notes"), (Data{'p', 'l', 'a', 'i', 'n'}));
    EXPECT_EQ(bundle.dataAsset("cutsound"), std::nullopt);
    EXPECT_EQ(bundle.dataAsset("Missing"), std::nullopt);
    EXPECT_EQ(bundle.dataAsset("Folder"), std::nullopt);
    EXPECT_EQ(bundle.dataAsset(""), std::nullopt);
    EXPECT_EQ(bundle.dataAsset("../resources/Notes"), std::nullopt);

    const Bundle nowhere({}, URL::fileURL("/Applications/Zestrel.app", true),
                         env.home() / "no such folder");
    EXPECT_EQ(nowhere.dataAsset("CutSound"), std::nullopt);
}

TEST_F(BundleTest, ResourcesFolderComesFromTheEnvironmentInANewProcess) {
    const auto folder = makeResources();
    const char* saved = std::getenv("ZESTREL_RESOURCES_DIR");
    const std::optional<std::string> previous =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    setenv("ZESTREL_RESOURCES_DIR", folder.c_str(), 1);
    resetProcess();
    EXPECT_EQ(Bundle::main()->resourcesDirectory(), folder);
    EXPECT_EQ(Bundle::main()->dataAsset("CutSound"), (Data{1, 2, 0}));
    if (previous) {
        setenv("ZESTREL_RESOURCES_DIR", previous->c_str(), 1);
    } else {
        unsetenv("ZESTREL_RESOURCES_DIR");
    }
}

TEST_F(BundleTest, MainBundleSetForTestingSurvivesANewProcessUntilRestored) {
    const auto own = Bundle::main();
    auto moved = std::make_shared<const Bundle>(
        Value::Dictionary{}, URL::fileURL("/private/var/AppTranslocation/X/d/Zestrel.app", true),
        "/nowhere");
    Bundle::setMainForTesting(moved);
    resetProcess();
    EXPECT_EQ(Bundle::main(), moved);
    EXPECT_EQ(Bundle::main()->bundleIdentifier(), std::nullopt);
    Bundle::setMainForTesting(nullptr);
    EXPECT_EQ(Bundle::main()->bundleURL(), own->bundleURL());
}

} // namespace
} // namespace zestrel::platform
