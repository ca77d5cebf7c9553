#include "platform/data/DataDetector.h"

#include <algorithm>

namespace zestrel::platform {

namespace {

constexpr std::size_t kMaximumAddressLength = 254;
constexpr std::size_t kMaximumLocalPartLength = 64;
constexpr std::size_t kMaximumLabelLength = 63;

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLocalPartCharacter(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) ||
           std::string_view("!#$%&'*+-/=?^_`{|}~.").find(c) != std::string_view::npos;
}

bool isValidLocalPart(std::string_view local) {
    return !local.empty() && local.size() <= kMaximumLocalPartLength &&
           std::all_of(local.begin(), local.end(), isLocalPartCharacter) && local.front() != '.' &&
           local.back() != '.' && local.find("..") == std::string_view::npos;
}

bool isValidLabel(std::string_view label) {
    return !label.empty() && label.size() <= kMaximumLabelLength && label.front() != '-' &&
           label.back() != '-' && std::all_of(label.begin(), label.end(), [](char c) {
               return isAsciiLetter(c) || isAsciiDigit(c) || c == '-';
           });
}

bool isValidDomain(std::string_view domain) {
    const auto lastDot = domain.rfind('.');
    if (lastDot == std::string_view::npos) {
        return false;
    }
    const std::string_view topLevel = domain.substr(lastDot + 1);
    if (topLevel.size() < 2 || !std::all_of(topLevel.begin(), topLevel.end(), isAsciiLetter)) {
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const auto dot = domain.find('.', start);
        if (!isValidLabel(domain.substr(start, dot - start))) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        start = dot + 1;
    }
}

} // namespace

std::optional<std::string> detectEmailAddress(std::string_view text) {
    if (text.size() > kMaximumAddressLength) {
        return std::nullopt;
    }
    const auto at = text.find('@');
    if (at == std::string_view::npos || text.find('@', at + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    if (!isValidLocalPart(text.substr(0, at)) || !isValidDomain(text.substr(at + 1))) {
        return std::nullopt;
    }
    return std::string(text);
}

bool isSingleEmailAddress(std::string_view text) {
    return detectEmailAddress(text).has_value();
}

} // namespace zestrel::platform
