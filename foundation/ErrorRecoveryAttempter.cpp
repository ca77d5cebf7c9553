#include "foundation/ErrorRecoveryAttempter.h"

namespace zestrel {

ErrorRecoveryAttempter::ErrorRecoveryAttempter(std::vector<Option> recoveryOptions)
    : recoveryOptions_(std::move(recoveryOptions)) {}

ErrorRecoveryAttempter::ErrorRecoveryAttempter() {
    platform::fatal(
        "Use of unimplemented initializer 'init()' for class 'Zestrel.ErrorRecoveryAttempter'");
}

bool ErrorRecoveryAttempter::attemptRecoveryFromError(const platform::Error& /*error*/,
                                                      std::int64_t optionIndex) const {
    if (optionIndex < 0 || optionIndex >= static_cast<std::int64_t>(recoveryOptions_.size())) {
        return false;
    }
    const auto& action = recoveryOptions_[static_cast<std::size_t>(optionIndex)].action;
    return action ? action() : false;
}

void ErrorRecoveryAttempter::attemptRecoveryFromError(const platform::Error& error,
                                                      std::int64_t optionIndex,
                                                      const platform::RecoveryDelegate& delegate,
                                                      const platform::Value& contextInfo) const {
    const bool recovered = attemptRecoveryFromError(error, optionIndex);
    if (delegate) {
        delegate(recovered, contextInfo);
    }
}

} // namespace zestrel
