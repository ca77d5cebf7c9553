#include "services/QVProcessID.h"

#include "platform/desktop/Desktop.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

class QVProcessIDTest : public ::testing::Test {
protected:
    QVProcessID finder() {
        return QVProcessID{
            env.desktop().runningApplications(pf::kFinderBundleIdentifier)[0]->processIdentifier()};
    }
    static pf::Value::Dictionary finderSignature() {
        return {{pf::kSecCodeInfoIdentifier, pf::Value("com.apple.finder")},
                {pf::kSecCodeInfoMainExecutable,
                 pf::Value(pf::URL::fileURL("/System/Library/CoreServices/Finder.app/Contents/"
                                            "MacOS/Finder"))},
                {pf::kSecCodeInfoPList,
                 pf::Value(pf::Value::Dictionary{{pf::kCFBundleIdentifierKey, "com.apple.finder"},
                                                 {pf::kCFBundleNameKey, "Finder"},
                                                 {pf::kCFBundleVersionKey, "1671.2"}})}};
    }
    static platform::OSStatus statusOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const pf::Error& error) {
            if (const auto* secError = error.as<SecError>()) {
                return secError->osStatus;
            }
            ADD_FAILURE() << "not a SecError: " << error.describe();
        }
        return pf::errSecSuccess;
    }

    pf::testing::DesktopEnvironment env;
};

TEST_F(QVProcessIDTest, UnsignedCodeAndMissingProcessesThrowTheirStatus) {
    EXPECT_NE(finder().staticCode(), nullptr);
    EXPECT_EQ(statusOf([&] { finder().bundleInfo(); }), pf::errSecCSUnsigned);
    EXPECT_EQ(statusOf([] { QVProcessID{99999}.staticCode(); }), pf::errSecCSNoSuchCode);
    EXPECT_EQ(statusOf([] { QVProcessID{99999}.bundleInfo(); }), pf::errSecCSNoSuchCode);
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(QVProcessIDTest, SignedCodeGivesItsBundleInfo) {
    env.desktop().setSigningInformation(
        pf::URL::fileURL("/System/Library/CoreServices/Finder.app", true), finderSignature());
    EXPECT_EQ(finder().bundleInfo(),
              (QVProcessID::BundleInfo{
                  "com.apple.finder", "Finder", "1671.2", "Finder",
                  pf::URL::fileURL("/System/Library/CoreServices/Finder.app/Contents/MacOS/Finder"),
                  "com.apple.finder"}));

    // The process's own signature wins over its bundle's, and the display name is used.
    auto signature = finderSignature();
    signature.erase(pf::kSecCodeInfoIdentifier);
    auto plist = *signature[pf::kSecCodeInfoPList].asDictionary();
    plist["CFBundleDisplayName"] = "Finder Display";
    signature[pf::kSecCodeInfoPList] = plist;
    env.desktop().setSigningInformation(finder().rawValue, signature);
    auto info = finder().bundleInfo();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->displayName, "Finder Display");
    EXPECT_EQ(info->name, "Finder");
    EXPECT_EQ(info->signedIdentifier, std::nullopt);
}

TEST_F(QVProcessIDTest, SignatureMissingARequiredEntryGivesNoInfo) {
    const std::vector<std::function<void(pf::Value::Dictionary&)>> spoilers{
        [](auto& s) { s.erase(pf::kSecCodeInfoPList); },
        [](auto& s) { s.erase(pf::kSecCodeInfoMainExecutable); },
        [](auto& s) { s[pf::kSecCodeInfoMainExecutable] = "/System/Finder"; },
        [](auto& s) {
            auto plist = *s[pf::kSecCodeInfoPList].asDictionary();
            plist.erase(pf::kCFBundleVersionKey);
            s[pf::kSecCodeInfoPList] = plist;
        },
        [](auto& s) {
            auto plist = *s[pf::kSecCodeInfoPList].asDictionary();
            plist[pf::kCFBundleNameKey] = 7;
            s[pf::kSecCodeInfoPList] = plist;
        },
    };
    for (std::size_t index = 0; index < spoilers.size(); ++index) {
        auto signature = finderSignature();
        spoilers[index](signature);
        env.desktop().setSigningInformation(finder().rawValue, signature);
        EXPECT_EQ(finder().bundleInfo(), std::nullopt) << "case " << index;
    }
}

TEST(SecErrorTest, DescribesItsStatusWithTheSystemMessageOrAsUnknown) {
    EXPECT_EQ(SecError::make(pf::errSecCSUnsigned).localizedDescription(),
              "code object is not signed at all");
    EXPECT_EQ(SecError::make(-12345).localizedDescription(), "Unknown error: -12345");
    EXPECT_EQ(SecError::make(-12345).describe(), "SecError(osStatus: -12345)");
    EXPECT_FALSE(SecError(-12345).failureReason().has_value());
}

TEST_F(QVProcessIDTest, HardenedRuntimeNeedsTheFlagInASignature) {
    const auto url = pf::URL::fileURL("/Applications/ForkLift.app", true);
    const pf::Bundle forkLift({}, url, {});
    EXPECT_FALSE(hasHardenedRuntime(forkLift)); // unsigned

    env.desktop().setSigningInformation(url, {{pf::kSecCodeInfoFlags, pf::Value(0x12000u)}});
    EXPECT_TRUE(hasHardenedRuntime(forkLift));
    env.desktop().setSigningInformation(url, {{pf::kSecCodeInfoFlags, pf::Value(0x2000u)}});
    EXPECT_FALSE(hasHardenedRuntime(forkLift));
    env.desktop().setSigningInformation(url,
                                        {{pf::kSecCodeInfoFlags, pf::Value(0x110000ull << 8)}});
    EXPECT_FALSE(hasHardenedRuntime(forkLift)); // not a 32-bit value
    env.desktop().setSigningInformation(url, {{pf::kSecCodeInfoFlags, "65536"}});
    EXPECT_FALSE(hasHardenedRuntime(forkLift));
    env.desktop().setSigningInformation(url, {});
    EXPECT_FALSE(hasHardenedRuntime(forkLift));

    EXPECT_FALSE(
        hasHardenedRuntime(pf::Bundle({}, pf::URL::fileURL("/Applications/None.app", true), {})));
}

} // namespace
} // namespace zestrel
