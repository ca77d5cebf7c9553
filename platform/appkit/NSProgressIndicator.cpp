#include "platform/appkit/NSProgressIndicator.h"

namespace zestrel::platform {

void NSProgressIndicator::describeOutline(OutlineNode& node) const {
    node.kind = "progress";
    if (style_ == Style::spinning) {
        node.traits.emplace_back("spinning");
    }
    if (animating_) {
        node.traits.emplace_back("animating");
    }
}

std::shared_ptr<NSStackView>
NSStackView::withViews(const std::vector<std::shared_ptr<NSView>>& views) {
    auto stack = std::make_shared<NSStackView>();
    for (const auto& view : views) {
        stack->addArrangedSubview(view);
    }
    return stack;
}

void NSStackView::describeOutline(OutlineNode& node) const {
    node.kind = "stack";
}

} // namespace zestrel::platform
