#include "platform/desktop/ProcessTeardown.h"

#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"

#include <utility>
#include <vector>

namespace zestrel::platform {
namespace {

struct TeardownList {
    Mutex mutex;
    std::vector<std::function<void()>> work GUARDED_BY(mutex);
};

ProcessLocal<TeardownList>& teardownList() {
    static auto* const instance = new ProcessLocal<TeardownList>;
    return *instance;
}

} // namespace

void ProcessTeardown::add(std::function<void()> work) {
    if (!work) {
        return;
    }
    auto& list = *teardownList();
    MutexLock lock(list.mutex);
    list.work.push_back(std::move(work));
}

void ProcessTeardown::run() {
    auto& list = *teardownList();
    for (;;) {
        std::function<void()> next;
        {
            MutexLock lock(list.mutex);
            if (list.work.empty()) {
                return;
            }
            next = std::move(list.work.back());
            list.work.pop_back();
        }
        next(); // outside the lock: the work may add more
    }
}

} // namespace zestrel::platform
