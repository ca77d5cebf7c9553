#include "foundation/EmailAddress.h"

#include "foundation/ErrorUserInfo.h"
#include "foundation/TextUtilities.h"
#include "platform/base/Error.h"
#include "platform/data/DataDetector.h"

namespace zestrel {

std::optional<EmailAddress> EmailAddress::fromRawValue(std::string_view text) {
    std::string trimmed = trimmingWhitespaceAndNewlines(text);
    if (!platform::isSingleEmailAddress(trimmed)) {
        return std::nullopt;
    }
    return EmailAddress{std::move(trimmed)};
}

EmailAddress EmailAddress::fromLiteral(std::string_view literal) {
    auto address = fromRawValue(literal);
    if (!address) {
        platform::fatal("Invalid email address: " + std::string(literal));
    }
    return *address;
}

const EmailAddress& EmailAddress::support() {
    static const EmailAddress address = fromLiteral("support@zestrel.app");
    return address;
}

void EmailAddress::encode(platform::Encoder& encoder) const {
    encoder.singleValueContainer().encode(rawValue);
}

EmailAddress EmailAddress::decode(const platform::Decoder& decoder) {
    return EmailAddress{decoder.singleValueContainer().decode<std::string>()};
}

} // namespace zestrel
