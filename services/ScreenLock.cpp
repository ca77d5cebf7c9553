#include "services/ScreenLock.h"

#include "foundation/AsyncStreamUtilities.h"
#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/IOKitError.h"
#include "foundation/PublisherToAsyncStream.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/concurrency/NotificationPublisher.h"
#include "platform/concurrency/PublisherOperators.h"
#include "platform/desktop/PowerAssertions.h"
#include "platform/desktop/SessionInfo.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace zestrel {

namespace pf = platform;

namespace {

constexpr const char* kDarkWakeAssertionType = "InternalPreventSleep";
constexpr const char* kDarkWakeAssertionName = "com.apple.powermanagement.darkwakelinger";

struct WaitHook {
    pf::Mutex mutex;
    std::function<void()> hook GUARDED_BY(mutex);
};

pf::ProcessLocal<WaitHook>& waitHook() {
    static auto* const instance = new pf::ProcessLocal<WaitHook>(); // lives for the process
    return *instance;
}

void runWaitHook() {
    std::function<void()> hook;
    {
        auto& holder = waitHook().get();
        pf::MutexLock lock(holder.mutex);
        hook = holder.hook;
    }
    if (hook) {
        hook();
    }
}

std::optional<std::string> textAt(const pf::Value::Dictionary& dictionary, const char* key) {
    auto found = dictionary.find(key);
    if (found == dictionary.end()) {
        return std::nullopt;
    }
    if (const std::string* text = found->second.asString()) {
        return *text;
    }
    return std::nullopt;
}

std::optional<int> processIdentifier(const std::string& key) {
    int value = 0;
    const char* end = key.data() + key.size();
    auto [stop, error] = std::from_chars(key.data(), end, value);
    if (key.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// The listing as a dictionary of process identifiers to lists of dictionaries; nothing
// when any part of it has another shape.
std::optional<PowerAssertionsByProcess> typedListing(const pf::Value& listing) {
    const auto* processes = listing.asDictionary();
    if (processes == nullptr) {
        return std::nullopt;
    }
    PowerAssertionsByProcess typed;
    for (const auto& [key, held] : *processes) {
        auto pid = processIdentifier(key);
        const auto* list = held.asArray();
        if (!pid || list == nullptr) {
            return std::nullopt;
        }
        auto& assertions = typed[*pid];
        for (const auto& assertion : *list) {
            const auto* dictionary = assertion.asDictionary();
            if (dictionary == nullptr) {
                return std::nullopt;
            }
            assertions.push_back(*dictionary);
        }
    }
    return typed;
}

} // namespace

bool isScreenLocked() {
    auto session = pf::CGSessionCopyCurrentDictionary();
    if (!session) {
        return false;
    }
    auto found = session->find(pf::kCGSSessionScreenIsLockedKey);
    return found != session->end() && found->second.asBool().value_or(false);
}

pf::combine::AnyPublisher<bool> screenLockPublisher() {
    auto center = pf::NotificationCenter::distributedCenter();
    auto locked = pf::combine::notificationPublisher(center, pf::kScreenIsLockedNotification)
                      .map([](const pf::Notification&) { return true; });
    auto unlocked = pf::combine::notificationPublisher(center, pf::kScreenIsUnlockedNotification)
                        .map([](const pf::Notification&) { return false; });
    return locked.merge(unlocked);
}

pf::Task<void> waitForScreenLockChange() {
    // Listening first: a change between the look and the listening would otherwise be lost
    // and the wait would last until the next one.
    auto changes = toAsyncStream(screenLockPublisher());
    runWaitHook();
    if (!isScreenLocked()) {
        co_return;
    }
    co_await first(changes);
}

PowerAssertionsByProcess powerAssertionsByProcess() {
    pf::Value listing;
    const pf::IOReturn result = pf::IOPMCopyAssertionsByProcess(&listing);
    if (result != pf::kIOReturnSuccess) {
        throw pf::Error::make<IOKitError>(
            result, pf::Value::Dictionary{{pf::NSLocalizedDescriptionKey,
                                           pf::Value(kernelErrorDescription(result))}});
    }
    return typedListing(listing).value_or(PowerAssertionsByProcess{});
}

std::string kernelErrorDescription(std::int32_t code) {
    if (const char* text = pf::mach_error_string(code)) {
        return text;
    }
    return "Unknown kernel error: " + std::to_string(code);
}

PowerAssertion parsePowerAssertion(const pf::Value::Dictionary& assertion) {
    PowerAssertion parsed;
    parsed.type = textAt(assertion, pf::kIOPMAssertionTypeKey)
                      .value_or(textAt(assertion, pf::kIOPMAssertionTrueTypeKey).value_or(""));
    parsed.name = textAt(assertion, pf::kIOPMAssertionNameKey).value_or(parsed.type);
    if (parsed.type.empty()) {
        reportError(GeneralError::make(".type should not be empty"));
    }
    return parsed;
}

bool isInDarkWake() {
    PowerAssertionsByProcess byProcess;
    try {
        byProcess = powerAssertionsByProcess();
    } catch (const pf::Error&) {
        return false;
    }
    // Every assertion is parsed first, so each malformed one is reported whatever comes
    // before it.
    std::vector<PowerAssertion> parsed;
    for (const auto& assertion : flattenedArrayValues(byProcess)) {
        parsed.push_back(parsePowerAssertion(assertion));
    }
    return std::any_of(parsed.begin(), parsed.end(), [](const PowerAssertion& assertion) {
        return assertion.type == kDarkWakeAssertionType && assertion.name == kDarkWakeAssertionName;
    });
}

void setScreenLockWaitHookForTesting(std::function<void()> hook) {
    auto& holder = waitHook().get();
    pf::MutexLock lock(holder.mutex);
    holder.hook = std::move(hook);
}

} // namespace zestrel
