#include "ui/ScrollableTextView.h"

#include "platform/appkit/NSWindow.h"

namespace zestrel {

void PlaceholderTextView::describeOutline(platform::OutlineNode& node) const {
    NSTextView::describeOutline(node);
    if (string().empty() && placeholderString) {
        node.label = *placeholderString;
        node.traits.emplace_back("placeholder");
    }
}

std::shared_ptr<platform::NSScrollView>
ScrollableTextViewCoordinator::makeView(const ScrollableTextViewOptions& options) {
    auto scrollView = std::make_shared<platform::NSScrollView>();
    scrollView->setHasVerticalScroller(true);
    auto textView = std::make_shared<PlaceholderTextView>();
    scrollView->setDocumentView(textView);
    textView->setDelegate(shared_from_this());
    textView->setDrawsBackground(false);
    textView->setAllowsUndo(true);
    textView->textContainerInset = options.textInset.value_or(platform::CGSize{5, 10});
    textView->setTextColorName("controlTextColor");
    update(*scrollView, options);
    return scrollView;
}

void ScrollableTextViewCoordinator::update(platform::NSScrollView& scrollView,
                                           const ScrollableTextViewOptions& options) {
    scrollView.setBorderType(options.borderType);
    scrollView.setDrawsBackground(options.drawsBackground);
    scrollView.setFocusRingType(options.focusRingType);
    auto textView = std::dynamic_pointer_cast<PlaceholderTextView>(scrollView.documentView());
    if (!textView) {
        return;
    }
    textView->setEditable(options.isEditable);
    textView->setFont(options.font);
    textView->placeholderString = options.placeholder;
    const std::string text = text_.get();
    if (textView->string() != text) {
        textView->setString(text);
    }
    if (options.lineLimit) {
        textView->maximumNumberOfLines = options.lineLimit;
    }
    allowsTab_ = options.allowsTab;
    textView->isAutomaticQuoteSubstitutionEnabled = options.isAutomaticQuoteSubstitutionEnabled;
    textView->isAutomaticDashSubstitutionEnabled = options.isAutomaticDashSubstitutionEnabled;
    textView->isAutomaticTextReplacementEnabled = options.isAutomaticTextReplacementEnabled;
    textView->isAutomaticSpellingCorrectionEnabled = options.isAutomaticSpellingCorrectionEnabled;
}

ScrollableTextView::ScrollableTextView(platform::swiftui::Binding<std::string> text,
                                       ScrollableTextViewOptions options)
    : View(Build([text = std::move(text), options = std::move(options)](
                     platform::swiftui::ViewContext& context, platform::swiftui::Nodes& into) {
          // A name no view property can have; the coordinator lives as long as the editor.
          auto coordinator = context.slot<ScrollableTextViewCoordinator>(".coordinator", [&] {
              return std::make_shared<ScrollableTextViewCoordinator>(text);
          });
          coordinator->setText(text);
          platform::swiftui::ViewRepresentable(
              [coordinator, options] { return coordinator->makeView(options); },
              [coordinator, options](platform::NSView& view) {
                  if (auto* scrollView = dynamic_cast<platform::NSScrollView*>(&view)) {
                      coordinator->update(*scrollView, options);
                  }
              })
              .build(context, into);
      })) {}

void ScrollableTextViewCoordinator::textDidChange(const platform::Notification& notification) {
    if (auto textView = notification.object.asObject<platform::NSTextView>()) {
        text_.set(textView->string());
    }
}

bool ScrollableTextViewCoordinator::doCommandBySelector(platform::NSTextView& textView,
                                                        const std::string& selector) {
    if (allowsTab_) {
        return false;
    }
    if (selector == "insertTab:" || selector == "insertBacktab:") {
        if (auto window = textView.window()) {
            if (selector == "insertTab:") {
                window->selectNextKeyView();
            } else {
                window->selectPreviousKeyView();
            }
        }
        return true;
    }
    return false;
}

} // namespace zestrel
