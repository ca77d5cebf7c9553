#include "foundation/ErrorUserInfo.h"

#include "foundation/QVApp.h"

#include <memory>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace zestrel {

namespace pf = platform;

namespace {

// Steps 1 to 4 shared by the user-info builder and the app's error objects.
void addTextsAndOptions(pf::Value::Dictionary& userInfo, const std::string& description,
                        const std::optional<std::string>& recoverySuggestion,
                        const std::vector<ErrorRecoveryAttempter::Option>& recoveryOptions,
                        const std::optional<std::string>& helpAnchor) {
    userInfo[pf::NSLocalizedDescriptionKey] = description;
    if (recoverySuggestion) {
        userInfo[pf::NSLocalizedRecoverySuggestionErrorKey] = *recoverySuggestion;
    }
    if (!recoveryOptions.empty()) {
        pf::Value::Array titles;
        for (const auto& option : recoveryOptions) {
            titles.emplace_back(option.title);
        }
        userInfo[pf::NSLocalizedRecoveryOptionsErrorKey] = std::move(titles);
        userInfo[pf::NSRecoveryAttempterErrorKey] =
            std::make_shared<ErrorRecoveryAttempter>(recoveryOptions);
    }
    if (helpAnchor) {
        userInfo[pf::NSHelpAnchorErrorKey] = *helpAnchor;
    }
}

} // namespace

pf::Value::Dictionary makeErrorUserInfo(pf::Value::Dictionary userInfo,
                                        const std::string& description,
                                        const ErrorUserInfoParts& parts) {
    addTextsAndOptions(userInfo, description, parts.recoverySuggestion, parts.recoveryOptions,
                       parts.helpAnchor);
    if (!parts.underlyingErrors.empty()) {
        pf::Value::Array errors(parts.underlyingErrors.begin(), parts.underlyingErrors.end());
        userInfo[pf::NSMultipleUnderlyingErrorsKey] = std::move(errors);
    }
    if (parts.url) {
        userInfo[pf::NSURLErrorKey] = *parts.url;
    }
    if (parts.debugDescription) {
        userInfo[pf::NSDebugDescriptionErrorKey] = *parts.debugDescription;
    }
    return userInfo;
}

pf::Error appError(const std::string& description, const AppErrorParts& parts) {
    pf::Value::Dictionary userInfo = parts.userInfo;
    addTextsAndOptions(userInfo, description, parts.recoverySuggestion, parts.recoveryOptions,
                       parts.helpAnchor);
    if (parts.underlyingError) {
        userInfo[pf::NSUnderlyingErrorKey] = *parts.underlyingError;
    }
    if (parts.url) {
        userInfo[pf::NSURLErrorKey] = *parts.url;
    }
    std::string domain(QVApp::id());
    if (parts.domainPostfix) {
        domain += " - " + *parts.domainPostfix;
    }
    return pf::NSError::make(std::move(domain), 1, std::move(userInfo));
}

bool errorsAreEqual(const pf::Error& a, const pf::Error& b) {
    if (a.debugDescribe() != b.debugDescribe()) {
        return false;
    }
    return a.domain() == b.domain() && a.code() == b.code();
}

std::string typeName(const pf::NSObject& object) {
    return object.className();
}

std::string typeName(const pf::NSError& object) {
    return object.className();
}

} // namespace zestrel
