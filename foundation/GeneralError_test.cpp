#include "foundation/GeneralError.h"
#include "foundation/TextUtilities.h"

#include "foundation/ErrorRecoveryAttempter.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

std::vector<std::string> keysOf(const pf::Value::Dictionary& dictionary) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : dictionary) {
        keys.push_back(key);
    }
    return keys;
}

TEST(GeneralError, DescriptionAloneGivesExactlyTheDescriptionEntry) {
    const GeneralError error("Disk full");
    EXPECT_EQ(keysOf(error.errorUserInfo()),
              (std::vector<std::string>{pf::NSLocalizedDescriptionKey}));
    EXPECT_EQ(error.errorDescription(), "Disk full");
    EXPECT_FALSE(error.recoverySuggestion());
    EXPECT_FALSE(error.failureReason());
}

TEST(GeneralError, EveryPartGoesUnderItsKey) {
    const pf::Error underlying = pf::NSError::make("U", 3);
    const GeneralError error(
        "Disk full",
        {.recoverySuggestion = "Free some space",
         .recoveryOptions = {{"Retry", [] { return true; }}, {"Cancel", [] { return false; }}},
         .helpAnchor = "disk",
         .underlyingErrors = {underlying},
         .url = pf::URL::fileURL("/tmp/a"),
         .debugDescription = "debug"},
        {{"extra", 1}, {pf::NSLocalizedDescriptionKey, "replaced"}});
    const auto& info = error.errorUserInfo();
    EXPECT_EQ(keysOf(info),
              (std::vector<std::string>{
                  "NSDebugDescription", "NSHelpAnchor", "NSLocalizedDescription",
                  "NSLocalizedRecoveryOptions", "NSLocalizedRecoverySuggestion",
                  "NSMultipleUnderlyingErrorsKey", "NSRecoveryAttempter", "NSURL", "extra"}));
    EXPECT_EQ(info.at(pf::NSLocalizedDescriptionKey), pf::Value("Disk full"));
    EXPECT_EQ(info.at(pf::NSLocalizedRecoveryOptionsErrorKey),
              pf::Value(pf::Value::Array{"Retry", "Cancel"}));
    const auto attempter =
        info.at(pf::NSRecoveryAttempterErrorKey).asObject<ErrorRecoveryAttempter>();
    ASSERT_TRUE(attempter);
    EXPECT_EQ(attempter->recoveryOptions().size(), 2u);
    const auto* errors = info.at(pf::NSMultipleUnderlyingErrorsKey).asArray();
    ASSERT_TRUE(errors && errors->size() == 1);
    EXPECT_TRUE(errors->front().asError()->isSameObject(underlying));
}

TEST(GeneralError, BridgesWithItsQualifiedNameAndCodeOne) {
    const pf::Error error = GeneralError::make("Disk full", {.recoverySuggestion = "Free space"});
    EXPECT_EQ(error.domain(), "Zestrel.GeneralError");
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.localizedDescription(), "Disk full");
    EXPECT_EQ(error.nsError()->localizedRecoverySuggestion(), "Free space");
    EXPECT_TRUE(
        error.describe().starts_with("GeneralError(errorDescription: Optional(\"Disk full\")"));
}

TEST(GeneralErrorResource, JoinsDescriptionAndSuggestionAsSentences) {
    EXPECT_EQ(
        GeneralError("Disk full.", {.recoverySuggestion = "Free space"}).localizedStringResource(),
        "Disk full. Free space.");
    EXPECT_EQ(GeneralError(" Disk full\n", {.recoverySuggestion = "\tFree space. "})
                  .localizedStringResource(),
              "Disk full. Free space.");
}

TEST(GeneralErrorResource, WithoutSuggestionIsTheTrimmedDescriptionAlone) {
    EXPECT_EQ(GeneralError("  Disk full \n").localizedStringResource(), "Disk full");
}

TEST(GeneralErrorResource, BlankSuggestionCountsAsNone) {
    EXPECT_EQ(
        GeneralError("Disk full", {.recoverySuggestion = " \n\u00a0"}).localizedStringResource(),
        "Disk full");
}

TEST(TrimmingWhitespace, TrimsUnicodeBlanksAtBothEndsOnly) {
    EXPECT_EQ(trimmingWhitespaceAndNewlines("\u3000\t a b\u00a0\r\n"), "a b");
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \n "), "");
    EXPECT_EQ(trimmingWhitespaceAndNewlines("é"), "é");
}

} // namespace
} // namespace zestrel
