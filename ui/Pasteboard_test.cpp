#include "ui/Pasteboard.h"

#include "foundation/QVApp.h"
#include "platform/testing/DesktopEnvironment.h"

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

} // namespace
} // namespace zestrel
