#include "foundation/TextDateUtilities.h"

#include "foundation/ErrorUserInfo.h"
#include "foundation/TextUtilities.h"
#include "platform/base/Clock.h"
#include "platform/base/UTF8.h"
#include "platform/data/DataDetector.h"
#include "platform/data/JSON.h"
#include "platform/data/RegularExpression.h"

#include <fmt/format.h>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zestrel {

namespace {

// Whether every character of the text satisfies `test`, which gets the character's first
// scalar and its count of scalars.
template <class Test> bool allCharacters(std::string_view text, Test&& test) {
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
        platform::fatal("The character break rules are missing");
    }
    characters->setText(unicode);
    for (int32_t start = characters->first(), end = characters->next();
         end != icu::BreakIterator::DONE; start = end, end = characters->next()) {
        if (!test(unicode.char32At(start), unicode.countChar32(start, end - start))) {
            return false;
        }
    }
    return true;
}

bool isWhiteSpace(UChar32 scalar) {
    return u_hasBinaryProperty(scalar, UCHAR_WHITE_SPACE);
}

bool isLineBreak(UChar32 scalar) {
    return (scalar >= 0x0A && scalar <= 0x0D) || scalar == 0x85 || scalar == 0x2028 ||
           scalar == 0x2029;
}

} // namespace

HoursMinutesSeconds hoursMinutesSeconds(double seconds) {
    const double whole = std::trunc(seconds);
    // 2^63: the first whole count beyond 64 bits.
    constexpr double kBeyondInt64 = 9223372036854775808.0;
    if (!std::isfinite(whole) || whole >= kBeyondInt64 || whole < -kBeyondInt64) {
        platform::fatal("A count of seconds must be finite and within 64 bits to be split");
    }
    const auto total = static_cast<std::int64_t>(whole);
    const std::int64_t hours = total / 3600;
    const std::int64_t withinHour = total - hours * 3600;
    const std::int64_t minutes = withinHour / 60;
    return {hours, minutes, withinHour - minutes * 60};
}

std::string formatDuration(double seconds, bool alwaysShowsHours, bool showsSeconds,
                           bool showsHoursOnlyWhenNeeded) {
    const auto split = hoursMinutesSeconds(seconds);
    const bool showsHours =
        showsHoursOnlyWhenNeeded ? std::trunc(seconds) >= 3600 : alwaysShowsHours;
    if (showsHours) {
        return showsSeconds
                   ? fmt::format("{:02}:{:02}:{:02}", split.hours, split.minutes, split.seconds)
                   : fmt::format("{:02}:{:02}", split.hours, split.minutes);
    }
    return showsSeconds ? fmt::format("{:02}:{:02}", split.minutes, split.seconds)
                        : fmt::format("{:02}", split.minutes);
}

bool isBlank(std::string_view text) {
    return allCharacters(text, [](UChar32 first, int32_t) { return isWhiteSpace(first); });
}

bool isBlankOrNewline(std::string_view text) {
    return allCharacters(text, [](UChar32 first, int32_t scalars) {
        return isWhiteSpace(first) || (scalars == 1 && isLineBreak(first));
    });
}

std::optional<std::string> nilIfBlank(std::string text) {
    if (isBlank(text)) {
        return std::nullopt;
    }
    return text;
}

std::string humanizedCamelCase(std::string_view text) {
    static const platform::NSRegularExpression capital("([A-Z])");
    return trimmingWhitespaceAndNewlines(capital.stringByReplacingMatches(text, " $1"));
}

const std::set<std::string, std::less<>>& titleCaseMinorWords() {
    static const std::set<std::string, std::less<>> words{
        "a",  "an", "and", "at", "but", "by", "for", "in",  "nor",
        "of", "on", "or",  "so", "the", "to", "up",  "yet",
    };
    return words;
}

namespace {

// The word with its first scalar in upper case.
std::string capitalized(std::string_view word) {
    std::int32_t offset = 0;
    UChar32 first = 0;
    U8_NEXT(word.data(), offset, static_cast<std::int32_t>(word.size()), first);
    if (first < 0) {
        return std::string(word);
    }
    icu::UnicodeString upper(u_toupper(first));
    std::string result;
    upper.toUTF8String(result);
    result.append(word.substr(static_cast<std::size_t>(offset)));
    return result;
}

} // namespace

std::string titleCased(std::string_view text) {
    std::string result;
    bool firstWord = true;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t wordStart = text.find_first_not_of(" \t\n\r", position);
        result.append(text.substr(position, std::min(wordStart, text.size()) - position));
        if (wordStart == std::string_view::npos) {
            break;
        }
        const std::size_t wordEnd = std::min(text.find_first_of(" \t\n\r", wordStart), text.size());
        const std::string_view word = text.substr(wordStart, wordEnd - wordStart);
        if (firstWord || !titleCaseMinorWords().contains(word)) {
            result += capitalized(word);
        } else {
            result.append(word);
        }
        firstWord = false;
        position = wordEnd;
    }
    return result;
}

bool isInFuture(platform::Date date) {
    return date > platform::currentDate();
}

bool isInPast(platform::Date date) {
    return date < platform::currentDate();
}

bool isWithin(platform::Date date, Duration duration) {
    const platform::Date now = platform::currentDate();
    return ClosedRange<platform::Date>::unordered(now,
                                                  now.addingTimeInterval(duration.timeInterval()))
        .contains(date);
}

bool isValidEmailAddress(std::string_view text) {
    return platform::isSingleEmailAddress(text);
}

std::string reformattedJSON(const platform::Data& json) {
    const platform::Data pretty = platform::JSONSerialization::data(
        platform::JSONSerialization::jsonObject(json), {.prettyPrinted = true});
    std::string text(pretty.begin(), pretty.end());
    if (!platform::isValidUTF8(text)) {
        return {};
    }
    return text;
}

platform::URL urlFromStaticString(std::string_view literal) {
    auto url = platform::URL::parse(literal);
    if (!url) {
        platform::fatal(fmt::format("Invalid static URL string: {}", literal));
    }
    return *url;
}

} // namespace zestrel
