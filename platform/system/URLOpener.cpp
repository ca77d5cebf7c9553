#include "platform/system/URLOpener.h"

#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/Records.h"

namespace zestrel::platform {
namespace {

struct Record {
    Mutex mutex;
    std::vector<URL> opened GUARDED_BY(mutex);
};

ProcessLocal<Record>& record() {
    static auto* const instance = new ProcessLocal<Record>();
    return *instance;
}

Mutex handlerMutex;
URLOpener::Handler& handler() REQUIRES(handlerMutex) {
    static auto* const instance = new URLOpener::Handler();
    return *instance;
}

} // namespace

bool URLOpener::open(const URL& url) {
    if (ProcessTeardown::hasEnded()) {
        return false; // what is left of an ended process's code opens nothing
    }
    {
        auto& state = *record();
        MutexLock lock(state.mutex);
        state.opened.push_back(url);
    }
    Handler current;
    {
        MutexLock lock(handlerMutex);
        current = handler();
    }
    return current ? current(url) : true;
}

std::vector<URL> URLOpener::openedURLs() {
    auto& state = *record();
    MutexLock lock(state.mutex);
    return state.opened;
}

std::size_t URLOpener::openedURLCount() {
    auto& state = *record();
    MutexLock lock(state.mutex);
    return state.opened.size();
}

std::optional<URL> URLOpener::openedURL(std::size_t index) {
    auto& state = *record();
    MutexLock lock(state.mutex);
    return recordAt(state.opened, index);
}

void URLOpener::setHandler(Handler newHandler) {
    MutexLock lock(handlerMutex);
    handler() = std::move(newHandler);
}

} // namespace zestrel::platform
