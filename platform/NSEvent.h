#pragma once

#include <cstdint>

namespace zestrel::platform {

// The platform's event class. For now it carries only the modifier keys held at this
// moment, which launch gestures read; event objects come with the desktop's event path.
class NSEvent {
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

    // The modifier keys held now (`NSEvent.modifierFlags`). Callable from any thread.
    static ModifierFlags modifierFlags();
    // The keyboard's side: which modifier keys are down. Tests and the simulated desktop set it.
    static void setHeldModifierFlags(ModifierFlags flags);
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

} // namespace zestrel::platform
