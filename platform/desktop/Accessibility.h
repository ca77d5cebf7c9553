#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <memory>

namespace zestrel::platform {

// The option of AXIsProcessTrustedWithOptions that asks the system to prompt the user.
inline constexpr const char* kAXTrustedCheckOptionPrompt = "AXTrustedCheckOptionPrompt";

// The privacy settings of the app on this machine: Accessibility trust, the right to post
// events and the right to listen to them. A desktop-level object: it outlives the app
// process. Trusted, with both rights, by default. Prompts and requests are counted.
class Accessibility {
public:
    Accessibility() = default;
    Accessibility(const Accessibility&) = delete;
    Accessibility& operator=(const Accessibility&) = delete;

    static std::shared_ptr<Accessibility> current();
    // nullptr installs a fresh default instance.
    static void setCurrent(std::shared_ptr<Accessibility> accessibility);

    bool isTrusted() const;
    void setTrusted(bool trusted);
    bool hasPostEventAccess() const;
    void setPostEventAccess(bool granted);
    bool hasListenEventAccess() const;
    void setListenEventAccess(bool granted);
    // Whether CGEventPost from the app reaches the event stream.
    bool mayPostEvents() const { return hasPostEventAccess(); }

    // The Accessibility prompts shown (asked with the prompt option while not trusted).
    int promptCount() const;
    int postEventAccessRequestCount() const;
    int listenEventAccessRequestCount() const;

    // The platform's calls, recorded.
    bool checkTrusted(const Value::Dictionary* options);
    bool requestPostEventAccess();
    bool requestListenEventAccess();

private:
    mutable Mutex mutex_;
    bool trusted_ GUARDED_BY(mutex_) = true;
    bool postEventAccess_ GUARDED_BY(mutex_) = true;
    bool listenEventAccess_ GUARDED_BY(mutex_) = true;
    int prompts_ GUARDED_BY(mutex_) = 0;
    int postRequests_ GUARDED_BY(mutex_) = 0;
    int listenRequests_ GUARDED_BY(mutex_) = 0;
};

bool AXIsProcessTrusted();
// With kAXTrustedCheckOptionPrompt true and no trust, the system prompts the user.
bool AXIsProcessTrustedWithOptions(const Value::Dictionary* options);
bool AXIsProcessTrustedWithOptions(const Value::Dictionary& options);
bool CGPreflightPostEventAccess();
bool CGRequestPostEventAccess();
bool CGPreflightListenEventAccess();
bool CGRequestListenEventAccess();

} // namespace zestrel::platform
