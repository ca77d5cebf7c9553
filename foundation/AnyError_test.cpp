#include "foundation/AnyError.h"

#include "foundation/GeneralError.h"
#include "foundation/IOKitError.h"
#include "foundation/UnexpectedNilError.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

// A localized error whose own user info already names a failure.
struct OwnFailure final : pf::ErrorBody {
    std::string typeName() const override { return "Zestrel.OwnFailure"; }
    bool isLocalizedError() const override { return true; }
    std::optional<std::string> errorDescription() const override { return "Own."; }
    std::optional<std::string> failureReason() const override { return "Reason."; }
    std::optional<std::string> helpAnchor() const override { return "anchor"; }
    pf::Value::Dictionary errorUserInfo() const override {
        return {{pf::NSLocalizedFailureErrorKey, "Kept."}};
    }
};

// Prints alike whatever its code.
struct Coded final : pf::ErrorBody {
    explicit Coded(std::int64_t code) : code(code) {}
    std::int64_t code;
    std::string typeName() const override { return "Zestrel.Coded"; }
    std::int64_t errorCode() const override { return code; }
};

pf::Value::Dictionary userInfoOf(const pf::Error& wrapped) {
    return AnyError(wrapped).errorUserInfo();
}

TEST(AnyError, KeepsTheDescriptionOfAPlatformError) {
    const auto info =
        userInfoOf(pf::NSError::make("D", 4, {{pf::NSLocalizedDescriptionKey, "Mine"}}));
    EXPECT_EQ(info.at(pf::NSLocalizedDescriptionKey), pf::Value("Mine"));
    EXPECT_EQ(info.size(), 1u);
}

TEST(AnyError, AddsTheLocalizedDescriptionWhenAbsent) {
    const auto info = userInfoOf(pf::NSError::make("D", 4));
    EXPECT_EQ(info.at(pf::NSLocalizedDescriptionKey),
              pf::Value("The operation couldn’t be completed. (D error 4.)"));
    EXPECT_FALSE(info.contains(pf::NSLocalizedFailureErrorKey));
}

TEST(AnyError, FailureReasonGoesUnderTheFailureKeyOnlyWhenAbsent) {
    const auto nilInfo = userInfoOf(pf::Error::make<UnexpectedNilError>(std::nullopt, "F", 7));
    EXPECT_EQ(nilInfo.at(pf::NSLocalizedFailureErrorKey),
              pf::Value("Unexpected nil encountered at F:7"));
    EXPECT_FALSE(nilInfo.contains(pf::NSLocalizedFailureReasonErrorKey));

    const auto ownInfo = userInfoOf(pf::Error::make<OwnFailure>());
    EXPECT_EQ(ownInfo.at(pf::NSLocalizedFailureErrorKey), pf::Value("Kept."));
    EXPECT_EQ(ownInfo.at(pf::NSLocalizedDescriptionKey), pf::Value("Own."));
    EXPECT_EQ(ownInfo.at(pf::NSHelpAnchorErrorKey), pf::Value("anchor"));
    EXPECT_FALSE(ownInfo.contains(pf::NSLocalizedRecoverySuggestionErrorKey));
}

TEST(AnyError, BridgesUnderItsOwnDomainWithTheWrappedCode) {
    const pf::Error error = pf::Error::make<AnyError>(
        pf::Error::make<IOKitError>(-536870212, pf::Value::Dictionary{{"k", 1}}));
    EXPECT_EQ(error.domain(), "AnyError");
    EXPECT_EQ(error.code(), -536870212);
    EXPECT_EQ(error.nsError()->userInfo().at("k"), pf::Value(1));
    EXPECT_EQ(error.localizedDescription(),
              "The operation couldn’t be completed. (IOKitErrorDomain error -536870212.)");
}

TEST(AnyError, TextsAreTheWrappedLocalizedErrors) {
    const AnyError wrapped(GeneralError::make("Disk full", {.recoverySuggestion = "Free space"}));
    EXPECT_EQ(wrapped.errorDescription(), "Disk full");
    EXPECT_EQ(wrapped.recoverySuggestion(), "Free space");
    EXPECT_FALSE(AnyError(pf::NSError::make("D", 1)).errorDescription());
}

TEST(AnyError, EqualityNeedsEqualCodesToo) {
    EXPECT_EQ(AnyError(pf::Error::make<Coded>(1)), AnyError(pf::Error::make<Coded>(1)));
    EXPECT_NE(AnyError(pf::Error::make<Coded>(1)), AnyError(pf::Error::make<Coded>(2)));
}

} // namespace
} // namespace zestrel
