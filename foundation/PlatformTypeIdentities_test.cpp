#include "foundation/PlatformTypeIdentities.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <set>
#include <unordered_set>

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

TEST(PlatformTypeIdentitiesTest, EventStoreObjectsAreKnownByTheirIdentifiers) {
    EXPECT_EQ(identity(pf::EKSource("src-1", "iCloud")), "src-1");
    EXPECT_EQ(identity(pf::EKCalendar("cal-1", "Work")), "cal-1");
    EXPECT_EQ(identity(pf::EKCalendarItem("item-1", "Lunch")), "item-1");
    // The title is not part of the identity: a renamed calendar is the same calendar.
    EXPECT_EQ(identity(pf::EKCalendar("cal-1", "Home")), identity(pf::EKCalendar("cal-1", "Work")));
    EXPECT_EQ(identity(pf::TimeZone("Europe/Paris")), "Europe/Paris");
}

TEST(PlatformTypeIdentitiesTest, ParticipantIdentityRunsNameAndAddressTogether) {
    const auto mail = pf::URL::parse("mailto:ann@example.com");
    EXPECT_EQ(identity(pf::EKParticipant("Ann", mail)), "Annmailto:ann@example.com");
    EXPECT_EQ(identity(pf::EKParticipant(std::nullopt, mail)), "mailto:ann@example.com");
    EXPECT_EQ(identity(pf::EKParticipant("Ann", std::nullopt)), "Ann");
    EXPECT_EQ(identity(pf::EKParticipant(std::nullopt, std::nullopt)), "");
}

TEST(PlatformTypeIdentitiesTest, IntentFileIdentityIsTheDigestThenTheName) {
    const pf::IntentFile file{pf::Data{'a', 'b', 'c'}, "n.txt"};
    const pf::Data id = identity(file);
    ASSERT_EQ(id.size(), 32U + 5U);
    // The digest of "abc" starts ba 78 16 bf and ends f2 00 15 ad.
    EXPECT_EQ(id[0], 0xba);
    EXPECT_EQ(id[1], 0x78);
    EXPECT_EQ(id[31], 0xad);
    EXPECT_EQ(std::string(id.begin() + 32, id.end()), "n.txt");

    const pf::IntentFile renamed{file.data, "m.txt"};
    const pf::IntentFile changed{pf::Data{'a', 'b', 'd'}, "n.txt"};
    EXPECT_NE(identity(renamed), id);
    EXPECT_NE(identity(changed), id);
    EXPECT_EQ(identity(pf::IntentFile{pf::Data{'a', 'b', 'c'}, "n.txt"}), id);
}

TEST(PlatformTypeIdentitiesTest, EqualCompletionsShareAnIdentity) {
    const pf::MKLocalSearchCompletion cafe("Cafe", "Main St");
    EXPECT_EQ(identity(cafe), identity(pf::MKLocalSearchCompletion("Cafe", "Main St")));
    EXPECT_NE(identity(cafe), identity(pf::MKLocalSearchCompletion("Cafe", "High St")));
    // The title and subtitle are not simply run together.
    EXPECT_NE(identity(pf::MKLocalSearchCompletion("ab", "c")),
              identity(pf::MKLocalSearchCompletion("a", "bc")));
}

TEST(PlatformTypeIdentitiesTest, SharingServicesAreToldApartByTheirPrivateName) {
    const pf::NSSharingService mail("Mail", nullptr, "com.apple.share.Mail.compose");
    EXPECT_EQ(identity(mail), "com.apple.share.Mail.compose");
    EXPECT_EQ(identity(mail), identity(mail));
    // Two services may show the same title.
    EXPECT_NE(identity(mail), identity(pf::NSSharingService("Mail", nullptr, "com.example.mail")));
}

TEST(PlatformTypeIdentitiesTest, HashingByIdentityIgnoresEverythingElse) {
    const IdentityHash<pf::EKCalendar> hashCalendar;
    EXPECT_EQ(hashCalendar(pf::EKCalendar("cal-1", "Work")),
              hashCalendar(pf::EKCalendar("cal-1", "Home")));
    EXPECT_NE(hashCalendar(pf::EKCalendar("cal-1", "Work")),
              hashCalendar(pf::EKCalendar("cal-2", "Work")));

    // Only the identity is fed: the hash is that of a hasher given the identity alone.
    Hasher alone;
    alone.combine(std::string("Europe/Paris"));
    EXPECT_EQ(IdentityHash<pf::TimeZone>{}(pf::TimeZone("Europe/Paris")), alone.finalize());

    const IdentityHash<pf::IntentFile> hashFile;
    EXPECT_EQ(hashFile({pf::Data{1, 2}, "a"}), hashFile({pf::Data{1, 2}, "a"}));
    EXPECT_NE(hashFile({pf::Data{1, 2}, "a"}), hashFile({pf::Data{1, 2}, "b"}));

    std::unordered_set<pf::TimeZone, IdentityHash<pf::TimeZone>> zones{
        pf::TimeZone("UTC"), pf::TimeZone("Asia/Tokyo"), pf::TimeZone("UTC")};
    EXPECT_EQ(zones.size(), 2U);
}

} // namespace
} // namespace zestrel
