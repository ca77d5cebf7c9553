#pragma once

#include "platform/desktop/NSEvent.h"

namespace zestrel {

// The modifier keys as every exact comparison takes them (launch gestures, the kit's window
// and text shortcuts): the device-independent part, with Caps Lock, numeric pad and Function
// ignored.
platform::NSEvent::ModifierFlags launchGestureFlags(platform::NSEvent::ModifierFlags held);

// Debug mode: exactly Shift+Control held when first asked (during launch). Computed once
// per process; the app shell's `QVKit::isDebugMode` is this fact.
bool isDebugModeLaunch();

} // namespace zestrel
