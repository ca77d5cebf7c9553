#include "foundation/QVRegex.h"

#include "platform/base/Error.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <unordered_set>
#include <vector>

namespace zestrel {

inline void PrintTo(const StringRange& range, std::ostream* out) {
    *out << "[" << range.lowerBound << ", " << range.upperBound << ")";
}

namespace {

namespace pf = platform;
using Options = pf::NSRegularExpression;

std::vector<std::string> valuesOf(const std::vector<QVRegex::Match>& matches) {
    std::vector<std::string> values;
    for (const auto& match : matches) {
        values.push_back(match.value);
    }
    return values;
}

TEST(QVRegexTest, GroupsThatMatchedNothingAreLeftOut) {
    const QVRegex optional("a(b)?(?<tail>c*)d");
    const auto match = optional.firstMatch("xad");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->value, "ad");
    EXPECT_EQ(match->range, (StringRange{1, 3}));
    EXPECT_TRUE(match->groups.empty());
    EXPECT_EQ(match->group("tail"), std::nullopt);
    EXPECT_EQ(match->group("unknown"), std::nullopt);

    const auto full = optional.firstMatch("abccd");
    ASSERT_TRUE(full);
    ASSERT_EQ(full->groups.size(), 2u);
    EXPECT_EQ(full->groups[1], (QVRegex::Match::Group{"cc", {2, 4}}));
    EXPECT_EQ(full->group("tail"), full->groups[1]);
}

TEST(QVRegexTest, AMatchEndingInsideAComposedCharacterIsWidenedToIt) {
    // "e" followed by a combining acute accent is one character.
    const std::string accented = "caf"
                                 "e\xCC\x81"
                                 "!";
    const auto match = QVRegex("fe").firstMatch(accented);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->value, "fe\xCC\x81");
    EXPECT_EQ(match->range, (StringRange{2, 6}));

    // A family emoji: man, joiner, woman; matching the man alone covers the whole family.
    const std::string family = "a\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9z";
    const auto person = QVRegex("\\x{1F468}").firstMatch(family);
    ASSERT_TRUE(person);
    EXPECT_EQ(person->range, (StringRange{1, 12}));
    EXPECT_EQ(QVRegex("z").firstMatch(family)->range, (StringRange{12, 13}));
}

TEST(QVRegexTest, NoMatchYieldsNothingAndLeavesTextUnchanged) {
    const QVRegex digits("[0-9]+");
    EXPECT_TRUE(digits.allMatches("none here").empty());
    EXPECT_FALSE(digits.firstMatch("none here"));
    EXPECT_FALSE(isMatched("none here", digits));
    EXPECT_EQ(replacingFirstMatch("none here", digits, "#"), "none here");
    EXPECT_EQ(valuesOf(digits.allMatches("a1 b22 c333")),
              (std::vector<std::string>{"1", "22", "333"}));
}

TEST(QVRegexTest, ReplacementsExpandGroupReferences) {
    const QVRegex pair("(\\w+)=(\\w+)");
    EXPECT_EQ(replacingFirstMatch("a=1, b=2", pair, "$2:$1"), "1:a, b=2");
    EXPECT_EQ(replacingAllMatches("a=1, b=2", pair, "$2:$1"), "1:a, 2:b");
    // Anchored: only matches that follow on from the start count.
    EXPECT_EQ(replacingAllMatches("aab", QVRegex("a"), "X", Options::anchored), "XXb");
    EXPECT_EQ(replacingAllMatches("baa", QVRegex("a"), "X", Options::anchored), "baa");
    // The text after an emoji keeps its place.
    EXPECT_EQ(replacingFirstMatch("\xF0\x9F\x98\x80 x1", QVRegex("x(\\d)"), "<$1>"),
              "\xF0\x9F\x98\x80 <1>");
}

// Bytes that are not UTF-8 read as one replacement character per broken sequence, the same
// way on the engine's side and on ours: nothing stops, and what no match touches is kept.
TEST(QVRegexTest, ALoneLatin1ByteWithNoMatchComesBackAsItWas) {
    EXPECT_EQ(replacingAllMatches("Malm\xF6", QVRegex("x"), "y"), "Malm\xF6");
    EXPECT_EQ(replacingAllMatches("caf\xE9 ok", QVRegex("x"), "y"), "caf\xE9 ok");
    EXPECT_EQ(replacingFirstMatch("caf\xE9 ok", QVRegex("x"), "y"), "caf\xE9 ok");
}

TEST(QVRegexTest, ALeadByteWithoutItsContinuationIsOneCharacter) {
    const auto b = QVRegex("b").firstMatch("\xC3"
                                           "ab");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->value, "b");
    EXPECT_EQ(b->range, (StringRange{2, 3}));
    // Each broken sequence is a character of its own, at its own bytes: a truncated
    // three-byte sequence, then a stray continuation byte.
    const std::string text = "\xE2\x82"
                             "a\x80"
                             "b";
    const auto characters = QVRegex(".").allMatches(text);
    ASSERT_EQ(characters.size(), 4u);
    EXPECT_EQ(characters[0].range, (StringRange{0, 2}));
    EXPECT_EQ(characters[1].value, "a");
    EXPECT_EQ(characters[2].range, (StringRange{3, 4}));
    EXPECT_EQ(characters[3].range, (StringRange{4, 5}));
}

TEST(QVRegexTest, ReplacingAroundBrokenBytesKeepsThem) {
    EXPECT_EQ(replacingAllMatches("caf\xE9 ok \xFF", QVRegex("ok"), "fine"), "caf\xE9 fine \xFF");
    EXPECT_EQ(replacingFirstMatch("\xE9x\xE9x", QVRegex("x"), "<$0>"), "\xE9<x>\xE9x");
    // A group that holds a broken byte is found there, with its own bytes.
    const auto group = QVRegex("a(.)c").firstMatch("\xF0"
                                                   "a\xF6"
                                                   "c");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->range, (StringRange{1, 4}));
    ASSERT_EQ(group->groups.size(), 1u);
    EXPECT_EQ(group->groups[0], (QVRegex::Match::Group{"\xF6", {2, 3}}));
}

TEST(QVRegexTest, EqualByPatternAndOptions) {
    EXPECT_EQ(QVRegex("a+"), QVRegex("a+"));
    EXPECT_EQ(std::hash<QVRegex>{}(QVRegex("a+")), std::hash<QVRegex>{}(QVRegex("a+")));
    EXPECT_NE(QVRegex("a+"), QVRegex("a+", Options::caseInsensitive));
    EXPECT_NE(QVRegex("a+"), QVRegex("a*"));
    const QVRegex regex("b");
    EXPECT_EQ(regex.firstMatch("abc"), regex.firstMatch("abc"));
    EXPECT_NE(regex.firstMatch("abc"), regex.firstMatch("bc"));
}

TEST(QVRegexTest, GroupsHashByTheirTextAndPlace) {
    const auto match = QVRegex("(a)(a)(b)").firstMatch("aab");
    ASSERT_TRUE(match);
    const std::unordered_set<QVRegex::Match::Group> groups(match->groups.begin(),
                                                           match->groups.end());
    EXPECT_EQ(groups.size(), 3u);
    EXPECT_TRUE(groups.contains(QVRegex::Match::Group{"a", {1, 2}}));
    EXPECT_FALSE(groups.contains(QVRegex::Match::Group{"a", {1, 3}}));
    EXPECT_EQ(std::hash<QVRegex::Match::Group>{}(match->groups[0]),
              std::hash<QVRegex::Match::Group>{}(QVRegex::Match::Group{"a", {0, 1}}));
}

// Every match of a search keeps the searched text, shared rather than copied each time; a match
// of another search of the same text is still equal.
TEST(QVRegexTest, MatchesShareTheSearchedText) {
    const std::string text = "one two three";
    const auto words = QVRegex("\\w+").allMatches(text);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].originalString(), text);
    EXPECT_EQ(&words[0].originalString(), &words[2].originalString());
    EXPECT_EQ(words[0], QVRegex("\\w+").firstMatch(text));
    EXPECT_EQ(std::hash<QVRegex::Match>{}(words[0]),
              std::hash<QVRegex::Match>{}(*QVRegex("\\w+").firstMatch(text)));
    EXPECT_NE(words[0], QVRegex("\\w+").firstMatch("one two"));
}

TEST(QVRegexTest, ReplacingTakesAPatternWrittenIntoTheProgram) {
    EXPECT_EQ(replacingFirstMatch("a=1, b=2", "(\\w+)=(\\w+)", "$2:$1"), "1:a, b=2");
    EXPECT_EQ(replacingAllMatches("a=1, b=2", "(\\w+)=(\\w+)", "$2:$1"), "1:a, 2:b");
    EXPECT_EQ(replacingAllMatches("aab", "a", "X", Options::anchored), "XXb");
}

TEST(QVRegexTest, EscapedPatternMatchesTheTextItself) {
    const std::string literalText = "1+1=2? (a.b) [c] {d} ^$|/\\*";
    const QVRegex escaped(QVRegex::escapedPattern(literalText));
    EXPECT_EQ(escaped.firstMatch("say " + literalText)->value, literalText);
    EXPECT_FALSE(QVRegex(QVRegex::escapedPattern("a.c")).isMatched("abc"));
}

TEST(QVRegexTest, ARunTimePatternThatDoesNotCompileThrows) {
    EXPECT_THROW(QVRegex("(unclosed"), pf::Error);
}

TEST(QVRegexDeathTest, ALiteralPatternThatDoesNotCompileStops) {
    EXPECT_DEATH(QVRegex::literal("(unclosed"), "Invalid regular expression: ");
}

// The message names the line that holds the pattern, not a line of the kit.
TEST(QVRegexDeathTest, ABadLiteralPatternNamesTheCallersFileAndLine) {
    const std::string here = "QVRegex_test\\.cpp:" + std::to_string(__LINE__ + 1);
    EXPECT_DEATH(replacingAllMatches("text", "(", "x"), "Invalid regular expression: .*" + here);
    const std::string there = "QVRegex_test\\.cpp:" + std::to_string(__LINE__ + 1);
    EXPECT_DEATH(QVRegex::literal("[z-a]"), there);
}

TEST(RegexRangesTest, CharacterRangesBecomeUTF16Ranges) {
    // Two emoji take four UTF-16 units; the range starts after the first.
    const std::string text = "\xF0\x9F\x98\x80"
                             "a"
                             "\xF0\x9F\x98\x80"
                             "a";
    const pf::NSRegularExpression regex("a");
    EXPECT_EQ(matches(regex, text).size(), 2u);
    const auto inRange = matches(regex, text, 0, StringRange{5, text.size()});
    ASSERT_EQ(inRange.size(), 1u);
    EXPECT_EQ(inRange[0].range(), (pf::NSRange{5, 1}));
    EXPECT_EQ(utf16Range(text, {4, 9}), (pf::NSRange{2, 3}));
    EXPECT_FALSE(firstMatch(regex, text, 0, StringRange{0, 4}));
}

TEST(RegexRangesTest, MatchingOptionsDecideHowTheRangeEndsAreSeen) {
    const pf::NSRegularExpression lineStart("^a");
    EXPECT_TRUE(firstMatch(lineStart, "ba", 0, StringRange{1, 2}));
    EXPECT_FALSE(firstMatch(lineStart, "ba", Options::withoutAnchoringBounds, StringRange{1, 2}));

    const pf::NSRegularExpression wordStart("\\ba");
    EXPECT_TRUE(firstMatch(wordStart, "ba", 0, StringRange{1, 2}));
    EXPECT_FALSE(firstMatch(wordStart, "ba", Options::withTransparentBounds, StringRange{1, 2}));

    const pf::NSRegularExpression letter("b");
    EXPECT_FALSE(firstMatch(letter, "ab", Options::anchored));
    EXPECT_TRUE(firstMatch(letter, "ab", Options::anchored, StringRange{1, 2}));
}

TEST(RegexRangesDeathTest, ARangeBeyondTheTextStops) {
    const pf::NSRegularExpression regex("a");
    EXPECT_DEATH(matches(regex, "abc", 0, StringRange{1, 9}), "out of bounds");
}

} // namespace
} // namespace zestrel
