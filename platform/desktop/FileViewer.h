#pragma once

#include "platform/base/Value.h"

#include <vector>

namespace zestrel::platform {

// `NSWorkspace.activateFileViewerSelectingURLs`: the Finder reveals items. It shows the first
// item's folder in its window, with that item and the following ones of the same folder
// selected, and comes to the front. A package (an .app) is revealed like any item, never
// opened. Each item revealed is recorded for the process and written to the desktop's log
// ("Finder revealed PATH"); each one refused is logged with the reason ("Finder did not reveal
// PATH: it does not exist"): an item that does not exist, one in another folder than the
// first, one the Finder will not show (a Finder kept in a folder, as the console's, shows
// nothing outside it), or any item while no Finder runs. With nothing revealed the Finder
// stays as it was. Main thread only.
void activateFileViewerSelectingURLs(const std::vector<URL>& urls);

// The items revealed in this process, in order.
std::vector<URL> revealedURLs();

} // namespace zestrel::platform
