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

icu::UnicodeString fromUTF8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
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
    const std::int32_t group = pattern_->compiled->groupNumberFromName(fromUTF8(name), status);
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
        icu::RegexPattern::compile(fromUTF8(pattern), icuFlags(options), parseError, status));
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

std::vector<NSTextCheckingResult> NSRegularExpression::search(std::string_view text,
                                                              std::size_t limit,
                                                              std::uint32_t matchingOptions,
                                                              std::optional<NSRange> range) const {
    const icu::UnicodeString input = fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern_->compiled->matcher(input, status));
    std::vector<NSTextCheckingResult> results;
    if (U_FAILURE(status)) {
        return results;
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
    while (results.size() < limit && matcher->find(status) && U_SUCCESS(status)) {
        NSTextCheckingResult result;
        result.pattern_ = pattern_;
        for (std::int32_t group = 0; group <= groups; ++group) {
            result.ranges_.push_back(rangeOfGroup(*matcher, group));
        }
        if ((matchingOptions & anchored) && result.range().location != position) {
            break;
        }
        position = result.range().location + result.range().length;
        results.push_back(std::move(result));
    }
    return results;
}

std::vector<NSTextCheckingResult> NSRegularExpression::matches(std::string_view text) const {
    return search(text, std::numeric_limits<std::size_t>::max());
}

std::optional<NSTextCheckingResult> NSRegularExpression::firstMatch(std::string_view text) const {
    auto all = search(text, 1);
    if (all.empty()) {
        return std::nullopt;
    }
    return std::move(all.front());
}

std::string NSRegularExpression::stringByReplacingMatches(std::string_view text,
                                                          std::string_view templ) const {
    const icu::UnicodeString input = fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern_->compiled->matcher(input, status));
    if (U_FAILURE(status)) {
        return std::string(text);
    }
    const icu::UnicodeString replaced = matcher->replaceAll(fromUTF8(templ), status);
    // A template naming a group the pattern lacks leaves the text as it was.
    return U_FAILURE(status) ? std::string(text) : toUTF8(replaced);
}

std::vector<NSTextCheckingResult> NSRegularExpression::matches(std::string_view text,
                                                               std::uint32_t matchingOptions,
                                                               NSRange range) const {
    return search(text, std::numeric_limits<std::size_t>::max(), matchingOptions, range);
}

std::optional<NSTextCheckingResult> NSRegularExpression::firstMatch(std::string_view text,
                                                                    std::uint32_t matchingOptions,
                                                                    NSRange range) const {
    auto all = search(text, 1, matchingOptions, range);
    if (all.empty()) {
        return std::nullopt;
    }
    return std::move(all.front());
}

std::string NSRegularExpression::replacementStringForResult(const NSTextCheckingResult& result,
                                                            std::string_view text,
                                                            std::int64_t offset,
                                                            std::string_view templ) const {
    const icu::UnicodeString input = fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern_->compiled->matcher(input, status));
    const std::int64_t start = result.range().location + offset;
    if (U_FAILURE(status) || start < 0 || start > input.length() || !matcher->find(start, status) ||
        matcher->start(status) != start) {
        return std::string(templ);
    }
    // The replacement is what follows the copied text before the match.
    icu::UnicodeString expanded;
    matcher->appendReplacement(expanded, fromUTF8(templ), status);
    if (U_FAILURE(status)) {
        return std::string(templ);
    }
    return toUTF8(expanded.tempSubString(static_cast<std::int32_t>(start)));
}

std::string NSRegularExpression::stringByReplacingMatches(std::string_view text,
                                                          std::uint32_t matchingOptions,
                                                          NSRange range,
                                                          std::string_view templ) const {
    const std::vector<NSTextCheckingResult> found =
        search(text, std::numeric_limits<std::size_t>::max(), matchingOptions, range);
    const icu::UnicodeString input = fromUTF8(text);
    icu::UnicodeString output;
    std::int32_t copied = 0;
    for (const NSTextCheckingResult& result : found) {
        const auto start = static_cast<std::int32_t>(result.range().location);
        output.append(input, copied, start - copied);
        output.append(fromUTF8(replacementStringForResult(result, text, 0, templ)));
        copied = start + static_cast<std::int32_t>(result.range().length);
    }
    output.append(input, copied, input.length() - copied);
    return toUTF8(output);
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
