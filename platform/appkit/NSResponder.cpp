#include "platform/appkit/NSResponder.h"

namespace zestrel::platform {

bool NSResponder::tryToPerform(std::string_view action, const std::shared_ptr<NSObject>& sender) {
    // The action may release responders of the chain; keep the current one meanwhile.
    for (auto responder = std::static_pointer_cast<NSResponder>(shared_from_this()); responder;
         responder = responder->nextResponder()) {
        if (responder->respondsToAction(action)) {
            responder->performAction(action, sender);
            return true;
        }
    }
    return false;
}

} // namespace zestrel::platform
