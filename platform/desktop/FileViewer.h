#pragma once

#include "platform/base/Value.h"

#include <vector>

namespace zestrel::platform {

// `NSWorkspace.activateFileViewerSelectingURLs`: the Finder reveals items. Every reveal is
// recorded for the process and written to the desktop's log ("Finder revealed PATH"); when
// the Finder runs it comes to the front showing the first item's folder, with the items of
// that folder selected. A package (an .app) is revealed like any item, never opened. A
// Finder kept in a folder (the console's) shows nothing outside it; the reveal is still
// recorded. Main thread only.
void activateFileViewerSelectingURLs(const std::vector<URL>& urls);

// The items revealed in this process, in order.
std::vector<URL> revealedURLs();

} // namespace zestrel::platform
