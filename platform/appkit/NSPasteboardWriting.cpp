#include "platform/appkit/NSPasteboardWriting.h"

namespace zestrel::platform {

bool writeObjects(NSPasteboard& pasteboard, const std::vector<std::string>& texts) {
    std::vector<std::shared_ptr<NSPasteboardItem>> items;
    for (const std::string& text : texts) {
        auto item = std::make_shared<NSPasteboardItem>();
        item->setString(text, NSPasteboardType::string);
        items.push_back(std::move(item));
    }
    return pasteboard.writeObjects(items);
}

bool writeObjects(NSPasteboard& pasteboard, const std::vector<std::shared_ptr<NSImage>>& images) {
    std::vector<std::shared_ptr<NSPasteboardItem>> items;
    for (const auto& image : images) {
        auto tiff = image ? image->tiffRepresentation() : std::nullopt;
        if (!tiff) {
            return false;
        }
        auto item = std::make_shared<NSPasteboardItem>();
        item->setData(std::move(*tiff), NSPasteboardType::tiff);
        items.push_back(std::move(item));
    }
    return pasteboard.writeObjects(items);
}

} // namespace zestrel::platform
