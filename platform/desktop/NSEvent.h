#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

class CarbonEvent;
class CGEvent;
class KeyboardLayout;

// The platform's event class: an immutable keyboard or mouse event made from a Quartz event;
// a key event's characters come from the keyboard layout current when it was made. The
// class itself answers the modifier keys held at this moment, which launch gestures read.
class NSEvent : public NSObject {
public:
    // The platform's 64-bit modifier mask: an option set over `rawValue`.
    struct ModifierFlags {
        std::uint64_t rawValue = 0;

        static const ModifierFlags capsLock;
        static const ModifierFlags shift;
        static const ModifierFlags control;
        static const ModifierFlags option;
        static const ModifierFlags command;
        static const ModifierFlags numericPad;
        static const ModifierFlags help;
        static const ModifierFlags function;
        // The bits that mean the same on every keyboard.
        static const ModifierFlags deviceIndependentFlagsMask;

        constexpr bool contains(ModifierFlags other) const {
            return (rawValue & other.rawValue) == other.rawValue;
        }
        constexpr bool isEmpty() const { return rawValue == 0; }
        constexpr ModifierFlags intersection(ModifierFlags other) const {
            return {rawValue & other.rawValue};
        }
        constexpr ModifierFlags subtracting(ModifierFlags other) const {
            return {rawValue & ~other.rawValue};
        }
        constexpr ModifierFlags operator|(ModifierFlags other) const {
            return {rawValue | other.rawValue};
        }
        constexpr ModifierFlags operator&(ModifierFlags other) const { return intersection(other); }
        constexpr bool operator==(const ModifierFlags&) const = default;
    };

    // A key that types no ordinary character: the platform's key character as `rawValue`.
    struct SpecialKey {
        std::uint32_t rawValue = 0;

        static const SpecialKey upArrow, downArrow, leftArrow, rightArrow;
        static const SpecialKey f1, f2, f3, f4, f5, f6, f7, f8, f9, f10;
        static const SpecialKey f11, f12, f13, f14, f15, f16, f17, f18, f19, f20;
        static const SpecialKey insert, deleteForward, home, end, pageUp, pageDown;
        static const SpecialKey clearLine, help;
        static const SpecialKey enter, backspace, tab, newline, formFeed, carriageReturn;
        static const SpecialKey backTab, delete_;

        // The special key a character is, if any.
        static std::optional<SpecialKey> of(char32_t character);
        constexpr auto operator<=>(const SpecialKey&) const = default;
    };

    // The event types (the same raw values as the Quartz types).
    enum class EventType : std::uint32_t {
        leftMouseDown = 1,
        leftMouseUp = 2,
        rightMouseDown = 3,
        rightMouseUp = 4,
        mouseMoved = 5,
        leftMouseDragged = 6,
        mouseEntered = 8,
        mouseExited = 9,
        keyDown = 10,
        keyUp = 11,
        flagsChanged = 12
    };
    // One bit per event type, 1 << type (`NSEvent.EventTypeMask`).
    using EventTypeMask = std::uint64_t;
    static constexpr EventTypeMask maskFor(EventType type) {
        return EventTypeMask{1} << static_cast<std::uint32_t>(type);
    }
    static constexpr EventTypeMask kAnyEventMask = ~EventTypeMask{0};

    // A local monitor sees the events this application receives, before the application
    // does: it answers the event to go on with (the same or another), or nothing to swallow
    // it. Monitors run in the order they were added; the token removes one. Process state:
    // once the process has ended, none is added and none runs.
    using LocalMonitorHandler =
        std::function<std::shared_ptr<NSEvent>(const std::shared_ptr<NSEvent>& event)>;
    static std::shared_ptr<NSObject> addLocalMonitorForEvents(EventTypeMask mask,
                                                              LocalMonitorHandler handler);
    // Removes a monitor by its token; nothing for a token already removed.
    static void removeMonitor(const std::shared_ptr<NSObject>& monitor);
    // What the application then receives: the event after every matching local monitor.
    static std::shared_ptr<NSEvent> runLocalMonitors(std::shared_ptr<NSEvent> event);

    // The modifier keys held now (`NSEvent.modifierFlags`). Callable from any thread.
    static ModifierFlags modifierFlags();
    // The keyboard's side: which modifier keys are down. Tests and the simulated desktop set it.
    static void setHeldModifierFlags(ModifierFlags flags);

    // `NSEvent(cgEvent:)`: nothing for a tap's disable notice, or when the desktop's fault
    // switch says so. The characters are those of the layout current now.
    static std::shared_ptr<NSEvent> eventWithCGEvent(const std::shared_ptr<CGEvent>& event);

    // What a mouse event says beyond its type and modifier flags.
    struct MouseDetails {
        CGPoint locationInWindow;
        double timestamp = 0; // seconds of the system's continuous time
        std::int64_t windowNumber = 0;
        std::int64_t eventNumber = 0;
        std::int64_t clickCount = 1;
        float pressure = 1;
    };
    // `mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:eventNumber:
    // clickCount:pressure:`; nothing for a type that is neither a mouse button's nor the
    // pointer's (moved, entered, exited).
    static std::shared_ptr<NSEvent> mouseEvent(EventType type, ModifierFlags flags,
                                               const MouseDetails& details);
    static constexpr bool isMouseType(EventType type) {
        return type == EventType::leftMouseDown || type == EventType::leftMouseUp ||
               type == EventType::rightMouseDown || type == EventType::rightMouseUp ||
               type == EventType::leftMouseDragged;
    }
    // The pointer moving, or entering or leaving a tracking area.
    static constexpr bool isPointerType(EventType type) {
        return type == EventType::mouseMoved || type == EventType::mouseEntered ||
               type == EventType::mouseExited;
    }

    NSEvent(const CGEvent& event, std::shared_ptr<const KeyboardLayout> layout);
    std::string className() const override { return "NSEvent"; }

    // A mouse event's details: a click's count and where it was; a key event has a click
    // count and pressure of 0.
    CGPoint locationInWindow() const { return mouse_.locationInWindow; }
    double timestamp() const { return mouse_.timestamp; }
    std::int64_t windowNumber() const { return mouse_.windowNumber; }
    std::int64_t eventNumber() const { return mouse_.eventNumber; }
    std::int64_t clickCount() const { return mouse_.clickCount; }
    float pressure() const { return mouse_.pressure; }
    // The same at a point of a window's coordinates, with the modifier keys held now.
    static std::shared_ptr<NSEvent> mouseEvent(EventType type, CGPoint locationInWindow);

    EventType type() const { return type_; }
    std::uint16_t keyCode() const { return keyCode_; }
    // The event's modifier flags (`event.modifierFlags`; the class's `modifierFlags()` is the
    // keys held now, and C++ cannot give both one name).
    ModifierFlags eventModifierFlags() const { return flags_; }
    // Nothing for events other than key down and key up.
    std::optional<std::string> characters() const;
    // The characters as if no modifier but Shift were held.
    std::optional<std::string> charactersIgnoringModifiers() const;
    std::optional<std::string> charactersByApplyingModifiers(ModifierFlags modifiers) const;
    std::optional<SpecialKey> specialKey() const;
    // `event.cgEvent`: a new copy each time; nothing when the fault switch says so.
    std::shared_ptr<CGEvent> cgEvent() const;
    // `NSEvent(eventRef:)`: a key event made from a raw Carbon key event (its key code and
    // Carbon modifiers); nothing for any other Carbon event or a missing parameter.
    static std::shared_ptr<NSEvent> eventWithEventRef(const std::shared_ptr<CarbonEvent>& event);
    // `event.eventRef`: the Carbon event of a key event (raw key down, repeat or up, with
    // the key code and the Carbon modifiers); nothing for other events.
    std::shared_ptr<CarbonEvent> eventRef() const;

private:
    std::shared_ptr<const CGEvent> event_;
    std::shared_ptr<const KeyboardLayout> layout_;
    EventType type_;
    std::uint16_t keyCode_;
    ModifierFlags flags_;
    MouseDetails mouse_{{}, 0, 0, 0, 0, 0};
};

inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::capsLock{0x10000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::shift{0x20000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::control{0x40000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::option{0x80000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::command{0x100000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::numericPad{0x200000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::help{0x400000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::function{0x800000};
inline constexpr NSEvent::ModifierFlags NSEvent::ModifierFlags::deviceIndependentFlagsMask{
    0xFFFF0000};

inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::upArrow{0xF700};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::downArrow{0xF701};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::leftArrow{0xF702};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::rightArrow{0xF703};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f1{0xF704};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f2{0xF705};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f3{0xF706};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f4{0xF707};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f5{0xF708};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f6{0xF709};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f7{0xF70A};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f8{0xF70B};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f9{0xF70C};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f10{0xF70D};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f11{0xF70E};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f12{0xF70F};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f13{0xF710};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f14{0xF711};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f15{0xF712};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f16{0xF713};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f17{0xF714};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f18{0xF715};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f19{0xF716};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::f20{0xF717};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::insert{0xF727};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::deleteForward{0xF728};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::home{0xF729};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::end{0xF72B};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::pageUp{0xF72C};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::pageDown{0xF72D};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::clearLine{0xF739};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::help{0xF746};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::enter{0x03};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::backspace{0x08};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::tab{0x09};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::newline{0x0A};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::formFeed{0x0C};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::carriageReturn{0x0D};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::backTab{0x19};
inline constexpr NSEvent::SpecialKey NSEvent::SpecialKey::delete_{0x7F};

} // namespace zestrel::platform

template <> struct std::hash<zestrel::platform::NSEvent::SpecialKey> {
    std::size_t operator()(const zestrel::platform::NSEvent::SpecialKey& key) const noexcept {
        return std::hash<std::uint32_t>{}(key.rawValue);
    }
};
template <> struct std::hash<zestrel::platform::NSEvent::ModifierFlags> {
    std::size_t operator()(const zestrel::platform::NSEvent::ModifierFlags& flags) const noexcept {
        return std::hash<std::uint64_t>{}(flags.rawValue);
    }
};
