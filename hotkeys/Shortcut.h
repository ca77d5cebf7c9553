#pragma once

#include "platform/base/Value.h"
#include "platform/data/Coding.h"
#include "platform/desktop/NSEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zestrel::platform {
class NSMenu;
class NSMenuItem;
} // namespace zestrel::platform

namespace zestrel {

// The Carbon modifier mask of the four modifiers a hot key can use, and back. Every other
// bit or flag is dropped.
platform::NSEvent::ModifierFlags modifierFlags(std::int64_t carbon);
std::int64_t carbonModifiers(platform::NSEvent::ModifierFlags flags);

namespace Hotkeys {

// A named Carbon virtual key code.
struct Key {
    std::int64_t rawValue = 0;
    bool operator==(const Key&) const = default;

    static const Key a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s, t, u, v, w, x, y, z;
    static const Key zero, one, two, three, four, five, six, seven, eight, nine;
    static const Key capsLock, shift, function, control, option, command, rightCommand, rightOption,
        rightControl, rightShift;
    static const Key returnKey, backslash, grave, comma, equal, minus, period, quote, semicolon,
        slash, space, tab, leftBracket, rightBracket, pageUp, pageDown, home, end, upArrow,
        rightArrow, downArrow, leftArrow, escape, delete_, forwardDelete, help, mute, volumeUp,
        volumeDown;
    static const Key f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12, f13, f14, f15, f16, f17,
        f18, f19, f20;
    static const Key keypad0, keypad1, keypad2, keypad3, keypad4, keypad5, keypad6, keypad7,
        keypad8, keypad9, keypadClear, keypadDecimal, keypadDivide, keypadEnter, keypadEquals,
        keypadMinus, keypadMultiply, keypadPlus;
};

// The key codes of a Mac keyboard.
inline constexpr Key Key::a{0};
inline constexpr Key Key::b{11};
inline constexpr Key Key::c{8};
inline constexpr Key Key::d{2};
inline constexpr Key Key::e{14};
inline constexpr Key Key::f{3};
inline constexpr Key Key::g{5};
inline constexpr Key Key::h{4};
inline constexpr Key Key::i{34};
inline constexpr Key Key::j{38};
inline constexpr Key Key::k{40};
inline constexpr Key Key::l{37};
inline constexpr Key Key::m{46};
inline constexpr Key Key::n{45};
inline constexpr Key Key::o{31};
inline constexpr Key Key::p{35};
inline constexpr Key Key::q{12};
inline constexpr Key Key::r{15};
inline constexpr Key Key::s{1};
inline constexpr Key Key::t{17};
inline constexpr Key Key::u{32};
inline constexpr Key Key::v{9};
inline constexpr Key Key::w{13};
inline constexpr Key Key::x{7};
inline constexpr Key Key::y{16};
inline constexpr Key Key::z{6};
inline constexpr Key Key::zero{29};
inline constexpr Key Key::one{18};
inline constexpr Key Key::two{19};
inline constexpr Key Key::three{20};
inline constexpr Key Key::four{21};
inline constexpr Key Key::five{23};
inline constexpr Key Key::six{22};
inline constexpr Key Key::seven{26};
inline constexpr Key Key::eight{28};
inline constexpr Key Key::nine{25};
inline constexpr Key Key::capsLock{57};
inline constexpr Key Key::shift{56};
inline constexpr Key Key::function{63};
inline constexpr Key Key::control{59};
inline constexpr Key Key::option{58};
inline constexpr Key Key::command{55};
inline constexpr Key Key::rightCommand{54};
inline constexpr Key Key::rightOption{61};
inline constexpr Key Key::rightControl{62};
inline constexpr Key Key::rightShift{60};
inline constexpr Key Key::returnKey{36};
inline constexpr Key Key::backslash{42};
inline constexpr Key Key::grave{50};
inline constexpr Key Key::comma{43};
inline constexpr Key Key::equal{24};
inline constexpr Key Key::minus{27};
inline constexpr Key Key::period{47};
inline constexpr Key Key::quote{39};
inline constexpr Key Key::semicolon{41};
inline constexpr Key Key::slash{44};
inline constexpr Key Key::space{49};
inline constexpr Key Key::tab{48};
inline constexpr Key Key::leftBracket{33};
inline constexpr Key Key::rightBracket{30};
inline constexpr Key Key::pageUp{116};
inline constexpr Key Key::pageDown{121};
inline constexpr Key Key::home{115};
inline constexpr Key Key::end{119};
inline constexpr Key Key::upArrow{126};
inline constexpr Key Key::rightArrow{124};
inline constexpr Key Key::downArrow{125};
inline constexpr Key Key::leftArrow{123};
inline constexpr Key Key::escape{53};
inline constexpr Key Key::delete_{51};
inline constexpr Key Key::forwardDelete{117};
inline constexpr Key Key::help{114};
inline constexpr Key Key::mute{74};
inline constexpr Key Key::volumeUp{72};
inline constexpr Key Key::volumeDown{73};
inline constexpr Key Key::f1{122};
inline constexpr Key Key::f2{120};
inline constexpr Key Key::f3{99};
inline constexpr Key Key::f4{118};
inline constexpr Key Key::f5{96};
inline constexpr Key Key::f6{97};
inline constexpr Key Key::f7{98};
inline constexpr Key Key::f8{100};
inline constexpr Key Key::f9{101};
inline constexpr Key Key::f10{109};
inline constexpr Key Key::f11{103};
inline constexpr Key Key::f12{111};
inline constexpr Key Key::f13{105};
inline constexpr Key Key::f14{107};
inline constexpr Key Key::f15{113};
inline constexpr Key Key::f16{106};
inline constexpr Key Key::f17{64};
inline constexpr Key Key::f18{79};
inline constexpr Key Key::f19{80};
inline constexpr Key Key::f20{90};
inline constexpr Key Key::keypad0{82};
inline constexpr Key Key::keypad1{83};
inline constexpr Key Key::keypad2{84};
inline constexpr Key Key::keypad3{85};
inline constexpr Key Key::keypad4{86};
inline constexpr Key Key::keypad5{87};
inline constexpr Key Key::keypad6{88};
inline constexpr Key Key::keypad7{89};
inline constexpr Key Key::keypad8{91};
inline constexpr Key Key::keypad9{92};
inline constexpr Key Key::keypadClear{71};
inline constexpr Key Key::keypadDecimal{65};
inline constexpr Key Key::keypadDivide{75};
inline constexpr Key Key::keypadEnter{76};
inline constexpr Key Key::keypadEquals{81};
inline constexpr Key Key::keypadMinus{78};
inline constexpr Key Key::keypadMultiply{67};
inline constexpr Key Key::keypadPlus{69};

enum class EventType { keyDown, keyUp };

// A key combination: a Carbon key code and a Carbon modifier mask. Every way of making one
// but decoding keeps only the Command, Shift, Option and Control bits.
struct Shortcut {
    std::int64_t carbonKeyCode = 0;
    std::int64_t carbonModifiers = 0;

    Shortcut(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);
    Shortcut(Key key, platform::NSEvent::ModifierFlags modifiers);
    // Only key-down and key-up events make one.
    static std::optional<Shortcut> fromEvent(const platform::NSEvent& event);
    // One entry of the system's shortcuts: only an enabled one with an integer code and
    // integer modifiers.
    static std::optional<Shortcut> fromSystemHotKey(const platform::Value::Dictionary& hotKey);

    platform::NSEvent::ModifierFlags modifiers() const;
    bool operator==(const Shortcut&) const = default;

    // The glyphs of the flags present, in the order ⌃⌥⇧⌘ and then the Function glyph, with
    // nothing between them.
    static std::string modifierSymbols(platform::NSEvent::ModifierFlags flags);
    // The text a key shows: the fixed text of the keys a layout does not name (Return, the
    // arrows, the F-keys, the keypad, ...), else what the current ASCII-capable layout types
    // for the key without modifiers. Nothing when the layout gives nothing.
    static std::optional<std::string> keyToCharacter(std::int64_t keyCode);
    static const std::unordered_map<std::int64_t, std::string>& keyToCharacterMapping();
    // The menu key-equivalent characters of the keys whose text is longer than one character.
    static const std::unordered_map<std::int64_t, std::string>& keyEquivalentMapping();
    // What the user sees: ⌘X for Command+X, with U+FFFD for a key that has no text.
    std::string description() const;
    // The menu key equivalent: the key's text when it is a single character, else the key's
    // entry of `keyEquivalentMapping`; empty when there is neither.
    std::string keyEquivalent() const;
    // The enabled system-wide shortcuts, read anew at every call.
    static std::vector<Shortcut> system();
    // The first item of the menu, depth first and an item before its submenu, whose key
    // equivalent is this shortcut; an upper-case key equivalent stands for Shift.
    static std::shared_ptr<platform::NSMenuItem> takenByMainMenu(const platform::NSMenu& menu,
                                                                 const Shortcut& shortcut);

    // Both members are required; decoded values are kept as they are.
    void encode(platform::Encoder& encoder) const;
    static Shortcut decode(const platform::Decoder& decoder);

private:
    struct Raw {};
    Shortcut(Raw, std::int64_t carbonKeyCode, std::int64_t carbonModifiers)
        : carbonKeyCode(carbonKeyCode), carbonModifiers(carbonModifiers) {}
};

// A named hotkey with an optional default shortcut. Names are equal, and hash, by their
// text alone.
class Name {
public:
    // Stores the default when the user defaults hold nothing under the name's key (which
    // registers it and posts the change), then starts the observation of menu tracking.
    Name(std::string rawValue, std::optional<Shortcut> defaultShortcut);
    // No default; starts the observation of menu tracking.
    static Name fromRawValue(std::string rawValue);
    // A name made without any effect on the defaults or the menu observation; the owner
    // runs those steps itself once every name of a set exists.
    static Name withoutEffects(std::string rawValue, std::optional<Shortcut> defaultShortcut);

    const std::string& rawValue() const { return rawValue_; }
    const std::optional<Shortcut>& defaultShortcut() const { return defaultShortcut_; }
    // "Hotkeys_" + name: where the shortcut is stored.
    std::string storageKey() const { return "Hotkeys_" + rawValue_; }

    std::optional<Shortcut> shortcut() const;
    void setShortcut(const std::optional<Shortcut>& shortcut) const;

    bool operator==(const Name& other) const { return rawValue_ == other.rawValue_; }

private:
    Name(std::string rawValue, std::optional<Shortcut> defaultShortcut, int)
        : rawValue_(std::move(rawValue)), defaultShortcut_(std::move(defaultShortcut)) {}
    std::string rawValue_;
    std::optional<Shortcut> defaultShortcut_;
};

// The stored shortcut of a name; nothing when absent, cleared or not decodable.
std::optional<Shortcut> getShortcut(const Name& name);
// The decodable stored shortcuts of the names, in their order.
std::vector<Shortcut> storedShortcuts(const std::vector<Name>& names);
// The text stored for a shortcut; nothing when it cannot be encoded.
std::optional<std::string> storedText(const Shortcut& shortcut);

} // namespace Hotkeys
} // namespace zestrel

template <> struct std::hash<zestrel::Hotkeys::Shortcut> {
    std::size_t operator()(const zestrel::Hotkeys::Shortcut& shortcut) const noexcept {
        const std::size_t code = std::hash<std::int64_t>{}(shortcut.carbonKeyCode);
        return code ^ (std::hash<std::int64_t>{}(shortcut.carbonModifiers) + 0x9e3779b97f4a7c15 +
                       (code << 6) + (code >> 2));
    }
};
template <> struct std::hash<zestrel::Hotkeys::Name> {
    std::size_t operator()(const zestrel::Hotkeys::Name& name) const noexcept {
        return std::hash<std::string>{}(name.rawValue());
    }
};
template <> struct std::hash<zestrel::Hotkeys::Key> {
    std::size_t operator()(const zestrel::Hotkeys::Key& key) const noexcept {
        return std::hash<std::int64_t>{}(key.rawValue);
    }
};
