#pragma once

#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <optional>
#include <string>

namespace zestrel {

// Wraps any error so it can be compared and bridged with its texts in the user info.
class AnyError final : public platform::ErrorBody {
public:
    explicit AnyError(platform::Error error) : error_(std::move(error)) {}

    const platform::Error& error() const { return error_; }

    // `errorsAreEqual` of the wrapped errors.
    bool operator==(const AnyError& other) const;

    std::string typeName() const override { return "Zestrel.AnyError"; }
    std::string describe() const override;
    std::string debugDescribe() const override;

    std::string errorDomain() const override { return "AnyError"; }
    std::int64_t errorCode() const override;
    platform::Value::Dictionary errorUserInfo() const override;

    bool isLocalizedError() const override { return true; }
    std::optional<std::string> errorDescription() const override;
    std::optional<std::string> failureReason() const override;
    std::optional<std::string> recoverySuggestion() const override;
    std::optional<std::string> helpAnchor() const override;

private:
    platform::Error error_;
};

} // namespace zestrel
