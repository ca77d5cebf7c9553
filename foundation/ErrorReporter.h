#pragma once

#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace zestrel {

// Errors the reporter skips, by the domain and code of their error objects.
using IgnoredErrors = std::set<std::pair<std::string, std::int64_t>>;

// The process's ignore set: empty, created on first use.
const IgnoredErrors& ignoredErrors();

// True when the error, or one listed under NSMultipleUnderlyingErrorsKey (one level
// deep), has a domain and code in `ignored`.
bool matchesIgnoredErrors(const platform::Error& error, const IgnoredErrors& ignored);

// Reports an error the program does not show and did not expect: skips task cancellations
// and ignored errors, adds the caller's location to the user info ("file", "line",
// "fileLine"; the caller's own entries win) and releases the normalised report. Never
// throws; callable from any thread. The call site comes from the builtins behind
// `std::source_location`, which clang 14 cannot compile from libstdc++.
void reportError(const platform::Error& error, platform::Value::Dictionary userInfo = {},
                 std::string_view file = __builtin_FILE(), std::int64_t line = __builtin_LINE());

// The normalised error object of a report: platform-native errors keep their domain and
// code; errors of our own types and every code-1 error get a domain naming their type and
// description, and a code stable across runs.
platform::Error reportableNSError(const platform::Error& error,
                                  const platform::Value::Dictionary& userInfo);

} // namespace zestrel
