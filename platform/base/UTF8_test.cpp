#include "platform/base/UTF8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ios>
#include <string>
#include <utility>
#include <vector>

namespace zestrel::platform {
namespace {

// The characters a text reads as: scalar and byte count of each.
std::vector<std::pair<char32_t, std::size_t>> characters(std::string_view text) {
    std::vector<std::pair<char32_t, std::size_t>> read;
    for (std::size_t position = 0; position < text.size();) {
        const UTF8Character character = decodeUTF8(text, position);
        read.emplace_back(character.scalar, character.length);
        position += character.length;
    }
    return read;
}

using Read = std::vector<std::pair<char32_t, std::size_t>>;
constexpr char32_t kBad = kReplacementCharacter;

TEST(UTF8Test, WellFormedSequencesOfEachLength) {
    EXPECT_EQ(characters("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
              (Read{{U'a', 1}, {U'é', 2}, {U'€', 3}, {U'\U0001F600', 4}}));
    EXPECT_EQ(characters("\xF4\x8F\xBF\xBF"), (Read{{0x10FFFF, 4}}));
    EXPECT_TRUE(isValidUTF8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    EXPECT_TRUE(isValidUTF8(""));
}

// Each broken sequence reads as one U+FFFD over its longest start that could still have
// been well-formed; the next byte starts afresh.
TEST(UTF8Test, BrokenSequencesReadAsOneReplacementEach) {
    struct Case {
        std::string bytes;
        Read read;
    };
    const Case cases[] = {
        {"\xE9 ", {{kBad, 1}, {U' ', 1}}}, // Latin-1 byte
        {"\xC3"
         "a",
         {{kBad, 1}, {U'a', 1}}}, // lead without continuation
        {"\xE2\x82"
         "a",
         {{kBad, 2}, {U'a', 1}}},                                           // truncated three bytes
        {"\xF0\x9F\x98", {{kBad, 3}}},                                      // truncated at the end
        {"\x80\xBF", {{kBad, 1}, {kBad, 1}}},                               // stray continuations
        {"\xC0\x80", {{kBad, 1}, {kBad, 1}}},                               // overlong NUL
        {"\xE0\x80\x80", {{kBad, 1}, {kBad, 1}, {kBad, 1}}},                // overlong three bytes
        {"\xED\xA0\x80", {{kBad, 1}, {kBad, 1}, {kBad, 1}}},                // a surrogate
        {"\xF4\x90\x80\x80", {{kBad, 1}, {kBad, 1}, {kBad, 1}, {kBad, 1}}}, // above U+10FFFF
        {"\xF5\xFF", {{kBad, 1}, {kBad, 1}}},                               // never a lead
    };
    for (const Case& c : cases) {
        EXPECT_EQ(characters(c.bytes), c.read) << testing::PrintToString(c.bytes);
        EXPECT_FALSE(isValidUTF8(c.bytes)) << testing::PrintToString(c.bytes);
    }
}

// The first and last code point of each length, and points of planes 4 to 7 and 12 to 15,
// whose second byte shows whether the bits above it are masked off.
TEST(UTF8Test, EachLengthIsEncodedByteForByte) {
    const std::pair<char32_t, std::string> encoded[] = {
        {0x0000, std::string(1, '\0')}, {0x007F, "\x7F"},
        {0x0080, "\xC2\x80"},           {0x07FF, "\xDF\xBF"},
        {0x0800, "\xE0\xA0\x80"},       {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},  {0x40000, "\xF1\x80\x80\x80"},
        {0x7FFFF, "\xF1\xBF\xBF\xBF"},  {0xC0000, "\xF3\x80\x80\x80"},
        {0xFFFFF, "\xF3\xBF\xBF\xBF"},  {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [scalar, bytes] : encoded) {
        EXPECT_EQ(encodeUTF8(scalar), bytes) << std::hex << static_cast<std::uint32_t>(scalar);
        EXPECT_EQ(characters(bytes), (Read{{scalar, bytes.size()}}))
            << std::hex << static_cast<std::uint32_t>(scalar);
    }
}

TEST(UTF8Test, UTF16FormCountsPairsAndReplacements) {
    // "a", U+1F600 (two units), a broken byte (one unit), "é".
    const UTF16Text text("a\xF0\x9F\x98\x80\xFF\xC3\xA9");
    EXPECT_EQ(text.units(), (std::u16string{u'a', 0xD83D, 0xDE00, 0xFFFD, u'é'}));
    EXPECT_EQ(text.length(), 5);
    EXPECT_EQ(text.utf8(), "a\xF0\x9F\x98\x80\xFF\xC3\xA9");

    const std::vector<std::size_t> bytesOfUnits = {0, 1, 5, 5, 6, 8};
    for (std::int64_t unit = 0; unit <= text.length(); ++unit) {
        EXPECT_EQ(text.byteOffset(unit), bytesOfUnits[static_cast<std::size_t>(unit)]) << unit;
    }
    const std::vector<std::int64_t> unitsOfBytes = {0, 1, 3, 3, 3, 3, 4, 5, 5};
    for (std::size_t byte = 0; byte <= text.utf8().size(); ++byte) {
        EXPECT_EQ(text.utf16Offset(byte), unitsOfBytes[byte]) << byte;
    }
    // Beyond either end, the ends.
    EXPECT_EQ(text.byteOffset(-1), 0u);
    EXPECT_EQ(text.byteOffset(99), 8u);
    EXPECT_EQ(text.utf16Offset(99), 5);
    EXPECT_EQ(UTF16Text("").length(), 0);
    EXPECT_EQ(UTF16Text("").byteOffset(0), 0u);
}

} // namespace
} // namespace zestrel::platform
