#include "foundation/RegexRanges.h"

#include "platform/base/Error.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace zestrel {

namespace pf = platform;

struct TextRanges::Characters {
    icu::UnicodeString units;
    std::unique_ptr<icu::BreakIterator> iterator;
};

TextRanges::TextRanges(std::shared_ptr<const pf::UTF16Text> text)
    : text_(std::move(text)), characters_(std::make_unique<Characters>()) {
    if (text_->length() > std::numeric_limits<std::int32_t>::max()) {
        pf::fatal("A text too long to find its characters");
    }
    // Read in place: the shared text outlives the iterator.
    characters_->units = icu::UnicodeString(false, text_->units().data(),
                                            static_cast<std::int32_t>(text_->length()));
    UErrorCode status = U_ZERO_ERROR;
    characters_->iterator.reset(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
        pf::fatal("The character break rules are missing");
    }
    characters_->iterator->setText(characters_->units);
}

TextRanges::TextRanges(std::string_view text)
    : TextRanges(std::make_shared<const pf::UTF16Text>(std::string(text))) {}

TextRanges::~TextRanges() = default;

StringRange TextRanges::composedCharacterRange(pf::NSRange range) {
    const std::int64_t length = text_->length();
    const std::int64_t start = std::clamp<std::int64_t>(range.location, 0, length);
    const std::int64_t end = std::clamp<std::int64_t>(range.location + range.length, start, length);
    icu::BreakIterator& characters = *characters_->iterator;
    auto lower = static_cast<std::int32_t>(start);
    auto upper = static_cast<std::int32_t>(end);
    if (lower > 0 && lower < length && !characters.isBoundary(lower)) {
        lower = characters.preceding(lower);
    }
    if (upper > 0 && upper < length && !characters.isBoundary(upper)) {
        upper = characters.following(upper);
    }
    return StringRange{text_->byteOffset(lower), text_->byteOffset(upper)};
}

pf::NSRange utf16Range(const pf::UTF16Text& text, StringRange range) {
    if (range.lowerBound > range.upperBound || range.upperBound > text.utf8().size()) {
        pf::fatal("String index is out of bounds");
    }
    const std::int64_t lower = text.utf16Offset(range.lowerBound);
    return pf::NSRange{lower, text.utf16Offset(range.upperBound) - lower};
}

pf::NSRange utf16Range(std::string_view text, StringRange range) {
    return utf16Range(pf::UTF16Text(std::string(text)), range);
}

StringRange composedCharacterRange(std::string_view text, pf::NSRange range) {
    return TextRanges(text).composedCharacterRange(range);
}

std::vector<pf::NSTextCheckingResult> matches(const pf::NSRegularExpression& regex,
                                              std::string_view text, std::uint32_t options,
                                              std::optional<StringRange> range) {
    const pf::UTF16Text converted{std::string(text)};
    return regex.matches(converted, options,
                         utf16Range(converted, range.value_or(StringRange{0, text.size()})));
}

std::optional<pf::NSTextCheckingResult> firstMatch(const pf::NSRegularExpression& regex,
                                                   std::string_view text, std::uint32_t options,
                                                   std::optional<StringRange> range) {
    const pf::UTF16Text converted{std::string(text)};
    return regex.firstMatch(converted, options,
                            utf16Range(converted, range.value_or(StringRange{0, text.size()})));
}

} // namespace zestrel
