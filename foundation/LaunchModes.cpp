#include "foundation/LaunchModes.h"

#include "platform/base/ProcessLocal.h"

namespace zestrel {

using platform::NSEvent;

NSEvent::ModifierFlags launchGestureFlags(NSEvent::ModifierFlags held) {
    return held.intersection(NSEvent::ModifierFlags::deviceIndependentFlagsMask)
        .subtracting(NSEvent::ModifierFlags::capsLock | NSEvent::ModifierFlags::numericPad |
                     NSEvent::ModifierFlags::function);
}

bool isDebugModeLaunch() {
    static auto* const fact = new platform::ProcessLocal<bool>([] {
        return std::make_unique<bool>(
            launchGestureFlags(NSEvent::modifierFlags()) ==
            (NSEvent::ModifierFlags::shift | NSEvent::ModifierFlags::control));
    });
    return **fact;
}

} // namespace zestrel
