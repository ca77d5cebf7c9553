#include "foundation/GeneralError.h"
#include "foundation/TextUtilities.h"

#include <memory>

namespace zestrel {

namespace pf = platform;

GeneralError::GeneralError(std::string description, const ErrorUserInfoParts& parts,
                           pf::Value::Dictionary userInfo)
    : errorDescription_(description), recoverySuggestion_(parts.recoverySuggestion),
      helpAnchor_(parts.helpAnchor),
      errorUserInfo_(makeErrorUserInfo(std::move(userInfo), description, parts)) {}

pf::Error GeneralError::make(std::string description, const ErrorUserInfoParts& parts,
                             pf::Value::Dictionary userInfo) {
    return pf::Error(
        std::make_shared<const GeneralError>(std::move(description), parts, std::move(userInfo)));
}

std::string GeneralError::localizedStringResource() const {
    const pf::Error error(std::make_shared<const GeneralError>(*this));
    const std::string description = trimmingWhitespaceAndNewlines(error.localizedDescription());
    const auto suggestion = error.nsError()->localizedRecoverySuggestion();
    const std::string trimmedSuggestion =
        suggestion ? trimmingWhitespaceAndNewlines(*suggestion) : std::string();
    // A blank suggestion would leave a dangling "." behind the description.
    if (trimmedSuggestion.empty()) {
        return description;
    }
    auto sentence = [](const std::string& text) { return text.ends_with('.') ? text : text + "."; };
    return sentence(description) + " " + sentence(trimmedSuggestion);
}

std::string GeneralError::describe() const {
    return "GeneralError(errorDescription: " + pf::Value(errorDescription_).debugDescribe() +
           ", recoverySuggestion: " + pf::Value(recoverySuggestion_).debugDescribe() +
           ", helpAnchor: " + pf::Value(helpAnchor_).debugDescribe() +
           ", errorUserInfo: " + pf::Value(errorUserInfo_).debugDescribe() + ")";
}

std::string GeneralError::debugDescribe() const {
    return "Zestrel." + describe();
}

} // namespace zestrel
