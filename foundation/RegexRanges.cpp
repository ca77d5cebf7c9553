#include "foundation/RegexRanges.h"

#include "platform/base/Error.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace zestrel {

namespace pf = platform;

namespace {

// The UTF-8 length of a character from its lead byte; stray bytes count one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

// UTF-16 units from the start of the text up to a byte offset.
std::int64_t utf16Offset(std::string_view text, std::size_t byteOffset) {
    std::int64_t units = 0;
    std::size_t position = 0;
    while (position < byteOffset && position < text.size()) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text[position]));
        units += length == 4 ? 2 : 1;
        position += length;
    }
    return units;
}

// The byte offset of a UTF-16 offset; one inside a surrogate pair moves to the pair's end.
std::size_t byteOffset(std::string_view text, std::int64_t utf16Offset) {
    std::int64_t units = 0;
    std::size_t position = 0;
    while (units < utf16Offset && position < text.size()) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text[position]));
        units += length == 4 ? 2 : 1;
        position += length;
    }
    return std::min(position, text.size());
}

} // namespace

pf::NSRange utf16Range(std::string_view text, StringRange range) {
    if (range.lowerBound > range.upperBound || range.upperBound > text.size()) {
        pf::fatal("String index is out of bounds");
    }
    const std::int64_t lower = utf16Offset(text, range.lowerBound);
    return pf::NSRange{lower, utf16Offset(text, range.upperBound) - lower};
}

StringRange composedCharacterRange(std::string_view text, pf::NSRange range) {
    const icu::UnicodeString units = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    auto start = static_cast<std::int32_t>(range.location);
    auto end = static_cast<std::int32_t>(range.location + range.length);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_SUCCESS(status)) {
        characters->setText(units);
        if (start > 0 && start < units.length() && !characters->isBoundary(start)) {
            start = characters->preceding(start);
        }
        if (end > 0 && end < units.length() && !characters->isBoundary(end)) {
            end = characters->following(end);
        }
    }
    return StringRange{byteOffset(text, start), byteOffset(text, end)};
}

std::vector<pf::NSTextCheckingResult> matches(const pf::NSRegularExpression& regex,
                                              std::string_view text, std::uint32_t options,
                                              std::optional<StringRange> range) {
    return regex.matches(text, options,
                         utf16Range(text, range.value_or(StringRange{0, text.size()})));
}

std::optional<pf::NSTextCheckingResult> firstMatch(const pf::NSRegularExpression& regex,
                                                   std::string_view text, std::uint32_t options,
                                                   std::optional<StringRange> range) {
    return regex.firstMatch(text, options,
                            utf16Range(text, range.value_or(StringRange{0, text.size()})));
}

} // namespace zestrel
