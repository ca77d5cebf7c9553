#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/desktop/NSPasteboard.h"

#include <functional>
#include <optional>
#include <string>

namespace zestrel {

// "org.nspasteboard.source": every copy the app makes also writes its bundle identifier
// under this type, after the content, so that clipboard tools can tell who wrote it.
const platform::NSPasteboardType& pasteboardTypeSource();

// Copies text to the general pasteboard (string type, then the source marker). The
// completion, when given, runs last.
void copyToPasteboard(const std::string& text, std::function<void()> completion = {});
// Copies a link or file location: one item written by setURL, then the source marker.
void copyToPasteboard(const platform::URL& url, std::function<void()> completion = {});

// Copies an image: its TIFF form when it has one, and with `includingFileURL` also the location
// of a PNG file of it written to a new temporary directory (left out when that fails), then
// the source marker.
void copyToPasteboard(const platform::NSImage& image, bool includingFileURL);
// The same with the image supplied by `makeImage`; the completion, when given, runs last.
void copyToPasteboard(const std::function<std::shared_ptr<platform::NSImage>()>& makeImage,
                      bool includingFileURL, std::function<void()> completion = {});

// The image as PNG data, read through its TIFF form; nothing for an image without pixels.
std::optional<platform::Data> pngData(const platform::NSImage& image);

// Writes a URL into one item: a file URL as the file-URL type and its path as text; any other
// URL as the URL type and as text, an e-mail link as the bare address. False at the first
// write that fails.
bool setURL(platform::NSPasteboardItem& item, const platform::URL& url);

} // namespace zestrel
