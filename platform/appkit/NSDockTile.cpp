#include "platform/appkit/NSDockTile.h"

#include "platform/appkit/CGContext.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSGraphicsContext.h"
#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSView.h"

namespace zestrel::platform {

void NSDockTile::display() {
    CGContext context(static_cast<std::size_t>(kSize.width),
                      static_cast<std::size_t>(kSize.height));
    if (contentView_) {
        contentView_->setFrame(CGRect{CGPoint{}, kSize});
        drawHierarchy(*contentView_, context);
    } else if (const auto icon = NSApp().applicationIconImage()) {
        NSGraphicsContext graphics(context, false);
        NSGraphicsContext::Scope scope(graphics);
        icon->draw(CGRect{CGPoint{}, kSize});
    }
    picture_ = context.makeImage();
    pictureTexts_ = context.drawnTexts();
    ++displayCount_;
}

OutlineNode outline(const NSDockTile& tile) {
    OutlineNode node;
    node.kind = "dock tile";
    node.label = tile.badgeLabel().value_or("");
    if (const auto content = tile.contentView()) {
        node.children.push_back(outline(*content));
    }
    for (const auto& text : tile.pictureTexts()) {
        node.children.emplace_back().kind = "text";
        node.children.back().label = text;
    }
    return node;
}

} // namespace zestrel::platform
