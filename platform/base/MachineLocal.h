#pragma once

#include "platform/base/Mutex.h"

#include <memory>
#include <utility>

namespace zestrel::platform {

// The current instance of a machine-level object: state of the simulated machine that
// outlives the app process (unlike a `ProcessLocal`). Its owner, a desktop or a test,
// replaces it; a fresh default stands in when none was set.
template <class T> class MachineLocal {
public:
    std::shared_ptr<T> current() {
        MutexLock lock(mutex_);
        if (!instance_) {
            instance_ = std::make_shared<T>();
        }
        return instance_;
    }
    // Nothing installs a fresh default.
    void setCurrent(std::shared_ptr<T> instance) {
        std::shared_ptr<T> old; // released outside the lock
        MutexLock lock(mutex_);
        old = std::exchange(instance_, instance ? std::move(instance) : std::make_shared<T>());
    }

private:
    Mutex mutex_;
    std::shared_ptr<T> instance_ GUARDED_BY(mutex_);
};

} // namespace zestrel::platform
