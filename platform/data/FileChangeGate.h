#pragma once

#include "platform/base/ProcessTeardown.h"

#include <cerrno>
#include <system_error>

namespace zestrel::platform {

// The gate every file change of the app's process passes (the file manager's folders,
// removals and trash, the files and folders the app writes, extended attributes, login
// items, exports). An ended process's code (its main thread after the end, its threads, the
// destructors of its objects) makes, changes and removes no file: the change fails here as
// one the system does not permit (EPERM), and the caller meets that as it meets any other
// failure: an error where the call reports errors, nothing where it does not. What the ended
// process left, its temporary items too, stays until the machine clears it. The machine's own
// file work (the desktop's file managers, the console, test fixtures) runs outside the
// process's code and is never refused.
class FileChangeGate {
public:
    // EPERM when the change is refused; no error when it may be made.
    static std::error_code check() {
        return ProcessTeardown::refuses() ? std::make_error_code(std::errc::operation_not_permitted)
                                          : std::error_code();
    }
};

} // namespace zestrel::platform
