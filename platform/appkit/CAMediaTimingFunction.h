#pragma once

#include "platform/base/Value.h"

#include <memory>
#include <string>

namespace zestrel::platform {

inline constexpr const char* kCAMediaTimingFunctionDefault = "default";
inline constexpr const char* kCAMediaTimingFunctionEaseInEaseOut = "easeInEaseOut";

// A named animation pacing curve; nothing is animated here, the name is what matters.
class CAMediaTimingFunction final : public NSObject {
public:
    explicit CAMediaTimingFunction(std::string name) : name_(std::move(name)) {}
    static std::shared_ptr<CAMediaTimingFunction> functionWithName(std::string name) {
        return std::make_shared<CAMediaTimingFunction>(std::move(name));
    }
    std::string className() const override { return "CAMediaTimingFunction"; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

} // namespace zestrel::platform
