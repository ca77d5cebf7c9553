#include "foundation/AnyError.h"

#include "foundation/ErrorUserInfo.h"

namespace zestrel {

namespace pf = platform;

namespace {

// A localized text of the wrapped error, when it is a localized error at all.
std::optional<std::string>
localizedText(const pf::Error& error, std::optional<std::string> (pf::ErrorBody::*text)() const) {
    const pf::ErrorBody& body = error.body();
    return body.isLocalizedError() ? (body.*text)() : std::nullopt;
}

} // namespace

bool AnyError::operator==(const AnyError& other) const {
    return errorsAreEqual(error_, other.error_);
}

std::string AnyError::describe() const {
    return "AnyError(error: " + error_.debugDescribe() + ")";
}

std::string AnyError::debugDescribe() const {
    return "Zestrel." + describe();
}

std::int64_t AnyError::errorCode() const {
    return error_.code();
}

pf::Value::Dictionary AnyError::errorUserInfo() const {
    pf::Value::Dictionary userInfo = error_.nsError()->userInfo();
    userInfo.try_emplace(pf::NSLocalizedDescriptionKey, error_.localizedDescription());

    auto addIfAbsent = [&userInfo](const char* key, const std::optional<std::string>& text) {
        if (text) {
            userInfo.try_emplace(key, *text);
        }
    };
    const pf::ErrorBody& body = error_.body();
    if (body.isLocalizedError()) {
        // The failure reason goes under the failure key, as the bridge has always done.
        addIfAbsent(pf::NSLocalizedFailureErrorKey, body.failureReason());
        addIfAbsent(pf::NSLocalizedRecoverySuggestionErrorKey, body.recoverySuggestion());
        addIfAbsent(pf::NSHelpAnchorErrorKey, body.helpAnchor());
    }
    if (!error_.is<pf::NSError>()) {
        for (const auto& [key, value] : body.errorUserInfo()) {
            userInfo.try_emplace(key, value);
        }
    }
    return userInfo;
}

std::optional<std::string> AnyError::errorDescription() const {
    return localizedText(error_, &pf::ErrorBody::errorDescription);
}

std::optional<std::string> AnyError::failureReason() const {
    return localizedText(error_, &pf::ErrorBody::failureReason);
}

std::optional<std::string> AnyError::recoverySuggestion() const {
    return localizedText(error_, &pf::ErrorBody::recoverySuggestion);
}

std::optional<std::string> AnyError::helpAnchor() const {
    return localizedText(error_, &pf::ErrorBody::helpAnchor);
}

} // namespace zestrel
