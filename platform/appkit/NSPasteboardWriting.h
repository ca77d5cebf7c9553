#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/desktop/NSPasteboard.h"

#include <memory>
#include <string>
#include <vector>

namespace zestrel::platform {

// `pasteboard.writeObjects(_:)` for what AppKit can write: each object becomes a new item
// after those already there. A text is written as plain text; an image as TIFF, from its
// bitmap. False, with nothing written, when an image has no pixels to write.
bool writeObjects(NSPasteboard& pasteboard, const std::vector<std::string>& texts);
bool writeObjects(NSPasteboard& pasteboard, const std::vector<std::shared_ptr<NSImage>>& images);

} // namespace zestrel::platform
