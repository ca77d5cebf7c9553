#pragma once

#include "platform/desktop/NSEvent.h"

namespace zestrel {

// The modifier keys as the launch gestures compare them: the device-independent part,
// with Caps Lock, numeric pad and Function ignored.
platform::NSEvent::ModifierFlags launchGestureFlags(platform::NSEvent::ModifierFlags held);

// Debug mode: exactly Shift+Control held when first asked (during launch). Computed once
// per process; the app shell's `QVKit::isDebugMode` is this fact.
bool isDebugModeLaunch();

} // namespace zestrel
