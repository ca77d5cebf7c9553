#include "platform/base/ProcessLocal.h"
#include "platform/base/Error.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"

#include <vector>

namespace zestrel::platform {
namespace {

struct Registry {
    Mutex mutex;
    std::vector<std::function<void()>> resets GUARDED_BY(mutex);
};

std::atomic<std::uint64_t> generation{0};

Registry& registry() {
    static Registry* const instance = new Registry; // never destroyed: locals may outlive main
    return *instance;
}

} // namespace

void detail::registerProcessLocalReset(std::function<void()> reset) {
    MutexLock lock(registry().mutex);
    registry().resets.push_back(std::move(reset));
}

std::uint64_t detail::processGeneration() {
    return generation.load(std::memory_order_acquire);
}

void resetProcess() {
    // Its objects go only once none of its code is running: a frame still on the stack would
    // go on in freed state.
    if (ProcessTeardown::processFramesOnStack()) {
        fatal("resetProcess() was called while the process's code is on the stack.");
    }
    // Its destructors run as its code: an ended process logs or changes nothing in them.
    const ProcessTeardown::Destruction destruction;
    // A destructor may create or reset other locals, so take the list out first and
    // repeat until nothing new was created.
    for (;;) {
        std::vector<std::function<void()>> resets;
        {
            MutexLock lock(registry().mutex);
            resets.swap(registry().resets);
        }
        if (resets.empty()) {
            generation.fetch_add(1, std::memory_order_acq_rel);
            return;
        }
        for (auto it = resets.rbegin(); it != resets.rend(); ++it) {
            (*it)();
        }
    }
}

} // namespace zestrel::platform
