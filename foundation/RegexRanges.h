#pragma once

#include "platform/base/UTF8.h"
#include "platform/data/RegularExpression.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

// A text the engine searches, with what turns its UTF-16 ranges into the text's positions and
// back: the UTF-16 form (shared, so matches can keep it) and one character break iterator,
// both made once for every range of a search. One thread at a time: the iterator moves.
class TextRanges {
public:
    explicit TextRanges(std::shared_ptr<const platform::UTF16Text> text);
    explicit TextRanges(std::string_view text);
    ~TextRanges();
    TextRanges(const TextRanges&) = delete;
    TextRanges& operator=(const TextRanges&) = delete;

    const std::shared_ptr<const platform::UTF16Text>& text() const { return text_; }

    // The positions of a UTF-16 range, each end moved out to the edge of the composed
    // character (grapheme cluster) it falls in, so that no character is cut in two.
    StringRange composedCharacterRange(platform::NSRange range);

private:
    struct Characters;
    std::shared_ptr<const platform::UTF16Text> text_;
    std::unique_ptr<Characters> characters_;
};

// The UTF-16 range of a range of the text's positions; one beyond the text stops the process,
// as the platform's string indices do.
platform::NSRange utf16Range(const platform::UTF16Text& text, StringRange range);
// The same for a single range, converting the text for it.
platform::NSRange utf16Range(std::string_view text, StringRange range);
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
