#include "platform/appkit/NSSound.h"

#include "platform/base/MachineLocal.h"
#include "platform/base/ProcessTeardown.h"

#include <atomic>

namespace zestrel::platform {

namespace {
struct BeepCounter {
    std::atomic<int> count{0};
};

MachineLocal<BeepCounter>& counter() {
    static auto* const local = new MachineLocal<BeepCounter>; // used until the very end
    return *local;
}
} // namespace

void NSSound::beep() {
    // What is left of an ended process's code beeps no more.
    if (!ProcessTeardown::hasEnded()) {
        ++counter().current()->count;
    }
}

int NSSound::beepCount() {
    return counter().current()->count.load();
}

void NSSound::forgetBeeps() {
    counter().setCurrent(nullptr);
}

} // namespace zestrel::platform
