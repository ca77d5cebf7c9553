#include "platform/system/URLOpener.h"

#include "platform/base/ProcessLocal.h"

#include <mutex>

namespace zestrel::platform {
namespace {

struct Record {
    std::mutex mutex;
    std::vector<URL> opened;
};

ProcessLocal<Record>& record() {
    static auto* const instance = new ProcessLocal<Record>();
    return *instance;
}

std::mutex handlerMutex;
URLOpener::Handler& handler() {
    static auto* const instance = new URLOpener::Handler();
    return *instance;
}

} // namespace

bool URLOpener::open(const URL& url) {
    {
        auto& state = *record();
        std::lock_guard lock(state.mutex);
        state.opened.push_back(url);
    }
    Handler current;
    {
        std::lock_guard lock(handlerMutex);
        current = handler();
    }
    return current ? current(url) : true;
}

std::vector<URL> URLOpener::openedURLs() {
    auto& state = *record();
    std::lock_guard lock(state.mutex);
    return state.opened;
}

void URLOpener::setHandler(Handler newHandler) {
    std::lock_guard lock(handlerMutex);
    handler() = std::move(newHandler);
}

} // namespace zestrel::platform
