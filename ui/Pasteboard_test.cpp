#include "ui/Pasteboard.h"

#include "foundation/QVApp.h"
#include "platform/testing/DesktopEnvironment.h"

#include <fstream>
#include <iterator>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel {
namespace {

using namespace platform;
using ::testing::ElementsAre;

class PasteboardTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
    std::shared_ptr<NSPasteboard> pasteboard = NSPasteboard::general();
};

TEST_F(PasteboardTest, CopiedTextIsMarkedWithTheAppAfterTheContent) {
    pasteboard->setString("old", NSPasteboardType::string);
    const auto before = pasteboard->changeCount();
    bool completed = false;
    copyToPasteboard(std::string("Debug info"), [&] {
        completed = true;
        EXPECT_EQ(pasteboard->stringForType(pasteboardTypeSource()), QVApp::id())
            << "the completion runs last";
    });
    EXPECT_TRUE(completed);
    EXPECT_GT(pasteboard->changeCount(), before);
    EXPECT_THAT(*pasteboard->types(),
                ElementsAre(NSPasteboardType::string, NSPasteboardType{"org.nspasteboard.source"}));
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "Debug info");
}

TEST_F(PasteboardTest, MailLinkPastesAsTheBareAddressAndFileAsItsPath) {
    copyToPasteboard(URL::parse("mailto:help@example.com").value());
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::URL), "mailto:help@example.com");
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "help@example.com");
    EXPECT_EQ(pasteboard->stringForType(pasteboardTypeSource()), QVApp::id());

    copyToPasteboard(URL::fileURL("/tmp/a b.txt"));
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::fileURL), "file:///tmp/a%20b.txt");
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "/tmp/a b.txt");
    EXPECT_FALSE(pasteboard->stringForType(NSPasteboardType::URL));
    EXPECT_EQ(pasteboard->readFileURLs().size(), 1u);
}

TEST_F(PasteboardTest, WebLinkKeepsItsTextWhole) {
    NSPasteboardItem item;
    EXPECT_TRUE(setURL(item, URL::parse("https://example.com/mailto:x").value()));
    EXPECT_THAT(item.types(), ElementsAre(NSPasteboardType::URL, NSPasteboardType::string));
    EXPECT_EQ(item.stringForType(NSPasteboardType::string), "https://example.com/mailto:x");
}

std::shared_ptr<NSImage> redSquare() {
    auto image = std::make_shared<NSImage>("square", CGSize{2, 2});
    image->setCGImage(std::make_shared<CGImage>(2, 2, CGImage::Pixel{255, 0, 0, 255}));
    return image;
}

TEST_F(PasteboardTest, ImageWithFileLocationOffersAPngFileOfTheSamePixels) {
    const auto image = redSquare();
    bool completed = false;
    copyToPasteboard([&] { return image; }, true, [&] { completed = true; });
    EXPECT_TRUE(completed);

    auto items = pasteboard->pasteboardItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->dataForType(NSPasteboardType::tiff), image->tiffRepresentation());
    EXPECT_EQ(pasteboard->stringForType(pasteboardTypeSource()), QVApp::id());

    const auto files = pasteboard->readFileURLs();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].lastPathComponent(), "file.png");
    std::ifstream in(files[0].path(), std::ios::binary);
    const Data bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(imageFromPNG(bytes), *image->cgImage()) << "the file holds the image itself";

    // Each copy gets its own file, so an earlier paste is not overwritten.
    copyToPasteboard(*image, true);
    ASSERT_EQ(pasteboard->readFileURLs().size(), 1u);
    EXPECT_NE(pasteboard->readFileURLs()[0], files[0]);
}

TEST_F(PasteboardTest, ImageWithoutPixelsCopiesOnlyTheMarkerAndStillCompletes) {
    const auto symbol = NSImage::systemSymbol("star");
    EXPECT_FALSE(pngData(*symbol));
    EXPECT_TRUE(pngData(*redSquare()));

    bool completed = false;
    copyToPasteboard([&] { return symbol; }, true, [&] { completed = true; });
    EXPECT_TRUE(completed);
    EXPECT_THAT(*pasteboard->types(), ElementsAre(pasteboardTypeSource()));
    EXPECT_TRUE(pasteboard->readFileURLs().empty());

    // Without the flag no file is written even for an image with pixels.
    copyToPasteboard(*redSquare(), false);
    EXPECT_THAT(*pasteboard->types(), ElementsAre(NSPasteboardType::tiff, pasteboardTypeSource()));
}

} // namespace
} // namespace zestrel
