#include "ui/MediaNames.h"

#include <gtest/gtest.h>

#include <set>

namespace zestrel {
namespace {

TEST(AVFormatTest, EveryFormatRoundTripsByNameAndShowsItsCodeUnpadded) {
    std::set<std::string_view> codes;
    for (const AVFormat format : allAVFormats()) {
        EXPECT_EQ(avFormatFromRawValue(rawValue(format)), format);
        codes.insert(fourCharacterCode(format));
        const std::string debug = debugDescription(format);
        EXPECT_TRUE(debug.starts_with(std::string(description(format)) + " ("));
        EXPECT_TRUE(debug.ends_with(")"));
        EXPECT_EQ(debug.find(" )"), std::string::npos) << debug;
    }
    EXPECT_EQ(codes.size(), allAVFormats().size()) << "no two formats share a code";
    EXPECT_EQ(debugDescription(AVFormat::appleAnimation), "Apple Animation (rle)");
    EXPECT_EQ(fourCharacterCode(AVFormat::appleProRes422HQ), "apch");
    EXPECT_EQ(fourCharacterCode(AVFormat::appleProRes422), "apcn");
    EXPECT_EQ(description(AVFormat::hap7), description(AVFormat::hap1));
    EXPECT_EQ(avFormatFromRawValue("HEVC"), std::nullopt);
}

TEST(MediaNamesTest, KnownTypesHaveNamesAndOthersAreUnknown) {
    EXPECT_EQ(mediaTypeName("vide"), "Video");
    EXPECT_EQ(mediaTypeName("clcp"), "Closed-caption content");
    EXPECT_EQ(mediaTypeName("Video"), "Unknown");
    EXPECT_EQ(debugDescription(PixelFormat::bgra), "CGImage.PixelFormat(BGRA)");
}

} // namespace
} // namespace zestrel
