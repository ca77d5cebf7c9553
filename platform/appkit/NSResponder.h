#pragma once

#include "platform/base/Value.h"

#include <memory>

namespace zestrel::platform {

// A link of the responder chain. The next responder is not owned: views and windows own
// their children, not their parents.
class NSResponder : public NSObject {
public:
    std::string className() const override { return "NSResponder"; }
    std::shared_ptr<NSResponder> nextResponder() const { return nextResponder_.lock(); }
    void setNextResponder(const std::shared_ptr<NSResponder>& next) { nextResponder_ = next; }

private:
    std::weak_ptr<NSResponder> nextResponder_;
};

} // namespace zestrel::platform
