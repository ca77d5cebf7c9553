#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <optional>

namespace zestrel::platform {

// Keys of the session dictionary. The locked flag is there, as true, only while the screen
// is locked.
inline constexpr const char* kCGSSessionScreenIsLockedKey = "CGSSessionScreenIsLocked";
inline constexpr const char* kCGSessionOnConsoleKey = "kCGSSessionOnConsoleKey";
inline constexpr const char* kCGSessionLoginDoneKey = "kCGSessionLoginDoneKey";

// What the system posts on the distributed centre when the screen locks and unlocks.
inline constexpr const char* kScreenIsLockedNotification = "com.apple.screenIsLocked";
inline constexpr const char* kScreenIsUnlockedNotification = "com.apple.screenIsUnlocked";

// The user's login session as the window server describes it: a logged-in console session,
// unlocked. It belongs to the machine (the desktop), so it outlives the program's process.
// Thread-safe.
class SessionInfo {
public:
    SessionInfo();
    SessionInfo(const SessionInfo&) = delete;
    SessionInfo& operator=(const SessionInfo&) = delete;

    // The session's dictionary; none when there is no session.
    std::optional<Value::Dictionary> dictionary() const;
    // Replaces the dictionary as it stands, with no notification (odd sessions in tests).
    void setDictionary(std::optional<Value::Dictionary> dictionary);

    bool isScreenLocked() const;
    // Sets or removes the locked flag (making a session when there is none); false when the
    // screen already was in that state. The desktop posts the notification.
    bool setScreenLocked(bool locked);

private:
    mutable Mutex mutex_;
    std::optional<Value::Dictionary> dictionary_ GUARDED_BY(mutex_);
};

// The current desktop's session dictionary; none when it has no session.
std::optional<Value::Dictionary> CGSessionCopyCurrentDictionary();

} // namespace zestrel::platform
