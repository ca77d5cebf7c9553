#pragma once

#include "foundation/ErrorUserInfo.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <optional>
#include <string>

namespace zestrel {

// The common thrown error: a description with optional recovery texts and options.
class GeneralError final : public platform::ErrorBody {
public:
    GeneralError(std::string description, const ErrorUserInfoParts& parts = {},
                 platform::Value::Dictionary userInfo = {});

    // The thrown form.
    static platform::Error make(std::string description, const ErrorUserInfoParts& parts = {},
                                platform::Value::Dictionary userInfo = {});

    // The text the platform shows for the error as a localized resource: the trimmed
    // description, and when there is a recovery suggestion, both as sentences.
    std::string localizedStringResource() const;

    std::string typeName() const override { return "Zestrel.GeneralError"; }
    std::string describe() const override;
    std::string debugDescribe() const override;

    platform::Value::Dictionary errorUserInfo() const override { return errorUserInfo_; }

    bool isLocalizedError() const override { return true; }
    std::optional<std::string> errorDescription() const override { return errorDescription_; }
    std::optional<std::string> recoverySuggestion() const override { return recoverySuggestion_; }
    std::optional<std::string> helpAnchor() const override { return helpAnchor_; }

private:
    std::optional<std::string> errorDescription_;
    std::optional<std::string> recoverySuggestion_;
    std::optional<std::string> helpAnchor_;
    platform::Value::Dictionary errorUserInfo_;
};

} // namespace zestrel
