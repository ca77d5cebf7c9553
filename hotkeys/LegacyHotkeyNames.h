#pragma once

#include "hotkeys/Shortcut.h"

// The two named hotkeys of the legacy cut method: "cut" (Command+X) and "paste"
// (Command+V). Each is made once per process, on first use of either.

namespace zestrel::Hotkeys::Names {

const Name& cut();
const Name& paste();

} // namespace zestrel::Hotkeys::Names
