#pragma once

#include "platform/base/Geometry.h"

#include <optional>

namespace zestrel {

// The menu bar of the first screen: 24 points, or 33 beside a camera housing (a top-right
// auxiliary area narrower than the screen). 24 when there is no screen.
platform::CGFloat menuBarHeight();
// How far the first screen's visible frame starts above its bottom edge; nothing when it
// does not, or when there is no screen.
std::optional<platform::CGFloat> dockHeightAtBottom();
// Whether the first screen's frame, less its visible frame and the Dock, leaves no room for
// the menu bar. False when there is no screen.
bool isMenuBarHidden();

// A unit size made once: what view scaling converts to undo the current scale.
const platform::CGSize& defaultViewScales();

} // namespace zestrel
