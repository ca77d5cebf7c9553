#pragma once

#include "foundation/ErrorRecoveryAttempter.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel {

// The optional parts of an error's user info.
struct ErrorUserInfoParts {
    std::optional<std::string> recoverySuggestion{};
    std::vector<ErrorRecoveryAttempter::Option> recoveryOptions{};
    std::optional<std::string> helpAnchor{};
    std::vector<platform::Error> underlyingErrors{};
    std::optional<platform::URL> url{};
    std::optional<std::string> debugDescription{};
};

// `userInfo` with the description and every given part added under its platform key; an
// added entry replaces a starting one. Options come with an attempter that runs them.
platform::Value::Dictionary makeErrorUserInfo(platform::Value::Dictionary userInfo,
                                              const std::string& description,
                                              const ErrorUserInfoParts& parts = {});

struct AppErrorParts {
    std::optional<std::string> recoverySuggestion{};
    std::vector<ErrorRecoveryAttempter::Option> recoveryOptions{};
    std::optional<std::string> helpAnchor{};
    std::optional<platform::Error> underlyingError{};
    std::optional<platform::URL> url{};
    // Appended to the domain after " - ".
    std::optional<std::string> domainPostfix{};
    platform::Value::Dictionary userInfo{};
};

// An error object of the app itself (`NSError.appError`): its domain is the bundle
// identifier and its code always 1.
platform::Error appError(const std::string& description, const AppErrorParts& parts = {});

// The same error: equal debug descriptions, then equal domains and codes of the error
// objects.
bool errorsAreEqual(const platform::Error& a, const platform::Error& b);

// The name of an object's dynamic class. "__SwiftNativeNSError" marks an error object
// that wraps an error of our own types.
std::string typeName(const platform::NSObject& object);
std::string typeName(const platform::NSError& object);

} // namespace zestrel
