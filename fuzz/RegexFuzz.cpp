// Regular expressions with a pattern and a text from the input, both arbitrary bytes: every
// match lies within the text on the edges of its characters and holds the text there, the
// first match is the first of all, and replacing leaves what no match touches byte for byte.
//
// Input: one byte giving the pattern's length, the pattern, then the text.
#include "foundation/QVRegex.h"
#include "fuzz/FuzzInput.h"
#include "platform/base/Error.h"
#include "platform/base/UTF8.h"

#include <unicode/brkiter.h>
#include <unicode/regex.h>
#include <unicode/utext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace zestrel;
namespace pf = platform;

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "RegexFuzz: %s\n", what);
        std::abort();
    }
}

// Some patterns backtrack for longer than the universe lasts on a few dozen characters (the
// engine has no limit, nor does the platform's); such inputs say nothing about our code. One
// search with a deadline, on the engine directly, tells them apart.
UBool beforeDeadline(const void* context, std::int32_t) {
    const auto* deadline = static_cast<const std::chrono::steady_clock::time_point*>(context);
    return std::chrono::steady_clock::now() < *deadline;
}

bool searchesQuickly(std::string_view pattern, std::string_view text) {
    const pf::UTF16Text pattern16{std::string(pattern)};
    const pf::UTF16Text text16{std::string(text)};
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
        icu::UnicodeString(pattern16.units().data(), static_cast<std::int32_t>(pattern16.length())),
        0, parseError, status));
    if (U_FAILURE(status)) {
        return true;
    }
    const icu::UnicodeString input(false, text16.units().data(),
                                   static_cast<std::int32_t>(text16.length()));
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    matcher->setMatchCallback(beforeDeadline, &deadline, status);
    while (U_SUCCESS(status) && matcher->find(status)) {
    }
    return status != U_REGEX_STOPPED_BY_CALLER;
}

// The edges of the text's characters (grapheme clusters), found by the character rules on
// the UTF-8 bytes themselves: independent of our conversion to UTF-16.
std::set<std::size_t> characterEdges(std::string_view text) {
    std::set<std::size_t> edges{0, text.size()};
    UErrorCode status = U_ZERO_ERROR;
    UText* utext =
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status);
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    check(U_SUCCESS(status), "no character rules");
    characters->setText(utext, status);
    for (std::int32_t edge = characters->first(); edge != icu::BreakIterator::DONE;
         edge = characters->next()) {
        edges.insert(static_cast<std::size_t>(edge));
    }
    characters.reset();
    utext_close(utext);
    return edges;
}

void checkRange(std::string_view text, const std::set<std::size_t>& edges, StringRange range,
                const std::string& value) {
    check(range.lowerBound <= range.upperBound && range.upperBound <= text.size(),
          "a range beyond the text");
    check(edges.contains(range.lowerBound) && edges.contains(range.upperBound),
          "a range that cuts a character");
    check(value == text.substr(range.lowerBound, range.upperBound - range.lowerBound),
          "a value that is not the text in its range");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t patternLength = std::min<std::size_t>(data[0], size - 1);
    const std::string_view pattern = fuzz::text(data + 1, patternLength);
    const std::string_view text = fuzz::text(data + 1 + patternLength, size - 1 - patternLength);

    std::optional<QVRegex> regex;
    try {
        regex.emplace(pattern);
    } catch (const pf::Error&) {
        return 0;
    }
    if (!searchesQuickly(pattern, text)) {
        return 0;
    }

    const std::set<std::size_t> edges = characterEdges(text);
    const std::vector<QVRegex::Match> all = regex->allMatches(text);
    for (const QVRegex::Match& match : all) {
        check(match.originalString() == text, "a match of another text");
        checkRange(text, edges, match.range, match.value);
        for (const QVRegex::Match::Group& group : match.groups) {
            checkRange(text, edges, group.range, group.value);
        }
        if (const auto named = match.group("name")) {
            checkRange(text, edges, named->range, named->value);
        }
    }
    const std::optional<QVRegex::Match> first = regex->firstMatch(text);
    check(first.has_value() == !all.empty() && regex->isMatched(text) == !all.empty(),
          "a first match where all matches found none, or the other way round");
    check(!first || *first == all.front(), "a first match that is not the first of all");

    const std::string replacedAll = replacingAllMatches(text, *regex, "<$0>");
    const std::string replacedFirst = replacingFirstMatch(text, *regex, "<$0>");
    if (all.empty()) {
        check(replacedAll == text && replacedFirst == text,
              "replacing without a match changed the text");
    }
    // Each match put back as itself: well-formed text is given back whole.
    if (pf::isValidUTF8(text)) {
        check(replacingAllMatches(text, *regex, "$0") == text,
              "replacing every match by itself changed the text");
    }
    return 0;
}
