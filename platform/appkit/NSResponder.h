#pragma once

#include "platform/base/Value.h"

#include <memory>
#include <string_view>

namespace zestrel::platform {

class NSEvent;

// A link of the responder chain. The next responder is not owned: views and windows own
// their children, not their parents.
class NSResponder : public NSObject {
public:
    std::string className() const override { return "NSResponder"; }
    std::shared_ptr<NSResponder> nextResponder() const { return nextResponder_.lock(); }
    void setNextResponder(const std::shared_ptr<NSResponder>& next) { nextResponder_ = next; }

    // Target-action by selector name ("copy:", "performClose:"): whether this responder
    // implements the action, and performing it.
    virtual bool respondsToAction(std::string_view /*action*/) const { return false; }
    virtual void performAction(std::string_view /*action*/,
                               const std::shared_ptr<NSObject>& /*sender*/) {}
    // Performs the action here when this responder implements it, else asks the next
    // responder; false when no responder in the chain did.
    bool tryToPerform(std::string_view action, const std::shared_ptr<NSObject>& sender);
    // A key the responder does not handle goes to the next one; at the end of the chain
    // it is dropped.
    virtual void keyDown(const NSEvent& event) { passOn(&NSResponder::keyDown, event); }

    // Mouse events the responder does not handle go to the next one, as keys do.
    virtual void mouseDown(const NSEvent& event) { passOn(&NSResponder::mouseDown, event); }
    virtual void mouseUp(const NSEvent& event) { passOn(&NSResponder::mouseUp, event); }
    virtual void mouseDragged(const NSEvent& event) { passOn(&NSResponder::mouseDragged, event); }
    virtual void mouseMoved(const NSEvent& event) { passOn(&NSResponder::mouseMoved, event); }
    virtual void mouseEntered(const NSEvent& event) { passOn(&NSResponder::mouseEntered, event); }
    virtual void mouseExited(const NSEvent& event) { passOn(&NSResponder::mouseExited, event); }

    // Asked by the window as the keyboard focus moves: the responder losing it may keep it
    // by answering false, and one gaining it may refuse it.
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

private:
    void passOn(void (NSResponder::*handler)(const NSEvent&), const NSEvent& event) {
        if (auto next = nextResponder()) {
            ((*next).*handler)(event);
        }
    }

    std::weak_ptr<NSResponder> nextResponder_;
};

} // namespace zestrel::platform
