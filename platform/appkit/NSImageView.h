#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSView.h"

#include <algorithm>

namespace zestrel::platform {

// A view that shows an image.
class NSImageView : public NSControl {
public:
    using NSControl::NSControl;
    static std::shared_ptr<NSImageView> withImage(std::shared_ptr<NSImage> image) {
        auto view = std::make_shared<NSImageView>();
        view->setImage(std::move(image));
        return view;
    }
    std::string className() const override { return "NSImageView"; }
    const std::shared_ptr<NSImage>& image() const { return image_; }
    void setImage(std::shared_ptr<NSImage> image) { image_ = std::move(image); }

    // The image scaled down to fit the bounds if it must, its sides kept in proportion,
    // and centred.
    void draw(CGRect /*dirtyRect*/) override {
        if (!image_ || image_->size().width <= 0 || image_->size().height <= 0) {
            return;
        }
        const CGSize size = image_->size();
        const CGRect area = bounds();
        const CGFloat scale =
            std::min({1.0, area.size.width / size.width, area.size.height / size.height});
        const CGSize drawn{size.width * scale, size.height * scale};
        image_->draw(CGRect{{area.origin.x + (area.size.width - drawn.width) / 2,
                             area.origin.y + (area.size.height - drawn.height) / 2},
                            drawn});
    }

    void describeOutline(OutlineNode& node) const override {
        node.kind = "image";
        node.label = image_ ? image_->name() : "";
    }

private:
    std::shared_ptr<NSImage> image_;
};

} // namespace zestrel::platform
