#include "console/KeyChord.h"

#include "console/ScriptCommand.h"
#include "platform/desktop/KeyboardLayout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <system_error>
#include <vector>

namespace zestrel::console {

namespace {

using platform::CGEventFlags;
using Flags = platform::NSEvent::ModifierFlags;

struct NamedKey {
    std::string_view name;
    std::uint16_t keyCode;
};

// Keys that type no ordinary character, by the virtual key codes of an Apple keyboard.
constexpr std::array kNamedKeys = {
    NamedKey{"esc", 53},      NamedKey{"escape", 53},     NamedKey{"return", 36},
    NamedKey{"enter", 76},    NamedKey{"tab", 48},        NamedKey{"space", 49},
    NamedKey{"delete", 51},   NamedKey{"backspace", 51},  NamedKey{"forward-delete", 117},
    NamedKey{"left", 123},    NamedKey{"right", 124},     NamedKey{"down", 125},
    NamedKey{"up", 126},      NamedKey{"home", 115},      NamedKey{"end", 119},
    NamedKey{"page-up", 116}, NamedKey{"page-down", 121}, NamedKey{"help", 114},
    NamedKey{"f1", 122},      NamedKey{"f2", 120},        NamedKey{"f3", 99},
    NamedKey{"f4", 118},      NamedKey{"f5", 96},         NamedKey{"f6", 97},
    NamedKey{"f7", 98},       NamedKey{"f8", 100},        NamedKey{"f9", 101},
    NamedKey{"f10", 109},     NamedKey{"f11", 103},       NamedKey{"f12", 111},
    NamedKey{"f13", 105},     NamedKey{"f14", 107},       NamedKey{"f15", 113},
    NamedKey{"f16", 106},     NamedKey{"f17", 64},        NamedKey{"f18", 79},
    NamedKey{"f19", 80},      NamedKey{"f20", 90},
};

struct NamedModifier {
    std::string_view name;
    CGEventFlags flag;
};

constexpr std::array kModifiers = {
    NamedModifier{"cmd", CGEventFlags::maskCommand},
    NamedModifier{"command", CGEventFlags::maskCommand},
    NamedModifier{"opt", CGEventFlags::maskAlternate},
    NamedModifier{"option", CGEventFlags::maskAlternate},
    NamedModifier{"alt", CGEventFlags::maskAlternate},
    NamedModifier{"ctrl", CGEventFlags::maskControl},
    NamedModifier{"control", CGEventFlags::maskControl},
    NamedModifier{"shift", CGEventFlags::maskShift},
    NamedModifier{"fn", CGEventFlags::maskSecondaryFn},
    NamedModifier{"caps", CGEventFlags::maskAlphaShift},
};

std::string lowercased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The US key whose cap types `character` without Shift.
std::optional<std::uint16_t> usKeyTyping(const std::string& character) {
    const auto us = platform::KeyboardLayout::us();
    for (std::uint16_t code = 0; code < 128; ++code) {
        if (platform::KeyboardLayout::modifierFlag(code) || us->specialKey(code)) {
            continue;
        }
        if (us->characters(code, false) == character) {
            return code;
        }
    }
    return std::nullopt;
}

std::uint16_t keyCodeNamed(const std::string& name, std::string_view chord) {
    // A raw virtual key code, for a key position whatever the layout types there.
    if (name.starts_with("code:")) {
        const auto digits = std::string_view(name).substr(5);
        unsigned code = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), code);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            code > 127) {
            throw CommandError("“" + name + "” is not a key code from 0 to 127 (in “" +
                               std::string(chord) + "”)");
        }
        return static_cast<std::uint16_t>(code);
    }
    for (const auto& key : kNamedKeys) {
        if (key.name == name) {
            return key.keyCode;
        }
    }
    const auto lead = name.empty() ? 0 : static_cast<unsigned char>(name.front());
    const std::size_t characterLength = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (name.size() == characterLength) {
        if (auto code = usKeyTyping(name)) {
            return *code;
        }
        throw CommandError("“" + name + "” is not a key cap of a US keyboard (in “" +
                           std::string(chord) + "”); name the key and add shift");
    }
    throw CommandError("unknown key “" + name + "” in “" + std::string(chord) + "”");
}

} // namespace

namespace {

CGEventFlags modifierNamed(const std::string& part, std::string_view text) {
    const auto name = lowercased(part);
    const auto modifier = std::find_if(kModifiers.begin(), kModifiers.end(),
                                       [&](const NamedModifier& m) { return m.name == name; });
    if (modifier == kModifiers.end()) {
        throw CommandError("unknown modifier “" + part + "” in “" + std::string(text) +
                           "” (cmd, opt, ctrl, shift, fn, caps)");
    }
    return modifier->flag;
}

} // namespace

CGEventFlags parseModifiers(std::string_view text) {
    CGEventFlags flags{};
    std::string_view rest = text;
    for (;;) {
        const auto plus = rest.find('+');
        flags = flags | modifierNamed(std::string(rest.substr(0, plus)), text);
        if (plus == std::string_view::npos) {
            return flags;
        }
        rest = rest.substr(plus + 1);
    }
}

HeldModifiers::HeldModifiers(CGEventFlags flags) : before_(platform::NSEvent::modifierFlags()) {
    platform::NSEvent::setHeldModifierFlags(Flags{flags.rawValue});
}

HeldModifiers::~HeldModifiers() {
    platform::NSEvent::setHeldModifierFlags(before_);
}

KeyChord parseKeyChord(std::string_view text) {
    if (text.empty()) {
        throw CommandError("a key is missing");
    }
    // The last part is the key; a chord ending in "+" names the plus key itself.
    std::vector<std::string> parts;
    std::string_view rest = text;
    for (;;) {
        const auto plus = rest.find('+', 1);
        if (plus == std::string_view::npos) {
            parts.emplace_back(rest);
            break;
        }
        parts.emplace_back(rest.substr(0, plus));
        rest = rest.substr(plus + 1);
        if (rest.empty()) {
            throw CommandError("a key is missing after the last “+” in “" + std::string(text) +
                               "”");
        }
    }
    KeyChord chord;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        chord.flags = chord.flags | modifierNamed(parts[i], text);
    }
    const auto& key = parts.back();
    chord.keyCode = keyCodeNamed(lowercased(key), text);
    return chord;
}

std::string describeKey(std::uint16_t keyCode, Flags flags, std::string_view characters) {
    std::string out;
    const std::pair<Flags, const char*> order[] = {{Flags::control, "ctrl+"},
                                                   {Flags::option, "opt+"},
                                                   {Flags::shift, "shift+"},
                                                   {Flags::command, "cmd+"},
                                                   {Flags::function, "fn+"}};
    for (const auto& [flag, name] : order) {
        if (flags.contains(flag)) {
            out += name;
        }
    }
    for (const auto& key : kNamedKeys) {
        if (key.keyCode == keyCode) {
            return out + std::string(key.name);
        }
    }
    if (characters.empty()) {
        return out + "key " + std::to_string(keyCode);
    }
    return out + std::string(characters);
}

} // namespace zestrel::console
