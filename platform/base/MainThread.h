#pragma once

#include <thread>

namespace zestrel::platform {

// Whether the caller runs on the main thread: the thread that created the main run loop
// (before there is one, the thread that started the process).
bool isMainThread();

// The platform's spelling of the same question.
struct Thread {
    static bool isMainThread() { return platform::isMainThread(); }
};

// The main thread's id.
std::thread::id mainThreadID();

namespace detail {
void setMainThread(std::thread::id id);
} // namespace detail

} // namespace zestrel::platform
