#include "foundation/UnexpectedNilError.h"

#include "platform/base/Value.h"

namespace zestrel {

UnexpectedNilError::UnexpectedNilError(std::optional<std::string> message, std::string file,
                                       std::int64_t line)
    : message_(std::move(message)), file_(std::move(file)), line_(line) {}

std::string UnexpectedNilError::locationText() const {
    return "Unexpected nil encountered at " + file_ + ":" + std::to_string(line_);
}

std::optional<std::string> UnexpectedNilError::errorDescription() const {
    return message_ ? *message_ : locationText();
}

std::optional<std::string> UnexpectedNilError::failureReason() const {
    return locationText();
}

std::string UnexpectedNilError::describe() const {
    return "UnexpectedNilError(message: " + platform::Value(message_).debugDescribe() +
           ", file: " + platform::debugQuoted(file_) + ", line: " + std::to_string(line_) + ")";
}

std::string UnexpectedNilError::debugDescribe() const {
    return "Zestrel." + describe();
}

} // namespace zestrel
