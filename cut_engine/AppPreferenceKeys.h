#pragma once

#include "preferences/BundleIdentifier.h"
#include "preferences/BundleIdentifierDefaults.h"
#include "preferences/Prefs.h"

// The app's own preferences, in the standard defaults. Each key is made (and its default
// registered) on first use in a process.
namespace zestrel::AppPreferences {

// The menu-bar item is hidden, except while it is briefly revealed. Default false.
const Prefs::Key<bool>& hideMenuBarIcon();
// Play the cut sound on each cut. Default true.
const Prefs::Key<bool>& playSoundEffects();
// Applications the legacy method never warns about nor takes as the frontmost window's
// owner ("_ignoreList"). Default empty.
const Prefs::Key<BundleIdentifierSet>& ignoreList();
// Use the event-tap method instead of the hotkeys; read once at launch. Default false.
const Prefs::Key<bool>& newMethod();
// The event-tap method recognises "x" by key code instead of by character. Default false.
const Prefs::Key<bool>& useKeyCode();

} // namespace zestrel::AppPreferences

namespace zestrel::ServedApplications {

inline const BundleIdentifier finder{"com.apple.finder"};
inline const BundleIdentifier forkLift{"com.binarynights.ForkLift"};
inline const BundleIdentifier forkLiftSetapp{"com.binarynights.forklift-setapp"};

} // namespace zestrel::ServedApplications
