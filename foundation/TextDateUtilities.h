#pragma once

#include "foundation/Duration.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/concurrency/Subjects.h"

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <ranges>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace zestrel {

// --- Clock texts ---

struct HoursMinutesSeconds {
    std::int64_t hours = 0;
    std::int64_t minutes = 0;
    std::int64_t seconds = 0;
    bool operator==(const HoursMinutesSeconds&) const = default;
};

// The count truncated toward zero to whole seconds, then split; every field of a negative
// count is negative or zero. A count that is not finite or beyond 64 bits stops the process.
HoursMinutesSeconds hoursMinutesSeconds(double seconds);

// "hh:mm:ss", "hh:mm", "mm:ss" or "mm", each field at least two digits. Hours are shown when
// `showsHoursOnlyWhenNeeded` and the count reaches an hour, or, without that, when
// `alwaysShowsHours`. Without hours the minutes are those within the hour.
std::string formatDuration(double seconds, bool alwaysShowsHours, bool showsSeconds,
                           bool showsHoursOnlyWhenNeeded);

// --- Blank checks and camel case ---

// Empty, or every character (grapheme) is white space.
bool isBlank(std::string_view text);
// Every character is white space or a line break.
bool isBlankOrNewline(std::string_view text);
std::optional<std::string> nilIfBlank(std::string text);

// "playSoundEffects" -> "play Sound Effects": a blank before every capital A-Z, then trimmed.
std::string humanizedCamelCase(std::string_view text);

// Words that title casing leaves in lower case unless they come first.
const std::set<std::string, std::less<>>& titleCaseMinorWords();

// "the lord of the rings" -> "The Lord of the Rings": the first letter of the first word and
// of every later word that is not a minor word goes to upper case; the rest of each word and
// the white space between words stay as they are.
std::string titleCased(std::string_view text);

// --- Dates relative to now ---

template <class Bound> struct ClosedRange {
    Bound lowerBound;
    Bound upperBound;

    // From two bounds in either order.
    static ClosedRange unordered(Bound a, Bound b) {
        return b < a ? ClosedRange{std::move(b), std::move(a)}
                     : ClosedRange{std::move(a), std::move(b)};
    }
    bool contains(const Bound& value) const {
        return !(value < lowerBound) && !(upperBound < value);
    }
};

bool isInFuture(platform::Date date);
bool isInPast(platform::Date date);
// Whether the date lies between now and now plus `duration` (which may be negative), both
// ends included.
bool isWithin(platform::Date date, Duration duration);

// --- Sequences ---

// The elements of `sequence`, in order, that `other` does not contain.
template <std::ranges::input_range Sequence, std::ranges::input_range Other>
std::vector<std::ranges::range_value_t<Sequence>> removing(const Sequence& sequence,
                                                           const Other& other) {
    using Element = std::ranges::range_value_t<Sequence>;
    const std::unordered_set<Element> excluded(std::ranges::begin(other), std::ranges::end(other));
    std::vector<Element> kept;
    for (const auto& element : sequence) {
        if (!excluded.contains(element)) {
            kept.push_back(element);
        }
    }
    return kept;
}

// The collection without the trailing elements for which `predicate` holds. What the
// predicate throws propagates.
template <std::ranges::bidirectional_range Collection, class Predicate>
Collection trimmingSuffix(const Collection& collection, Predicate&& predicate) {
    auto end = std::ranges::end(collection);
    while (end != std::ranges::begin(collection) && std::invoke(predicate, *std::prev(end))) {
        --end;
    }
    return Collection(std::ranges::begin(collection), end);
}

// Removes the elements for which `predicate` holds from the end, then from the start.
template <class Collection, class Predicate>
void trim(Collection& collection, Predicate&& predicate) {
    auto end = collection.end();
    while (end != collection.begin() && std::invoke(predicate, *std::prev(end))) {
        --end;
    }
    collection.erase(end, collection.end());
    auto start = collection.begin();
    while (start != collection.end() && std::invoke(predicate, *start)) {
        ++start;
    }
    collection.erase(collection.begin(), start);
}

// --- Text checks and conversions ---

// Exactly one e-mail address, the whole text and nothing else.
bool isValidEmailAddress(std::string_view text);

// JSON data written again pretty printed; empty when the result is not UTF-8. Throws the
// parse or write error.
std::string reformattedJSON(const platform::Data& json);

// --- Values ---

// The value, or throws what `makeError` gives (called only when there is no value).
template <class T, std::invocable MakeError>
T unwrapOrThrow(std::optional<T> value, MakeError&& makeError) {
    if (!value) {
        throw platform::Error(std::invoke(makeError));
    }
    return std::move(*value);
}

// Stores `value` only when it differs, so a target that reports its changes reports none for an
// equal value.
template <std::equality_comparable T, class Value> void assignIfChanged(T& target, Value&& value) {
    if (!(target == value)) {
        target = std::forward<Value>(value);
    }
}

// Sends `value` only when it differs from the subject's current value.
template <std::equality_comparable Output, class Failure>
void sendIfChanged(const platform::combine::CurrentValueSubject<Output, Failure>& subject,
                   const Output& value) {
    if (!(subject.value() == value)) {
        subject.send(value);
    }
}

// A URL written into the program. A literal that is not a valid URL is a programming error: it
// stops the process.
platform::URL urlFromStaticString(std::string_view literal);

} // namespace zestrel
