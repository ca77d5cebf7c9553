#include "ui/Pasteboard.h"

#include "foundation/QVApp.h"
#include "platform/data/UTType.h"
#include "services/TemporaryFileTracker.h"

#include <memory>

namespace zestrel {

using platform::NSPasteboard;
using platform::NSPasteboardItem;
using platform::NSPasteboardType;

namespace {

void markSource(NSPasteboard& pasteboard) {
    pasteboard.setString(QVApp::id(), pasteboardTypeSource());
}

} // namespace

const NSPasteboardType& pasteboardTypeSource() {
    static const auto* const type = new NSPasteboardType{"org.nspasteboard.source"};
    return *type;
}

void copyToPasteboard(const std::string& text, std::function<void()> completion) {
    auto pasteboard = NSPasteboard::general();
    pasteboard->prepareForNewContents();
    pasteboard->setString(text, NSPasteboardType::string);
    markSource(*pasteboard);
    if (completion) {
        completion();
    }
}

void copyToPasteboard(const platform::URL& url, std::function<void()> completion) {
    auto item = std::make_shared<NSPasteboardItem>();
    setURL(*item, url);
    auto pasteboard = NSPasteboard::general();
    pasteboard->prepareForNewContents();
    pasteboard->writeObjects({item});
    markSource(*pasteboard);
    if (completion) {
        completion();
    }
}

std::optional<platform::Data> pngData(const platform::NSImage& image) {
    // The bitmap made from the TIFF form is the image's own bitmap here, so its PNG is that.
    if (!image.tiffRepresentation()) {
        return std::nullopt;
    }
    return image.pngRepresentation();
}

void copyToPasteboard(const platform::NSImage& image, bool includingFileURL) {
    auto item = std::make_shared<NSPasteboardItem>();
    if (auto tiff = image.tiffRepresentation()) {
        item->setData(std::move(*tiff), NSPasteboardType::tiff);
    }
    if (includingFileURL) {
        if (auto png = pngData(image)) {
            try {
                const auto directory = createUniqueTemporaryDirectory();
                const auto file = platform::appendingPathComponent(
                    directory, "file", *platform::UTType::withIdentifier("public.png"));
                writeFileContents(file, std::string_view(reinterpret_cast<const char*>(png->data()),
                                                         png->size()));
                setURL(*item, file);
            } catch (const std::exception&) {
                // Without a file the image itself is still copied.
            }
        }
    }
    auto pasteboard = NSPasteboard::general();
    pasteboard->prepareForNewContents();
    pasteboard->writeObjects({item});
    markSource(*pasteboard);
}

void copyToPasteboard(const std::function<std::shared_ptr<platform::NSImage>()>& makeImage,
                      bool includingFileURL, std::function<void()> completion) {
    if (auto image = makeImage ? makeImage() : nullptr) {
        copyToPasteboard(*image, includingFileURL);
    }
    if (completion) {
        completion();
    }
}

bool setURL(NSPasteboardItem& item, const platform::URL& url) {
    if (url.isFileURL()) {
        return item.setString(url.absoluteString(), NSPasteboardType::fileURL) &&
               item.setString(url.path(), NSPasteboardType::string);
    }
    std::string text = url.absoluteString();
    if (!item.setString(text, NSPasteboardType::URL)) {
        return false;
    }
    constexpr std::string_view kMailto = "mailto:";
    if (text.starts_with(kMailto)) {
        text.erase(0, kMailto.size());
    }
    return item.setString(text, NSPasteboardType::string);
}

} // namespace zestrel
