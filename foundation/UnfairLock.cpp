#include "foundation/UnfairLock.h"

namespace zestrel {

UnfairLock::UnfairLock() : _lock(std::make_unique<std::mutex>()) {}

// Freeing a held lock is a programming error; the mutex's own rules apply.
UnfairLock::~UnfairLock() = default;

} // namespace zestrel
