#include "platform/NSEvent.h"

#include <atomic>

namespace zestrel::platform {
namespace {

// The keyboard outlives any one process on the desktop, so this is not process state.
std::atomic<std::uint64_t> heldModifierFlags{0};

} // namespace

NSEvent::ModifierFlags NSEvent::modifierFlags() {
    return {heldModifierFlags.load(std::memory_order_acquire)};
}

void NSEvent::setHeldModifierFlags(ModifierFlags flags) {
    heldModifierFlags.store(flags.rawValue, std::memory_order_release);
}

} // namespace zestrel::platform
