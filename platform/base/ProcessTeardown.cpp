#include "platform/base/ProcessTeardown.h"

#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>
#include <vector>

namespace zestrel::platform {
namespace {

struct TeardownList {
    Mutex mutex;
    std::vector<std::function<void()>> work GUARDED_BY(mutex);
    std::set<const void*> registries GUARDED_BY(mutex);
};

ProcessLocal<TeardownList>& teardownList() {
    static auto* const instance = new ProcessLocal<TeardownList>;
    return *instance;
}

// The generation of the process that ended. Not a process-local: the process stays ended
// while its locals are destroyed, whatever order they go in, until the next one starts.
std::atomic<std::uint64_t> endedGeneration{std::numeric_limits<std::uint64_t>::max()};

} // namespace

void ProcessTeardown::add(std::function<void()> work) {
    if (!work) {
        return;
    }
    if (hasEnded()) {
        work();
        return;
    }
    auto& list = *teardownList();
    MutexLock lock(list.mutex);
    list.work.push_back(std::move(work));
}

void ProcessTeardown::addOnce(const void* registry, std::function<void()> work) {
    {
        auto& list = *teardownList();
        MutexLock lock(list.mutex);
        if (!list.registries.insert(registry).second) {
            return;
        }
    }
    add(std::move(work));
}

void ProcessTeardown::run() {
    endedGeneration.store(detail::processGeneration(), std::memory_order_release);
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

bool ProcessTeardown::hasEnded() {
    return endedGeneration.load(std::memory_order_acquire) == detail::processGeneration();
}

ProcessTeardown::Frames& ProcessTeardown::currentFrames() {
    thread_local Frames frames;
    return frames;
}

ProcessTeardown::MachineWork::MachineWork()
    : FrameScope({.inProcess = false,
                  .destroying = currentFrames().destroying,
                  .depth = currentFrames().depth}) {}

ProcessTeardown::Destruction::Destruction()
    : FrameScope({.inProcess = hasEnded(), .destroying = true, .depth = currentFrames().depth}) {}

void ProcessStop::passOn() {
    try {
        throw;
    } catch (const ProcessStop&) {
        throw;
    } catch (...) {
        // anything else stays with the caller's handler
    }
}

void ProcessTeardown::stopIfEnded() {
    if (refuses() && !currentFrames().destroying) {
        throw ProcessStop{};
    }
}

} // namespace zestrel::platform
