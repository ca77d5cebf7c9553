#include "platform/data/RegularExpression.h"

#include "platform/base/Error.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

TEST(RegularExpression, ReplacesEveryMatchWithTheTemplate) {
    const NSRegularExpression suffix("(\\(|\\s).+");
    EXPECT_EQ(suffix.stringByReplacingMatches("GeneralError(errorDescription: nil)", ""),
              "GeneralError");
    EXPECT_EQ(suffix.stringByReplacingMatches("Error Domain=D Code=1", ""), "Error");
    EXPECT_EQ(suffix.stringByReplacingMatches("permissionDenied", ""), "permissionDenied");
    // "." stops at a line break, so each line loses its own tail.
    EXPECT_EQ(suffix.stringByReplacingMatches("A(b\nc)", ""), "A");

    const NSRegularExpression capital("([A-Z])");
    EXPECT_EQ(capital.stringByReplacingMatches("playSoundEffects", " $1"), "play Sound Effects");
}

TEST(RegularExpression, LazyQuantifierTakesTheShortestQuotedPassage) {
    const NSRegularExpression quoted("“.*?”");
    EXPECT_EQ(quoted.stringByReplacingMatches("a “x” b “y” c", ""), "a  b  c");
    EXPECT_EQ(quoted.stringByReplacingMatches("no quotes", ""), "no quotes");
}

TEST(RegularExpression, RangesCountUtf16UnitsAndAbsentGroups) {
    const NSRegularExpression pattern("(?<word>x)(y)?");
    const auto matches = pattern.matches("é😀x xy");
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].range(), (NSRange{3, 1}));
    EXPECT_EQ(matches[0].numberOfRanges(), 3u);
    EXPECT_EQ(matches[0].rangeAtIndex(2).location, NSNotFound);
    EXPECT_EQ(matches[1].range(), (NSRange{5, 2}));
    EXPECT_EQ(matches[1].rangeWithName("word"), (NSRange{5, 1}));
    EXPECT_EQ(matches[1].rangeWithName("missing").location, NSNotFound);
    EXPECT_FALSE(pattern.firstMatch("nothing"));
}

TEST(RegularExpression, OptionsAndEquality) {
    const NSRegularExpression insensitive("abc", NSRegularExpression::caseInsensitive);
    EXPECT_TRUE(insensitive.firstMatch("xABCx"));
    EXPECT_FALSE(NSRegularExpression("abc").firstMatch("xABCx"));
    EXPECT_TRUE(NSRegularExpression("a.c") == NSRegularExpression("a.c"));
    EXPECT_FALSE(insensitive == NSRegularExpression("abc"));
}

TEST(RegularExpression, BadPatternThrowsThePlatformError) {
    try {
        NSRegularExpression broken("(");
        FAIL() << "compiled";
    } catch (const Error& error) {
        EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error.code(), 2048);
        EXPECT_EQ(error.localizedDescription(), "The value “(” is invalid.");
    }
}

} // namespace
} // namespace zestrel::platform
