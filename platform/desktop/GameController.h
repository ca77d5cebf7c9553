#pragma once

#include "platform/base/Value.h"

#include <memory>

namespace zestrel::platform {

// The GameController framework's view of the keyboards: all attached keyboards seen as one.
class GCKeyboard final : public NSObject {
public:
    // The keyboards of the current desktop as one device; nothing while none is attached.
    static std::shared_ptr<GCKeyboard> coalesced();

    std::string className() const override { return "GCKeyboard"; }
};

} // namespace zestrel::platform
