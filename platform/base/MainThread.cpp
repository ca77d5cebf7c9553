#include "platform/base/MainThread.h"

#include <atomic>

namespace zestrel::platform {
namespace {

// Initialised during static initialisation, which runs on the thread that starts the process.
std::atomic<std::thread::id> mainThreadId{std::this_thread::get_id()};

} // namespace

bool isMainThread() {
    return std::this_thread::get_id() == mainThreadId.load();
}

std::thread::id mainThreadID() {
    return mainThreadId.load();
}

void detail::setMainThread(std::thread::id id) {
    mainThreadId.store(id);
}

} // namespace zestrel::platform
