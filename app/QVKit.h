#pragma once

#include "platform/desktop/NSEvent.h"

#include <optional>

namespace zestrel {

// The modifier keys held now, as every launch gesture compares them: the device-independent
// part, with Caps Lock, numeric pad and Function ignored.
platform::NSEvent::ModifierFlags launchModifierMask();

// The launch-time support object: made first, before the app controller and any scene, it
// registers the launch defaults, keeps the system from ending the app on its own, brings the
// launch history up to date and reads the modifier keys held at launch:
//   Shift+Option                  safe mode
//   Shift+Control                 debug mode (the Debug menu item and main menu)
//   Shift+Control+Option          the user debug window
//   Shift+Control+Option+Command  the offer to delete all settings and data
// One per process, alive for all of it. Main thread only.
class QVKit {
public:
    // Made on first use: the launch sequence runs then.
    static QVKit& shared();
    // Shift+Control held when first asked (during launch); fixed for the process.
    static bool isDebugMode();
    // Posts the showing of the user debug window to the main queue.
    static void openUserDebugWindowAsync();

    QVKit();
    QVKit(const QVKit&) = delete;
    QVKit& operator=(const QVKit&) = delete;
};

// With the reset gesture held: asks whether to delete all settings and data; "Delete"
// deletes them and relaunches the app, which then starts as on its first launch; when no new
// instance can be started, the failure is shown and the app quits. Nothing without the
// gesture.
void offerSettingsResetAtLaunch();

// Removes every setting and moves the app's own data folders to the Trash: the container's
// data folder of a sandboxed app, else its Application Support and Caches folders, in that
// order (a failure ends the moves). Only folders that really are the app's own are moved:
// never one above them, nor the temporary folder a failed lookup falls back to. Silent.
void deleteSettingsAndData();

} // namespace zestrel
