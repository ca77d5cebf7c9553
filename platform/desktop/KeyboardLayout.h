#pragma once

#include "platform/base/Value.h"
#include "platform/desktop/NSEvent.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

// A keyboard layout: what each virtual key code (0-127) types, with and without Shift. The
// keys that type no character (Return, arrows, F-keys, the modifier keys) are the same on
// every layout; the layouts differ in their character keys.
class KeyboardLayout : public NSObject {
public:
    // One character key: its text, its text with Shift, and whether Caps Lock shifts it;
    // what it types with Option (and Shift), when the layout gives it something there.
    struct CharacterKey {
        std::string plain;
        std::string shifted;
        bool letter = false;
        std::string option = {};
        std::string optionShifted = {};
    };
    using CharacterKeys = std::array<std::optional<CharacterKey>, 128>;

    KeyboardLayout(std::string identifier, std::string localizedName, bool asciiCapable,
                   CharacterKeys keys);

    // The installed layouts: "com.apple.keylayout.US" ("U.S."), "com.apple.keylayout.German"
    // (Y and Z swapped, umlauts), "com.apple.keylayout.Russian" (Cyrillic, no Latin letters).
    static std::shared_ptr<KeyboardLayout> us();
    static std::shared_ptr<KeyboardLayout> german();
    static std::shared_ptr<KeyboardLayout> russian();

    std::string className() const override { return "KeyboardLayout"; }
    const std::string& identifier() const { return identifier_; }
    const std::string& localizedName() const { return localizedName_; }
    bool isASCIICapable() const { return asciiCapable_; }

    // The characters an event of this key carries: a character key's text, or for the
    // other keys the platform's key character (U+F704 for F1, "\r" for Return, ...). Caps
    // Lock shifts letters only. Option picks the key's Option text where it has one (these
    // layouts have no dead keys: an accent key types the accent itself).
    std::optional<std::string> characters(std::uint16_t keyCode, bool shift, bool capsLock = false,
                                          bool option = false) const;
    // The special key of a key (arrows, F-keys, Return, Tab, Delete, ...), under Shift or not.
    std::optional<NSEvent::SpecialKey> specialKey(std::uint16_t keyCode, bool shift = false) const;
    // The modifier flag a modifier key (54-63) sets.
    static std::optional<NSEvent::ModifierFlags> modifierFlag(std::uint16_t keyCode);
    // What the layout translation gives for a key: like `characters`, but the keys that
    // type no character answer control characters (U+0010 for the function keys).
    std::optional<std::u16string> translate(std::uint16_t keyCode, bool shift, bool capsLock,
                                            bool option = false) const;

private:
    std::string identifier_;
    std::string localizedName_;
    bool asciiCapable_;
    CharacterKeys keys_;
};

// Layout translation (`UCKeyTranslate`): the layout is the input source's layout data.
using OSStatus = std::int32_t;
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus paramErr = -50;
inline constexpr std::uint16_t kUCKeyActionDown = 0;
inline constexpr std::uint16_t kUCKeyActionUp = 1;
inline constexpr std::uint16_t kUCKeyActionAutoKey = 2;
inline constexpr std::uint16_t kUCKeyActionDisplay = 3;
inline constexpr std::uint32_t kUCKeyTranslateNoDeadKeysBit = 0;
// Modifier state: the Carbon modifier mask shifted right by 8 (Shift 0x02, Caps Lock 0x04,
// Option 0x08).
OSStatus UCKeyTranslate(const KeyboardLayout* layout, std::uint16_t virtualKeyCode,
                        std::uint16_t keyAction, std::uint32_t modifierKeyState,
                        std::uint32_t keyboardType, std::uint32_t keyTranslateOptions,
                        std::uint32_t* deadKeyState, std::size_t maxStringLength,
                        std::size_t* actualStringLength, char16_t* unicodeString);
// The keyboard type of the attached keyboard (an ANSI keyboard).
std::uint8_t LMGetKbdType();

} // namespace zestrel::platform
