#include "cut_engine/EventTapDiagnostics.h"

#include "foundation/TextUtilities.h"
#include "platform/base/Bundle.h"
#include "platform/desktop/CodeSigning.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::CGError;
using platform::CGEventType;
using platform::Value;

class EventTapDiagnosticsTest : public ::testing::Test {
protected:
    int finderPid() const { return env.finder()->processIdentifier(); }

    std::uint32_t addTap(std::int32_t tapped, platform::CGEventMask mask, bool enabled = true) {
        return system->addForeignTap({.tappingProcess = 500,
                                      .processBeingTapped = tapped,
                                      .location = platform::kCGSessionEventTap,
                                      .options = platform::kCGEventTapOptionDefault,
                                      .eventsOfInterest = mask,
                                      .enabled = enabled});
    }

    mutable platform::testing::DesktopEnvironment env;
    std::shared_ptr<platform::EventSystem> system = platform::EventSystem::current();
};

TEST_F(EventTapDiagnosticsTest, ErrorCodesMapToTheirCases) {
    const std::vector<std::pair<std::int32_t, CustomCGError>> table{
        {1000, CustomCGError::failure},
        {1001, CustomCGError::illegalArgument},
        {1002, CustomCGError::invalidConnection},
        {1003, CustomCGError::invalidContext},
        {1004, CustomCGError::cannotComplete},
        {1005, CustomCGError::failure},
        {1006, CustomCGError::notImplemented},
        {1007, CustomCGError::rangeCheck},
        {1008, CustomCGError::typeCheck},
        {1009, CustomCGError::failure},
        {1010, CustomCGError::invalidOperation},
        {1011, CustomCGError::noneAvailable},
        {-7, CustomCGError::failure}};
    for (const auto& [code, expected] : table) {
        EXPECT_EQ(customCGError(static_cast<CGError>(code)), expected) << code;
    }
    EXPECT_TRUE(env.reports().empty());

    EXPECT_EQ(customCGError(CGError::success), CustomCGError::failure);
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].localizedDescription(), "`success` case was incorrectly passed");
}

TEST_F(EventTapDiagnosticsTest, ARefusedListIsThrownAsItsCase) {
    system->setTapListError(CGError::rangeCheck);
    try {
        installedTaps();
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(customCGErrorCase(error), CustomCGError::rangeCheck);
        EXPECT_EQ(error.describe(), "rangeCheck");
        EXPECT_EQ(error.code(), 6);
    }
    EXPECT_EQ(eventTapsDebugText(), "<Failed to get event taps>");
}

TEST_F(EventTapDiagnosticsTest, TheListStopsAtAHundred) {
    for (int i = 0; i < 101; ++i) {
        addTap(0, 0x400);
    }
    EXPECT_EQ(installedTaps().size(), 100u);
}

TEST(EventTapNamesTest, MasksAndNames) {
    EXPECT_TRUE(eventTypes(0).empty());
    EXPECT_EQ(eventTypes(0x400), std::set<CGEventType>{CGEventType::keyDown});
    EXPECT_EQ(eventTypes(0x1C00), (std::set<CGEventType>{CGEventType::keyDown, CGEventType::keyUp,
                                                         CGEventType::flagsChanged}));
    EXPECT_EQ(eventTypes(std::uint64_t{1} << 63).size(), 1u);

    EXPECT_EQ(debugName(platform::kCGHIDEventTap), "cghidEventTap");
    EXPECT_EQ(debugName(platform::kCGAnnotatedSessionEventTap), "cgAnnotatedSessionEventTap");
    EXPECT_EQ(debugName(static_cast<platform::CGEventTapLocation>(7)), "<Unknown: 7>");
    EXPECT_EQ(debugName(platform::kCGEventTapOptionListenOnly), "listenOnly");
    EXPECT_EQ(debugName(static_cast<platform::CGEventTapOptions>(9)), "<Unknown: 9>");
    EXPECT_EQ(debugName(CGEventType::otherMouseDragged), "otherMouseDragged");
    EXPECT_EQ(debugName(CGEventType::tapDisabledByTimeout), "tapDisabledByTimeout");
    EXPECT_EQ(debugName(static_cast<CGEventType>(63)), "unknown(63)");
}

TEST_F(EventTapDiagnosticsTest, ATapIsDescribedInTenLabelledValues) {
    addTap(finderPid(), 0x1C00);
    const auto description = debugDescription(installedTaps().at(0));
    EXPECT_THAT(description.orderedKeys(),
                ::testing::ElementsAre("id", "isEnabled", "tapPoint", "options", "eventsOfInterest",
                                       "tappingProcess - ID", "tappingProcess - Info",
                                       "processBeingTapped - ID", "processBeingTapped - Info",
                                       "isFinderBeingTapped"));
    EXPECT_EQ(description.get("eventsOfInterest"), Value("keyDown, keyUp, flagsChanged"));
    EXPECT_EQ(description.get("isFinderBeingTapped"), Value(true));
    EXPECT_EQ(description.get("tappingProcess - ID"), Value(500));
    // No process 500 runs here, and the Finder is not signed.
    EXPECT_EQ(description.get("tappingProcess - Info"), Value());
    EXPECT_EQ(description.get("processBeingTapped - Info"), Value());
}

TEST_F(EventTapDiagnosticsTest, ASignedTappedProcessShowsItsBundleInfo) {
    env.desktop().setSigningInformation(
        finderPid(),
        {{platform::kSecCodeInfoIdentifier, Value("com.apple.finder")},
         {platform::kSecCodeInfoMainExecutable,
          Value(platform::URL::fileURL(
              "/System/Library/CoreServices/Finder.app/Contents/MacOS/Finder"))},
         {platform::kSecCodeInfoPList,
          Value(Value::Dictionary{{platform::kCFBundleIdentifierKey, Value("com.apple.finder")},
                                  {platform::kCFBundleNameKey, Value("Finder")},
                                  {platform::kCFBundleVersionKey, Value("14.5")}})}});
    addTap(finderPid(), 0x400);
    const auto info = debugDescription(installedTaps().at(0)).get("processBeingTapped - Info");
    ASSERT_TRUE(info);
    EXPECT_THAT(info->describe(), ::testing::HasSubstr("\"displayName\": \"Finder\""));
    EXPECT_THAT(info->describe(), ::testing::HasSubstr("\"identifier\": \"com.apple.finder\""));
}

TEST_F(EventTapDiagnosticsTest, ATappingDaemonThatIsNoApplicationShowsItsBundleInfo) {
    // Process 500 taps: a helper launchd started, with no application record.
    env.desktop().setParentProcessIdentifier(500, 1);
    env.desktop().setSigningInformation(
        500, {{platform::kSecCodeInfoIdentifier, Value("com.example.keyremapd")},
              {platform::kSecCodeInfoMainExecutable,
               Value(platform::URL::fileURL("/Library/Helpers/keyremapd"))},
              {platform::kSecCodeInfoPList,
               Value(Value::Dictionary{
                   {platform::kCFBundleIdentifierKey, Value("com.example.keyremapd")},
                   {platform::kCFBundleNameKey, Value("keyremapd")},
                   {platform::kCFBundleVersionKey, Value("2.1")}})}});
    addTap(0, 0x400);
    const auto info = debugDescription(installedTaps().at(0)).get("tappingProcess - Info");
    ASSERT_TRUE(info);
    EXPECT_THAT(info->describe(),
                ::testing::HasSubstr("\"identifier\": \"com.example.keyremapd\""));
    EXPECT_THAT(info->describe(), ::testing::HasSubstr("\"version\": \"2.1\""));
}

TEST_F(EventTapDiagnosticsTest, AGlobalTapOrNoFinderIsNotTheFinderBeingTapped) {
    addTap(0, 0x400);
    EXPECT_EQ(debugDescription(installedTaps().at(0)).get("isFinderBeingTapped"), Value(false));
    const int pid = finderPid();
    env.desktop().terminate(pid);
    addTap(pid, 0x400);
    EXPECT_EQ(debugDescription(installedTaps().at(1)).get("isFinderBeingTapped"), Value(false));
}

TEST_F(EventTapDiagnosticsTest, TheDebugTextShowsEnabledTapsOnly) {
    EXPECT_EQ(eventTapsDebugText(), "\nEVENT TAPS\n\n");
    addTap(0, 0x400, false);
    EXPECT_EQ(eventTapsDebugText(), "\nEVENT TAPS\n\n");

    const auto first = addTap(0, 0x400);
    const auto second = addTap(0, 0x800);
    const auto taps = installedTaps();
    EXPECT_EQ(eventTapsDebugText(), "\nEVENT TAPS\n\n" + keyValueLines(debugDescription(taps[1])) +
                                        "\n\n" + keyValueLines(debugDescription(taps[2])));
    EXPECT_THAT(eventTapsDebugText(),
                ::testing::HasSubstr("id: " + std::to_string(first) +
                                     "\nisEnabled: true\ntapPoint: cgSessionEventTap\noptions: "
                                     "defaultTap\neventsOfInterest: keyDown\n"
                                     "tappingProcess - ID: 500\ntappingProcess - Info: nil\n"
                                     "processBeingTapped - ID: 0\n"
                                     "processBeingTapped - Info: nil\nisFinderBeingTapped: false"));
    EXPECT_THAT(eventTapsDebugText(), ::testing::HasSubstr("id: " + std::to_string(second)));
}

} // namespace
} // namespace zestrel
