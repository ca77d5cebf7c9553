#include "foundation/ErrorReporter.h"

#include "foundation/ErrorUserInfo.h"
#include "foundation/GeneralError.h"
#include "foundation/StableHash.h"
#include "platform/testing/TestEnvironment.h"

#include <bit>
#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

// An enum-like error: it prints as its case name.
struct TapError final : pf::ErrorBody {
    std::string typeName() const override { return "Zestrel.TapError"; }
    std::string describe() const override { return "permissionDenied"; }
    std::int64_t errorCode() const override { return 3; }
    bool isLocalizedError() const override { return true; }
    std::optional<std::string> errorDescription() const override { return "No access."; }
};

std::int64_t stableCodeOf(std::string_view text) {
    return std::bit_cast<std::int64_t>(fnv1aHash(text));
}

class ErrorReporterTest : public ::testing::Test {
protected:
    pf::Error onlyReport() const {
        const auto reports = environment.reports();
        EXPECT_EQ(reports.size(), 1u);
        return reports.empty() ? pf::NSError::make("none", 0) : reports.front();
    }

    pf::testing::TestEnvironment environment;
};

TEST_F(ErrorReporterTest, TaskCancellationIsNotReported) {
    reportError(pf::Error::make<pf::CancellationError>());
    EXPECT_TRUE(environment.reports().empty());
    // The platform's other cancellations are reported like any error.
    reportError(pf::NSError::make(pf::NSCocoaErrorDomain, 3072));
    EXPECT_EQ(environment.reports().size(), 1u);
}

TEST_F(ErrorReporterTest, AddsTheCallersLocationButKeepsTheirOwnEntries) {
    reportError(pf::NSError::make("D", 4), {{"file", "mine"}}, "/src/app/Paster.cpp", 42);
    const auto& info = onlyReport().as<pf::NSError>()->userInfo();
    EXPECT_EQ(info.at("file"), pf::Value("mine"));
    EXPECT_EQ(info.at("line"), pf::Value(42));
    EXPECT_EQ(info.at("fileLine"), pf::Value("Paster.cpp:42"));
}

TEST_F(ErrorReporterTest, DefaultLocationIsTheCallSite) {
    const int line = __LINE__ + 1;
    reportError(pf::NSError::make("D", 4));
    const auto& info = onlyReport().as<pf::NSError>()->userInfo();
    EXPECT_TRUE(info.at("file").asString()->ends_with("/ErrorReporter_test.cpp"));
    EXPECT_EQ(info.at("fileLine"), pf::Value("ErrorReporter_test.cpp:" + std::to_string(line)));
}

TEST(ReportableNSError, NativeErrorWithoutExtraEntriesIsTheSameObject) {
    const pf::Error native = pf::NSError::make(pf::NSCocoaErrorDomain, 4, {{"a", 1}});
    EXPECT_TRUE(reportableNSError(native, {}).isSameObject(native));

    const pf::Error merged = reportableNSError(native, {{"a", 2}, {"b", 3}});
    EXPECT_FALSE(merged.isSameObject(native));
    EXPECT_EQ(merged.domain(), pf::NSCocoaErrorDomain);
    EXPECT_EQ(merged.code(), 4);
    EXPECT_EQ(merged.as<pf::NSError>()->userInfo(), (pf::Value::Dictionary{{"a", 2}, {"b", 3}}));
}

TEST(ReportableNSError, OwnErrorGetsTypeAndDescriptionInDomainAndAStableCode) {
    const pf::Error report =
        reportableNSError(GeneralError::make("Cannot open “a.txt”."), {{"x", 1}});
    const std::string codeText = "GeneralError Cannot open “a.txt”.";
    EXPECT_EQ(report.domain(), "Zestrel.GeneralError." + codeText);
    EXPECT_EQ(report.code(), stableCodeOf("GeneralError Cannot open ."));
    const auto& info = report.as<pf::NSError>()->userInfo();
    EXPECT_EQ(info.at("codeString"), pf::Value(codeText));
    EXPECT_EQ(info.at(pf::NSLocalizedDescriptionKey), pf::Value("Cannot open “a.txt”."));
    EXPECT_EQ(info.at("x"), pf::Value(1));
}

TEST(ReportableNSError, StableCodeIgnoresQuotedPassagesButNotWording) {
    const auto codeOf = [](const std::string& description) {
        return reportableNSError(GeneralError::make(description), {}).code();
    };
    EXPECT_EQ(codeOf("Cannot move “a” to “b”."), codeOf("Cannot move “x y” to “/tmp/z”."));
    EXPECT_NE(codeOf("Cannot move “a”."), codeOf("Cannot copy “a”."));
    EXPECT_EQ(codeOf("Plain text"), stableCodeOf("GeneralError Plain text"));
}

TEST(ReportableNSError, OwnErrorKeepsItsCodeWhenNotOne) {
    const pf::Error report = reportableNSError(pf::Error::make<TapError>(), {});
    EXPECT_EQ(report.domain(), "Zestrel.TapError.permissionDenied No access.");
    EXPECT_EQ(report.code(), 3);
}

TEST_F(ErrorReporterTest, AppErrorTypeTextIsTheWordError) {
    const pf::Error report = reportableNSError(appError("No folder"), {});
    EXPECT_EQ(report.domain(), "com.quorvik.Zestrel.Error No folder");
    EXPECT_EQ(report.code(), stableCodeOf("Error No folder"));
}

TEST(IgnoredErrors, MatchOnDomainAndCodeAndOneLevelOfMultipleUnderlyingErrors) {
    EXPECT_TRUE(ignoredErrors().empty());
    const IgnoredErrors ignored{{"D", 5}};
    EXPECT_TRUE(matchesIgnoredErrors(pf::NSError::make("D", 5), ignored));
    EXPECT_FALSE(matchesIgnoredErrors(pf::NSError::make("D", 6), ignored));
    const pf::Error inner = pf::NSError::make("D", 5);
    EXPECT_TRUE(
        matchesIgnoredErrors(GeneralError::make("outer", {.underlyingErrors = {inner}}), ignored));
    EXPECT_FALSE(matchesIgnoredErrors(
        pf::NSError::make("O", 1, {{pf::NSUnderlyingErrorKey, inner}}), ignored));
    const pf::Error deeper = GeneralError::make("middle", {.underlyingErrors = {inner}});
    EXPECT_FALSE(
        matchesIgnoredErrors(GeneralError::make("outer", {.underlyingErrors = {deeper}}), ignored));
}

} // namespace
} // namespace zestrel
