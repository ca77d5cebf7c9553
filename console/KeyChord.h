#pragma once

#include "platform/desktop/CGEvent.h"
#include "platform/desktop/NSEvent.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zestrel::console {

// A key with the modifier keys held with it, as `press` takes it: `cmd+x`, `cmd+opt+v`,
// `shift+cmd+x`, `ctrl+c`, `esc`, `f1`. A character key is named by its cap on a US
// keyboard, so on another layout the same physical key types that layout's character
// (`press y` types "z" on the German layout).
struct KeyChord {
    std::uint16_t keyCode = 0;
    platform::CGEventFlags flags;
    bool operator==(const KeyChord&) const = default;
};

// Modifiers: cmd/command, opt/option/alt, ctrl/control, shift, fn, caps; keys: a US key
// cap's character, esc, return, enter, tab, space, delete, forward-delete, left, right,
// up, down, home, end, page-up, page-down, help, f1 to f20, or a raw virtual key code
// (`code:7`, 0 to 127). Case does not matter. Throws `CommandError` for anything else.
KeyChord parseKeyChord(std::string_view text);

// Modifier keys held alone, as `launch zestrel holding shift+opt` and `click menu ... holding
// ctrl+opt` take them: the modifier names above joined by "+". Throws `CommandError` for
// anything else.
platform::CGEventFlags parseModifiers(std::string_view text);

// Holds modifier keys for as long as it lives, as a person does during a click or a launch;
// the keys held before come back at its end.
class HeldModifiers {
public:
    explicit HeldModifiers(platform::CGEventFlags flags);
    ~HeldModifiers();
    HeldModifiers(const HeldModifiers&) = delete;
    HeldModifiers& operator=(const HeldModifiers&) = delete;

private:
    platform::NSEvent::ModifierFlags before_;
};

// How a key event reads in the console's output: the modifiers in the platform's order
// (ctrl, opt, shift, cmd) and the key, by its characters when it types some, else by
// name ("cmd+c", "shift+cmd+X", "esc", "f1", "cmd+ч").
std::string describeKey(std::uint16_t keyCode, platform::NSEvent::ModifierFlags flags,
                        std::string_view characters);

} // namespace zestrel::console
