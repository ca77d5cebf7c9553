#pragma once

#include "hotkeys/Shortcut.h"
#include "platform/base/NotificationCenter.h"
#include "platform/concurrency/AsyncStream.h"

#include <functional>
#include <optional>
#include <unordered_set>
#include <vector>

// The registry of named hotkeys: their handlers, which shortcuts are registered with the
// system, the stored shortcuts and the change notifications. Everything here runs on the
// main thread; the tables are process state.

namespace zestrel::Hotkeys {

using Handler = std::function<void()>;

inline constexpr const char* shortcutByNameDidChange = "Hotkeys_shortcutByNameDidChange";
inline constexpr const char* recorderActiveStatusDidChange =
    "Hotkeys_recorderActiveStatusDidChange";

// The name a change notification carries under "name".
std::optional<Name> nameFromNotification(const platform::Notification& notification);

// --- Storing
// Writes the shortcut for the name: the old one is unregistered, the new one registered
// (with or without handlers, enabled or not), the text stored and the change posted.
// Nothing happens when the shortcut cannot be encoded.
void storeShortcut(const Shortcut& shortcut, const Name& name);
// Without a shortcut: clears a stored one (false for a name with a default, no key for one
// without), unregisters it and posts the change; nothing when none is stored.
void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
// Back to the default (stored again even when unchanged); a name without a default is cleared.
void reset(const std::vector<Name>& names);

// --- Handlers
// Handlers run in the order they were added, for every name whose stored shortcut is the
// one pressed at that moment.
void onKeyDown(const Name& name, Handler action);
void onKeyUp(const Name& name, Handler action);
// Drops every key handler and unregisters the shortcuts only they used; streams stay.
void removeAllHandlers();
// The presses and releases of the name's shortcut, from the next turn of the main run
// loop on. Ending the stream unregisters the shortcut when nothing else uses it.
platform::AsyncStream<EventType> events(const Name& name);
platform::AsyncStream<EventType> events(EventType type, const Name& name);

// --- Enabling
// Registers the stored shortcuts that are not registered; names without one are skipped.
void enable(const std::vector<Name>& names);
// Unregisters the stored shortcuts; handlers and streams stay for a later enable.
void disable(const std::vector<Name>& names);

// --- Dispatch (the Carbon layer calls these)
void handleKeyDownEvent(const Shortcut& shortcut);
void handleKeyUpEvent(const Shortcut& shortcut);
// Runs the key-down handlers as if the name's stored shortcut had been pressed.
void performKeyDown(const Name& name);

// --- State
bool isRegistered(const Shortcut& shortcut);
const std::unordered_set<Shortcut>& registeredShortcuts();
// True while a shortcut recorder records: no handler runs.
bool isPaused();
void setPaused(bool paused);
bool isMenuOpen();
void postShortcutByNameDidChange(const Name& name);
// Installs, once per process, the observers that follow menu tracking.
void observeMenuTracking();

} // namespace zestrel::Hotkeys
