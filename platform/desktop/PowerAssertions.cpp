#include "platform/desktop/PowerAssertions.h"
#include "platform/base/Mutex.h"

#include "platform/desktop/Desktop.h"

#include <string>
#include <utility>

namespace zestrel::platform {

void PowerAssertions::setAssertions(int processIdentifier, Value assertions) {
    MutexLock lock(mutex_);
    if (assertions.isAbsent()) {
        byProcess_.erase(processIdentifier);
    } else {
        byProcess_[processIdentifier] = std::move(assertions);
    }
}

void PowerAssertions::setFailure(IOReturn code) {
    MutexLock lock(mutex_);
    failure_ = code;
}

IOReturn PowerAssertions::copyAssertionsByProcess(Value& assertionsByProcess) const {
    MutexLock lock(mutex_);
    if (failure_ != kIOReturnSuccess) {
        return failure_;
    }
    Value::Dictionary listing;
    for (const auto& [processIdentifier, assertions] : byProcess_) {
        listing.emplace(std::to_string(processIdentifier), assertions);
    }
    assertionsByProcess = Value(std::move(listing));
    return kIOReturnSuccess;
}

IOReturn IOPMCopyAssertionsByProcess(Value* assertionsByProcess) {
    if (assertionsByProcess == nullptr) {
        return kIOReturnBadArgument;
    }
    return Desktop::current()->powerAssertions().copyAssertionsByProcess(*assertionsByProcess);
}

} // namespace zestrel::platform
