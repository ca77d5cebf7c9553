#pragma once

#include "platform/data/Coding.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zestrel {

// A checked e-mail address: exactly one address and nothing else, held trimmed.
struct EmailAddress {
    std::string rawValue;

    // Trims white space and line breaks at both ends; nothing when the rest is not exactly
    // one address.
    static std::optional<EmailAddress> fromRawValue(std::string_view text);
    // For addresses written into the program: an invalid one stops the process.
    static EmailAddress fromLiteral(std::string_view literal);

    // Where the app's feedback goes.
    static const EmailAddress& support();

    const std::string& id() const { return rawValue; }

    // Stored as the text alone; decoded as stored, without trimming or checking.
    void encode(platform::Encoder& encoder) const;
    static EmailAddress decode(const platform::Decoder& decoder);
    static std::string codingTypeName() { return "EmailAddress"; }

    bool operator==(const EmailAddress&) const = default;
};

} // namespace zestrel

template <> struct std::hash<zestrel::EmailAddress> {
    std::size_t operator()(const zestrel::EmailAddress& address) const {
        return std::hash<std::string>{}(address.rawValue);
    }
};
