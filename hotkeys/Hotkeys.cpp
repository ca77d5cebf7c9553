#include "hotkeys/Hotkeys.h"

#include "hotkeys/CarbonHotkeys.h"
#include "platform/appkit/NSMenu.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/data/UserDefaults.h"

#include <algorithm>
#include <map>
#include <utility>

namespace zestrel::Hotkeys {

using platform::NotificationCenter;
using platform::UserDefaults;
using platform::UUID;
using platform::Value;

namespace {

// A table keyed by name that keeps the order names were first added in.
template <class T> class NameTable {
public:
    T& operator[](const Name& name) {
        if (auto* found = find(name)) {
            return *found;
        }
        entries_.emplace_back(name, T{});
        return entries_.back().second;
    }
    T* find(const Name& name) {
        const auto it = std::find_if(entries_.begin(), entries_.end(),
                                     [&](const auto& entry) { return entry.first == name; });
        return it == entries_.end() ? nullptr : &it->second;
    }
    void erase(const Name& name) {
        std::erase_if(entries_, [&](const auto& entry) { return entry.first == name; });
    }
    void clear() { entries_.clear(); }
    const std::vector<std::pair<Name, T>>& entries() const { return entries_; }

private:
    std::vector<std::pair<Name, T>> entries_;
};

using HandlerTable = NameTable<std::vector<Handler>>;
using StreamTable = NameTable<std::map<UUID, Handler>>;

struct State {
    std::unordered_set<Shortcut> registeredShortcuts;
    HandlerTable keyDownHandlers;
    HandlerTable keyUpHandlers;
    StreamTable streamKeyDownHandlers;
    StreamTable streamKeyUpHandlers;
    bool isPaused = false;
    bool isMenuOpen = false;
    bool observesMenuTracking = false;
    platform::ObserverToken menuDidBeginTrackingObserver;
    platform::ObserverToken menuDidEndTrackingObserver;
};

State& state() {
    static auto* const local = new platform::ProcessLocal<State>();
    return local->get();
}

// A name carried in a notification's user info.
class NameObject final : public platform::NSObject {
public:
    explicit NameObject(Name name) : name(std::move(name)) {}
    std::string className() const override { return "Hotkeys.Name"; }
    Name name;
};

void registerShortcut(const Shortcut& shortcut) {
    CarbonHotkeys::registerShortcut(shortcut, handleKeyDownEvent, handleKeyUpEvent);
    state().registeredShortcuts.insert(shortcut);
}

void unregisterShortcut(const Shortcut& shortcut) {
    CarbonHotkeys::unregister(shortcut);
    state().registeredShortcuts.erase(shortcut);
}

void registerIfNeeded(const Name& name) {
    if (auto shortcut = getShortcut(name); shortcut && !isRegistered(*shortcut)) {
        registerShortcut(*shortcut);
    }
}

template <class Table> void collectStored(const Table& table, std::unordered_set<Shortcut>& into) {
    for (const auto& [name, handlers] : table.entries()) {
        if (auto shortcut = getShortcut(name)) {
            into.insert(*shortcut);
        }
    }
}

void handleKeyEvent(const Shortcut& shortcut, HandlerTable& keyHandlers,
                    StreamTable& streamHandlers) {
    if (state().isPaused) {
        return;
    }
    // Copies: a handler may add or remove handlers while this runs.
    const auto keyEntries = keyHandlers.entries();
    for (const auto& [name, handlers] : keyEntries) {
        if (getShortcut(name) == shortcut) {
            for (const auto& handler : handlers) {
                handler();
            }
        }
    }
    const auto streamEntries = streamHandlers.entries();
    for (const auto& [name, handlers] : streamEntries) {
        if (getShortcut(name) == shortcut) {
            for (const auto& [id, handler] : handlers) {
                handler();
            }
        }
    }
}

void addStreamHandlers(const Name& name, const UUID& id,
                       const platform::AsyncStream<EventType>::Continuation& continuation,
                       std::optional<EventType> only) {
    auto& s = state();
    s.streamKeyDownHandlers[name][id] = [continuation, only] {
        if (!only || *only == EventType::keyDown) {
            continuation.yield(EventType::keyDown);
        }
    };
    s.streamKeyUpHandlers[name][id] = [continuation, only] {
        if (!only || *only == EventType::keyUp) {
            continuation.yield(EventType::keyUp);
        }
    };
    registerIfNeeded(name);
}

void removeStreamHandlers(const Name& name, const UUID& id) {
    auto& s = state();
    // An inner table left empty is dropped with its name: a name that stays behind with no
    // stream would count as in use and keep its hot key registered for good.
    for (auto* table : {&s.streamKeyDownHandlers, &s.streamKeyUpHandlers}) {
        if (auto* inner = table->find(name)) {
            inner->erase(id);
            if (inner->empty()) {
                table->erase(name);
            }
        }
    }
    const auto shortcut = getShortcut(name);
    if (!shortcut) {
        return;
    }
    std::unordered_set<Shortcut> inUse;
    collectStored(s.keyDownHandlers, inUse);
    collectStored(s.keyUpHandlers, inUse);
    collectStored(s.streamKeyDownHandlers, inUse);
    collectStored(s.streamKeyUpHandlers, inUse);
    if (!inUse.contains(*shortcut)) {
        unregisterShortcut(*shortcut);
    }
}

platform::AsyncStream<EventType> makeStream(const Name& name, std::optional<EventType> only) {
    return platform::AsyncStream<EventType>([name, only](auto continuation) {
        const UUID id = UUID::random();
        platform::RunLoop::main().async(
            [name, id, continuation, only] { addStreamHandlers(name, id, continuation, only); });
        continuation.setOnTermination([name, id](auto) {
            platform::RunLoop::main().async([name, id] { removeStreamHandlers(name, id); });
        });
    });
}

void menuDidBeginTrackingHandler() {
    auto& s = state();
    const bool wasOpen = std::exchange(s.isMenuOpen, true);
    if (!wasOpen) {
        CarbonHotkeys::updateEventHandler();
    }
}

void menuDidEndTrackingHandler() {
    auto& s = state();
    const bool wasOpen = std::exchange(s.isMenuOpen, false);
    if (wasOpen) {
        CarbonHotkeys::updateEventHandler();
    }
}

} // namespace

std::optional<Name> nameFromNotification(const platform::Notification& notification) {
    const auto found = notification.userInfo.find("name");
    if (found == notification.userInfo.end()) {
        return std::nullopt;
    }
    if (auto object = found->second.asObject<NameObject>()) {
        return object->name;
    }
    return std::nullopt;
}

void storeShortcut(const Shortcut& shortcut, const Name& name) {
    const auto text = storedText(shortcut);
    if (!text) {
        return;
    }
    if (auto current = getShortcut(name)) {
        unregisterShortcut(*current);
    }
    if (!isRegistered(shortcut)) {
        registerShortcut(shortcut);
    }
    UserDefaults::standard()->set(Value(*text), name.storageKey());
    postShortcutByNameDidChange(name);
}

void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    if (shortcut) {
        storeShortcut(*shortcut, name);
        return;
    }
    const auto current = getShortcut(name);
    if (!current) {
        return;
    }
    if (name.defaultShortcut()) {
        UserDefaults::standard()->set(Value(false), name.storageKey());
    } else {
        UserDefaults::standard()->removeObject(name.storageKey());
    }
    unregisterShortcut(*current);
    postShortcutByNameDidChange(name);
}

void reset(const std::vector<Name>& names) {
    for (const auto& name : names) {
        if (name.defaultShortcut()) {
            storeShortcut(*name.defaultShortcut(), name);
        } else if (auto current = getShortcut(name)) {
            UserDefaults::standard()->removeObject(name.storageKey());
            unregisterShortcut(*current);
            postShortcutByNameDidChange(name);
        }
    }
}

void onKeyDown(const Name& name, Handler action) {
    state().keyDownHandlers[name].push_back(std::move(action));
    registerIfNeeded(name);
}

void onKeyUp(const Name& name, Handler action) {
    state().keyUpHandlers[name].push_back(std::move(action));
    registerIfNeeded(name);
}

void removeAllHandlers() {
    auto& s = state();
    std::unordered_set<Shortcut> keyed;
    collectStored(s.keyDownHandlers, keyed);
    collectStored(s.keyUpHandlers, keyed);
    std::unordered_set<Shortcut> streamed;
    collectStored(s.streamKeyDownHandlers, streamed);
    collectStored(s.streamKeyUpHandlers, streamed);
    for (const auto& shortcut : keyed) {
        if (!streamed.contains(shortcut)) {
            unregisterShortcut(shortcut);
        }
    }
    s.keyDownHandlers.clear();
    s.keyUpHandlers.clear();
}

platform::AsyncStream<EventType> events(const Name& name) {
    return makeStream(name, std::nullopt);
}

platform::AsyncStream<EventType> events(EventType type, const Name& name) {
    return makeStream(name, type);
}

void enable(const std::vector<Name>& names) {
    for (const auto& name : names) {
        registerIfNeeded(name);
    }
}

void disable(const std::vector<Name>& names) {
    for (const auto& name : names) {
        if (auto shortcut = getShortcut(name)) {
            unregisterShortcut(*shortcut);
        }
    }
}

void handleKeyDownEvent(const Shortcut& shortcut) {
    auto& s = state();
    handleKeyEvent(shortcut, s.keyDownHandlers, s.streamKeyDownHandlers);
}

void handleKeyUpEvent(const Shortcut& shortcut) {
    auto& s = state();
    handleKeyEvent(shortcut, s.keyUpHandlers, s.streamKeyUpHandlers);
}

void performKeyDown(const Name& name) {
    if (auto shortcut = getShortcut(name)) {
        handleKeyDownEvent(*shortcut);
    }
}

bool isRegistered(const Shortcut& shortcut) {
    return state().registeredShortcuts.contains(shortcut);
}

const std::unordered_set<Shortcut>& registeredShortcuts() {
    return state().registeredShortcuts;
}

bool isPaused() {
    return state().isPaused;
}

void setPaused(bool paused) {
    state().isPaused = paused;
}

bool isMenuOpen() {
    return state().isMenuOpen;
}

void postShortcutByNameDidChange(const Name& name) {
    NotificationCenter::defaultCenter()->post(
        shortcutByNameDidChange, Value(),
        Value::Dictionary{{"name", Value(std::make_shared<NameObject>(name))}});
}

void observeMenuTracking() {
    auto& s = state();
    if (s.observesMenuTracking) {
        return;
    }
    s.observesMenuTracking = true;
    auto center = NotificationCenter::defaultCenter();
    s.menuDidBeginTrackingObserver =
        center->addObserver(platform::NSMenuDidBeginTrackingNotification, Value(),
                            [](const platform::Notification&) { menuDidBeginTrackingHandler(); });
    s.menuDidEndTrackingObserver =
        center->addObserver(platform::NSMenuDidEndTrackingNotification, Value(),
                            [](const platform::Notification&) { menuDidEndTrackingHandler(); });
}

} // namespace zestrel::Hotkeys
