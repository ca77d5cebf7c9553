#include "hotkeys/CarbonHotkeys.h"

#include "hotkeys/Hotkeys.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "services/EventMonitors.h"

#include <limits>

namespace zestrel::CarbonHotkeys {

using namespace platform;

namespace {

constexpr EventTypeSpec kHotKeyEventTypes[] = {{kEventClassKeyboard, kEventHotKeyPressed},
                                               {kEventClassKeyboard, kEventHotKeyReleased}};
constexpr NSEvent::EventTypeMask kKeyDownAndUp = 3072;

struct State {
    std::map<std::int64_t, std::shared_ptr<HotKey>> hotKeys;
    std::int64_t hotKeyId = 0;
    EventHandlerRef eventHandler;
    bool isEnabled = true;
    std::unique_ptr<RunLoopLocalEventMonitor> rawKeyEventMonitor;

    RunLoopLocalEventMonitor& monitor() {
        if (!rawKeyEventMonitor) {
            rawKeyEventMonitor = std::make_unique<RunLoopLocalEventMonitor>(
                kKeyDownAndUp, RunLoopMode::eventTracking, rawKeyEventMonitorCallback);
        }
        return *rawKeyEventMonitor;
    }
};

State& state() {
    static auto* const local = new ProcessLocal<State>();
    return local->get();
}

bool fitsUInt32(std::int64_t value) {
    return value >= 0 && value <= std::numeric_limits<std::uint32_t>::max();
}

// The system takes 32-bit values only; anything else counts as refused.
EventHotKeyRef registerWithSystem(const Hotkeys::Shortcut& shortcut, std::int64_t id) {
    if (!fitsUInt32(shortcut.carbonKeyCode) || !fitsUInt32(shortcut.carbonModifiers) ||
        !fitsUInt32(id)) {
        return nullptr;
    }
    EventHotKeyRef ref;
    const OSStatus status = RegisterEventHotKey(
        static_cast<UInt32>(shortcut.carbonKeyCode), static_cast<UInt32>(shortcut.carbonModifiers),
        EventHotKeyID{kSignature, static_cast<UInt32>(id)}, GetEventDispatcherTarget(), 0, &ref);
    return status == noErr ? ref : nullptr;
}

void removeObserver(State& s) {
    auto& monitor = s.monitor();
    RunLoop::current().remove(monitor.observer(), monitor.runLoopMode());
}

} // namespace

void registerShortcut(const Hotkeys::Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp) {
    auto& s = state();
    const std::int64_t id = ++s.hotKeyId;
    auto ref = registerWithSystem(shortcut, id);
    if (!ref) {
        return;
    }
    s.hotKeys[id] = std::make_shared<HotKey>(shortcut, id, std::move(ref), std::move(onKeyDown),
                                             std::move(onKeyUp));

    if (!s.eventHandler) {
        EventHandlerRef handler;
        if (InstallEventHandler(GetEventDispatcherTarget(), eventHandlerCallback, 0, nullptr,
                                nullptr, &handler) == noErr &&
            handler) {
            s.eventHandler = std::move(handler);
            updateEventHandler();
        }
    }
}

void unregister(const Hotkeys::Shortcut& shortcut) {
    auto& table = state().hotKeys;
    for (auto it = table.begin(); it != table.end();) {
        if (it->second->shortcut == shortcut) {
            UnregisterEventHotKey(it->second->carbonHotKey);
            it = table.erase(it);
        } else {
            ++it;
        }
    }
}

void unregisterAllFromCarbon() {
    for (auto& [id, hotKey] : state().hotKeys) {
        UnregisterEventHotKey(hotKey->carbonHotKey);
        hotKey->carbonHotKey.reset();
    }
}

void reregisterAll() {
    auto& table = state().hotKeys;
    for (auto it = table.begin(); it != table.end();) {
        auto& hotKey = *it->second;
        if (hotKey.carbonHotKey) {
            ++it;
            continue;
        }
        if (auto ref = registerWithSystem(hotKey.shortcut, hotKey.carbonHotKeyId)) {
            hotKey.carbonHotKey = std::move(ref);
            ++it;
        } else {
            it = table.erase(it);
        }
    }
}

void updateEventHandler() {
    auto& s = state();
    if (!s.eventHandler) {
        return;
    }
    if (!s.isEnabled) {
        unregisterAllFromCarbon();
        RemoveEventTypesFromHandler(s.eventHandler, 2, kHotKeyEventTypes);
        removeObserver(s);
    } else if (!Hotkeys::isMenuOpen()) {
        reregisterAll();
        removeObserver(s);
        AddEventTypesToHandler(s.eventHandler, 2, kHotKeyEventTypes);
    } else {
        unregisterAllFromCarbon();
        RemoveEventTypesFromHandler(s.eventHandler, 2, kHotKeyEventTypes);
        RunLoop::current().add(s.monitor().observer(), RunLoopMode::eventTracking);
    }
}

bool isEnabled() {
    return state().isEnabled;
}

void setEnabled(bool enabled) {
    auto& s = state();
    if (s.isEnabled == enabled) {
        return;
    }
    s.isEnabled = enabled;
    updateEventHandler();
}

std::shared_ptr<HotKey> hotKey(std::int64_t keyCode, std::int64_t modifiers) {
    for (const auto& [id, entry] : state().hotKeys) {
        if (entry->shortcut.carbonKeyCode == keyCode &&
            entry->shortcut.carbonModifiers == modifiers) {
            return entry;
        }
    }
    return nullptr;
}

const std::map<std::int64_t, std::shared_ptr<HotKey>>& hotKeys() {
    return state().hotKeys;
}

bool hasEventHandler() {
    return state().eventHandler != nullptr;
}

OSStatus eventHandlerCallback(EventHandlerCallRef, const EventRef& event, void*) {
    if (!event) {
        return eventNotHandledErr;
    }
    switch (GetEventKind(event)) {
    case kEventHotKeyPressed:
    case kEventHotKeyReleased:
        return handleHotKeyEvent(event);
    case kEventRawKeyDown:
    case kEventRawKeyUp:
        return handleRawKeyEvent(event);
    default:
        return eventNotHandledErr;
    }
}

OSStatus handleHotKeyEvent(const EventRef& event) {
    EventHotKeyID id;
    if (const OSStatus status = GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID,
                                                  nullptr, sizeof id, nullptr, &id);
        status != noErr) {
        return status;
    }
    if (id.signature != kSignature) {
        return eventNotHandledErr;
    }
    const auto& table = state().hotKeys;
    const auto found = table.find(id.id);
    if (found == table.end()) {
        return eventNotHandledErr;
    }
    // Held here: a callback may unregister its own hot key.
    const auto entry = found->second;
    switch (GetEventKind(event)) {
    case kEventHotKeyPressed:
        entry->onKeyDown(entry->shortcut);
        return noErr;
    case kEventHotKeyReleased:
        entry->onKeyUp(entry->shortcut);
        return noErr;
    default:
        return eventNotHandledErr;
    }
}

OSStatus handleRawKeyEvent(const EventRef& event) {
    UInt32 keyCode = 0;
    UInt32 modifiers = 0;
    if (const OSStatus status = GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr,
                                                  sizeof keyCode, nullptr, &keyCode);
        status != noErr) {
        return status;
    }
    if (const OSStatus status = GetEventParameter(event, kEventParamKeyModifiers, typeUInt32,
                                                  nullptr, sizeof modifiers, nullptr, &modifiers);
        status != noErr) {
        return status;
    }
    const auto entry = hotKey(keyCode, carbonModifiers(modifierFlags(modifiers)));
    if (!entry) {
        return eventNotHandledErr;
    }
    switch (GetEventKind(event)) {
    case kEventRawKeyDown:
        entry->onKeyDown(entry->shortcut);
        return noErr;
    case kEventRawKeyUp:
        entry->onKeyUp(entry->shortcut);
        return noErr;
    default:
        return eventNotHandledErr; // a key repeat
    }
}

std::shared_ptr<NSEvent> rawKeyEventMonitorCallback(const std::shared_ptr<NSEvent>& event) {
    if (const auto carbon = event ? event->eventRef() : nullptr;
        carbon && handleRawKeyEvent(carbon) == noErr) {
        return nullptr;
    }
    return event;
}

} // namespace zestrel::CarbonHotkeys
