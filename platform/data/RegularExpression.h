#pragma once

#include "platform/base/UTF8.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

inline constexpr std::int64_t NSNotFound = std::numeric_limits<std::int64_t>::max();

// A range of UTF-16 code units, as the platform's text APIs count.
struct NSRange {
    std::int64_t location = NSNotFound;
    std::int64_t length = 0;
    bool operator==(const NSRange&) const = default;
};

// One match: range 0 is the whole match, range n the capture group n (location
// `NSNotFound` for a group that took no part).
class NSTextCheckingResult {
public:
    NSRange range() const { return ranges_.front(); }
    std::size_t numberOfRanges() const { return ranges_.size(); }
    NSRange rangeAtIndex(std::size_t index) const;
    // The range of a named capture group; `NSNotFound` for an unknown name.
    NSRange rangeWithName(std::string_view name) const;

    // Same ranges, found by an equal expression.
    bool operator==(const NSTextCheckingResult& other) const;
    std::size_t hash() const;

private:
    friend class NSRegularExpression;
    struct Pattern;
    std::shared_ptr<const Pattern> pattern_;
    std::vector<NSRange> ranges_;
};

// The platform's regular-expression engine (ICU syntax and semantics). Immutable and
// safe to share between threads. Every search runs over the whole text. The engine works on
// the text's UTF-16 form (`UTF16Text`, where bytes that are not UTF-8 read as U+FFFD) and
// answers in its units; replacing keeps every byte outside the matches as it was.
class NSRegularExpression {
public:
    enum Option : std::uint32_t {
        caseInsensitive = 1U << 0,
        allowCommentsAndWhitespace = 1U << 1,
        ignoreMetacharacters = 1U << 2,
        dotMatchesLineSeparators = 1U << 3,
        anchorsMatchLines = 1U << 4,
        useUnixLineSeparators = 1U << 5,
        useUnicodeWordBoundaries = 1U << 6,
    };

    // How one search runs (`NSMatchingOptions`). The progress and completion reports
    // exist only for block-based enumeration, which this stand-in does not offer.
    enum MatchingOption : std::uint32_t {
        reportProgress = 1U << 0,
        reportCompletion = 1U << 1,
        // Matches must start at the beginning of the range (each where the last ended).
        anchored = 1U << 2,
        // Look-around and word boundaries see the text outside the range.
        withTransparentBounds = 1U << 3,
        // ^ and $ do not match at the ends of the range, only of the text.
        withoutAnchoringBounds = 1U << 4,
    };

    // Throws the engine's error (NSCocoaErrorDomain, code 2048) when the pattern does
    // not compile.
    explicit NSRegularExpression(std::string_view pattern, std::uint32_t options = 0);

    const std::string& pattern() const;
    std::uint32_t options() const;

    std::vector<NSTextCheckingResult> matches(std::string_view text) const;
    std::optional<NSTextCheckingResult> firstMatch(std::string_view text) const;
    // Every match replaced by the template's expansion ("$1", "${name}", "\$" escapes).
    std::string stringByReplacingMatches(std::string_view text, std::string_view templ) const;

    // Searches within `range` (UTF-16 units) under `matchingOptions`. A range beyond the
    // text stops the process, as the platform raises its range exception.
    std::vector<NSTextCheckingResult> matches(std::string_view text, std::uint32_t matchingOptions,
                                              NSRange range) const;
    std::optional<NSTextCheckingResult>
    firstMatch(std::string_view text, std::uint32_t matchingOptions, NSRange range) const;
    std::string stringByReplacingMatches(std::string_view text, std::uint32_t matchingOptions,
                                         NSRange range, std::string_view templ) const;
    // The template expanded for one result of this expression in `text` (its group
    // references filled in), the result's ranges shifted by `offset`.
    std::string replacementStringForResult(const NSTextCheckingResult& result,
                                           std::string_view text, std::int64_t offset,
                                           std::string_view templ) const;
    // The text with every metacharacter escaped, so that it matches itself.
    static std::string escapedPatternForString(std::string_view text);
    std::size_t hash() const;

    // Same pattern and options.
    bool operator==(const NSRegularExpression& other) const;

    // The same searches on a text already converted, for callers that go on to turn many
    // ranges into positions of the same text.
    std::vector<NSTextCheckingResult> matches(const UTF16Text& text, std::uint32_t matchingOptions,
                                              NSRange range) const;
    std::optional<NSTextCheckingResult>
    firstMatch(const UTF16Text& text, std::uint32_t matchingOptions, NSRange range) const;
    std::string stringByReplacingMatches(const UTF16Text& text, std::uint32_t matchingOptions,
                                         NSRange range, std::string_view templ) const;
    std::string replacementStringForResult(const NSTextCheckingResult& result,
                                           const UTF16Text& text, std::int64_t offset,
                                           std::string_view templ) const;

private:
    class Search;
    // Runs `found` for each match in turn until it answers false or the matches end.
    void search(const UTF16Text& text, std::uint32_t matchingOptions, std::optional<NSRange> range,
                const std::function<bool(Search&)>& found) const;
    std::vector<NSTextCheckingResult> results(const UTF16Text& text, std::size_t limit,
                                              std::uint32_t matchingOptions,
                                              std::optional<NSRange> range) const;

    std::shared_ptr<const NSTextCheckingResult::Pattern> pattern_;
};

} // namespace zestrel::platform
