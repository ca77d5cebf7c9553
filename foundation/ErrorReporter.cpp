#include "foundation/ErrorReporter.h"

#include "foundation/ErrorUserInfo.h"
#include "foundation/StableHash.h"
#include "foundation/TextUtilities.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ReportSink.h"
#include "platform/data/RegularExpression.h"

#include <bit>

namespace zestrel {

namespace pf = platform;

namespace {

constexpr std::string_view kBridgedErrorClass = "__SwiftNativeNSError";

pf::ProcessLocal<IgnoredErrors>& ignoredErrorsLocal() {
    static pf::ProcessLocal<IgnoredErrors> local;
    return local;
}

// From the first opening parenthesis or white space to the end of the line: what is left
// of a printed error value is its type or case name.
const pf::NSRegularExpression& typeSuffixPattern() {
    static const pf::NSRegularExpression pattern("(\\(|\\s).+");
    return pattern;
}

// Quoted names and paths vary between occurrences of the same error.
const pf::NSRegularExpression& quotedPassagePattern() {
    static const pf::NSRegularExpression pattern("“.*?”");
    return pattern;
}

std::int64_t stableCode(std::string_view codeText) {
    const std::string unquoted = quotedPassagePattern().stringByReplacingMatches(codeText, "");
    return std::bit_cast<std::int64_t>(fnv1aHash(unquoted));
}

bool matchesPair(const pf::Error& error, const IgnoredErrors& ignored) {
    return ignored.contains({error.domain(), error.code()});
}

std::string lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.ends_with('/')) {
        path.remove_suffix(1);
    }
    if (path == "/") {
        return std::string(path);
    }
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The incoming entries win.
void merge(pf::Value::Dictionary& into, const pf::Value::Dictionary& incoming) {
    for (const auto& [key, value] : incoming) {
        into[key] = value;
    }
}

} // namespace

const IgnoredErrors& ignoredErrors() {
    return ignoredErrorsLocal().get();
}

bool matchesIgnoredErrors(const pf::Error& error, const IgnoredErrors& ignored) {
    if (ignored.empty()) {
        return false;
    }
    if (matchesPair(error, ignored)) {
        return true;
    }
    for (const pf::Error& underlying : error.nsError()->underlyingErrors()) {
        if (matchesPair(underlying, ignored)) {
            return true;
        }
    }
    return false;
}

void reportError(const pf::Error& error, pf::Value::Dictionary userInfo, std::string_view file,
                 std::int64_t line) {
    // Only a task's own cancellation: the platform's other cancellations are reported.
    if (error.is<pf::CancellationError>()) {
        return;
    }
    if (matchesIgnoredErrors(error, ignoredErrors())) {
        return;
    }
    userInfo.try_emplace("file", std::string(file));
    userInfo.try_emplace("line", line);
    userInfo.try_emplace("fileLine", lastPathComponent(file) + ":" + std::to_string(line));
    // The report has no destination: it is released here.
    pf::deliverReport(reportableNSError(error, userInfo));
}

pf::Error reportableNSError(const pf::Error& error, const pf::Value::Dictionary& userInfo) {
    const std::shared_ptr<const pf::NSError> object = error.nsError();
    const bool isNative = typeName(*object) != kBridgedErrorClass;
    pf::Value::Dictionary mergedUserInfo = object->userInfo();
    merge(mergedUserInfo, userInfo);

    if (isNative && object->code() != 1) {
        if (userInfo.empty()) {
            return pf::Error(object);
        }
        return pf::NSError::make(object->domain(), object->code(), std::move(mergedUserInfo));
    }

    const std::string description = error.localizedDescription();
    mergedUserInfo[pf::NSLocalizedDescriptionKey] = description;
    const std::string typeText = trimmingWhitespaceAndNewlines(
        typeSuffixPattern().stringByReplacingMatches(error.describe(), ""));
    const std::string codeText = typeText + " " + description;
    const std::string domain = object->domain() + "." + codeText;
    const std::int64_t code = object->code() != 1 ? object->code() : stableCode(codeText);
    mergedUserInfo["codeString"] = codeText;
    return pf::NSError::make(domain, code, std::move(mergedUserInfo));
}

} // namespace zestrel
