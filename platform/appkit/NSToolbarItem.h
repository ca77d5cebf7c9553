#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSMenu.h"

#include <memory>
#include <string>
#include <utility>

namespace zestrel::platform {

// One item of a window's toolbar, known by its identifier. Main thread only.
class NSToolbarItem : public NSObject {
public:
    explicit NSToolbarItem(std::string itemIdentifier)
        : itemIdentifier_(std::move(itemIdentifier)) {}
    std::string className() const override { return "NSToolbarItem"; }

    const std::string& itemIdentifier() const { return itemIdentifier_; }
    std::string label;
    std::shared_ptr<NSImage> image;

private:
    std::string itemIdentifier_;
};

// A toolbar item that opens a menu when clicked; the indicator is the small arrow beside it.
class NSMenuToolbarItem : public NSToolbarItem {
public:
    using NSToolbarItem::NSToolbarItem;
    std::string className() const override { return "NSMenuToolbarItem"; }

    std::shared_ptr<NSMenu> menu;
    bool showsIndicator = true;
};

} // namespace zestrel::platform
