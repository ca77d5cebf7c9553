#pragma once

#include "platform/base/Value.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zestrel::console {

// Property-list values as a person writes them in a script: `true`, `false`, integers
// (`42`, `-7`), reals (`0.5`, `-1e3`), strings in double quotes (with the escapes `\"`,
// `\\`, `\n` and `\t`), and arrays in parentheses with commas between the elements
// (`("a", 2, (true))`). Throws `CommandError` for anything else, for text after the value, or
// for arrays nested deeper than `kDeepestNesting`.
platform::Value parsePropertyListLiteral(std::string_view text);

// Far deeper than any setting needs, and far from what the reader's stack can take.
inline constexpr int kDeepestNesting = 100;

// A value written back in that form, so that what `defaults read` prints can be written
// again. Dictionaries read `{"key" = value; ...}`, data `<0a1b>`, dates as their
// description in quotes; values that cannot be in a property list read `<kind>`.
std::string propertyListLiteral(const platform::Value& value);
// A text in double quotes, written with those escapes and `\r`: in literals and messages.
std::string quotedString(const std::string& text);
// Those escapes: the letter a quoted string writes after a backslash for `c`, nothing for a
// character it writes as it is; and the character an escape's letter stands for.
std::optional<char> escapeLetter(char c);
std::optional<char> escapedCharacter(char letter);
// An escape as written after the backslash in a quoted text: one of those letters, or one
// that replies write for what they escape, `x` and two hexadecimal digits for a byte (`\xFF`)
// or `u` and a character's number in braces (`\u{202E}`), so what a reply shows reads back to
// its text. `number` is the character a letter stands for, the byte, or the character's
// number; `length` what it takes after the backslash.
struct Escape {
    char letter = 0;
    std::uint32_t number = 0;
    std::size_t length = 0;
};
// The escape written at the front of `text`, whatever it stands for (a NUL too); nothing when
// no escape is written there. Every reader of quoted texts knows escapes by this one.
std::optional<Escape> escapeAt(std::string_view text);
// Reads the escape at the front of `text`, which follows a backslash in a quoted text, and
// removes it. Answers what it stands for. Throws `CommandError` for an escape it does not
// know, and for a NUL or a number that is no character, which no name or text holds.
std::string takeEscape(std::string_view& text);

} // namespace zestrel::console
