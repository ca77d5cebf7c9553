#pragma once

#include "platform/base/MachError.h"
#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <map>

namespace zestrel::platform {

// Keys of an assertion dictionary. Some assertions the system makes for itself carry their
// type under "AssertionTrueType" only.
inline constexpr const char* kIOPMAssertionTypeKey = "AssertType";
inline constexpr const char* kIOPMAssertionTrueTypeKey = "AssertionTrueType";
inline constexpr const char* kIOPMAssertionNameKey = "AssertName";

// The power-management assertions the processes of the machine hold, as the service lists
// them. They belong to the machine (the desktop); none unless set. Thread-safe.
class PowerAssertions {
public:
    PowerAssertions() = default;
    PowerAssertions(const PowerAssertions&) = delete;
    PowerAssertions& operator=(const PowerAssertions&) = delete;

    // What a process holds: normally an array of assertion dictionaries, but any value is
    // kept as it is, for tests of odd answers. An absent value removes the process.
    void setAssertions(int processIdentifier, Value assertions);
    // Makes the listing fail with `code`; kIOReturnSuccess lets it succeed again.
    void setFailure(IOReturn code);

    // The listing: a dictionary from the process identifier, in decimal (dictionaries here
    // have text keys), to what the process holds. `assertionsByProcess` is left as it is
    // when the listing fails.
    IOReturn copyAssertionsByProcess(Value& assertionsByProcess) const;

private:
    mutable Mutex mutex_;
    std::map<int, Value> byProcess_ GUARDED_BY(mutex_);
    IOReturn failure_ GUARDED_BY(mutex_) = kIOReturnSuccess;
};

// The current desktop's listing, as above.
IOReturn IOPMCopyAssertionsByProcess(Value* assertionsByProcess);

} // namespace zestrel::platform
