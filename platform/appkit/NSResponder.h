#pragma once

#include "platform/base/Value.h"

#include <memory>
#include <string>

namespace zestrel::platform {

// A link of the responder chain. The next responder is not owned: views and windows own
// their children, not their parents.
class NSResponder : public NSObject {
public:
    std::string className() const override { return "NSResponder"; }
    std::shared_ptr<NSResponder> nextResponder() const { return nextResponder_.lock(); }
    void setNextResponder(const std::shared_ptr<NSResponder>& next) { nextResponder_ = next; }

    // Target-action by name ("copy:", "selectAll:"): whether this responder implements the
    // action, and performing it.
    virtual bool respondsToAction(const std::string& /*action*/) const { return false; }
    virtual void performAction(const std::string& /*action*/,
                               const std::shared_ptr<NSObject>& /*sender*/) {}
    // Performs the action here when this responder implements it, else asks the next
    // responder; false when no responder in the chain did.
    bool tryToPerform(const std::string& action, const std::shared_ptr<NSObject>& sender);

    // The window asks before it moves the keyboard focus: the responder that has it may
    // refuse to give it up, the one that is to get it may refuse to take it.
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

private:
    std::weak_ptr<NSResponder> nextResponder_;
};

} // namespace zestrel::platform
