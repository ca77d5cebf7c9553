#include "ui/TextControls.h"

#include "foundation/LaunchModes.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "ui/ViewUtilities.h"

#include <charconv>
#include <limits>

namespace zestrel {

using platform::NSEvent;
using Flags = platform::NSEvent::ModifierFlags;

namespace {

Flags comparableFlags(const NSEvent& event) {
    return launchGestureFlags(event.eventModifierFlags());
}

std::optional<std::int64_t> parseInteger(const std::string& text) {
    std::string_view digits = text;
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
        if (digits.starts_with('-') || digits.starts_with('+')) {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
        return std::nullopt;
    }
    return value;
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

std::int64_t saturatingSubtract(std::int64_t a, std::int64_t b) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::min()
                     : std::numeric_limits<std::int64_t>::max();
    }
    return difference;
}

bool sendEditAction(const std::string& action, const std::shared_ptr<platform::NSResponder>& target,
                    const std::shared_ptr<platform::NSObject>& sender) {
    return platform::NSApp().sendAction(action, target, sender);
}

} // namespace

std::optional<bool> handleEditShortcut(const NSEvent& event,
                                       const std::shared_ptr<platform::NSResponder>& target,
                                       const std::shared_ptr<platform::NSObject>& sender) {
    if (event.type() != NSEvent::EventType::keyDown) {
        return std::nullopt;
    }
    const Flags flags = comparableFlags(event);
    const std::string characters = event.charactersIgnoringModifiers().value_or("");
    if (flags == (Flags::control | Flags::command) && characters == " ") {
        platform::NSApp().performAction("orderFrontCharacterPalette:", sender);
        return true;
    }
    if (flags == Flags::command) {
        std::string action;
        if (characters == "x") {
            action = "cut:";
        } else if (characters == "c") {
            action = "copy:";
        } else if (characters == "v") {
            action = "paste:";
        } else if (characters == "z") {
            action = "undo:";
        } else if (characters == "a") {
            action = "selectAll:";
        }
        if (!action.empty()) {
            if (action == "undo:" && target && !target->respondsToAction(action)) {
                return false;
            }
            if (sendEditAction(action, target, sender)) {
                return true;
            }
        }
    }
    if (flags == (Flags::shift | Flags::command) && characters == "Z") {
        if (target && !target->respondsToAction("redo:")) {
            return false;
        }
        if (sendEditAction("redo:", target, sender)) {
            return true;
        }
    }
    return std::nullopt;
}

void installEditShortcuts() {
    platform::NSTextView::setKeyEquivalentHook(
        [](platform::NSTextView& view, const NSEvent& event) -> std::optional<bool> {
            if (platform::NSApp().activationPolicy() !=
                platform::NSApplicationActivationPolicy::accessory) {
                return std::nullopt;
            }
            return handleEditShortcut(event, nullptr, view.shared_from_this());
        });
}

std::shared_ptr<IntTextField> IntTextField::make(platform::CGRect frame) {
    auto field = std::make_shared<IntTextField>(Key{}, frame);
    field->setDelegate(std::static_pointer_cast<IntTextField>(field));
    return field;
}

IntTextField::IntTextField(Key, platform::CGRect frame) : NSTextField(frame) {}

std::int64_t IntTextField::integerValue() const {
    return parseInteger(stringValue()).value_or(0);
}

bool IntTextField::isOutOfRange(std::int64_t value) const {
    return minMax && (value < minMax->first || value > minMax->second);
}

void IntTextField::valueChanged() {
    if (isOutOfRange(integerValue())) {
        shakeRejected(*this);
    }
    if (onValueChange) {
        auto callback = onValueChange;
        callback(integerValue());
    }
}

bool IntTextField::performKeyEquivalent(const NSEvent& event) {
    // The field takes the arrows only while it is being edited (the stand-in has no separate
    // field editor: the field itself is first responder then), or when nothing is.
    auto window = this->window();
    auto first = window ? window->firstResponder() : nullptr;
    if (first && first.get() != this) {
        return NSTextField::performKeyEquivalent(event);
    }
    const auto key = event.specialKey();
    const bool up = key == NSEvent::SpecialKey::upArrow;
    const bool down = key == NSEvent::SpecialKey::downArrow;
    if (!up && !down) {
        return NSTextField::performKeyEquivalent(event);
    }
    const std::int64_t step = comparableFlags(event) == Flags::option ? alternativeDelta : delta;
    const std::int64_t current = integerValue();
    const std::int64_t next = up ? saturatingAdd(current, step) : saturatingSubtract(current, step);
    setStringValue(std::to_string(next));
    valueChanged();
    return true;
}

void IntTextField::controlTextDidChange(const platform::Notification& /*notification*/) {
    if (stringValue().empty()) {
        return;
    }
    const std::int64_t value = integerValue();
    // Still typing the digits of a number that will be in range.
    if (minMax && value > 0 && value < minMax->first) {
        return;
    }
    valueChanged();
}

void IntTextField::controlTextDidEndEditing(const platform::Notification& /*notification*/) {
    const std::int64_t value = integerValue();
    if (isOutOfRange(value)) {
        shakeRejected(*this);
    }
    if (onBlur) {
        auto callback = onBlur;
        callback(value);
    }
}

std::shared_ptr<CocoaLabel> CocoaLabel::make() {
    auto label = std::make_shared<CocoaLabel>();
    label->setStringValue("");
    label->setEditable(false);
    label->setSelectable(false);
    label->setDrawsBackground(false);
    return label;
}

void CocoaLabel::setEnabled(bool enabled) {
    NSTextField::setEnabled(enabled);
    setTextColorName(enabled ? "labelColor" : "secondaryLabelColor");
}

void CocoaLabel::viewDidMoveToSuperview() {
    if (superview()) {
        setFrameSize(sizeThatFits(platform::CGSize{std::numeric_limits<double>::infinity(),
                                                   std::numeric_limits<double>::infinity()}));
    }
}

void AutofocusedTextField::viewDidMoveToWindow() {
    if (auto window = this->window()) {
        window->makeFirstResponder(std::static_pointer_cast<NSResponder>(shared_from_this()));
    }
}

bool AutoselectOnFocusTextField::becomeFirstResponder() {
    if (!NSTextField::becomeFirstResponder()) {
        return false;
    }
    auto editor = currentEditor();
    if (!editor) {
        return true;
    }
    std::weak_ptr<NSTextField> weakField =
        std::static_pointer_cast<NSTextField>(shared_from_this());
    std::weak_ptr<platform::NSTextView> weakEditor = editor;
    auto timer = platform::Timer::make(0.0, false, [weakField, weakEditor](platform::Timer&) {
        auto field = weakField.lock();
        auto editor = weakEditor.lock();
        // By then the focus may have moved on: the editor then holds another field's text.
        if (field && editor && field->currentEditor() == editor) {
            editor->performAction("selectAll:", field);
        }
    });
    platform::RunLoop::main().add(timer, platform::RunLoopMode::defaultMode);
    return true;
}

void NativeTextFieldCoordinator::controlTextDidChange(const platform::Notification& notification) {
    if (auto field = notification.object.asObject<platform::NSTextField>()) {
        text_.set(field->stringValue());
    }
}

void NativeTextFieldCoordinator::focusIfNeeded(const std::shared_ptr<platform::NSTextField>& field,
                                               bool isFirstResponder) {
    std::weak_ptr<NativeTextFieldCoordinator> weakSelf = shared_from_this();
    std::weak_ptr<platform::NSTextField> weakField = field;
    platform::DispatchQueue::main().async([weakSelf, weakField, isFirstResponder] {
        auto self = weakSelf.lock();
        auto field = weakField.lock();
        if (!self || !field || !isFirstResponder || self->didBecomeFirstResponder_) {
            return;
        }
        auto window = field->window();
        if (!window || window->firstResponder() == field) {
            return;
        }
        window->makeFirstResponder(field);
        self->didBecomeFirstResponder_ = true;
    });
}

NativeTextField::NativeTextField(platform::swiftui::Binding<std::string> text,
                                 NativeTextFieldOptions options)
    : View(Build([text = std::move(text), options = std::move(options)](
                     platform::swiftui::ViewContext& context, platform::swiftui::Nodes& into) {
          // Names no view property can have; the coordinator lives as long as the field.
          auto coordinator = context.slot<NativeTextFieldCoordinator>(
              ".coordinator", [&] { return std::make_shared<NativeTextFieldCoordinator>(text); });
          coordinator->setText(text);
          platform::swiftui::ViewRepresentable(
              [coordinator, isSingleLine = options.isSingleLine] {
                  auto field = std::make_shared<NativeTextFieldControl>();
                  field->setDelegate(coordinator);
                  if (isSingleLine) {
                      field->usesSingleLineMode = true;
                      field->wraps = false;
                      field->isScrollable = true;
                      field->maximumNumberOfLines = 1;
                  }
                  return field;
              },
              [coordinator, text, options](platform::NSView& view) {
                  auto field =
                      std::dynamic_pointer_cast<NativeTextFieldControl>(view.shared_from_this());
                  if (!field) {
                      return;
                  }
                  field->setStringValue(text.get());
                  field->setPlaceholderString(options.placeholder);
                  if (options.font) {
                      field->font = options.font;
                  }
                  if (options.roundedStyle) {
                      field->roundedBezel = true;
                  }
                  coordinator->focusIfNeeded(field, options.isFirstResponder);
              })
              .build(context, into);
      })) {}

std::shared_ptr<platform::NSButton> buttonWithTitle(std::string title) {
    return platform::NSButton::withTitle(std::move(title));
}

bool boolValue(const platform::NSButton& button) {
    return button.state() != platform::NSControlStateValue::off;
}

void setBoolValue(platform::NSButton& button, bool value) {
    button.setState(value ? platform::NSControlStateValue::on : platform::NSControlStateValue::off);
}

} // namespace zestrel
