#include "platform/appkit/NSSound.h"

#include "platform/base/ProcessLocal.h"

#include <atomic>

namespace zestrel::platform {

namespace {
struct BeepCounter {
    std::atomic<int> count{0};
};

BeepCounter& counter() {
    static auto* const local = new ProcessLocal<BeepCounter>();
    return local->get();
}
} // namespace

void NSSound::beep() {
    ++counter().count;
}

int NSSound::beepCount() {
    return counter().count.load();
}

} // namespace zestrel::platform
