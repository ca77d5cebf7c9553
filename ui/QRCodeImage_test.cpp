#include "ui/QRCodeImage.h"

#include "platform/appkit/QRCode.h"
#include "platform/data/NSFileManager.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/swiftui/Environment.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"
#include "ui/Pasteboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zestrel {
namespace {

using namespace platform;

constexpr CGImage::Pixel kRed{255, 0, 0, 255};

TEST(QRCodeImageTest, TextOutsideLatin1GivesNoImage) {
    EXPECT_EQ(qrCodeImage("share 🌸", QRCodeErrorCorrectionLevel::medium, kRed), nullptr);
    EXPECT_NE(qrCodeImage("café", QRCodeErrorCorrectionLevel::medium, kRed), nullptr);
}

TEST(QRCodeImageTest, ModulesTakeTheColourAndTheBackgroundIsTransparent) {
    const auto image =
        qrCodeImage("https://example.com", QRCodeErrorCorrectionLevel::quartile, kRed);
    ASSERT_NE(image, nullptr);
    const auto& bitmap = *image->cgImage();
    EXPECT_EQ(bitmap.pixel(0, 0), kRed) << "the finder pattern's corner is dark";
    EXPECT_EQ(bitmap.pixel(7, 0)[3], 0) << "the separator beside it is clear";
    // The level changes the code: a higher level needs more modules for the same text.
    const auto low = qrCodeImage(std::string(60, 'a'), QRCodeErrorCorrectionLevel::low, kRed);
    const auto high = qrCodeImage(std::string(60, 'a'), QRCodeErrorCorrectionLevel::high, kRed);
    EXPECT_LT(low->cgImage()->width, high->cgImage()->width);
}

TEST(QRCodeImageTest, CentreImageOverlaysTheMiddleUnlessItHasNoPixels) {
    const auto plain = qrCodeImage("center", QRCodeErrorCorrectionLevel::high, kRed);
    const auto noPixels = std::make_shared<NSImage>("AppIcon", CGSize{8, 8});
    const auto unchanged = qrCodeImage("center", QRCodeErrorCorrectionLevel::high, kRed, noPixels);
    EXPECT_EQ(unchanged->cgImage()->rgba, plain->cgImage()->rgba);

    auto logo = std::make_shared<NSImage>("Logo", CGSize{3, 3});
    logo->setCGImage(std::make_shared<const CGImage>(3, 3, CGImage::Pixel{0, 0, 255, 255}));
    const auto withLogo = qrCodeImage("center", QRCodeErrorCorrectionLevel::high, kRed, logo);
    const auto& bitmap = *withLogo->cgImage();
    const std::size_t middle = bitmap.width / 2;
    EXPECT_EQ(bitmap.pixel(middle, middle), (CGImage::Pixel{0, 0, 255, 255}));
    EXPECT_EQ(bitmap.pixel(0, 0), kRed);
}

TEST(QRCodeViewTest, FollowsTheAppearanceAndCopiesTheCodeOnWhite) {
    testing::TestEnvironment env;
    const QRCodeView view{"https://example.com/app"};
    EXPECT_EQ(view.image(swiftui::ColorScheme::dark)->cgImage()->pixel(0, 0),
              (CGImage::Pixel{255, 255, 255, 255}));
    EXPECT_EQ(view.image(swiftui::ColorScheme::light)->cgImage()->pixel(0, 0),
              (CGImage::Pixel{0, 0, 0, 255}));
    EXPECT_EQ(view.image(swiftui::ColorScheme::light)->cgImage()->pixel(7, 0)[3], 0);

    auto environment = swiftui::EnvironmentValues::standard();
    environment.colorScheme = swiftui::ColorScheme::light;
    auto host = swiftui::ViewHost::make(view, environment);
    ASSERT_NE(host->find("https://example.com/app"), nullptr) << host->outline();
    ASSERT_TRUE(host->click("Copy")) << host->outline();
    const auto pasteboard = NSPasteboard::general();
    const auto types = pasteboard->types().value_or(std::vector<NSPasteboardType>{});
    // The PNG file's location goes as a file URL and as its path in text.
    EXPECT_EQ(types,
              (std::vector<NSPasteboardType>{NSPasteboardType::tiff, NSPasteboardType::fileURL,
                                             NSPasteboardType::string, pasteboardTypeSource()}));
    env.advance(std::chrono::seconds(2));
}

TEST(QRCodeViewTest, EachCopyWritesANewFileAndNeverFollowsALinkPlantedInTheTemporaryFolder) {
    testing::TestEnvironment env;
    namespace fs = std::filesystem;
    // Someone plants a link where a fixed name would be written.
    const fs::path temporary = NSFileManager::defaultManager().temporaryDirectory().path();
    fs::create_directories(temporary);
    const fs::path victim = temporary / "victim.txt";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, temporary / "QR Code.png");

    auto host = swiftui::ViewHost::make(QRCodeView{"https://example.com/app"});
    const auto copiedFile = [&] {
        EXPECT_TRUE(host->click("Copy")) << host->outline();
        env.advance(std::chrono::seconds(2)); // the copy button comes back
        return NSPasteboard::general()->stringForType(NSPasteboardType::string).value_or("");
    };
    const auto modules = static_cast<std::size_t>(
        QRCode::encode(*QRCode::latin1("https://example.com/app"), "M")->moduleCount());
    const std::string first = copiedFile();
    const std::string second = copiedFile();

    std::ifstream kept(victim);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(kept), {}) == "keep me")
        << "the planted link's target was written through";
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second) << "an earlier copy is not overwritten";
    EXPECT_NE(fs::path(first).parent_path(), temporary) << "a new folder, not the shared one";
    for (const auto& file : {first, second}) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const auto bitmap = imageFromPNG(Data(bytes.begin(), bytes.end()));
        ASSERT_TRUE(bitmap.has_value()) << file;
        EXPECT_EQ(bitmap->width, 600u);
        EXPECT_EQ(bitmap->height, 600u);
        EXPECT_EQ(bitmap->pixel(0, 0), (CGImage::Pixel{0, 0, 0, 255})) << "a finder corner";
        // The separator beside that corner is light: opaque white, not clear.
        const std::size_t light = (7 * 600 + 300) / modules;
        EXPECT_EQ(bitmap->pixel(light, 0), (CGImage::Pixel{255, 255, 255, 255}));
    }
}

} // namespace
} // namespace zestrel
