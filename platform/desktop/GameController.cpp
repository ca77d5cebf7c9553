#include "platform/desktop/GameController.h"

#include "platform/desktop/Desktop.h"

namespace zestrel::platform {

std::shared_ptr<GCKeyboard> GCKeyboard::coalesced() {
    if (!Desktop::current()->hasKeyboard()) {
        return nullptr;
    }
    return std::make_shared<GCKeyboard>();
}

} // namespace zestrel::platform
