#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSView.h"

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

    void describeOutline(OutlineNode& node) const override {
        node.kind = "image";
        node.label = image_ ? image_->name() : "";
    }

private:
    std::shared_ptr<NSImage> image_;
};

} // namespace zestrel::platform
