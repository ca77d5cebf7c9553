#pragma once

#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zestrel {

// Carried by an error object under NSRecoveryAttempterErrorKey: runs the recovery option
// the user picked in the platform's error alert.
class ErrorRecoveryAttempter final : public platform::NSObject,
                                     public platform::NSErrorRecoveryAttempting {
public:
    struct Option {
        std::string title;
        // True when recovery succeeded. May be called from any thread.
        std::function<bool()> action;
    };

    explicit ErrorRecoveryAttempter(std::vector<Option> recoveryOptions);
    // An attempter without options is a programming error: this stops the process.
    [[noreturn]] ErrorRecoveryAttempter();

    const std::vector<Option>& recoveryOptions() const { return recoveryOptions_; }

    std::string className() const override { return "Zestrel.ErrorRecoveryAttempter"; }

    // False for an index out of range, else the option's result.
    bool attemptRecoveryFromError(const platform::Error& error,
                                  std::int64_t optionIndex) const override;
    // Runs the option as above, then tells the delegate (when given) the result and the
    // context.
    void attemptRecoveryFromError(const platform::Error& error, std::int64_t optionIndex,
                                  const platform::RecoveryDelegate& delegate,
                                  const platform::Value& contextInfo) const override;

private:
    std::vector<Option> recoveryOptions_;
};

} // namespace zestrel
