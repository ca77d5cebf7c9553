#pragma once

#include "platform/data/RegularExpression.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zestrel {

// A range of positions in a UTF-8 text, as byte offsets that fall on character starts:
// the text's own indices, which the platform's UTF-16 ranges are converted to and from.
struct StringRange {
    std::size_t lowerBound = 0;
    std::size_t upperBound = 0;
    bool operator==(const StringRange&) const = default;
};

// The UTF-16 range of a range of the text's positions.
platform::NSRange utf16Range(std::string_view text, StringRange range);
// The positions of a UTF-16 range, each end moved out to the edge of the composed character
// (grapheme cluster) it falls in, so that no character is cut in two.
StringRange composedCharacterRange(std::string_view text, platform::NSRange range);

// The expression's matches within a range of the text's positions (the whole text when none
// is given), under the platform's matching options.
std::vector<platform::NSTextCheckingResult> matches(const platform::NSRegularExpression& regex,
                                                    std::string_view text,
                                                    std::uint32_t options = 0,
                                                    std::optional<StringRange> range = {});
std::optional<platform::NSTextCheckingResult> firstMatch(const platform::NSRegularExpression& regex,
                                                         std::string_view text,
                                                         std::uint32_t options = 0,
                                                         std::optional<StringRange> range = {});

} // namespace zestrel
