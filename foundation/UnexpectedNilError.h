#pragma once

#include "platform/base/Error.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zestrel {

// A value that had to be present was absent, with where that was found.
class UnexpectedNilError final : public platform::ErrorBody {
public:
    // The location defaults to the call site (the builtins behind `std::source_location`,
    // which clang 14 cannot compile from libstdc++).
    explicit UnexpectedNilError(std::optional<std::string> message = std::nullopt,
                                std::string file = __builtin_FILE(),
                                std::int64_t line = __builtin_LINE());

    const std::optional<std::string>& message() const { return message_; }
    const std::string& file() const { return file_; }
    std::int64_t line() const { return line_; }

    std::string typeName() const override { return "Zestrel.UnexpectedNilError"; }
    std::string describe() const override;
    std::string debugDescribe() const override;

    bool isLocalizedError() const override { return true; }
    // The message, or else the location text.
    std::optional<std::string> errorDescription() const override;
    // Always the location text.
    std::optional<std::string> failureReason() const override;

private:
    std::string locationText() const;

    std::optional<std::string> message_;
    std::string file_;
    std::int64_t line_;
};

} // namespace zestrel
