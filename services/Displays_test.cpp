#include "services/Displays.h"

#include "platform/data/JSONCoder.h"
#include "platform/data/UserDefaults.h"
#include "platform/testing/TestEnvironment.h"
#include "preferences/Prefs.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace zestrel {
namespace {

namespace pf = platform;

std::shared_ptr<pf::NSScreen> screen(pf::CGRect frame, std::uint32_t number, double scale = 1.0) {
    return std::make_shared<pf::NSScreen>(frame, frame, scale, number);
}

std::string side(const std::shared_ptr<pf::NSScreen>& screen) {
    return *debugInfo(screen).at("positionRelativeToPrimary").asString();
}

class DisplaysTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment environment;
    const std::shared_ptr<pf::NSScreen> primary = screen(pf::CGRect(0, 0, 1000, 800), 1);
};

TEST_F(DisplaysTest, TheHorizontalSideWinsOverTheVerticalOne) {
    const auto upRight = screen(pf::CGRect(1000, 800, 1000, 800), 2);
    const auto above = screen(pf::CGRect(0, 800, 1000, 800), 3);
    const auto below = screen(pf::CGRect(250, -600, 500, 600), 4);
    const auto sameCentre = screen(pf::CGRect(100, 100, 800, 600), 5);
    const auto leftAndLower = screen(pf::CGRect(-1000, -300, 1000, 800), 6);
    pf::NSScreen::setScreens({primary, upRight, above, below, sameCentre, leftAndLower});

    EXPECT_EQ(side(upRight), "Trailing");
    EXPECT_EQ(side(above), "Top");
    EXPECT_EQ(side(below), "Bottom");
    EXPECT_EQ(side(sameCentre), "Bottom");
    EXPECT_EQ(side(leftAndLower), "Leading");
    EXPECT_EQ(side(primary), "nil");
}

TEST_F(DisplaysTest, TheFirstScreenIsPrimaryByItsNumber) {
    pf::NSScreen::setScreens({primary});
    EXPECT_TRUE(isPrimary(*primary));
    EXPECT_EQ(positionRelativeToPrimary(primary), std::nullopt);
    // Another object for the same display is primary too, but only the listed object has
    // no side.
    const auto sameDisplay = screen(pf::CGRect(0, 0, 1000, 800), 1);
    EXPECT_TRUE(isPrimary(*sameDisplay));
    EXPECT_EQ(positionRelativeToPrimary(sameDisplay), Edge::bottom);

    pf::NSScreen::setScreens({});
    EXPECT_FALSE(isPrimary(*primary));
    EXPECT_EQ(positionRelativeToPrimary(primary), std::nullopt);
}

TEST_F(DisplaysTest, DebugTextDescribesEachScreenInOrder) {
    primary->setLocalizedName("Built-in Retina Display");
    primary->setBuiltin(true);
    const auto external = screen(pf::CGRect(1000, 200, 1280, 720), 7, 2.0);
    external->setLocalizedName("LG UltraFine");
    pf::NSScreen::setScreens({primary, external});

    const auto texts = screensDebugText({external, primary});
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "cgBounds: (1000.0, -120.0, 1280.0, 720.0)\n"
                        "frame: (1000.0, 200.0, 1280.0, 720.0)\n"
                        "id: 7\n"
                        "isBuiltin: false\n"
                        "isMain: false\n"
                        "isOnline: true\n"
                        "isPrimary: false\n"
                        "name: LG UltraFine\n"
                        "pixelSize: 2560\u00D71440\n"
                        "positionRelativeToPrimary: Trailing\n"
                        "scale: 2.0");
    const auto info = debugInfo(primary);
    EXPECT_EQ(info.size(), 11u);
    EXPECT_EQ(info.at("isPrimary"), pf::Value(true));
    EXPECT_EQ(info.at("isMain"), pf::Value(true));
    EXPECT_EQ(info.at("isBuiltin"), pf::Value(true));
    EXPECT_EQ(info.at("positionRelativeToPrimary"), pf::Value("nil"));
    EXPECT_NE(texts[1].find("name: Built-in Retina Display\n"), std::string::npos);
}

TEST_F(DisplaysTest, ADisplayIsCodedByItsIdAndStoredAsTheUUIDText) {
    const auto uuid = *pf::UUID::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const Display display{uuid};
    EXPECT_EQ(pf::JSONEncoder().encodeToString(display),
              "{\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"}");
    EXPECT_EQ(pf::JSONDecoder().decode<Display>(
                  std::string_view("{\"id\":\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\"}")),
              display);
    EXPECT_THROW(pf::JSONDecoder().decode<Display>(std::string_view("{\"uuid\":\"x\"}")),
                 pf::Error);

    const Prefs::Key<std::optional<Display>> key("preferredDisplay");
    Prefs::set(key, display);
    EXPECT_EQ(pf::UserDefaults::standard()->object("preferredDisplay"),
              pf::Value("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_EQ(Prefs::value(key), display);
    Prefs::set(key, std::nullopt);
    EXPECT_EQ(pf::UserDefaults::standard()->object("preferredDisplay"), pf::Value());
    pf::UserDefaults::standard()->setObject(pf::Value("not a uuid"), "preferredDisplay");
    EXPECT_EQ(Prefs::value(key), std::nullopt);

    const Display other{pf::UUID::random()};
    const std::unordered_set<Display> displays{display, Display{uuid}, other};
    EXPECT_EQ(displays.size(), 2u);
}

} // namespace
} // namespace zestrel
