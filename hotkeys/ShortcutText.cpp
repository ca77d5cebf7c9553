#include "foundation/SmallUtilities.h"
#include "hotkeys/Shortcut.h"
#include "platform/appkit/NSMenu.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/KeyboardLayout.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <limits>

namespace zestrel::Hotkeys {

using platform::NSEvent;

namespace {

std::string utf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

std::string utf8(UChar32 codePoint) {
    return utf8(icu::UnicodeString(codePoint));
}

// The F-key codes, F1 to F20 in order.
constexpr std::int64_t kFunctionKeyCodes[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                              103, 111, 105, 107, 113, 106, 64, 79,  80,  90};

constexpr const char* kKeycap = "\u20E3";

std::string capitalized(const std::string& text) {
    auto unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toTitle(nullptr, icu::Locale::getRoot());
    return utf8(unicode);
}

std::string lowercased(const std::string& text) {
    auto unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toLower(icu::Locale::getRoot());
    return utf8(unicode);
}

bool isSingleCharacter(const std::string& text) {
    return !text.empty() && droppingFirst(text, 1).empty();
}

std::shared_ptr<platform::NSMenuItem> findItem(const platform::NSMenu& menu,
                                               const Shortcut& shortcut,
                                               const std::optional<std::string>& keyText) {
    for (const auto& item : menu.items()) {
        std::string keyEquivalent = item->keyEquivalent();
        NSEvent::ModifierFlags mask = item->keyEquivalentModifierMask();
        if (shortcut.modifiers().contains(NSEvent::ModifierFlags::shift)) {
            if (auto lower = lowercased(keyEquivalent); lower != keyEquivalent) {
                keyEquivalent = std::move(lower);
                mask = mask | NSEvent::ModifierFlags::shift;
            }
        }
        if (keyText && *keyText == keyEquivalent && mask == shortcut.modifiers()) {
            return item;
        }
        if (const auto submenu = item->submenu()) {
            if (auto found = findItem(*submenu, shortcut, keyText)) {
                return found;
            }
        }
    }
    return nullptr;
}

} // namespace

std::string Shortcut::modifierSymbols(NSEvent::ModifierFlags flags) {
    using Flags = NSEvent::ModifierFlags;
    std::string symbols;
    symbols += flags.contains(Flags::control) ? "\u2303" : "";
    symbols += flags.contains(Flags::option) ? "\u2325" : "";
    symbols += flags.contains(Flags::shift) ? "\u21E7" : "";
    symbols += flags.contains(Flags::command) ? "\u2318" : "";
    symbols += flags.contains(Flags::function) ? "\U0001F310\uFE0E" : "";
    return symbols;
}

const std::unordered_map<std::int64_t, std::string>& Shortcut::keyToCharacterMapping() {
    static const auto* const mapping = [] {
        auto* table = new std::unordered_map<std::int64_t, std::string>{
            {36, "\u21A9"},      {51, "\u232B"},   {117, "\u2326"}, {119, "\u2198"},
            {53, "\u238B"},      {114, "?\u20DD"}, {115, "\u2196"}, {49, "Space"},
            {48, "\u21E5"},      {116, "\u21DE"},  {121, "\u21DF"}, {126, "\u2191"},
            {124, "\u2192"},     {125, "\u2193"},  {123, "\u2190"}, {71, "\u2612\u20E3"},
            {76, "\u21A9\u20E3"}};
        for (std::size_t index = 0; index < std::size(kFunctionKeyCodes); ++index) {
            (*table)[kFunctionKeyCodes[index]] = "F" + std::to_string(index + 1);
        }
        constexpr std::int64_t keypadDigits[] = {82, 83, 84, 85, 86, 87, 88, 89, 91, 92};
        for (std::size_t digit = 0; digit < std::size(keypadDigits); ++digit) {
            (*table)[keypadDigits[digit]] = std::to_string(digit) + kKeycap;
        }
        const std::pair<std::int64_t, const char*> keypadSigns[] = {
            {65, "."}, {75, "/"}, {81, "="}, {78, "-"}, {67, "*"}, {69, "+"}};
        for (const auto& [code, sign] : keypadSigns) {
            (*table)[code] = std::string(sign) + kKeycap;
        }
        return table;
    }();
    return *mapping;
}

const std::unordered_map<std::int64_t, std::string>& Shortcut::keyEquivalentMapping() {
    static const auto* const mapping = [] {
        auto* table = new std::unordered_map<std::int64_t, std::string>{{49, " "}};
        constexpr UChar32 kF1FunctionKey = 0xF704;
        for (std::size_t index = 0; index < std::size(kFunctionKeyCodes); ++index) {
            (*table)[kFunctionKeyCodes[index]] = utf8(kF1FunctionKey + static_cast<UChar32>(index));
        }
        return table;
    }();
    return *mapping;
}

std::optional<std::string> Shortcut::keyToCharacter(std::int64_t keyCode) {
    const auto& mapping = keyToCharacterMapping();
    if (const auto fixed = mapping.find(keyCode); fixed != mapping.end()) {
        return fixed->second;
    }
    if (keyCode < 0 || keyCode > std::numeric_limits<std::uint16_t>::max()) {
        return std::nullopt;
    }
    const auto source = platform::TISCopyCurrentASCIICapableKeyboardLayoutInputSource();
    if (!source) {
        return std::nullopt;
    }
    const auto layout =
        platform::TISGetInputSourceProperty(source, platform::kTISPropertyUnicodeKeyLayoutData)
            .asObject<platform::KeyboardLayout>();
    if (!layout) {
        return std::nullopt;
    }
    constexpr std::size_t kMaxLength = 4;
    char16_t units[kMaxLength] = {};
    std::size_t length = 0;
    std::uint32_t deadKeyState = 0;
    const auto status = platform::UCKeyTranslate(
        layout.get(), static_cast<std::uint16_t>(keyCode), platform::kUCKeyActionDisplay, 0,
        platform::LMGetKbdType(), 0, &deadKeyState, kMaxLength, &length, units);
    // A key that types nothing has no text: an empty one would show an invisible shortcut
    // and equal every menu item without a key equivalent.
    if (status != platform::noErr || length == 0) {
        return std::nullopt;
    }
    return utf8(icu::UnicodeString(units, static_cast<std::int32_t>(std::min(length, kMaxLength))));
}

std::string Shortcut::description() const {
    const auto key = keyToCharacter(carbonKeyCode);
    return modifierSymbols(modifiers()) + (key ? capitalized(*key) : "\uFFFD");
}

std::string Shortcut::keyEquivalent() const {
    const auto key = keyToCharacter(carbonKeyCode);
    if (!key) {
        return "";
    }
    if (isSingleCharacter(*key)) {
        return *key;
    }
    const auto& mapping = keyEquivalentMapping();
    const auto entry = mapping.find(carbonKeyCode);
    return entry == mapping.end() ? "" : entry->second;
}

std::vector<Shortcut> Shortcut::system() {
    platform::Value hotKeys;
    if (platform::CopySymbolicHotKeys(&hotKeys) != platform::noErr) {
        return {};
    }
    const auto* array = hotKeys.asArray();
    if (!array) {
        return {};
    }
    std::vector<const platform::Value::Dictionary*> dictionaries;
    for (const auto& entry : *array) {
        const auto* dictionary = entry.asDictionary();
        if (!dictionary) {
            return {};
        }
        dictionaries.push_back(dictionary);
    }
    std::vector<Shortcut> shortcuts;
    for (const auto* dictionary : dictionaries) {
        if (auto shortcut = fromSystemHotKey(*dictionary)) {
            shortcuts.push_back(*shortcut);
        }
    }
    return shortcuts;
}

std::shared_ptr<platform::NSMenuItem> Shortcut::takenByMainMenu(const platform::NSMenu& menu,
                                                                const Shortcut& shortcut) {
    return findItem(menu, shortcut, keyToCharacter(shortcut.carbonKeyCode));
}

} // namespace zestrel::Hotkeys
