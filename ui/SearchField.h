#pragma once

#include "platform/appkit/NSSearchField.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace zestrel {

// A search field for declarative views that takes the keyboard focus as soon as its window
// shows it, and in the plain style draws no focus ring and only a plain layer. Its text and
// the binding follow each other. Main thread only.
struct SearchField {
    platform::swiftui::Binding<std::string> text;
    bool drawsBackground = true;
    std::optional<std::string> placeholder;
    // A system font of this size when given.
    std::optional<double> fontSize;
    bool isPlainStyle = false;

    explicit SearchField(platform::swiftui::Binding<std::string> text, bool drawsBackground = true,
                         std::optional<std::string> placeholder = std::nullopt,
                         std::optional<double> fontSize = std::nullopt, bool isPlainStyle = false);

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

    // The AppKit field: asks its window for the focus when it moves into one.
    class CocoaSearchField final : public platform::NSSearchField {
    public:
        using platform::NSSearchField::NSSearchField;
        std::string className() const override { return "SearchField.CocoaSearchField"; }
        void viewDidMoveToWindow() override;
    };

    // The field's delegate: the user's edits go into the binding of the view as last
    // updated. Made only with a view.
    class Coordinator;

private:
    std::shared_ptr<CocoaSearchField>
    makeField(const std::shared_ptr<Coordinator>& coordinator) const;
    void updateField(CocoaSearchField& field) const;
};

class SearchField::Coordinator final : public platform::NSObject,
                                       public platform::NSControlTextEditingDelegate {
public:
    explicit Coordinator(SearchField view) : view(std::move(view)) {}
    std::string className() const override { return "SearchField.Coordinator"; }
    void controlTextDidChange(const platform::Notification& notification) override;

    SearchField view;
};

} // namespace zestrel
