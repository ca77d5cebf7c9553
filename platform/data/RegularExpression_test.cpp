#include "platform/data/RegularExpression.h"

#include "platform/base/Error.h"

#include <gtest/gtest.h>
#include <unicode/unistr.h>

#include <string>

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

// Our reading of broken UTF-8 is the engine's library's own: were they to differ, ranges
// counted on one side would land elsewhere on the other.
TEST(RegularExpression, BrokenBytesReadAsTheEnginesLibraryReadsThem) {
    for (const std::string bytes :
         {"Malm\xF6",
          "\xC3"
          "ab",
          "\xE2\x82"
          "a\x80"
          "b",
          "\xF0\x9F\x98", "\xC0\x80\xE0\x80\x80\xED\xA0\x80\xF4\x90\x80\x80\xF5",
          "ok \xF0\x9F\x98\x80 \xEF\xBF\xBD"}) {
        const icu::UnicodeString library = icu::UnicodeString::fromUTF8(bytes);
        const std::u16string expected(library.getBuffer(), library.getBuffer() + library.length());
        EXPECT_EQ(UTF16Text(bytes).units(), expected) << ::testing::PrintToString(bytes);
    }
}

TEST(RegularExpression, ReplacingKeepsEveryByteOutsideTheMatches) {
    const NSRegularExpression word("[a-z]+");
    EXPECT_EQ(word.stringByReplacingMatches("\xFF"
                                            "ab\xE9"
                                            "cd\xC3",
                                            "<$0>"),
              "\xFF<ab>\xE9<cd>\xC3");
    EXPECT_EQ(NSRegularExpression("x").stringByReplacingMatches("\xE9\xE9", "y"), "\xE9\xE9");
    // Within a range: what lies before it, between the matches and after it stays.
    const UTF16Text text("\xFF"
                         "ab cd ef\xFE");
    EXPECT_EQ(word.stringByReplacingMatches(text, 0, NSRange{3, 5}, "[$0]"), "\xFF"
                                                                             "ab [cd] [e]f\xFE");
    // A template naming a group the pattern lacks leaves the text as it was.
    EXPECT_EQ(word.stringByReplacingMatches(text, 0, NSRange{0, text.length()}, "$3"), text.utf8());
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
