#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zestrel::platform {

// The platform's link detector, reduced to what the e-mail check needs: whether a text is
// exactly one e-mail address, the whole text and nothing else (the caller trims it first;
// surrounding blanks, a "mailto:" prefix, a name or a second address make it no match).
//
// An address is `local@domain`: one "@"; a local part of 1 to 64 characters from letters,
// digits and !#$%&'*+-/=?^_`{|}~ and ".", with no dot at either end and no two dots in a
// row; a domain of at least two dot-separated labels, each 1 to 63 ASCII letters, digits
// or hyphens that neither starts nor ends with a hyphen, the last one of at least two
// letters only; 254 characters at most in all.
std::optional<std::string> detectEmailAddress(std::string_view text);
bool isSingleEmailAddress(std::string_view text);

} // namespace zestrel::platform
