#pragma once

#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <string>

namespace zestrel {

// A failed kernel-framework call and its return code.
class IOKitError final : public platform::ErrorBody {
public:
    explicit IOKitError(std::int32_t returnValue, platform::Value::Dictionary userInfo = {})
        : returnValue_(returnValue), userInfo_(std::move(userInfo)) {}

    std::int32_t returnValue() const { return returnValue_; }
    const platform::Value::Dictionary& userInfo() const { return userInfo_; }

    std::string typeName() const override { return "Zestrel.IOKitError"; }
    std::string describe() const override {
        return "IOKitError(returnValue: " + std::to_string(returnValue_) +
               ", userInfo: " + platform::Value(userInfo_).debugDescribe() + ")";
    }
    std::string debugDescribe() const override { return "Zestrel." + describe(); }

    std::string errorDomain() const override { return "IOKitErrorDomain"; }
    std::int64_t errorCode() const override { return returnValue_; }
    platform::Value::Dictionary errorUserInfo() const override { return userInfo_; }

private:
    std::int32_t returnValue_;
    platform::Value::Dictionary userInfo_;
};

} // namespace zestrel
