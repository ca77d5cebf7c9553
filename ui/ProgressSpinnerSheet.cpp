#include "ui/ProgressSpinnerSheet.h"

#include "platform/appkit/NSLayoutConstraint.h"
#include "platform/base/DispatchQueue.h"
#include "ui/ViewUtilities.h"

namespace zestrel {

using platform::NSLayoutConstraint;
using platform::NSStackView;

std::shared_ptr<ProgressSpinnerSheet> ProgressSpinnerSheet::make() {
    auto sheet = std::make_shared<ProgressSpinnerSheet>(Key{});
    sheet->setContentView(sheet->container_);
    // A window's content view has no superview here to be pinned into with these margins;
    // the stack's own insets give it the same room around the spinner and the text.
    sheet->container_->setEdgeInsets({30, 80, 30, 80});
    using Attribute = NSLayoutConstraint::Attribute;
    // The text wraps rather than squeezing, and never runs wider than 300 points.
    sheet->label_->setContentCompressionResistancePriority(
        2000, platform::NSView::Orientation::horizontal);
    NSLayoutConstraint::activateConstraints({
        NSLayoutConstraint::make(sheet->label_, Attribute::width,
                                 NSLayoutConstraint::Relation::lessThanOrEqual, nullptr,
                                 Attribute::notAnAttribute, 300),
        NSLayoutConstraint::make(sheet->label_, Attribute::centerX, sheet->container_,
                                 Attribute::centerX, 0),
        NSLayoutConstraint::make(sheet->spinner_, Attribute::centerX, sheet->container_,
                                 Attribute::centerX, 0),
    });
    return sheet;
}

ProgressSpinnerSheet::ProgressSpinnerSheet(Key)
    : NSWindow(platform::CGRect{}, StyleMask::titled, BackingStoreType::buffered, true),
      spinner_(std::make_shared<platform::NSProgressIndicator>()), label_(CocoaLabel::make()) {
    spinner_->setIndeterminate(true);
    spinner_->setStyle(platform::NSProgressIndicator::Style::spinning);
    spinner_->setUsesThreadedAnimation(true);
    spinner_->setTranslatesAutoresizingMaskIntoConstraints(false);
    label_->setHidden(true);
    container_ = NSStackView::withViews({spinner_, label_});
    container_->setOrientation(NSStackView::Orientation::vertical);
    container_->setSpacing(20);
    container_->setHuggingPriority(750, NSStackView::Orientation::horizontal);
    container_->setHuggingPriority(750, NSStackView::Orientation::vertical);
}

void ProgressSpinnerSheet::setText(std::string text) {
    text_ = std::move(text);
    label_->setHidden(text_.empty());
    label_->setStringValue(text_);
}

void ProgressSpinnerSheet::present(const std::shared_ptr<platform::NSWindow>& presenter) {
    presenterWindow_ = presenter;
    spinner_->startAnimation();
    isShown_ = true;
    presenter->beginSheet(std::static_pointer_cast<NSWindow>(shared_from_this()));
}

void ProgressSpinnerSheet::dismiss() {
    std::weak_ptr<ProgressSpinnerSheet> weak =
        std::static_pointer_cast<ProgressSpinnerSheet>(shared_from_this());
    platform::DispatchQueue::main().async([weak] {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (auto presenter = self->presenterWindow()) {
            presenter->endSheet(self);
        }
        self->spinner_->stopAnimation();
        self->isShown_ = false;
        self->setText("");
    });
}

void ProgressSpinnerSheet::cancelOperation() {
    dismiss();
    if (onCancel) {
        auto callback = onCancel;
        callback();
    }
}

} // namespace zestrel
