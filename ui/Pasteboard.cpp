#include "ui/Pasteboard.h"

#include "foundation/QVApp.h"

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
