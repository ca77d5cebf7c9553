#include "platform/desktop/DisplayOptions.h"

#include "platform/base/MachineLocal.h"
#include "platform/desktop/NSWorkspace.h"

namespace zestrel::platform {
namespace {

MachineLocal<DisplayOptions>& machineLocal() {
    static auto* const local = new MachineLocal<DisplayOptions>; // used until the very end
    return *local;
}

} // namespace

std::shared_ptr<DisplayOptions> DisplayOptions::current() {
    return machineLocal().current();
}

void DisplayOptions::setCurrent(std::shared_ptr<DisplayOptions> options) {
    machineLocal().setCurrent(std::move(options));
}

bool DisplayOptions::reduceMotion() const {
    return reduceMotion_.load();
}

void DisplayOptions::setReduceMotion(bool reduce) {
    reduceMotion_.store(reduce);
}

bool NSWorkspace::accessibilityDisplayShouldReduceMotion() const {
    return DisplayOptions::current()->reduceMotion();
}

} // namespace zestrel::platform
