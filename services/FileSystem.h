#pragma once

#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/data/NSFileManager.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's file-system operations over URLs: the Trash, existence and directory
// checks, single resource values, the user's system directories, and the screenshot test.
namespace zestrel {

// Moves the item to the Trash; the platform's error is thrown.
void trash(const platform::URL& url);
// Moves each item in order; the first failure is thrown and the rest are not tried.
void trashItems(const std::vector<platform::URL>& urls);

// Throws NSCocoaErrorDomain 4 "The URL does not exist." when nothing is at the path.
void ensureExists(const platform::URL& url);
// `ensureExists`, then NSCocoaErrorDomain 256 "The URL is not a directory." unless the
// directory flag reads true.
void ensureIsDirectory(const platform::URL& url);

// One resource value of the URL when it has the type asked for; failures of the platform
// call are thrown.
std::optional<std::string> stringResourceValue(const platform::URL& url, const std::string& key);
std::optional<platform::Date> dateResourceValue(const platform::URL& url, const std::string& key);
// Any number: a whole one (a file size) too.
std::optional<double> doubleResourceValue(const platform::URL& url, const std::string& key);
bool boolResourceValue(const platform::URL& url, const std::string& key, bool defaultValue);

// A system directory as it was found.
struct SystemDirectory {
    platform::URL url;
    // The lookup failed and `url` stands in the system temporary directory: whoever clears
    // the app's data must not treat it, or what lies beside it, as the app's own.
    bool isTemporaryFallback = false;
};

// The user's directory, symbolic links resolved. Never throws: a failure is reported and
// the system temporary directory is answered, marked as such.
SystemDirectory lookUpSystemDirectory(platform::NSSearchPathDirectory directory);
platform::URL systemDirectory(platform::NSSearchPathDirectory directory);
// The system directory's subdirectory named after the bundle identifier, created when
// missing. A failure to create it is reported and the URL answered all the same.
SystemDirectory lookUpAppDirectory(platform::NSSearchPathDirectory directory);
platform::URL appDirectory(platform::NSSearchPathDirectory directory);
// Computed once per process.
const platform::URL& applicationSupportDirectory();
const platform::URL& cachesDirectory();
const platform::URL& documentsDirectory();
// Whether the computed-once directory of that kind lies in the temporary directory because
// the system directory could not be found.
bool appDirectoryIsTemporaryFallback(platform::NSSearchPathDirectory directory);
// The home folder of the process's real user, from the user database.
const platform::URL& realHomeDirectory();

// Whether the file is marked as a screen capture, by Spotlight or else by the mirrored
// extended attribute. Never throws.
bool isScreenshot(const platform::URL& url);

// A URL written into the program as a literal; text that is not a URL stops the process.
platform::URL urlLiteral(std::string_view text);

// True when the text is empty or all white space and line breaks.
bool isEmptyOrWhitespace(std::string_view text);

// Reports any error through the reporter as its error object.
void reportTypedError(const platform::Error& error, platform::Value::Dictionary userInfo = {},
                      std::string_view file = __builtin_FILE(),
                      std::int64_t line = __builtin_LINE());

} // namespace zestrel
