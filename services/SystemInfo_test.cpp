#include "services/SystemInfo.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "platform/system/IOKit.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zestrel {
namespace {

class SystemInfoTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment environment;
};

TEST_F(SystemInfoTest, ModelTextDropsOneTrailingZero) {
    EXPECT_EQ(SystemInfo::modelText(
                  platform::Value(platform::Data{'M', 'a', 'c', '1', '4', ',', '2', 0})),
              "Mac14,2");
    EXPECT_EQ(SystemInfo::modelText(platform::Value(platform::Data{'M', 'a', 'c'})), "Mac");
    EXPECT_EQ(SystemInfo::modelText(platform::Value(platform::Data{0xFF, 0})), std::nullopt);
    EXPECT_EQ(SystemInfo::modelText(platform::Value("Mac14,2")), std::nullopt);

    platform::IORegistrySetPropertyForTesting("IOPlatformExpertDevice", "model", {});
    platform::IORegistrySetPropertyForTesting("IORegistryRoot", "OS Build Version",
                                              platform::Value(42));
    EXPECT_EQ(SystemInfo::modelIdentifier(), "<Unknown model>");
    EXPECT_EQ(SystemInfo::osBuild(), "<Unknown build>");
    EXPECT_EQ(SystemInfo::osVersionDescription(),
              "macOS " + SystemInfo::osVersion() + " (<Unknown build>)");
}

TEST_F(SystemInfoTest, SimulatedRealityDevice) {
    setenv("SIMULATOR_MODEL_IDENTIFIER", "RealityDevice14,1", 1);
    EXPECT_EQ(SystemInfo::hardwareMachineIdentifier(), "RealityDevice14,1");
    EXPECT_TRUE(SystemInfo::isRealityDevice());
    unsetenv("SIMULATOR_MODEL_IDENTIFIER");
    platform::resetProcess();
    EXPECT_EQ(SystemInfo::hardwareMachineIdentifier(), SystemInfo::machineArchitecture());
}

TEST_F(SystemInfoTest, InterfaceSoundFlagIsTrueUnlessFalse) {
    auto defaults = platform::UserDefaults::standard();
    EXPECT_TRUE(isSystemUserInterfaceSoundEnabled());
    defaults->setObject(platform::Value("no"), "com.apple.sound.uiaudio.enabled");
    EXPECT_TRUE(isSystemUserInterfaceSoundEnabled());
    defaults->setObject(platform::Value(false), "com.apple.sound.uiaudio.enabled");
    EXPECT_FALSE(isSystemUserInterfaceSoundEnabled());
}

TEST_F(SystemInfoTest, InputSourceTextPropertiesOnly) {
    const auto source = platform::TISCopyCurrentKeyboardLayoutInputSource();
    EXPECT_EQ(stringProperty(source, platform::kTISPropertyLocalizedName), "U.S.");
    EXPECT_EQ(stringProperty(source, platform::kTISPropertyInputSourceID),
              "com.apple.keylayout.US");
    EXPECT_EQ(stringProperty(source, "TISPropertyUnicodeKeyLayoutData"), std::nullopt);
    EXPECT_EQ(stringProperty(nullptr, platform::kTISPropertyLocalizedName), std::nullopt);
}

TEST_F(SystemInfoTest, PanesOpenTheirSettingsURLs) {
    open(AppNotificationsPane{"com.example.app"});
    open(SystemSettingsPaneCase::accessibility);
    openSystemSettings(SystemSettingsPaneCase::extensionsSharing);
    const auto opened = platform::URLOpener::openedURLs();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].absoluteString(), "x-apple.systempreferences:com.apple.Notifications-"
                                          "Settings.extension?id=com.example.app");
    EXPECT_EQ(opened[1].absoluteString(),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
    EXPECT_EQ(opened[2].absoluteString(),
              "x-apple.systempreferences:com.apple.ExtensionsPreferences?Sharing");
    EXPECT_EQ(platform::NSApp().activationYieldedTo(), "com.apple.systempreferences");
    EXPECT_EQ(identifier(SystemSettingsPaneCase::controlCenter),
              "com.apple.ControlCenter-Settings.extension");
}

TEST_F(SystemInfoTest, EveryTablePaneOpensButAnAppPaneThatFormsNoURLIsReported) {
    const auto last = static_cast<int>(SystemSettingsPaneCase::controlCenter);
    for (int pane = 0; pane <= last; ++pane) {
        openSystemSettings(static_cast<SystemSettingsPaneCase>(pane));
    }
    EXPECT_EQ(platform::URLOpener::openedURLs().size(), static_cast<std::size_t>(last + 1));
    EXPECT_TRUE(environment.reports().empty());

    open(AppNotificationsPane{"com.example.my app"});
    EXPECT_EQ(platform::URLOpener::openedURLs().size(), static_cast<std::size_t>(last + 1));
    const auto reports = environment.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].nsError()->userInfo().at("url"),
              platform::Value("x-apple.systempreferences:com.apple.Notifications-Settings."
                              "extension?id=com.example.my app"));
}

} // namespace
} // namespace zestrel
