#include "platform/desktop/SessionInfo.h"
#include "platform/base/Mutex.h"

#include "platform/desktop/Desktop.h"

#include <utility>

namespace zestrel::platform {

SessionInfo::SessionInfo()
    : dictionary_(Value::Dictionary{{kCGSessionOnConsoleKey, Value(true)},
                                    {kCGSessionLoginDoneKey, Value(true)}}) {}

std::optional<Value::Dictionary> SessionInfo::dictionary() const {
    MutexLock lock(mutex_);
    return dictionary_;
}

void SessionInfo::setDictionary(std::optional<Value::Dictionary> dictionary) {
    MutexLock lock(mutex_);
    dictionary_ = std::move(dictionary);
}

bool SessionInfo::isScreenLocked() const {
    MutexLock lock(mutex_);
    if (!dictionary_) {
        return false;
    }
    auto found = dictionary_->find(kCGSSessionScreenIsLockedKey);
    return found != dictionary_->end() && found->second.asBool().value_or(false);
}

bool SessionInfo::setScreenLocked(bool locked) {
    MutexLock lock(mutex_);
    if (!dictionary_) {
        dictionary_.emplace();
    }
    auto found = dictionary_->find(kCGSSessionScreenIsLockedKey);
    const bool wasLocked = found != dictionary_->end() && found->second.asBool().value_or(false);
    if (locked) {
        (*dictionary_)[kCGSSessionScreenIsLockedKey] = Value(true);
    } else if (found != dictionary_->end()) {
        dictionary_->erase(found);
    }
    return wasLocked != locked;
}

std::optional<Value::Dictionary> CGSessionCopyCurrentDictionary() {
    return Desktop::current()->session().dictionary();
}

} // namespace zestrel::platform
