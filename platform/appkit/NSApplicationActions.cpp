#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSWindow.h"

namespace zestrel::platform {

bool NSApplication::sendAction(const std::string& action,
                               const std::shared_ptr<NSResponder>& target,
                               const std::shared_ptr<NSObject>& sender) {
    if (target) {
        if (!target->respondsToAction(action)) {
            return false;
        }
        target->performAction(action, sender);
        return true;
    }
    if (auto window = keyWindow()) {
        auto first = window->firstResponder();
        if (first && first->tryToPerform(action, sender)) {
            return true;
        }
        if (window->tryToPerform(action, sender)) {
            return true;
        }
    }
    if (respondsToAction(action)) {
        performAction(action, sender);
        return true;
    }
    return false;
}

bool NSApplication::respondsToAction(const std::string& action) const {
    return action == "orderFrontCharacterPalette:";
}

void NSApplication::performAction(const std::string& action,
                                  const std::shared_ptr<NSObject>& /*sender*/) {
    if (action == "orderFrontCharacterPalette:") {
        ++characterPaletteOrders_;
    }
}

} // namespace zestrel::platform
