#include "foundation/ErrorUserInfo.h"

#include "foundation/GeneralError.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

// Prints alike whatever its code, so only the code tells two apart.
struct Coded final : pf::ErrorBody {
    explicit Coded(std::int64_t code) : code(code) {}
    std::int64_t code;
    std::string typeName() const override { return "Zestrel.Coded"; }
    std::int64_t errorCode() const override { return code; }
};

class AppErrorTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment environment;
};

TEST_F(AppErrorTest, DomainIsTheBundleIdentifierAndCodeIsOne) {
    const pf::Error error = appError("No folder", {.underlyingError = pf::NSError::make("U", 9)});
    const auto* object = error.as<pf::NSError>();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->className(), "NSError");
    EXPECT_EQ(object->domain(), "com.quorvik.Zestrel");
    EXPECT_EQ(object->code(), 1);
    ASSERT_TRUE(object->underlyingError());
    EXPECT_EQ(object->underlyingError()->code(), 9);
    EXPECT_EQ(error.localizedDescription(), "No folder");
}

TEST_F(AppErrorTest, PostfixFollowsTheIdentifier) {
    EXPECT_EQ(appError("x", {.domainPostfix = "P"}).domain(), "com.quorvik.Zestrel - P");
}

TEST_F(AppErrorTest, AddsOnlyItsOwnEntriesOverTheGivenUserInfo) {
    const pf::Error error =
        appError("Cannot play", {.recoverySuggestion = "Reinstall",
                                 .recoveryOptions = {{"OK", [] { return true; }}},
                                 .helpAnchor = "sound",
                                 .url = pf::URL::fileURL("/tmp/s"),
                                 .userInfo = {{"kept", 1}, {pf::NSHelpAnchorErrorKey, "old"}}});
    const auto& info = error.as<pf::NSError>()->userInfo();
    std::vector<std::string> keys;
    for (const auto& [key, value] : info) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "NSHelpAnchor", "NSLocalizedDescription", "NSLocalizedRecoveryOptions",
                        "NSLocalizedRecoverySuggestion", "NSRecoveryAttempter", "NSURL", "kept"}));
    EXPECT_EQ(info.at(pf::NSHelpAnchorErrorKey), pf::Value("sound"));
}

TEST(ErrorsAreEqual, NeedEqualPrintedFormsDomainsAndCodes) {
    EXPECT_TRUE(errorsAreEqual(pf::Error::make<Coded>(2), pf::Error::make<Coded>(2)));
    EXPECT_FALSE(errorsAreEqual(pf::Error::make<Coded>(2), pf::Error::make<Coded>(3)));
    EXPECT_TRUE(errorsAreEqual(GeneralError::make("a"), GeneralError::make("a")));
    EXPECT_FALSE(errorsAreEqual(GeneralError::make("a"), GeneralError::make("b")));
}

TEST(TypeName, TellsNativeErrorObjectsFromWrappedOnes) {
    EXPECT_EQ(typeName(*pf::NSError::make("D", 4).nsError()), "NSError");
    EXPECT_EQ(typeName(*GeneralError::make("a").nsError()), "__SwiftNativeNSError");
    const ErrorRecoveryAttempter attempter({{"OK", [] { return true; }}});
    EXPECT_EQ(typeName(attempter), "Zestrel.ErrorRecoveryAttempter");
}

} // namespace
} // namespace zestrel
