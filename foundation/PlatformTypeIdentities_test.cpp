#include "foundation/PlatformTypeIdentities.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <set>

namespace zestrel {
namespace {

namespace pf = platform;

TEST(PlatformTypeIdentitiesTest, AppearanceRawValuesAreExact) {
    EXPECT_EQ(appAppearance("dark"), AppAppearance::dark);
    EXPECT_EQ(appAppearance("Dark"), std::nullopt);
    EXPECT_EQ(appAppearance(""), std::nullopt);
    for (const AppAppearance appearance : allCases<AppAppearance>()) {
        EXPECT_EQ(appAppearance(rawValue(appearance)), appearance);
    }
    EXPECT_EQ(allCases<AppAppearance>().front(), AppAppearance::system);
}

TEST(PlatformTypeIdentitiesTest, WeekdaysStartOnMondayWhateverTheLocale) {
    const auto& days = allCases<Weekday>();
    ASSERT_EQ(days.size(), 7u);
    EXPECT_EQ(days.front(), Weekday::monday);
    EXPECT_EQ(days.back(), Weekday::sunday);
    for (const Weekday day : days) {
        EXPECT_EQ(weekday(rawValue(day)), day);
    }
}

TEST(PlatformTypeIdentitiesTest, LanguagesAreDistinctAndLeaveOutTheUndetermined) {
    const auto& languages = allCases<NLLanguage>();
    EXPECT_EQ(languages.size(), 56u);
    std::set<std::string> codes;
    for (const NLLanguage& language : languages) {
        codes.insert(language.rawValue);
    }
    EXPECT_EQ(codes.size(), languages.size());
    EXPECT_FALSE(codes.contains("und"));
    EXPECT_EQ(languages.front().rawValue, "am");
    EXPECT_EQ(languages.back().rawValue, "vi");
}

TEST(PlatformTypeIdentitiesTest, SizesArePartiallyOrderedByBothDimensions) {
    const pf::CGSize tall{10, 20};
    const pf::CGSize wide{20, 10};
    EXPECT_FALSE(tall < wide);
    EXPECT_FALSE(wide < tall);
    EXPECT_TRUE(tall <= wide);
    EXPECT_TRUE(tall >= wide);
    EXPECT_TRUE((pf::CGSize{1, 1}) < (pf::CGSize{2, 2}));
    EXPECT_TRUE((pf::CGSize{2, 2}) > (pf::CGSize{1, 1}));
    EXPECT_FALSE((pf::CGSize{1, 2}) < (pf::CGSize{2, 2}));
}

TEST(PlatformTypeIdentitiesTest, CoordinateIdentityKeepsBothSigns) {
    EXPECT_EQ(coordinateIdentity({1.5, -2.0}), "1.5--2.0");
    EXPECT_EQ(coordinateIdentity({-0.25, 3}), "-0.25-3.0");
    EXPECT_EQ((pf::CLLocationCoordinate2D{1, 2}), (pf::CLLocationCoordinate2D{1, 2}));
    EXPECT_FALSE((pf::CLLocationCoordinate2D{1, 2}) == (pf::CLLocationCoordinate2D{2, 1}));
    EXPECT_FALSE((pf::MKCoordinateSpan{1, 2}) == (pf::MKCoordinateSpan{1, 3}));
}

TEST(PlatformTypeIdentitiesTest, ErrorIdentityRunsItsPartsTogether) {
    const pf::Error error =
        pf::NSError::make("Domain", 7,
                          {{pf::NSLocalizedDescriptionKey, "Broke."},
                           {pf::NSLocalizedRecoverySuggestionErrorKey, "Retry."}});
    EXPECT_EQ(errorIdentity(*error.nsError()), "7DomainBroke.Retry.");
    const pf::Error bare = pf::NSError::make("Domain", 8, {{pf::NSLocalizedDescriptionKey, "x"}});
    EXPECT_EQ(errorIdentity(*bare.nsError()), "8Domainx");
}

TEST(PlatformTypeIdentitiesTest, ScreensAreIdentifiedByTheirDisplayNumber) {
    pf::testing::TestEnvironment environment;
    const pf::NSScreen screen({{0, 0}, {800, 600}}, {{0, 0}, {800, 576}}, 2, 42);
    EXPECT_EQ(screenIdentity(screen), 42u);
}

TEST(PlatformTypeIdentitiesTest, MeasurementsSumFromZero) {
    using Storage = pf::UnitInformationStorage;
    const auto total =
        zeroMeasurement<Storage>() + pf::Measurement<Storage>{2, Storage::kilobytes()};
    EXPECT_EQ(total.value, 2000);
    EXPECT_EQ(total.unit, Storage::bytes());
}

} // namespace
} // namespace zestrel
