#include "platform/base/UTF8.h"

#include <algorithm>

namespace zestrel::platform {

namespace {

bool isContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return byte >= low && byte <= high;
}

} // namespace

UTF8Character decodeUTF8(std::string_view text, std::size_t position) {
    const auto byte = [&](std::size_t offset) {
        return static_cast<unsigned char>(text[position + offset]);
    };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t length = 0;
    char32_t scalar = 0;
    // The second byte's range is narrower after some leads: that is what rules out overlong
    // forms, surrogates and code points above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        scalar = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        scalar = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        scalar = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {kReplacementCharacter, 1, false};
    }
    for (std::size_t taken = 1; taken < length; ++taken) {
        if (position + taken >= text.size() ||
            !isContinuation(byte(taken), taken == 1 ? low : 0x80, taken == 1 ? high : 0xBF)) {
            return {kReplacementCharacter, taken, false};
        }
        scalar = (scalar << 6) | (byte(taken) & 0x3F);
    }
    return {scalar, length, true};
}

std::string encodeUTF8(char32_t scalar) {
    std::string out;
    if (scalar < 0x80) {
        out += static_cast<char>(scalar);
    } else if (scalar < 0x800) {
        out += static_cast<char>(0xC0 | (scalar >> 6));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        out += static_cast<char>(0xE0 | (scalar >> 12));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (scalar >> 18));
        out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    }
    return out;
}

bool isValidUTF8(std::string_view text) {
    for (std::size_t position = 0; position < text.size();) {
        const UTF8Character character = decodeUTF8(text, position);
        if (!character.isWellFormed) {
            return false;
        }
        position += character.length;
    }
    return true;
}

UTF16Text::UTF16Text(std::string text) : utf8_(std::move(text)) {
    units_.reserve(utf8_.size());
    starts_.reserve(utf8_.size() + 1);
    for (std::size_t position = 0; position < utf8_.size();) {
        const UTF8Character character = decodeUTF8(utf8_, position);
        if (character.scalar >= 0x10000) {
            const char32_t offset = character.scalar - 0x10000;
            units_.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            units_.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
            starts_.push_back(position);
        } else {
            units_.push_back(static_cast<char16_t>(character.scalar));
        }
        starts_.push_back(position);
        position += character.length;
    }
    starts_.push_back(utf8_.size());
}

std::size_t UTF16Text::byteOffset(std::int64_t utf16Offset) const {
    if (utf16Offset <= 0) {
        return 0;
    }
    if (utf16Offset >= length()) {
        return utf8_.size();
    }
    auto offset = static_cast<std::size_t>(utf16Offset);
    if (starts_[offset] == starts_[offset - 1]) {
        ++offset; // the second unit of a pair
    }
    return starts_[offset];
}

std::int64_t UTF16Text::utf16Offset(std::size_t byteOffset) const {
    const auto first = std::lower_bound(starts_.begin(), starts_.end(), byteOffset);
    if (first == starts_.end()) {
        return length();
    }
    return static_cast<std::int64_t>(first - starts_.begin());
}

} // namespace zestrel::platform
