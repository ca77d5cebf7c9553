#include "foundation/QVRegex.h"

#include "foundation/Hasher.h"
#include "platform/base/Error.h"

#include <fmt/format.h>

namespace zestrel {

namespace pf = platform;

namespace {

std::string textIn(std::string_view text, StringRange range) {
    return std::string(text.substr(range.lowerBound, range.upperBound - range.lowerBound));
}

} // namespace

QVRegex::QVRegex(std::string_view pattern, std::uint32_t options)
    : nsRegex_(std::make_shared<const pf::NSRegularExpression>(pattern, options)) {}

QVRegex QVRegex::literal(Literal pattern, std::uint32_t options) {
    try {
        return QVRegex(pattern.pattern, options);
    } catch (const pf::Error& error) {
        pf::fatal(fmt::format("Invalid regular expression: {} ({}:{})",
                              error.localizedDescription(), pattern.file, pattern.line));
    }
}

std::string QVRegex::escapedPattern(std::string_view text) {
    return pf::NSRegularExpression::escapedPatternForString(text);
}

QVRegex::Match QVRegex::makeMatch(pf::NSTextCheckingResult result, TextRanges& ranges) const {
    if (result.numberOfRanges() < 1) {
        pf::fatal("A match without ranges");
    }
    Match match(ranges.text());
    const std::string& text = match.originalString();
    match.range = ranges.composedCharacterRange(result.range());
    match.value = textIn(text, match.range);
    for (std::size_t group = 1; group < result.numberOfRanges(); ++group) {
        const pf::NSRange range = result.rangeAtIndex(group);
        if (range.location == pf::NSNotFound || range.length <= 0) {
            continue;
        }
        const StringRange widened = ranges.composedCharacterRange(range);
        match.groups.push_back(Match::Group{textIn(text, widened), widened});
    }
    match.checkingResult = std::move(result);
    return match;
}

std::optional<QVRegex::Match::Group> QVRegex::Match::group(std::string_view name) const {
    const pf::NSRange range = checkingResult.rangeWithName(name);
    if (range.location == pf::NSNotFound || range.length < 1) {
        return std::nullopt;
    }
    const StringRange widened = TextRanges(text_).composedCharacterRange(range);
    return Group{textIn(originalString(), widened), widened};
}

bool operator==(const QVRegex::Match& a, const QVRegex::Match& b) {
    return (a.text_ == b.text_ || a.originalString() == b.originalString()) &&
           a.checkingResult == b.checkingResult && a.value == b.value && a.range == b.range &&
           a.groups == b.groups;
}

std::size_t QVRegex::Match::Group::hashValue() const {
    return Hasher().combine(value).combine(range.lowerBound).combine(range.upperBound).finalize();
}

std::size_t QVRegex::Match::hashValue() const {
    Hasher hasher;
    hasher.combine(originalString())
        .combine(checkingResult.hash())
        .combine(value)
        .combine(range.lowerBound)
        .combine(range.upperBound)
        .combine(groups.size());
    for (const Group& group : groups) {
        hasher.combine(group.value).combine(group.range.lowerBound).combine(group.range.upperBound);
    }
    return hasher.finalize();
}

bool QVRegex::isMatched(std::string_view text) const {
    return nsRegex_->firstMatch(text).has_value();
}

std::optional<QVRegex::Match> QVRegex::firstMatch(std::string_view text) const {
    TextRanges ranges(text);
    auto result = nsRegex_->firstMatch(*ranges.text(), 0, pf::NSRange{0, ranges.text()->length()});
    if (!result) {
        return std::nullopt;
    }
    return makeMatch(std::move(*result), ranges);
}

// One conversion of the text and one break iterator serve every match: a match per character
// would otherwise convert the whole text once each.
std::vector<QVRegex::Match> QVRegex::allMatches(std::string_view text) const {
    TextRanges ranges(text);
    std::vector<Match> found;
    for (pf::NSTextCheckingResult& result :
         nsRegex_->matches(*ranges.text(), 0, pf::NSRange{0, ranges.text()->length()})) {
        found.push_back(makeMatch(std::move(result), ranges));
    }
    return found;
}

bool isMatched(std::string_view text, const QVRegex& regex) {
    return regex.isMatched(text);
}

std::string replacingFirstMatch(std::string_view text, const QVRegex& regex,
                                std::string_view templ) {
    const std::optional<QVRegex::Match> match = regex.firstMatch(text);
    if (!match) {
        return std::string(text);
    }
    const std::string replacement =
        regex.nsRegex().replacementStringForResult(match->checkingResult, text, 0, templ);
    std::string result(text);
    result.replace(match->range.lowerBound, match->range.upperBound - match->range.lowerBound,
                   replacement);
    return result;
}

std::string replacingAllMatches(std::string_view text, const QVRegex& regex, std::string_view templ,
                                std::uint32_t options) {
    const pf::UTF16Text converted{std::string(text)};
    return regex.nsRegex().stringByReplacingMatches(converted, options,
                                                    pf::NSRange{0, converted.length()}, templ);
}

std::string replacingFirstMatch(std::string_view text, const QVRegex::Literal& pattern,
                                std::string_view templ) {
    return replacingFirstMatch(text, QVRegex::literal(pattern), templ);
}

std::string replacingAllMatches(std::string_view text, const QVRegex::Literal& pattern,
                                std::string_view templ, std::uint32_t options) {
    return replacingAllMatches(text, QVRegex::literal(pattern), templ, options);
}

} // namespace zestrel
