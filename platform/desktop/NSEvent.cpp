#include "platform/desktop/NSEvent.h"

#include <atomic>

namespace zestrel::platform {
namespace {

// The keyboard outlives any one process on the desktop, so this is not process state.
std::atomic<std::uint64_t> heldModifierFlags{0};

} // namespace

NSEvent::ModifierFlags NSEvent::modifierFlags() {
    return {heldModifierFlags.load(std::memory_order_acquire)};
}

void NSEvent::setHeldModifierFlags(ModifierFlags flags) {
    heldModifierFlags.store(flags.rawValue, std::memory_order_release);
}

} // namespace zestrel::platform

#include "platform/desktop/CGEvent.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/KeyboardLayout.h"

namespace zestrel::platform {

std::optional<NSEvent::SpecialKey> NSEvent::SpecialKey::of(char32_t character) {
    switch (character) {
    case 0x03:
    case 0x08:
    case 0x09:
    case 0x0A:
    case 0x0C:
    case 0x0D:
    case 0x19:
    case 0x7F:
    case 0x2028:
    case 0x2029:
        return SpecialKey{character};
    default:
        break;
    }
    if (character >= 0xF700 && character <= 0xF8FF) {
        return SpecialKey{character};
    }
    return std::nullopt;
}

std::shared_ptr<NSEvent> NSEvent::eventWithCGEvent(const std::shared_ptr<CGEvent>& event) {
    if (!event || EventSystem::current()->faults().nsEventFromCGEvent) {
        return nullptr;
    }
    const auto type = static_cast<std::uint32_t>(event->type());
    if (type >= 64) {
        return nullptr; // a disable notice is not an event
    }
    return std::make_shared<NSEvent>(*event, InputSources::current()->currentLayout());
}

std::shared_ptr<NSEvent> NSEvent::mouseEvent(EventType type, ModifierFlags flags,
                                             const MouseDetails& details) {
    if (!isMouseType(type) && !isPointerType(type)) {
        return nullptr;
    }
    const CGEvent event(static_cast<CGEventType>(type), 0, CGEventFlags{flags.rawValue});
    auto made = std::make_shared<NSEvent>(event, nullptr);
    made->mouse_ = details;
    return made;
}

NSEvent::NSEvent(const CGEvent& event, std::shared_ptr<const KeyboardLayout> layout)
    : event_(std::make_shared<const CGEvent>(event)), layout_(std::move(layout)),
      type_(static_cast<EventType>(event.type())),
      keyCode_(event.keyCode()), flags_{event.flags().rawValue} {
    if (isMouseType(type_)) {
        mouse_.clickCount = 1; // a Quartz event here carries no click state: a single click
        mouse_.pressure = 1;
    }
}

std::shared_ptr<NSEvent> NSEvent::mouseEvent(EventType type, CGPoint locationInWindow) {
    MouseDetails details;
    details.locationInWindow = locationInWindow;
    return mouseEvent(type, modifierFlags(), details);
}

std::optional<std::string> NSEvent::characters() const {
    return charactersByApplyingModifiers(flags_);
}

std::optional<std::string> NSEvent::charactersIgnoringModifiers() const {
    return charactersByApplyingModifiers(flags_ & ModifierFlags::shift);
}

std::optional<std::string> NSEvent::charactersByApplyingModifiers(ModifierFlags modifiers) const {
    if ((type_ != EventType::keyDown && type_ != EventType::keyUp) || !layout_) {
        return std::nullopt;
    }
    return layout_->characters(keyCode_, modifiers.contains(ModifierFlags::shift),
                               modifiers.contains(ModifierFlags::capsLock),
                               modifiers.contains(ModifierFlags::option));
}

std::optional<NSEvent::SpecialKey> NSEvent::specialKey() const {
    if ((type_ != EventType::keyDown && type_ != EventType::keyUp) || !layout_) {
        return std::nullopt;
    }
    return layout_->specialKey(keyCode_, flags_.contains(ModifierFlags::shift));
}

std::shared_ptr<CGEvent> NSEvent::cgEvent() const {
    if (EventSystem::current()->faults().cgEventFromNSEvent) {
        return nullptr;
    }
    return std::make_shared<CGEvent>(*event_);
}

} // namespace zestrel::platform
