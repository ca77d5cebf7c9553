#include "platform/appkit/QRCode.h"

#include "platform/appkit/NSPasteboardWriting.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

// The three finder patterns: a dark 7×7 ring around a light ring around a dark 3×3 core.
void expectFinderPattern(const QRCode& code, int left, int top) {
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            const bool ring = x == 0 || y == 0 || x == 6 || y == 6;
            const bool core = x >= 2 && x <= 4 && y >= 2 && y <= 4;
            EXPECT_EQ(code.isDark(left + x, top + y), ring || core) << x << "," << y;
        }
    }
}

TEST(QRCodeTest, SymbolGrowsWithTheMessageAndTheCorrectionLevel) {
    const auto small = QRCode::encode("hello", "L");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->moduleCount(), 21); // version 1
    EXPECT_EQ(small->message(), "hello");
    expectFinderPattern(*small, 0, 0);
    expectFinderPattern(*small, 14, 0);
    expectFinderPattern(*small, 0, 14);
    EXPECT_FALSE(small->isDark(21, 0));

    const auto high = QRCode::encode("https://example.com/app", "H");
    ASSERT_TRUE(high);
    EXPECT_GT(high->moduleCount(), small->moduleCount());
    EXPECT_EQ(high->correctionLevel(), 'H');
    EXPECT_EQ((high->moduleCount() - 17) % 4, 0);
    expectFinderPattern(*high, high->moduleCount() - 7, 0);

    EXPECT_FALSE(QRCode::encode("text", "X"));
    EXPECT_FALSE(QRCode::encode("", "M"));
    EXPECT_FALSE(QRCode::encode(std::string(3000, 'a'), "H")); // more than a symbol holds
}

TEST(QRCodeTest, OnlyLatin1TextBecomesBytes) {
    EXPECT_EQ(QRCode::latin1("Caf\xc3\xa9"), std::string("Caf\xe9"));
    EXPECT_FALSE(QRCode::latin1("\xf0\x9f\x98\x80")); // an emoji
    EXPECT_FALSE(QRCode::latin1("\xe2\x82\xac"));     // the euro sign
    EXPECT_FALSE(QRCode::latin1("\xc3"));             // cut short
    EXPECT_FALSE(QRCode::latin1("\xc1\x81"));         // an overlong "A"
}

TEST(QRCodeTest, ImageColoursTheDarkModulesAndSurvivesAPNGRoundTrip) {
    const auto code = QRCode::encode("hello", "M");
    ASSERT_TRUE(code);
    const CGImage::Pixel red{255, 0, 0, 255};
    const CGImage image = code->image(red, {0, 0, 0, 0}, 3);
    ASSERT_EQ(image.width, static_cast<std::size_t>(code->moduleCount()) * 3);
    EXPECT_EQ(image.pixel(0, 0), red);
    EXPECT_EQ(image.pixel(2, 2), red);
    EXPECT_EQ(image.pixel(3, 3)[3], 0); // inside the light ring: transparent

    const auto png = pngData(image);
    ASSERT_TRUE(png);
    EXPECT_EQ(std::string(png->begin() + 1, png->begin() + 4), "PNG");
    EXPECT_EQ(imageFromPNG(*png), image);
    EXPECT_FALSE(imageFromPNG(Data{1, 2, 3}));
    EXPECT_FALSE(pngData(CGImage()));
}

TEST(QRCodeTest, CopiedImageGoesOnThePasteboardAsTIFFAfterWhatIsThere) {
    testing::DesktopEnvironment env;
    const auto image = QRCode::encode("hello", "M")->nsImage();
    EXPECT_EQ(image->name(), "QR code, 21×21 modules");
    EXPECT_EQ(image->accessibilityDescription(), "hello");

    auto pasteboard = NSPasteboard::general();
    pasteboard->clearContents();
    EXPECT_TRUE(writeObjects(*pasteboard, std::vector<std::string>{"link"}));
    EXPECT_TRUE(writeObjects(*pasteboard, {image}));
    const auto items = pasteboard->pasteboardItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->stringForType(NSPasteboardType::string), "link");
    const auto tiff = items[1]->dataForType(NSPasteboardType::tiff);
    ASSERT_TRUE(tiff);
    EXPECT_EQ(*tiff, *image->tiffRepresentation());
    EXPECT_EQ(std::string(tiff->begin(), tiff->begin() + 2), "II");
    EXPECT_EQ(tiff->size(), 8 + 21 * 21 * 4 + 8 + 2 + 11 * 12 + 4);

    EXPECT_FALSE(writeObjects(*pasteboard, {NSImage::systemSymbol("star")})); // no pixels
    EXPECT_EQ(pasteboard->pasteboardItems().size(), 2u);
}

} // namespace
} // namespace zestrel::platform
