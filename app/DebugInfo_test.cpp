#include "app/DebugInfo.h"

#include "foundation/FeedbackMetadata.h"
#include "foundation/Logger.h"
#include "platform/base/Bundle.h"
#include "platform/base/Locale.h"
#include "platform/base/ProcessInfo.h"
#include "platform/desktop/NSScreen.h"
#include "platform/system/HostMemory.h"
#include "platform/system/IOKit.h"
#include "platform/system/TaskInfo.h"
#include "platform/testing/DesktopEnvironment.h"
#include "services/QVAppLaunch.h"
#include "services/SystemInfo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

namespace zestrel {
namespace {

namespace pf = platform;
using ::testing::HasSubstr;
using ::testing::Not;

// 4 GiB free: 2^20 pages of 4 KiB.
long fixedSysconf(int name) {
    return name == _SC_PAGESIZE ? 4096 : 1 << 20;
}

// A footprint of 50 MiB.
pf::kern_return_t fixedTaskInfo(pf::task_name_t, pf::task_flavor_t, pf::task_info_t info,
                                pf::mach_msg_type_number_t* count) {
    auto* answer = reinterpret_cast<pf::task_vm_info_data_t*>(info);
    *answer = {};
    answer->phys_footprint = 50u << 20;
    *count = pf::TASK_VM_INFO_COUNT;
    return pf::KERN_SUCCESS;
}

// A kernel that answers only the words before the footprint.
pf::kern_return_t olderKernelTaskInfo(pf::task_name_t, pf::task_flavor_t, pf::task_info_t,
                                      pf::mach_msg_type_number_t* count) {
    *count = pf::TASK_VM_INFO_REV1_COUNT - 2;
    return pf::KERN_SUCCESS;
}

pf::kern_return_t failingTaskInfo(pf::task_name_t, pf::task_flavor_t, pf::task_info_t,
                                  pf::mach_msg_type_number_t*) {
    return pf::KERN_FAILURE;
}

std::shared_ptr<pf::NSScreen> screen(pf::CGRect frame, double scale, std::uint32_t number,
                                     std::string name, bool builtin) {
    auto made = std::make_shared<pf::NSScreen>(frame, frame, scale, number);
    made->setLocalizedName(std::move(name));
    made->setBuiltin(builtin);
    return made;
}

class DebugInfoTest : public ::testing::Test {
protected:
    void TearDown() override {
        pf::Bundle::setMainForTesting(nullptr);
        pf::NSProcessInfo::setLowPowerModeEnabled(false);
    }

    static std::shared_ptr<pf::UserDefaults> defaults() { return pf::UserDefaults::standard(); }

    // A machine where every fact is set: the bundle, the model and build, two screens, the
    // German layout, a running menu-bar manager, Increase Contrast.
    void setUpMachine() {
        pf::Bundle::setMainForTesting(std::make_shared<pf::Bundle>(
            pf::Value::Dictionary{{pf::kCFBundleIdentifierKey, "com.quorvik.Zestrel"},
                                  {pf::kCFBundleNameKey, "Zestrel"},
                                  {pf::kCFBundleShortVersionStringKey, "1.4"},
                                  {pf::kCFBundleVersionKey, "58"}},
            pf::URL::fileURL("/Applications/Zestrel.app", true), ""));
        pf::IORegistrySetPropertyForTesting(
            "IOPlatformExpertDevice", "model",
            pf::Value(pf::Data{'M', 'a', 'c', '1', '4', ',', '2', 0}));
        pf::IORegistrySetPropertyForTesting("IORegistryRoot", "OS Build Version",
                                            pf::Value("23F79"));
        pf::NSScreen::setScreens(
            {screen({{0, 0}, {1440, 900}}, 2.0, 1, "Built-in Retina Display", true),
             screen({{1440, -270}, {2560, 1440}}, 1.0, 2, "DELL U2720Q", false)});
        ASSERT_EQ(pf::InputSources::current()->select("com.apple.keylayout.German"), pf::noErr);
        environment.desktop().install({"com.jordanbaird.Ice",
                                       "Ice",
                                       pf::URL::fileURL("/Applications/Ice.app", true),
                                       pf::NSApplicationActivationPolicy::accessory,
                                       {},
                                       {}});
        environment.desktop().launch("com.jordanbaird.Ice", false);
        environment.desktop().setIncreaseContrast(true);
    }

    pf::testing::DesktopEnvironment environment;
    pf::ScopedSysconfOverride freeMemory{&fixedSysconf};
    pf::ScopedTaskInfoOverride footprint{&fixedTaskInfo};
};

// The whole report on a faked machine, with stored settings of every kind, all three
// registries and a log buffer.
TEST_F(DebugInfoTest, WholeReportLineByLine) {
    setUpMachine();
    const auto stored = defaults();
    stored->setObject(pf::Value(6), "QV_launchCount");
    stored->setObject(pf::Value(pf::Date{790000000}), "QV_firstLaunchDate");
    stored->setObject(pf::Value(true), "__hasSeenWelcome");
    stored->setObject(pf::Value(pf::Value::Array{"com.apple.Terminal", "com.googlecode.iterm2"}),
                      "_ignoreList");
    stored->setObject(pf::Value(false), "hideMenuBarIcon");
    stored->setObject(pf::Value(true), "playSoundEffects");
    stored->setObject(pf::Value(0.125), "volume");
    stored->setObject(pf::Value(2.0), "zoom");
    stored->setObject(pf::Value(pf::Data(1500, 0)), "Bookmark");
    stored->setObject(pf::Value(R"({"carbonKeyCode":7,"carbonModifiers":256})"), "Hotkeys_cut");
    stored->setObject(pf::Value("{0, 0, 300, 200}"), "NSWindow Frame Settings");
    stored->setObject(pf::Value(1), "ILMediaBrowserVersion");
    stored->setObject(pf::Value("x"), "MSAppCenterInstallId");
    stored->setObject(pf::Value(pf::Value::Array{"a"}), "SessionIdHistory");

    QVApp::debugInfoValues().set("Keycode1", pf::Value(7u));
    QVApp::debugInfoValues().set("cutMethod", pf::Value(std::optional<std::string>("new")));
    QVApp::debugInfoValueProviders().set("finderPID", [] { return pf::Value(301); });
    QVApp::debugInfoValueProviders().set("lastCut", [] { return pf::Value(); });
    QVApp::debugInfoProviders().append([] {
        return pf::Value::Dictionary{{"eventTap", "2 taps"}, {"Keycode1", 8}};
    });
    environment.runUntilIdle(); // registry writes are queued barriers

    logBuffer().clear();
    logBuffer().append("didLaunch()\n\t[didLaunch() in AppState:120]\n\t2026-01-15 10:00:00 +0000");
    logBuffer().append("SKIPPING PASTE\n\t[handle(_:) in AppState:240]");

    QVApp::launchDate();
    environment.advance(std::chrono::seconds(3725));

    const std::string expected = R"(# Zestrel 1.4 (58)

Date: 2026-01-15T11:02:05Z
Bundle Identifier: com.quorvik.Zestrel
Launch Count: 7
Running Time: 1h 2m 5s
Memory Usage: 50 MB
Remaining Available Memory: 4 GB
iOS on Mac: false
iOS on Vision: false

# Device

OS: macOS )" + SystemInfo::osVersion() +
                                 R"( (23F79)
Model: Mac14,2
Architecture: )" + SystemInfo::machineArchitecture() +
                                 R"(
Locale: en_US (English)
Calendar: gregorian
Screens: 2
Primary Screen Scale: 2
Is External Keyboard: true
Keyboard: German (com.apple.keylayout.German)
Is Translocated: false
Is Bartender Running: false
Is Bartender-like Running: true
Safe Mode: false

# Screens

cgBounds: (0.0, 0.0, 1440.0, 900.0)
frame: (0.0, 0.0, 1440.0, 900.0)
id: 1
isBuiltin: true
isMain: true
isOnline: true
isPrimary: true
name: Built-in Retina Display
pixelSize: 2880×1800
positionRelativeToPrimary: nil
scale: 2.0

cgBounds: (1440.0, -270.0, 2560.0, 1440.0)
frame: (1440.0, -270.0, 2560.0, 1440.0)
id: 2
isBuiltin: false
isMain: false
isOnline: true
isPrimary: false
name: DELL U2720Q
pixelSize: 2560×1440
positionRelativeToPrimary: Trailing
scale: 1.0

# Accessibility

isReduceTransparencyEnabled: false
isDarkerSystemColorsEnabled: true
shouldDifferentiateWithoutColor: false

# Settings

QV_firstLaunchDate: 2026-01-13 12:26:40 +0000
QV_launchCount: 7
__hasSeenWelcome: true
Bookmark: <Data: 2 KB>
Hotkeys_cut: {"carbonKeyCode":7,"carbonModifiers":256}
_ignoreList: ["com.apple.Terminal", "com.googlecode.iterm2"]
hideMenuBarIcon: false
playSoundEffects: true
volume: 0.13
zoom: 2.0

# Custom

Keycode1: 8
cutMethod: new
eventTap: 2 taps
finderPID: 301
lastCut: nil

# Logs

```
didLaunch()
	[didLaunch() in AppState:120]
	2026-01-15 10:00:00 +0000
SKIPPING PASTE
	[handle(_:) in AppState:240]
```)";
    EXPECT_EQ(debugInfoText(), expected);
}

// A machine without screens, registrations, logs or stored settings of its own keeps every
// heading and shows placeholders where a section has nothing.
TEST_F(DebugInfoTest, EmptySectionsKeepTheirHeadingsAndPlaceholders) {
    pf::NSScreen::setScreens({});
    pf::Locale::setCurrentLanguageCode("xx");
    environment.desktop().setHasKeyboard(false);
    pf::ScopedTaskInfoOverride olderKernel(&olderKernelTaskInfo);
    logBuffer().clear();

    const std::string report = debugInfoText();
    EXPECT_THAT(report, HasSubstr("\nMemory Usage: <Unavailable>\n"));
    EXPECT_THAT(report, HasSubstr("\nLocale: xx_US (<Unknown>)\n"));
    EXPECT_THAT(report, HasSubstr("\nScreens: 0\nPrimary Screen Scale: 1\n"
                                  "Is External Keyboard: false\nKeyboard: U.S."));
    EXPECT_THAT(report, HasSubstr("\n# Screens\n\n\n\n# Accessibility\n"));
    // The launch count is counted and stored before the settings are read.
    EXPECT_THAT(report, HasSubstr("\n# Settings\n\nQV_launchCount: 1\n\n# Custom\n\n\n\n# Logs\n"));
    EXPECT_TRUE(report.ends_with("\n# Logs\n\n```\n<Empty>\n```")) << report;

    defaults()->removeObject("QV_launchCount");
    EXPECT_TRUE(settingsDebugDump().isEmpty());

    pf::ScopedTaskInfoOverride failing(&failingTaskInfo);
    EXPECT_EQ(physicalMemoryFootprint(), std::nullopt);
}

// Each database shows its own domain's stored values, never registered defaults, without
// system keys; a stored value's display form rounds numbers only.
TEST_F(DebugInfoTest, DomainEntriesAndStoredValueForms) {
    const auto suite = pf::UserDefaults::suite("group.quorvik.shared");
    ASSERT_NE(suite, nullptr);
    EXPECT_TRUE(persistentDomainEntries(*suite).empty());
    suite->setObject(pf::Value(1), "shared");
    suite->setObject(pf::Value(1), "NSShared");
    defaults()->setObject(pf::Value(2), "own");
    defaults()->registerDefaults({{"registered", pf::Value(3)}});
    EXPECT_EQ(persistentDomainEntries(*suite), (pf::Value::Dictionary{{"shared", 1}}));
    EXPECT_EQ(persistentDomainEntries(*defaults()), (pf::Value::Dictionary{{"own", 2}}));

    EXPECT_EQ(settingsDebugValue(pf::Value(-0.125)).describe(), "-0.13");
    EXPECT_EQ(settingsDebugValue(pf::Value("0.125")).describe(), "0.125");
}

// Keys of other frameworks' tracking are never in the report; only exactly these names, so a
// setting of the app's own that merely looks like one is still there.
TEST_F(DebugInfoTest, TheSettingsLeaveOutTheTrackingHistories) {
    const auto stored = defaults();
    for (const char* key : {"SessionIdHistory", "UserIdHistory", "pastDevicesKey"}) {
        stored->setObject(pf::Value(pf::Value::Array{"a"}), key);
    }
    stored->setObject(pf::Value(1), "UserIdHistoryLimit");
    stored->setObject(pf::Value(2), "pastDevices");
    const std::string report = debugInfoText();
    // The report counts this launch first.
    EXPECT_THAT(report, HasSubstr("\n# Settings\n\nQV_launchCount: 1\nUserIdHistoryLimit: "
                                  "1\npastDevices: 2\n\n# Custom\n"));
    EXPECT_EQ(settingsDebugDump().orderedKeys(),
              (std::vector<std::string>{"QV_launchCount", "UserIdHistoryLimit", "pastDevices"}));
}

// The fixed facts come first in their order; registered entries follow in key order, and one
// named like a fixed fact takes its place.
TEST_F(DebugInfoTest, FeedbackMetadataLineByLine) {
    setUpMachine();
    pf::NSProcessInfo::setLowPowerModeEnabled(true);
    feedbackMetadataValues().insert_or_assign("Keycode1", pf::Value(7u));
    feedbackMetadataProviders().push_back([] {
        return pf::Value::Dictionary{{"Setting - playSoundEffects", pf::Value(true)},
                                     {"App", pf::Value(std::optional<std::string>("Renamed"))}};
    });
    feedbackMetadataProviders().push_back([] {
        return pf::Value::Dictionary{{"A later one", pf::Value()}};
    });

    const std::string expected = R"(App: Renamed
Bundle Identifier: com.quorvik.Zestrel
OS: macOS )" + SystemInfo::osVersion() +
                                 R"( (23F79)
Model: Mac14,2
Architecture: )" + SystemInfo::machineArchitecture() +
                                 R"(
Locale: en_US (English)
Calendar: gregorian
Screens: 2
Primary Screen Scale: 2
App Memory Usage: 50 MB
Remaining Available Memory: 4 GB
Low Power Mode: true
Accessibility - isReduceTransparencyEnabled: false
Accessibility - isDarkerSystemColorsEnabled: true
Accessibility - shouldDifferentiateWithoutColor: false
Is External Keyboard: true
Is Translocated: false
Keyboard: German (com.apple.keylayout.German)
Is Bartender Running: false
Is Bartender-like Running: true
Is Safe Mode: false
A later one: nil
Keycode1: 7
Setting - playSoundEffects: true)";
    EXPECT_EQ(feedbackMetadata(), expected);
}

} // namespace
} // namespace zestrel
