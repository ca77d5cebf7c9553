#pragma once

#include "hotkeys/Shortcut.h"
#include "platform/desktop/CarbonHotKeys.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

// The layer between the hotkey registry and the system's hot keys. It keeps a table of the
// registered hot keys, installs one handler on the event dispatcher target (at the first
// successful registration, for the life of the process), and calls a hot key's callbacks
// when the system reports it pressed or released. While a menu tracks it takes its hot keys
// back from the system and matches the raw key events of the event-tracking mode against
// its table instead. Main thread only; process state.

namespace zestrel::CarbonHotkeys {

using Callback = std::function<void(const Hotkeys::Shortcut&)>;

// The hot-key signature, 'QVKS'.
inline constexpr platform::OSType kSignature = platform::fourCharCode("QVKS");

// One registration. Releasing it unregisters nothing.
class HotKey {
public:
    HotKey(Hotkeys::Shortcut shortcut, std::int64_t carbonHotKeyId,
           platform::EventHotKeyRef carbonHotKey, Callback onKeyDown, Callback onKeyUp)
        : shortcut(shortcut), carbonHotKeyId(carbonHotKeyId), carbonHotKey(std::move(carbonHotKey)),
          onKeyDown(std::move(onKeyDown)), onKeyUp(std::move(onKeyUp)) {}

    Hotkeys::Shortcut shortcut;
    std::int64_t carbonHotKeyId = 0;
    platform::EventHotKeyRef carbonHotKey; // none while taken back from the system
    Callback onKeyDown;
    Callback onKeyUp;
};

// Takes a new identifier (also spent when the system refuses), registers the hot key and
// keeps it in the table when the system accepts it.
void registerShortcut(const Hotkeys::Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp);
// Every table entry of the shortcut leaves the system and the table.
void unregister(const Hotkeys::Shortcut& shortcut);
// Withdraws every entry from the system; the table keeps them with their identifiers.
void unregisterAllFromCarbon();
// Registers again every withdrawn entry under its own identifier; one the system refuses
// now leaves the table.
void reregisterAll();
// Puts the delivery in line with the switch and the menu state.
void updateEventHandler();

bool isEnabled();
// Off withdraws every hot key; on brings them back. The same value again does nothing.
void setEnabled(bool enabled);

// The first entry, in identifier order, with this key code and modifier mask.
std::shared_ptr<HotKey> hotKey(std::int64_t keyCode, std::int64_t modifiers);
const std::map<std::int64_t, std::shared_ptr<HotKey>>& hotKeys();
bool hasEventHandler();

platform::OSStatus eventHandlerCallback(platform::EventHandlerCallRef call,
                                        const platform::EventRef& event, void* userData);
platform::OSStatus handleHotKeyEvent(const platform::EventRef& event);
platform::OSStatus handleRawKeyEvent(const platform::EventRef& event);
// Swallows the key events of the table's hot keys; gives every other event back.
std::shared_ptr<platform::NSEvent>
rawKeyEventMonitorCallback(const std::shared_ptr<platform::NSEvent>& event);

} // namespace zestrel::CarbonHotkeys
