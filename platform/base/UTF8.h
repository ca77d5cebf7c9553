#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// The one reading of UTF-8 in the system. Text arrives as bytes from files, pipes, the kernel
// and the property-list library, and not all of it is well-formed; everything that decides
// whether it is, or turns it into the UTF-16 units the platform's text APIs count, reads it
// here, so that two sides of one conversion can never disagree about where a character is.

// One character read from UTF-8: its scalar and the bytes it took. A sequence that is not
// well-formed reads as U+FFFD covering its longest start that could still have become a
// well-formed sequence (at least one byte), the practice Unicode recommends and ICU follows:
// "\xE2\x82" then "a" is one replacement character and an "a"; "\xC0\x80" is two.
struct UTF8Character {
    char32_t scalar = 0;
    std::size_t length = 0;
    bool isWellFormed = false;
};

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The character that starts at `position` (which must be inside the text).
UTF8Character decodeUTF8(std::string_view text, std::size_t position);

// The UTF-8 bytes of `scalar`, which must be a Unicode scalar value (U+10FFFF at most, not a
// surrogate).
std::string encodeUTF8(char32_t scalar);

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, surrogates
// or code points above U+10FFFF.
bool isValidUTF8(std::string_view text);

// A text and its UTF-16 form, with the way between the two: both directions in constant or
// logarithmic time, so a search that finds many ranges converts the text once. Each
// ill-formed sequence is one U+FFFD unit in the UTF-16 form and keeps its own bytes in the
// text. Immutable, so it may be shared between threads.
class UTF16Text {
public:
    explicit UTF16Text(std::string text);

    const std::string& utf8() const { return utf8_; }
    const std::u16string& units() const { return units_; }
    std::int64_t length() const { return static_cast<std::int64_t>(units_.size()); }

    // The byte offset of a UTF-16 offset (clamped to the text). An offset between the two
    // units of a surrogate pair moves to the end of the character: nothing is cut in two.
    std::size_t byteOffset(std::int64_t utf16Offset) const;
    // The UTF-16 offset of a byte offset (clamped to the text). A byte inside a character
    // moves to the end of that character.
    std::int64_t utf16Offset(std::size_t byteOffset) const;

private:
    std::string utf8_;
    std::u16string units_;
    // The byte offset at which each unit's character starts, and the text's size at the end;
    // the second unit of a pair has its character's start too, so the table never falls.
    std::vector<std::size_t> starts_;
};

} // namespace zestrel::platform
