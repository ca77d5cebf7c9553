#include "platform/data/RegularExpression.h"

#include "platform/base/Error.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <functional>
#include <limits>

namespace zestrel::platform {

struct NSTextCheckingResult::Pattern {
    std::string text;
    std::uint32_t options = 0;
    std::unique_ptr<icu::RegexPattern> compiled;
};

namespace {

std::uint32_t icuFlags(std::uint32_t options) {
    std::uint32_t flags = 0;
    const std::pair<std::uint32_t, std::uint32_t> table[] = {
        {NSRegularExpression::caseInsensitive, UREGEX_CASE_INSENSITIVE},
        {NSRegularExpression::allowCommentsAndWhitespace, UREGEX_COMMENTS},
        {NSRegularExpression::ignoreMetacharacters, UREGEX_LITERAL},
        {NSRegularExpression::dotMatchesLineSeparators, UREGEX_DOTALL},
        {NSRegularExpression::anchorsMatchLines, UREGEX_MULTILINE},
        {NSRegularExpression::useUnixLineSeparators, UREGEX_UNIX_LINES},
        {NSRegularExpression::useUnicodeWordBoundaries, UREGEX_UWORD},
    };
    for (const auto& [option, flag] : table) {
        if (options & option) {
            flags |= flag;
        }
    }
    return flags;
}

std::string toUTF8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

// The engine's view of a text: its UTF-16 units, read in place.
icu::UnicodeString unitsOf(const UTF16Text& text) {
    if (text.length() > std::numeric_limits<std::int32_t>::max()) {
        fatal("A text too long for the regular-expression engine");
    }
    return icu::UnicodeString(false, text.units().data(), static_cast<std::int32_t>(text.length()));
}

// Patterns, templates and group names read as any other text does.
icu::UnicodeString unicode(std::string_view text) {
    const UTF16Text converted{std::string(text)};
    return icu::UnicodeString(converted.units().data(),
                              static_cast<std::int32_t>(converted.length()));
}

NSRange rangeOfGroup(const icu::RegexMatcher& matcher, std::int32_t group) {
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t start = matcher.start(group, status);
    const std::int32_t end = matcher.end(group, status);
    if (U_FAILURE(status) || start < 0) {
        return NSRange{};
    }
    return NSRange{start, end - start};
}

} // namespace

NSRange NSTextCheckingResult::rangeAtIndex(std::size_t index) const {
    return index < ranges_.size() ? ranges_[index] : NSRange{};
}

NSRange NSTextCheckingResult::rangeWithName(std::string_view name) const {
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t group = pattern_->compiled->groupNumberFromName(unicode(name), status);
    if (U_FAILURE(status)) {
        return NSRange{};
    }
    return rangeAtIndex(static_cast<std::size_t>(group));
}

NSRegularExpression::NSRegularExpression(std::string_view pattern, std::uint32_t options) {
    auto compiled = std::make_shared<NSTextCheckingResult::Pattern>();
    compiled->text = std::string(pattern);
    compiled->options = options;
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    compiled->compiled.reset(
        icu::RegexPattern::compile(unicode(pattern), icuFlags(options), parseError, status));
    if (U_FAILURE(status) || !compiled->compiled) {
        // The platform's own error for a pattern that does not compile. Its text comes
        // from the platform's string tables, which this stand-in keeps in the user info.
        throw NSError::make(
            NSCocoaErrorDomain, 2048,
            {{"NSInvalidValue", compiled->text},
             {NSLocalizedDescriptionKey, "The value “" + compiled->text + "” is invalid."}});
    }
    pattern_ = std::move(compiled);
}

const std::string& NSRegularExpression::pattern() const {
    return pattern_->text;
}

std::uint32_t NSRegularExpression::options() const {
    return pattern_->options;
}

// One pass of the engine over a text, as each match is found.
class NSRegularExpression::Search {
public:
    Search(icu::RegexMatcher& matcher, NSTextCheckingResult result)
        : matcher(matcher), result(std::move(result)) {}
    icu::RegexMatcher& matcher;
    NSTextCheckingResult result;
};

void NSRegularExpression::search(const UTF16Text& text, std::uint32_t matchingOptions,
                                 std::optional<NSRange> range,
                                 const std::function<bool(Search&)>& found) const {
    const icu::UnicodeString input = unitsOf(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern_->compiled->matcher(input, status));
    if (U_FAILURE(status)) {
        return;
    }
    std::int64_t position = 0;
    if (range) {
        if (range->location < 0 || range->length < 0 ||
            range->location > input.length() - range->length) {
            fatal("Range or index out of bounds");
        }
        matcher->region(range->location, range->location + range->length, status);
        matcher->useTransparentBounds((matchingOptions & withTransparentBounds) != 0);
        matcher->useAnchoringBounds((matchingOptions & withoutAnchoringBounds) == 0);
        position = range->location;
    }
    const std::int32_t groups = matcher->groupCount();
    while (matcher->find(status) && U_SUCCESS(status)) {
        NSTextCheckingResult result;
        result.pattern_ = pattern_;
        result.ranges_.reserve(static_cast<std::size_t>(groups) + 1);
        for (std::int32_t group = 0; group <= groups; ++group) {
            result.ranges_.push_back(rangeOfGroup(*matcher, group));
        }
        if ((matchingOptions & anchored) && result.range().location != position) {
            return;
        }
        position = result.range().location + result.range().length;
        Search match(*matcher, std::move(result));
        if (!found(match)) {
            return;
        }
    }
}

std::vector<NSTextCheckingResult> NSRegularExpression::results(const UTF16Text& text,
                                                               std::size_t limit,
                                                               std::uint32_t matchingOptions,
                                                               std::optional<NSRange> range) const {
    std::vector<NSTextCheckingResult> found;
    if (limit == 0) {
        return found;
    }
    search(text, matchingOptions, range, [&](Search& match) {
        found.push_back(std::move(match.result));
        return found.size() < limit;
    });
    return found;
}

std::vector<NSTextCheckingResult> NSRegularExpression::matches(std::string_view text) const {
    const UTF16Text converted{std::string(text)};
    return results(converted, std::numeric_limits<std::size_t>::max(), 0, std::nullopt);
}

std::optional<NSTextCheckingResult> NSRegularExpression::firstMatch(std::string_view text) const {
    const UTF16Text converted{std::string(text)};
    auto first = results(converted, 1, 0, std::nullopt);
    if (first.empty()) {
        return std::nullopt;
    }
    return std::move(first.front());
}

std::string NSRegularExpression::stringByReplacingMatches(std::string_view text,
                                                          std::string_view templ) const {
    const UTF16Text converted{std::string(text)};
    return stringByReplacingMatches(converted, 0, NSRange{0, converted.length()}, templ);
}

std::vector<NSTextCheckingResult> NSRegularExpression::matches(std::string_view text,
                                                               std::uint32_t matchingOptions,
                                                               NSRange range) const {
    return matches(UTF16Text(std::string(text)), matchingOptions, range);
}

std::optional<NSTextCheckingResult> NSRegularExpression::firstMatch(std::string_view text,
                                                                    std::uint32_t matchingOptions,
                                                                    NSRange range) const {
    return firstMatch(UTF16Text(std::string(text)), matchingOptions, range);
}

std::string NSRegularExpression::stringByReplacingMatches(std::string_view text,
                                                          std::uint32_t matchingOptions,
                                                          NSRange range,
                                                          std::string_view templ) const {
    return stringByReplacingMatches(UTF16Text(std::string(text)), matchingOptions, range, templ);
}

std::string NSRegularExpression::replacementStringForResult(const NSTextCheckingResult& result,
                                                            std::string_view text,
                                                            std::int64_t offset,
                                                            std::string_view templ) const {
    return replacementStringForResult(result, UTF16Text(std::string(text)), offset, templ);
}

std::vector<NSTextCheckingResult> NSRegularExpression::matches(const UTF16Text& text,
                                                               std::uint32_t matchingOptions,
                                                               NSRange range) const {
    return results(text, std::numeric_limits<std::size_t>::max(), matchingOptions, range);
}

std::optional<NSTextCheckingResult> NSRegularExpression::firstMatch(const UTF16Text& text,
                                                                    std::uint32_t matchingOptions,
                                                                    NSRange range) const {
    auto first = results(text, 1, matchingOptions, range);
    if (first.empty()) {
        return std::nullopt;
    }
    return std::move(first.front());
}

std::string NSRegularExpression::replacementStringForResult(const NSTextCheckingResult& result,
                                                            const UTF16Text& text,
                                                            std::int64_t offset,
                                                            std::string_view templ) const {
    const icu::UnicodeString input = unitsOf(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern_->compiled->matcher(input, status));
    const std::int64_t start = result.range().location + offset;
    if (U_FAILURE(status) || start < 0 || start > input.length() || !matcher->find(start, status) ||
        matcher->start(status) != start) {
        return std::string(templ);
    }
    // The replacement is what follows the copied text before the match.
    icu::UnicodeString expanded;
    matcher->appendReplacement(expanded, unicode(templ), status);
    if (U_FAILURE(status)) {
        return std::string(templ);
    }
    return toUTF8(expanded.tempSubString(static_cast<std::int32_t>(start)));
}

std::string NSRegularExpression::stringByReplacingMatches(const UTF16Text& text,
                                                          std::uint32_t matchingOptions,
                                                          NSRange range,
                                                          std::string_view templ) const {
    const icu::UnicodeString replacement = unicode(templ);
    const std::string& bytes = text.utf8();
    std::string output;
    std::size_t copied = 0;
    // Where the engine's own copying stands: it copies the text before each match (from the
    // start of the text the first time) ahead of the expansion, which is all we keep, so
    // that the bytes between matches come from the text itself, unconverted.
    std::int64_t appended = 0;
    bool expanded = true;
    search(text, matchingOptions, range, [&](Search& match) {
        const NSRange found = match.result.range();
        icu::UnicodeString piece;
        UErrorCode status = U_ZERO_ERROR;
        match.matcher.appendReplacement(piece, replacement, status);
        if (U_FAILURE(status)) {
            expanded = false;
            return false;
        }
        const std::size_t start = text.byteOffset(found.location);
        output.append(bytes, copied, start - copied);
        output += toUTF8(piece.tempSubString(static_cast<std::int32_t>(found.location - appended)));
        appended = found.location + found.length;
        copied = text.byteOffset(appended);
        return true;
    });
    // A template naming a group the pattern lacks leaves the text as it was.
    if (!expanded) {
        return bytes;
    }
    output.append(bytes, copied);
    return output;
}

std::string NSRegularExpression::escapedPatternForString(std::string_view text) {
    static constexpr std::string_view kMetacharacters = "\\*?+[(){}^$|./";
    std::string escaped;
    for (const char character : text) {
        if (kMetacharacters.find(character) != std::string_view::npos) {
            escaped.push_back('\\');
        }
        escaped.push_back(character);
    }
    return escaped;
}

std::size_t NSRegularExpression::hash() const {
    return std::hash<std::string>{}(pattern()) ^ (std::size_t{options()} * 0x9E3779B97F4A7C15ULL);
}

bool NSTextCheckingResult::operator==(const NSTextCheckingResult& other) const {
    const bool samePattern =
        pattern_ == other.pattern_ ||
        (pattern_ && other.pattern_ && pattern_->text == other.pattern_->text &&
         pattern_->options == other.pattern_->options);
    return samePattern && ranges_ == other.ranges_;
}

std::size_t NSTextCheckingResult::hash() const {
    std::size_t value = ranges_.size();
    for (const NSRange& range : ranges_) {
        value = value * 1099511628211ULL ^ static_cast<std::size_t>(range.location);
        value = value * 1099511628211ULL ^ static_cast<std::size_t>(range.length);
    }
    return value;
}

bool NSRegularExpression::operator==(const NSRegularExpression& other) const {
    return pattern() == other.pattern() && options() == other.options();
}

} // namespace zestrel::platform
