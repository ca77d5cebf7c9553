#pragma once

#include "foundation/NotificationTokens.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/NSEvent.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

// Which key types a character on the keyboard layout selected now. Events carry virtual key
// codes, and the key that types "x" depends on the layout, so the engine asks here.
namespace zestrel::CGKeyCodeUtilities {

using CGKeyCode = std::uint16_t;

// One complete set of tables for one layout, built in one pass over the key codes 0-127.
// Where several keys type the same character, the highest key code wins (the keypad's
// digits and operators over the main row's).
class Initializers {
public:
    // Built from the layout current now.
    Initializers();

    // Keys are one character (one grapheme cluster).
    std::unordered_map<std::string, CGKeyCode> characterKeys;
    std::unordered_map<platform::NSEvent::SpecialKey, CGKeyCode> specialKeys;
    std::unordered_map<platform::NSEvent::ModifierFlags, CGKeyCode> modifierFlagKeys;

    // The set in force, built on first use and replaced as a whole on every input-source
    // change; a reader keeps whichever set it took.
    static std::shared_ptr<const Initializers> shared();
};

// The US ANSI key positions of letters and digits: the fallback for a character that the
// current layout types with no key (a Latin letter on a Cyrillic layout).
const std::array<std::pair<std::string_view, CGKeyCode>, 36>& ansiKeyCodes();

// The key code of a character: the current layout's, else the ANSI one. A character in
// neither is reported and answers 0.
CGKeyCode keyCode(std::string_view character);

// Calls `action` on the main queue after each change of the selected or enabled keyboard
// input sources, for as long as the holder lives.
std::unique_ptr<ListenerHolder> keyboardInputSourceDidChange(std::function<void()> action);

} // namespace zestrel::CGKeyCodeUtilities

namespace zestrel {

// Only the seven modifier flags carry over to their Quartz flags (same bits); Help and the
// device-dependent bits are dropped.
platform::CGEventFlags cgEventFlags(platform::NSEvent::ModifierFlags modifierFlags);

// A copy of a key event whose key code types `character` and, when given, whose modifier
// flags are exactly `flags`. The event itself when it cannot be converted, so the key goes on.
std::shared_ptr<platform::NSEvent>
settingKeyCode(const std::shared_ptr<platform::NSEvent>& event, std::string_view character,
               std::optional<platform::NSEvent::ModifierFlags> flags = std::nullopt);
// A copy whose modifier flags are exactly `flags`; the event itself when it cannot be converted.
std::shared_ptr<platform::NSEvent> settingFlags(const std::shared_ptr<platform::NSEvent>& event,
                                                platform::NSEvent::ModifierFlags flags);

} // namespace zestrel
