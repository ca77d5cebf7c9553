#include "services/Entitlements.h"

#include "platform/desktop/CodeSigning.h"
#include "platform/desktop/Desktop.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

constexpr const char* kGetTaskAllow = "com.apple.security.get-task-allow";

class EntitlementsTest : public ::testing::Test {
protected:
    void signForkLift(pf::Value::Dictionary entitlements, bool hardened = true) {
        env.desktop().setSigningInformation(
            forkLiftURL, {{pf::kSecCodeInfoFlags, pf::Value(hardened ? 0x10000u : 0u)},
                          {pf::kSecCodeInfoEntitlementsDict, pf::Value(std::move(entitlements))}});
    }
    static std::string key(Entitlement entitlement) { return std::string(rawValue(entitlement)); }

    pf::testing::DesktopEnvironment env;
    const pf::URL forkLiftURL = pf::URL::fileURL("/Applications/ForkLift.app", true);
    const pf::Bundle forkLift{{}, forkLiftURL, {}};
};

TEST_F(EntitlementsTest, KeyTextsMapBothWays) {
    EXPECT_EQ(rawValue(Entitlement::securityFilesUserSelectedReadWrite),
              "com.apple.security.files.user-selected.read-write");
    EXPECT_EQ(entitlementFromRawValue("com.apple.security.device.usb"),
              Entitlement::securityDeviceUSB);
    EXPECT_EQ(entitlementFromRawValue(kGetTaskAllow), std::nullopt);
    EXPECT_EQ(entitlementFromRawValue("com.apple.security.device.USB"), std::nullopt);
    for (int index = 0; index <= static_cast<int>(Entitlement::securityFilesUserSelectedReadWrite);
         ++index) {
        const auto entitlement = static_cast<Entitlement>(index);
        EXPECT_EQ(entitlementFromRawValue(rawValue(entitlement)), entitlement) << index;
    }
}

TEST_F(EntitlementsTest, AListHoldsAnEntitlementWithTheSameKey) {
    const std::vector<Entitlement> list{Entitlement::securityDeviceCamera,
                                        Entitlement::securityDeviceMicrophone};
    EXPECT_TRUE(contains(list, Entitlement::securityDeviceMicrophone));
    EXPECT_FALSE(contains(list, Entitlement::securityDeviceUSB));
    EXPECT_FALSE(contains({}, Entitlement::securityDeviceCamera));
}

TEST_F(EntitlementsTest, SignedKeysAreThoseSwitchedOn) {
    signForkLift({{key(Entitlement::securityDeviceCamera), pf::Value(true)},
                  {key(Entitlement::securityNetworkClient), pf::Value(1)},
                  {key(Entitlement::securityDeviceUSB), pf::Value(false)},
                  {"com.example.unknown", pf::Value(1)},
                  {kGetTaskAllow, pf::Value(true)}});
    EXPECT_EQ(
        entitlementKeys(forkLift),
        (std::vector<std::string>{key(Entitlement::securityDeviceCamera), kGetTaskAllow,
                                  key(Entitlement::securityNetworkClient), "com.example.unknown"}));
    EXPECT_EQ(entitlements(forkLift),
              (std::vector<Entitlement>{Entitlement::securityDeviceCamera,
                                        Entitlement::securityNetworkClient}));

    // An application identifier among the values: not a table of switches.
    signForkLift({{key(Entitlement::securityDeviceCamera), pf::Value(true)},
                  {"com.apple.application-identifier", pf::Value("ABCDE12345.com.example")}});
    EXPECT_TRUE(entitlementKeys(forkLift).empty());

    env.desktop().setSigningInformation(forkLiftURL, {{pf::kSecCodeInfoFlags, pf::Value(0u)}});
    EXPECT_TRUE(entitlementKeys(forkLift).empty());
    EXPECT_TRUE(
        entitlements(pf::Bundle({}, pf::URL::fileURL("/Applications/None.app", true), {})).empty());
}

TEST_F(EntitlementsTest, OnlyOneOrTrueSwitchesAnEntitlementOn) {
    for (const auto& value : {pf::Value(2), pf::Value(-1), pf::Value(0), pf::Value(2.0)}) {
        signForkLift({{key(Entitlement::securityDeviceCamera), value},
                      {key(Entitlement::securityNetworkClient), pf::Value(true)}});
        EXPECT_EQ(entitlementKeys(forkLift),
                  (std::vector<std::string>{key(Entitlement::securityNetworkClient)}))
            << value.describe();
        // The camera is guarded under the hardened runtime: the signature must switch it on.
        EXPECT_FALSE(hasEntitlement(forkLift, Entitlement::securityDeviceCamera))
            << value.describe();
    }
    signForkLift({{key(Entitlement::securityDeviceCamera), pf::Value(1.0)}});
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityDeviceCamera));
}

TEST_F(EntitlementsTest, OutsideTheSandboxOnlyTheHardenedRuntimeAsksTheSignature) {
    // Unsigned: neither sandboxed nor hardened, so everything is allowed.
    EXPECT_FALSE(QVApp::isSandboxedByEntitlement());
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityDeviceCamera));

    signForkLift({{key(Entitlement::securityDeviceMicrophone), pf::Value(true)}});
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityDeviceMicrophone));
    EXPECT_FALSE(hasEntitlement(forkLift, Entitlement::securityDeviceCamera));
    EXPECT_FALSE(hasEntitlement(forkLift, Entitlement::securityAssetsPicturesReadWrite));
    EXPECT_FALSE(hasEntitlement(forkLift, Entitlement::securityAutomationAppleEvents));
    // Network, printing, USB and files are not guarded by the hardened runtime.
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityNetworkServer));
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityDeviceUSB));
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityFilesUserSelectedReadWrite));
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityAssetsPicturesReadOnly));

    signForkLift({}, false);
    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityDeviceCamera));
}

TEST_F(EntitlementsTest, InTheSandboxTheRunningTaskAnswersForEveryBundle) {
    pf::signOwnApplication(
        {.sandboxed = true,
         .hardenedRuntime = true,
         .entitlements = {{key(Entitlement::securityFilesUserSelectedReadOnly), pf::Value(true)},
                          {key(Entitlement::securityNetworkClient), pf::Value(1)}}});
    EXPECT_TRUE(QVApp::isSandboxedByEntitlement());
    signForkLift({{key(Entitlement::securityDeviceCamera), pf::Value(true)}});

    EXPECT_TRUE(hasEntitlement(forkLift, Entitlement::securityFilesUserSelectedReadOnly));
    EXPECT_FALSE(hasEntitlement(forkLift, Entitlement::securityDeviceCamera));
    // The task counts only the Boolean true.
    EXPECT_FALSE(hasEntitlement(forkLift, Entitlement::securityNetworkClient));
    EXPECT_FALSE(hasEntitlement(*pf::Bundle::main(), Entitlement::securityDeviceUSB));
    EXPECT_EQ(entitlements(*pf::Bundle::main()),
              (std::vector<Entitlement>{Entitlement::securityAppSandbox,
                                        Entitlement::securityFilesUserSelectedReadOnly,
                                        Entitlement::securityNetworkClient}));
}

TEST_F(EntitlementsTest, TheOwnSignatureSwitchesTheHardenedRuntime) {
    pf::signOwnApplication({.hardenedRuntime = true, .entitlements = {}});
    EXPECT_FALSE(QVApp::isSandboxedByEntitlement());
    EXPECT_FALSE(hasEntitlement(*pf::Bundle::main(), Entitlement::securityDeviceMicrophone));
    EXPECT_TRUE(hasEntitlement(*pf::Bundle::main(), Entitlement::securityFilesDownloadsReadWrite));
    pf::signOwnApplication({.sandboxed = true, .entitlements = {}});
    EXPECT_TRUE(QVApp::isSandboxedByEntitlement());
    pf::signOwnApplication(
        {.entitlements = {{"com.apple.security.app-sandbox", pf::Value("yes")}}});
    EXPECT_FALSE(QVApp::isSandboxedByEntitlement());
}

} // namespace
} // namespace zestrel
