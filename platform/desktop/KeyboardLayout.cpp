#include "platform/desktop/KeyboardLayout.h"

#include "platform/base/UTF8.h"
#include "platform/desktop/InputSource.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace zestrel::platform {
namespace {

using Key = KeyboardLayout::CharacterKey;
using SpecialKey = NSEvent::SpecialKey;

// A key that types no ordinary character: what an event of it carries, and what the layout
// translation gives (control characters; U+0010 for the function keys).
struct ControlKey {
    std::uint16_t keyCode;
    char32_t eventCharacter;
    char32_t shiftedEventCharacter;
    char16_t translation;
};

constexpr ControlKey kControlKeys[] = {
    {36, 0x0D, 0x0D, 0x0D},      // Return
    {48, 0x09, 0x19, 0x09},      // Tab; Shift gives back-tab
    {49, U' ', U' ', u' '},      // Space
    {51, 0x7F, 0x7F, 0x08},      // Delete
    {53, 0x1B, 0x1B, 0x1B},      // Escape
    {64, 0xF714, 0xF714, 0x10},  // F17
    {71, 0xF739, 0xF739, 0x1B},  // keypad Clear
    {72, 0x10, 0x10, 0x10},      // Volume Up
    {73, 0x10, 0x10, 0x10},      // Volume Down
    {74, 0x10, 0x10, 0x10},      // Mute
    {76, 0x03, 0x03, 0x03},      // keypad Enter
    {79, 0xF715, 0xF715, 0x10},  // F18
    {80, 0xF716, 0xF716, 0x10},  // F19
    {90, 0xF717, 0xF717, 0x10},  // F20
    {96, 0xF708, 0xF708, 0x10},  // F5
    {97, 0xF709, 0xF709, 0x10},  // F6
    {98, 0xF70A, 0xF70A, 0x10},  // F7
    {99, 0xF706, 0xF706, 0x10},  // F3
    {100, 0xF70B, 0xF70B, 0x10}, // F8
    {101, 0xF70C, 0xF70C, 0x10}, // F9
    {103, 0xF70E, 0xF70E, 0x10}, // F11
    {105, 0xF710, 0xF710, 0x10}, // F13
    {106, 0xF713, 0xF713, 0x10}, // F16
    {107, 0xF711, 0xF711, 0x10}, // F14
    {109, 0xF70D, 0xF70D, 0x10}, // F10
    {110, 0x10, 0x10, 0x10},     // context menu
    {111, 0xF70F, 0xF70F, 0x10}, // F12
    {113, 0xF712, 0xF712, 0x10}, // F15
    {114, 0xF746, 0xF746, 0x05}, // Help
    {115, 0xF729, 0xF729, 0x01}, // Home
    {116, 0xF72C, 0xF72C, 0x0B}, // Page Up
    {117, 0xF728, 0xF728, 0x7F}, // Forward Delete
    {118, 0xF707, 0xF707, 0x10}, // F4
    {119, 0xF72B, 0xF72B, 0x04}, // End
    {120, 0xF705, 0xF705, 0x10}, // F2
    {121, 0xF72D, 0xF72D, 0x0C}, // Page Down
    {122, 0xF704, 0xF704, 0x10}, // F1
    {123, 0xF702, 0xF702, 0x1C}, // Left
    {124, 0xF703, 0xF703, 0x1D}, // Right
    {125, 0xF701, 0xF701, 0x1F}, // Down
    {126, 0xF700, 0xF700, 0x1E}, // Up
};

const ControlKey* controlKey(std::uint16_t keyCode) {
    const auto it =
        std::find_if(std::begin(kControlKeys), std::end(kControlKeys),
                     [keyCode](const ControlKey& key) { return key.keyCode == keyCode; });
    return it == std::end(kControlKeys) ? nullptr : it;
}

// The layouts' character keys are short UTF-8 texts, all in the Basic Multilingual Plane.
std::u16string utf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char32_t c = byte;
        std::size_t length = 1;
        if (byte >= 0xF0) {
            c = byte & 0x07;
            length = 4;
        } else if (byte >= 0xE0) {
            c = byte & 0x0F;
            length = 3;
        } else if (byte >= 0xC0) {
            c = byte & 0x1F;
            length = 2;
        }
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

struct Row {
    std::uint16_t keyCode;
    const char* plain;
    const char* shifted;
};

void put(KeyboardLayout::CharacterKeys& keys, std::initializer_list<Row> rows, bool letters) {
    for (const auto& row : rows) {
        keys.at(row.keyCode) = Key{row.plain, row.shifted, letters};
    }
}

// What keys type with Option, without and with Shift; keys not named keep their text.
struct OptionRow {
    std::uint16_t keyCode;
    const char* option;
    const char* optionShifted;
};

void putOption(KeyboardLayout::CharacterKeys& keys, std::initializer_list<OptionRow> rows) {
    for (const auto& row : rows) {
        auto& key = keys.at(row.keyCode).value();
        key.option = row.option;
        key.optionShifted = row.optionShifted;
    }
}

// The keypad types the same on every layout here, except its decimal key.
void putKeypad(KeyboardLayout::CharacterKeys& keys, const char* decimal) {
    put(keys,
        {{65, decimal, decimal},
         {67, "*", "*"},
         {69, "+", "+"},
         {75, "/", "/"},
         {78, "-", "-"},
         {81, "=", "="},
         {82, "0", "0"},
         {83, "1", "1"},
         {84, "2", "2"},
         {85, "3", "3"},
         {86, "4", "4"},
         {87, "5", "5"},
         {88, "6", "6"},
         {89, "7", "7"},
         {91, "8", "8"},
         {92, "9", "9"}},
        false);
}

KeyboardLayout::CharacterKeys usKeys() {
    KeyboardLayout::CharacterKeys keys;
    put(keys, {{0, "a", "A"},  {1, "s", "S"},  {2, "d", "D"},  {3, "f", "F"},  {4, "h", "H"},
               {5, "g", "G"},  {6, "z", "Z"},  {7, "x", "X"},  {8, "c", "C"},  {9, "v", "V"},
               {11, "b", "B"}, {12, "q", "Q"}, {13, "w", "W"}, {14, "e", "E"}, {15, "r", "R"},
               {16, "y", "Y"}, {17, "t", "T"}, {31, "o", "O"}, {32, "u", "U"}, {34, "i", "I"},
               {35, "p", "P"}, {37, "l", "L"}, {38, "j", "J"}, {40, "k", "K"}, {45, "n", "N"},
               {46, "m", "M"}},
        true);
    put(keys, {{10, "§", "±"},  {18, "1", "!"}, {19, "2", "@"},  {20, "3", "#"}, {21, "4", "$"},
               {22, "6", "^"},  {23, "5", "%"}, {24, "=", "+"},  {25, "9", "("}, {26, "7", "&"},
               {27, "-", "_"},  {28, "8", "*"}, {29, "0", ")"},  {30, "]", "}"}, {33, "[", "{"},
               {39, "'", "\""}, {41, ";", ":"}, {42, "\\", "|"}, {43, ",", "<"}, {44, "/", "?"},
               {47, ".", ">"},  {50, "`", "~"}},
        false);
    putKeypad(keys, ".");
    putOption(keys, {{0, "å", "Å"},  {11, "∫", "ı"}, {8, "ç", "Ç"},  {2, "∂", "Î"},  {14, "´", "´"},
                     {3, "ƒ", "Ï"},  {5, "©", "˝"},  {4, "˙", "Ó"},  {34, "ˆ", "ˆ"}, {38, "∆", "Ô"},
                     {37, "¬", "Ò"}, {46, "µ", "Â"}, {45, "˜", "˜"}, {31, "ø", "Ø"}, {35, "π", "∏"},
                     {12, "œ", "Œ"}, {15, "®", "‰"}, {1, "ß", "Í"},  {17, "†", "ˇ"}, {32, "¨", "¨"},
                     {9, "√", "◊"},  {13, "∑", "„"}, {7, "≈", "˛"},  {16, "¥", "Á"}, {6, "Ω", "¸"},
                     {18, "¡", "⁄"}, {19, "™", "€"}, {20, "£", "‹"}, {21, "¢", "›"}, {23, "∞", "ﬁ"},
                     {22, "§", "ﬂ"}, {26, "¶", "‡"}, {28, "•", "°"}, {25, "ª", "·"}, {29, "º", "‚"},
                     {27, "–", "—"}, {24, "≠", "±"}});
    return keys;
}

KeyboardLayout::CharacterKeys germanKeys() {
    auto keys = usKeys();
    put(keys, {{6, "y", "Y"}, {16, "z", "Z"}, {33, "ü", "Ü"}, {41, "ö", "Ö"}, {39, "ä", "Ä"}},
        true);
    put(keys,
        {{10, "^", "°"},
         {18, "1", "!"},
         {19, "2", "\""},
         {20, "3", "§"},
         {21, "4", "$"},
         {22, "6", "&"},
         {23, "5", "%"},
         {24, "´", "`"},
         {25, "9", ")"},
         {26, "7", "/"},
         {27, "ß", "?"},
         {28, "8", "("},
         {29, "0", "="},
         {30, "+", "*"},
         {42, "#", "'"},
         {43, ",", ";"},
         {44, "-", "_"},
         {47, ".", ":"},
         {50, "<", ">"}},
        false);
    putKeypad(keys, ",");
    putOption(keys,
              {{0, "å", "Å"},  {1, "‚", "Í"},  {2, "∂", "™"},   {3, "ƒ", "Ï"},  {5, "©", "Ì"},
               {4, "ª", "Ó"},  {38, "º", "ı"}, {40, "∆", "ˆ"},  {37, "@", "ﬂ"}, {12, "«", "»"},
               {13, "∑", "„"}, {14, "€", "‰"}, {15, "®", "¸"},  {17, "†", "˝"}, {16, "Ω", "ˇ"},
               {32, "¨", "Á"}, {34, "⁄", "Û"}, {31, "ø", "Ø"},  {35, "π", "∏"}, {6, "¥", "‡"},
               {7, "≈", "Ù"},  {8, "ç", "Ç"},  {9, "√", "◊"},   {11, "∫", "‹"}, {45, "~", "›"},
               {46, "µ", "˘"}, {18, "¡", "¬"}, {19, "“", "”"},  {20, "¶", "#"}, {21, "¢", "£"},
               {23, "[", "ﬁ"}, {22, "]", "^"}, {26, "|", "\\"}, {28, "{", "˜"}, {25, "}", "·"},
               {29, "≠", "¯"}});
    return keys;
}

KeyboardLayout::CharacterKeys russianKeys() {
    KeyboardLayout::CharacterKeys keys;
    put(keys, {{0, "ф", "Ф"},  {1, "ы", "Ы"},  {2, "в", "В"},  {3, "а", "А"},  {4, "р", "Р"},
               {5, "п", "П"},  {6, "я", "Я"},  {7, "ч", "Ч"},  {8, "с", "С"},  {9, "м", "М"},
               {11, "и", "И"}, {12, "й", "Й"}, {13, "ц", "Ц"}, {14, "у", "У"}, {15, "к", "К"},
               {16, "н", "Н"}, {17, "е", "Е"}, {30, "ъ", "Ъ"}, {31, "щ", "Щ"}, {32, "г", "Г"},
               {33, "х", "Х"}, {34, "ш", "Ш"}, {35, "з", "З"}, {37, "д", "Д"}, {38, "о", "О"},
               {39, "э", "Э"}, {40, "л", "Л"}, {41, "ж", "Ж"}, {43, "б", "Б"}, {45, "т", "Т"},
               {46, "ь", "Ь"}, {47, "ю", "Ю"}, {50, "ё", "Ё"}},
        true);
    put(keys,
        {{10, ">", "<"},
         {18, "1", "!"},
         {19, "2", "\""},
         {20, "3", "№"},
         {21, "4", "%"},
         {22, "6", ","},
         {23, "5", ":"},
         {24, "=", "+"},
         {25, "9", "("},
         {26, "7", "."},
         {27, "-", "_"},
         {28, "8", ";"},
         {29, "0", ")"},
         {42, "\\", "/"},
         {44, ".", ","}},
        false);
    putKeypad(keys, ".");
    return keys;
}

} // namespace

KeyboardLayout::KeyboardLayout(std::string identifier, std::string localizedName, bool asciiCapable,
                               CharacterKeys keys)
    : identifier_(std::move(identifier)), localizedName_(std::move(localizedName)),
      asciiCapable_(asciiCapable), keys_(std::move(keys)) {}

std::shared_ptr<KeyboardLayout> KeyboardLayout::us() {
    static const auto layout =
        std::make_shared<KeyboardLayout>("com.apple.keylayout.US", "U.S.", true, usKeys());
    return layout;
}

std::shared_ptr<KeyboardLayout> KeyboardLayout::german() {
    static const auto layout = std::make_shared<KeyboardLayout>("com.apple.keylayout.German",
                                                                "German", true, germanKeys());
    return layout;
}

std::shared_ptr<KeyboardLayout> KeyboardLayout::russian() {
    static const auto layout = std::make_shared<KeyboardLayout>("com.apple.keylayout.Russian",
                                                                "Russian", false, russianKeys());
    return layout;
}

std::optional<std::string> KeyboardLayout::characters(std::uint16_t keyCode, bool shift,
                                                      bool capsLock, bool option) const {
    if (keyCode < keys_.size() && keys_[keyCode]) {
        const auto& key = *keys_[keyCode];
        const bool shifted = shift || (capsLock && key.letter);
        if (option && !key.option.empty()) {
            return shifted && !key.optionShifted.empty() ? key.optionShifted : key.option;
        }
        return shifted ? key.shifted : key.plain;
    }
    if (const auto* control = controlKey(keyCode)) {
        return encodeUTF8(shift ? control->shiftedEventCharacter : control->eventCharacter);
    }
    return std::nullopt;
}

std::optional<NSEvent::SpecialKey> KeyboardLayout::specialKey(std::uint16_t keyCode,
                                                              bool shift) const {
    if (keyCode < keys_.size() && keys_[keyCode]) {
        return std::nullopt;
    }
    if (const auto* control = controlKey(keyCode)) {
        return SpecialKey::of(shift ? control->shiftedEventCharacter : control->eventCharacter);
    }
    return std::nullopt;
}

std::optional<NSEvent::ModifierFlags> KeyboardLayout::modifierFlag(std::uint16_t keyCode) {
    using Flags = NSEvent::ModifierFlags;
    switch (keyCode) {
    case 54: // right Command
    case 55:
        return Flags::command;
    case 56:
    case 60: // right Shift
        return Flags::shift;
    case 57:
        return Flags::capsLock;
    case 58:
    case 61: // right Option
        return Flags::option;
    case 59:
    case 62: // right Control
        return Flags::control;
    case 63:
        return Flags::function;
    default:
        return std::nullopt;
    }
}

std::optional<std::u16string> KeyboardLayout::translate(std::uint16_t keyCode, bool shift,
                                                        bool capsLock, bool option) const {
    if (keyCode < keys_.size() && keys_[keyCode]) {
        return utf16(*characters(keyCode, shift, capsLock, option));
    }
    if (const auto* control = controlKey(keyCode)) {
        return std::u16string(1, control->translation);
    }
    return std::nullopt;
}

OSStatus UCKeyTranslate(const KeyboardLayout* layout, std::uint16_t virtualKeyCode,
                        std::uint16_t keyAction, std::uint32_t modifierKeyState,
                        std::uint32_t /*keyboardType*/, std::uint32_t /*keyTranslateOptions*/,
                        std::uint32_t* deadKeyState, std::size_t maxStringLength,
                        std::size_t* actualStringLength, char16_t* unicodeString) {
    if (!layout || !deadKeyState || !actualStringLength ||
        (maxStringLength > 0 && !unicodeString) || keyAction > kUCKeyActionDisplay) {
        return paramErr;
    }
    *actualStringLength = 0;
    if (const OSStatus failure = InputSources::current()->translationFailure(); failure != noErr) {
        return failure;
    }
    *deadKeyState = 0; // no dead keys on these layouts
    if (keyAction == kUCKeyActionUp) {
        return noErr;
    }
    const auto text =
        layout->translate(virtualKeyCode, (modifierKeyState & 0x02) != 0,
                          (modifierKeyState & 0x04) != 0, (modifierKeyState & 0x08) != 0);
    if (!text) {
        return noErr;
    }
    const std::size_t count = std::min(text->size(), maxStringLength);
    std::copy_n(text->begin(), count, unicodeString);
    *actualStringLength = count;
    return noErr;
}

std::uint8_t LMGetKbdType() {
    return 40;
}

} // namespace zestrel::platform
