#pragma once

#include "platform/base/Value.h"

#include <string>
#include <string_view>

namespace zestrel::platform {

struct JSONReadingOptions {
    // Accept a top-level value that is neither an array nor an object ("42", "\"text\"").
    bool allowFragments = false;
};

struct JSONWritingOptions {
    // Two-space indent, `"key" : value`, one element a line; empty containers stay `[]`, `{}`.
    bool prettyPrinted = false;
    // Keys in the byte order of their UTF-8 text (which is code-point order). A dictionary
    // keeps its keys in that order anyway, so unsorted output is sorted too.
    bool sortedKeys = false;
    // Writes "/" as it is instead of "\/".
    bool withoutEscapingSlashes = false;
};

// JSON text to and from `Value` trees, as the platform's JSON serialization does it.
//
// Reading: strict JSON (no comments, no trailing commas, no trailing garbage, valid UTF-8).
// Integers that fit a signed 64-bit integer become integer values, larger ones that fit an
// unsigned one unsigned values; every other number (a fraction, an exponent, or out of
// range) becomes a real value, so `42` and `42.0` stay apart. Of duplicate keys the last
// wins. Nesting deeper than 512 levels is refused. A failure throws an error object in
// NSCocoaErrorDomain, code 3840, whose debug description says what was wrong.
//
// Writing: any value may be the top level (as the Codable encoder needs). Integers are
// written plainly; doubles in their shortest round-trip form without a trailing ".0"
// (2.0 → "2", 0.1 → "0.1", 1e16 → "1e+16", 1e-5 → "1e-05"), except that negative zero is
// "-0.0", so that it reads back as itself and not as the integer 0. Strings escape `"`, `\`, `/`
// (unless asked not to) and control characters (\b \f \n \r \t, the rest \u00xx); other
// text is kept as UTF-8. A present optional is written as what it holds. A non-finite
// double, or a value JSON cannot hold (absent, data, date, URL, UUID, error, object),
// throws an error object in NSCocoaErrorDomain, code 4866.
class JSONSerialization {
public:
    static constexpr int kMaximumDepth = 512;

    static Value jsonObject(std::string_view text, JSONReadingOptions options = {});
    static Value jsonObject(const Data& data, JSONReadingOptions options = {});

    static std::string string(const Value& value, JSONWritingOptions options = {});
    static Data data(const Value& value, JSONWritingOptions options = {});
};

} // namespace zestrel::platform
