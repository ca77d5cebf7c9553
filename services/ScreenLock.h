#pragma once

#include "platform/base/Value.h"
#include "platform/concurrency/Publisher.h"
#include "platform/concurrency/Task.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zestrel {

// Whether the user's screen is locked, from the session dictionary's flag; false without a
// session or without a Boolean flag.
bool isScreenLocked();

// true for each "com.apple.screenIsLocked" and false for each "com.apple.screenIsUnlocked"
// posted on the distributed centre, in the order they are posted. Never fails.
platform::combine::AnyPublisher<bool> screenLockPublisher();

// Ends at once when the screen is unlocked, otherwise when the lock state next changes (or
// the task is cancelled). It listens to the two notifications only while it runs, and
// starts listening before it looks at the state, so an unlock in between is not lost.
platform::Task<void> waitForScreenLockChange();

// One assertion of the power-management service.
struct PowerAssertion {
    std::string type;
    std::string name;
    friend bool operator==(const PowerAssertion&, const PowerAssertion&) = default;
};

using PowerAssertionsByProcess = std::map<int, std::vector<platform::Value::Dictionary>>;

// The assertion dictionaries of every process. Throws an `IOKitError` whose description is
// the kernel's text for the code when the service fails; an answer of another shape gives
// no assertions.
PowerAssertionsByProcess powerAssertionsByProcess();

// The kernel's text for a return code, else "Unknown kernel error: " and the code.
std::string kernelErrorDescription(std::int32_t code);

// The type ("AssertType", else "AssertionTrueType", else empty) and name ("AssertName",
// else the type) of an assertion. An empty type is reported; the record is answered all
// the same.
PowerAssertion parsePowerAssertion(const platform::Value::Dictionary& assertion);

// Whether the Mac is awake for maintenance with its display off: some process holds the
// power manager's dark-wake linger assertion. False when the assertions cannot be read.
bool isInDarkWake();

// The lists of a dictionary joined into one, in key order.
template <class Key, class Element>
std::vector<Element> flattenedArrayValues(const std::map<Key, std::vector<Element>>& dictionary) {
    std::vector<Element> joined;
    for (const auto& entry : dictionary) {
        joined.insert(joined.end(), entry.second.begin(), entry.second.end());
    }
    return joined;
}

// Runs inside `waitForScreenLockChange` between its two steps (listening and looking at
// the state), so that a test can change the lock state there. Empty: nothing runs.
void setScreenLockWaitHookForTesting(std::function<void()> hook);

} // namespace zestrel
