#include "platform/desktop/NSPasteboard.h"

#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

TEST(NSPasteboardTest, OnlyClearingRaisesTheChangeCount) {
    testing::DesktopEnvironment env;
    auto pasteboard = NSPasteboard::general();
    EXPECT_EQ(pasteboard, env.desktop().generalPasteboard());
    const auto start = pasteboard->changeCount();
    EXPECT_EQ(pasteboard->clearContents(), start + 1);
    EXPECT_EQ(pasteboard->types(), std::vector<NSPasteboardType>{});
    pasteboard->setString("text", NSPasteboardType::string);
    pasteboard->setString("org.example", NSPasteboardType{"org.nspasteboard.source"});
    EXPECT_EQ(pasteboard->changeCount(), start + 1);
    EXPECT_EQ(pasteboard->types(),
              (std::vector<NSPasteboardType>{NSPasteboardType::string,
                                             NSPasteboardType{"org.nspasteboard.source"}}));
    EXPECT_EQ(pasteboard->pasteboardItems().size(), 1u);
    EXPECT_EQ(pasteboard->prepareForNewContents(NSPasteboard::ContentsOptions::currentHostOnly),
              start + 2);
    EXPECT_EQ(pasteboard->contentsOptions(), NSPasteboard::ContentsOptions::currentHostOnly);
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), std::nullopt);
}

TEST(NSPasteboardTest, ItemsAreCopiedWhenWrittenAndReadInOrder) {
    NSPasteboard pasteboard("test");
    auto first = std::make_shared<NSPasteboardItem>();
    first->setString("file:///tmp/a.txt", NSPasteboardType::fileURL);
    auto second = std::make_shared<NSPasteboardItem>();
    second->setString("b", NSPasteboardType::string);
    second->setString("file:///tmp/b%20c/", NSPasteboardType::fileURL);
    auto web = std::make_shared<NSPasteboardItem>();
    web->setString("https://example.com/", NSPasteboardType::fileURL); // not a file URL
    ASSERT_TRUE(pasteboard.writeObjects({first, second, web}));
    first->setString("file:///tmp/changed", NSPasteboardType::fileURL);

    EXPECT_EQ(pasteboard.types(),
              (std::vector<NSPasteboardType>{NSPasteboardType::fileURL, NSPasteboardType::string}));
    EXPECT_EQ(pasteboard.readFileURLs(), (std::vector<URL>{*URL::parse("file:///tmp/a.txt"),
                                                           *URL::parse("file:///tmp/b%20c/")}));
    EXPECT_EQ(pasteboard.stringForType(NSPasteboardType::fileURL), "file:///tmp/a.txt");
    EXPECT_EQ(pasteboard.stringForType(NSPasteboardType::string), "b");
    auto items = pasteboard.pasteboardItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1]->types(),
              (std::vector<NSPasteboardType>{NSPasteboardType::string, NSPasteboardType::fileURL}));
}

} // namespace
} // namespace zestrel::platform
