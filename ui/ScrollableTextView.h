#pragma once

#include "platform/appkit/NSView.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/Controls.h"

#include <memory>
#include <optional>
#include <string>

namespace zestrel {

// The text view of a scrollable text editor: it shows a placeholder while its text is empty
// and keeps the editor's text-substitution choices.
class PlaceholderTextView : public platform::NSTextView {
public:
    using NSTextView::NSTextView;
    std::string className() const override { return "Zestrel.PlaceholderTextView"; }

    std::optional<std::string> placeholderString;
    platform::CGSize textContainerInset{5, 10};
    std::optional<int> maximumNumberOfLines;
    bool isAutomaticQuoteSubstitutionEnabled = false;
    bool isAutomaticDashSubstitutionEnabled = false;
    bool isAutomaticTextReplacementEnabled = false;
    bool isAutomaticSpellingCorrectionEnabled = false;

    void describeOutline(platform::OutlineNode& node) const override;
};

// What a multi-line text editor shows and allows; applied on every update.
struct ScrollableTextViewOptions {
    platform::NSFont font;
    // The scroll view's border, background and focus ring.
    platform::NSBorderType borderType = platform::NSBorderType::noBorder;
    bool drawsBackground = false;
    platform::NSFocusRingType focusRingType = platform::NSFocusRingType::defaultType;
    bool isEditable = true;
    std::optional<std::string> placeholder;
    // When false, Tab and Shift-Tab move the focus instead of typing a tab.
    bool allowsTab = false;
    std::optional<platform::CGSize> textInset;
    std::optional<int> lineLimit;
    bool isAutomaticQuoteSubstitutionEnabled = false;
    bool isAutomaticDashSubstitutionEnabled = false;
    bool isAutomaticTextReplacementEnabled = false;
    bool isAutomaticSpellingCorrectionEnabled = false;
};

// Keeps a text binding and a multi-line text view in step: the user's typing goes into the
// binding, and the binding's text into the view only when they differ, so that the insertion
// point stays put while typing.
class ScrollableTextViewCoordinator
    : public platform::NSTextViewDelegate,
      public std::enable_shared_from_this<ScrollableTextViewCoordinator> {
public:
    explicit ScrollableTextViewCoordinator(platform::swiftui::Binding<std::string> text)
        : text_(std::move(text)) {}
    // Each update hands over the binding of the view as it is now.
    void setText(platform::swiftui::Binding<std::string> text) { text_ = std::move(text); }

    // A scroll view whose document is a PlaceholderTextView delegating to this coordinator.
    std::shared_ptr<platform::NSScrollView> makeView(const ScrollableTextViewOptions& options);
    void update(platform::NSScrollView& scrollView, const ScrollableTextViewOptions& options);

    void textDidChange(const platform::Notification& notification) override;
    bool doCommandBySelector(platform::NSTextView& textView, const std::string& selector) override;

private:
    platform::swiftui::Binding<std::string> text_;
    bool allowsTab_ = false;
};

// A scrollable multi-line text editor for declarative views, bound to a text value.
class ScrollableTextView final : public platform::swiftui::View {
public:
    ScrollableTextView(platform::swiftui::Binding<std::string> text,
                       ScrollableTextViewOptions options);
};

} // namespace zestrel
