#include "ui/SearchField.h"

#include "platform/appkit/CALayer.h"
#include "platform/appkit/NSWindow.h"
#include "platform/swiftui/Controls.h"

#include <utility>

namespace zestrel {

namespace sui = platform::swiftui;

SearchField::SearchField(sui::Binding<std::string> text, bool drawsBackground,
                         std::optional<std::string> placeholder, std::optional<double> fontSize,
                         bool isPlainStyle)
    : text(std::move(text)), drawsBackground(drawsBackground), placeholder(std::move(placeholder)),
      fontSize(fontSize), isPlainStyle(isPlainStyle) {}

sui::View SearchField::body(sui::ViewContext& context) const {
    // The delegate lives as long as the field's place; the field holds it weakly.
    auto coordinator = context.slot<Coordinator>(
        "coordinator", [this] { return std::make_shared<Coordinator>(*this); });
    return sui::ViewRepresentable(
        [self = *this, coordinator] { return self.makeField(coordinator); },
        [self = *this, coordinator](platform::NSView& view) {
            // The view may come back with another binding: the user's edits follow it.
            coordinator->view = self;
            self.updateField(static_cast<CocoaSearchField&>(view));
        });
}

std::shared_ptr<SearchField::CocoaSearchField>
SearchField::makeField(const std::shared_ptr<Coordinator>& coordinator) const {
    auto field = std::make_shared<CocoaSearchField>();
    field->setWantsLayer(true);
    field->setTranslatesAutoresizingMaskIntoConstraints(false);
    field->setContentHuggingPriority(750, platform::NSView::Orientation::horizontal);
    field->setContentHuggingPriority(750, platform::NSView::Orientation::vertical);
    field->setDelegate(coordinator);
    if (isPlainStyle) {
        field->setFocusRingType(platform::NSFocusRingType::none);
        field->setLayer(std::make_shared<platform::CALayer>());
    }
    return field;
}

void SearchField::updateField(CocoaSearchField& field) const {
    field.setDrawsBackground(drawsBackground);
    field.setPlaceholderString(placeholder);
    // Writing an equal text back would disturb the typing under way.
    if (const auto current = text.get(); field.stringValue() != current) {
        field.setStringValue(current);
    }
    if (fontSize) {
        field.setFont(platform::NSFont::systemFont(*fontSize));
    }
}

void SearchField::CocoaSearchField::viewDidMoveToWindow() {
    if (auto window = this->window()) {
        window->makeFirstResponder(std::static_pointer_cast<CocoaSearchField>(shared_from_this()));
    }
}

void SearchField::Coordinator::controlTextDidChange(const platform::Notification& notification) {
    if (auto field = notification.object.asObject<CocoaSearchField>()) {
        view.text.set(field->stringValue());
    }
}

} // namespace zestrel
