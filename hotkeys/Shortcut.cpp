#include "hotkeys/Shortcut.h"

#include "hotkeys/Hotkeys.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/data/JSONCoder.h"
#include "platform/data/UserDefaults.h"

namespace zestrel {

using platform::NSEvent;

namespace {

constexpr std::int64_t kCommand = 256;
constexpr std::int64_t kShift = 512;
constexpr std::int64_t kOption = 2048;
constexpr std::int64_t kControl = 4096;

std::int64_t normalized(std::int64_t carbon) {
    return carbonModifiers(modifierFlags(carbon));
}

} // namespace

NSEvent::ModifierFlags modifierFlags(std::int64_t carbon) {
    NSEvent::ModifierFlags flags;
    if (carbon & kCommand) {
        flags = flags | NSEvent::ModifierFlags::command;
    }
    if (carbon & kShift) {
        flags = flags | NSEvent::ModifierFlags::shift;
    }
    if (carbon & kOption) {
        flags = flags | NSEvent::ModifierFlags::option;
    }
    if (carbon & kControl) {
        flags = flags | NSEvent::ModifierFlags::control;
    }
    return flags;
}

std::int64_t carbonModifiers(NSEvent::ModifierFlags flags) {
    std::int64_t carbon = 0;
    carbon |= flags.contains(NSEvent::ModifierFlags::command) ? kCommand : 0;
    carbon |= flags.contains(NSEvent::ModifierFlags::shift) ? kShift : 0;
    carbon |= flags.contains(NSEvent::ModifierFlags::option) ? kOption : 0;
    carbon |= flags.contains(NSEvent::ModifierFlags::control) ? kControl : 0;
    return carbon;
}

namespace Hotkeys {

Shortcut::Shortcut(std::int64_t carbonKeyCode, std::int64_t carbonModifiers)
    : carbonKeyCode(carbonKeyCode), carbonModifiers(normalized(carbonModifiers)) {}

Shortcut::Shortcut(Key key, NSEvent::ModifierFlags modifiers)
    : carbonKeyCode(key.rawValue),
      carbonModifiers(normalized(zestrel::carbonModifiers(modifiers))) {}

std::optional<Shortcut> Shortcut::fromEvent(const NSEvent& event) {
    if (event.type() != NSEvent::EventType::keyDown && event.type() != NSEvent::EventType::keyUp) {
        return std::nullopt;
    }
    return Shortcut(event.keyCode(), zestrel::carbonModifiers(event.eventModifierFlags()));
}

std::optional<Shortcut> Shortcut::fromSystemHotKey(const platform::Value::Dictionary& hotKey) {
    const auto enabled = hotKey.find("kHISymbolicHotKeyEnabled");
    if (enabled == hotKey.end() || enabled->second.asBool() != true) {
        return std::nullopt;
    }
    const auto code = hotKey.find("kHISymbolicHotKeyCode");
    if (code == hotKey.end() || !code->second.isNumber() || !code->second.asInt64()) {
        return std::nullopt;
    }
    const auto modifiers = hotKey.find("kHISymbolicHotKeyModifiers");
    if (modifiers == hotKey.end() || !modifiers->second.isNumber() ||
        !modifiers->second.asInt64()) {
        return std::nullopt;
    }
    return Shortcut(*code->second.asInt64(), *modifiers->second.asInt64());
}

NSEvent::ModifierFlags Shortcut::modifiers() const {
    return modifierFlags(carbonModifiers);
}

void Shortcut::encode(platform::Encoder& encoder) const {
    auto container = encoder.container();
    container.encode(carbonKeyCode, "carbonKeyCode");
    container.encode(carbonModifiers, "carbonModifiers");
}

Shortcut Shortcut::decode(const platform::Decoder& decoder) {
    auto container = decoder.container();
    return Shortcut(Raw{}, container.decode<std::int64_t>("carbonKeyCode"),
                    container.decode<std::int64_t>("carbonModifiers"));
}

Name::Name(std::string rawValue, std::optional<Shortcut> defaultShortcut)
    : Name(std::move(rawValue), std::move(defaultShortcut), 0) {
    if (defaultShortcut_ && platform::UserDefaults::standard()->object(storageKey()).isAbsent()) {
        storeShortcut(*defaultShortcut_, *this);
    }
    observeMenuTracking();
}

Name Name::fromRawValue(std::string rawValue) {
    Name name(std::move(rawValue), std::nullopt, 0);
    observeMenuTracking();
    return name;
}

Name Name::withoutEffects(std::string rawValue, std::optional<Shortcut> defaultShortcut) {
    return Name(std::move(rawValue), std::move(defaultShortcut), 0);
}

std::optional<Shortcut> Name::shortcut() const {
    return getShortcut(*this);
}

void Name::setShortcut(const std::optional<Shortcut>& shortcut) const {
    Hotkeys::setShortcut(shortcut, *this);
}

std::optional<Shortcut> getShortcut(const Name& name) {
    const auto text = platform::UserDefaults::standard()->string(name.storageKey());
    if (!text) {
        return std::nullopt;
    }
    try {
        return platform::JSONDecoder().decode<Shortcut>(*text);
    } catch (...) {
        platform::ProcessStop::passOn();
        return std::nullopt;
    }
}

std::vector<Shortcut> storedShortcuts(const std::vector<Name>& names) {
    std::vector<Shortcut> shortcuts;
    for (const auto& name : names) {
        if (auto shortcut = getShortcut(name)) {
            shortcuts.push_back(*shortcut);
        }
    }
    return shortcuts;
}

std::optional<std::string> storedText(const Shortcut& shortcut) {
    try {
        return platform::JSONEncoder().encodeToString(shortcut);
    } catch (...) {
        platform::ProcessStop::passOn();
        return std::nullopt;
    }
}

} // namespace Hotkeys
} // namespace zestrel
