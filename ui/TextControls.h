#pragma once

#include "platform/appkit/NSView.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/Controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace zestrel {

// The standard editing keystrokes for an application without an Edit menu: Command X, C, V,
// Z and A send cut:, copy:, paste:, undo: and selectAll:; Command-Shift-Z sends redo:;
// Control-Command-Space opens the character palette. Modifiers are compared exactly, with
// Caps Lock, numeric pad and Function ignored. Answers taken or refused, or nothing when the
// keystroke is not one of these (or no responder took it), so that the standard handling runs.
// A given target that does not implement undo: or redo: refuses them.
std::optional<bool> handleEditShortcut(const platform::NSEvent& event,
                                       const std::shared_ptr<platform::NSResponder>& target,
                                       const std::shared_ptr<platform::NSObject>& sender);

// Makes every text view of this process take the edit shortcuts before its standard handling,
// while the application is an accessory (menu-bar) app; a regular app is left alone. Called
// once at launch.
void installEditShortcuts();

// An integer field stepped with the arrow keys: Up adds `delta` (Option: `alternativeDelta`),
// Down subtracts it, saturating at the integer limits. A value outside `minMax` shakes the
// field. It is its own text delegate.
class IntTextField : public platform::NSTextField, public platform::NSControlTextEditingDelegate {
public:
    class Key {
        friend class IntTextField;
        explicit Key() = default;
    };
    static std::shared_ptr<IntTextField> make(platform::CGRect frame = {});
    IntTextField(Key, platform::CGRect frame);
    std::string className() const override { return "Zestrel.IntTextField"; }

    std::int64_t delta = 1;
    std::int64_t alternativeDelta = 10;
    std::function<void(std::int64_t)> onValueChange;
    std::function<void(std::int64_t)> onBlur;
    std::optional<std::pair<std::int64_t, std::int64_t>> minMax; // closed range

    bool canBecomeKeyView() const override { return true; }
    // The text read as a decimal integer (an optional sign); empty or unreadable text is 0.
    std::int64_t integerValue() const;

    bool performKeyEquivalent(const platform::NSEvent& event) override;
    void controlTextDidChange(const platform::Notification& notification) override;
    void controlTextDidEndEditing(const platform::Notification& notification) override;

private:
    bool isOutOfRange(std::int64_t value) const;
    void valueChanged();
};

// A label that dims when disabled.
class CocoaLabel : public platform::NSTextField {
public:
    static std::shared_ptr<CocoaLabel> make();
    std::string className() const override { return "Zestrel.CocoaLabel"; }
    void setEnabled(bool enabled) override;
    void viewDidMoveToSuperview() override;
};

// A text field that takes the keyboard focus when it enters a window.
class AutofocusedTextField : public platform::NSTextField {
public:
    using NSTextField::NSTextField;
    std::string className() const override { return "Zestrel.AutofocusedTextField"; }
    void viewDidMoveToWindow() override;
};

// A text field whose whole text is selected whenever it gains the keyboard focus, also by a
// click (which would otherwise only place the insertion point). The selection happens on the
// next pass of the run loop, after the focus change has settled.
class AutoselectOnFocusTextField : public platform::NSTextField {
public:
    using NSTextField::NSTextField;
    std::string className() const override { return "Zestrel.AutoselectOnFocusTextField"; }
    bool becomeFirstResponder() override;
};

// What a single-line text field bound to a text value does with its field: it writes the
// user's typing into the binding, and focuses the field once when asked to.
class NativeTextFieldCoordinator : public platform::NSControlTextEditingDelegate,
                                   public std::enable_shared_from_this<NativeTextFieldCoordinator> {
public:
    explicit NativeTextFieldCoordinator(platform::swiftui::Binding<std::string> text)
        : text_(std::move(text)) {}
    // Each update hands over the binding of the view as it is now.
    void setText(platform::swiftui::Binding<std::string> text) { text_ = std::move(text); }

    // A notification without a text field says nothing about the text: the binding keeps it.
    void controlTextDidChange(const platform::Notification& notification) override;
    // After an update: on the next pass of the main queue, makes the field first responder
    // when asked, unless this coordinator did so before or the field already is.
    void focusIfNeeded(const std::shared_ptr<platform::NSTextField>& field, bool isFirstResponder);
    bool didBecomeFirstResponder() const { return didBecomeFirstResponder_; }

private:
    platform::swiftui::Binding<std::string> text_;
    bool didBecomeFirstResponder_ = false;
};

// The field a NativeTextField makes: a text field that also keeps its font, its bezel and
// whether it stays on one line.
class NativeTextFieldControl : public platform::NSTextField {
public:
    using NSTextField::NSTextField;
    std::string className() const override { return "Zestrel.NativeTextFieldControl"; }

    std::optional<platform::NSFont> font;
    bool roundedBezel = false;
    // A single-line field neither wraps nor grows: its text scrolls sideways instead.
    bool usesSingleLineMode = false;
    bool wraps = true;
    bool isScrollable = false;
    // 0: as many as the text needs.
    int maximumNumberOfLines = 0;
};

struct NativeTextFieldOptions {
    std::optional<std::string> placeholder;
    std::optional<platform::NSFont> font;
    // Focus the field once, when it first reaches a window.
    bool isFirstResponder = false;
    bool roundedStyle = false;
    bool isSingleLine = true;
};

// A text field for declarative views bound to a text value; the binding's text is shown at
// each update and the user's typing is written back into it.
class NativeTextField final : public platform::swiftui::View {
public:
    NativeTextField(platform::swiftui::Binding<std::string> text,
                    NativeTextFieldOptions options = {});
};

// Button conveniences: a push button with a title and no action, and its state as a Bool.
std::shared_ptr<platform::NSButton> buttonWithTitle(std::string title);
bool boolValue(const platform::NSButton& button);
void setBoolValue(platform::NSButton& button, bool value);

} // namespace zestrel
