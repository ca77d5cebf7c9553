#pragma once

namespace zestrel::platform {

// The system's sounds, as far as the program plays them.
class NSSound {
public:
    // The alert sound; nothing is heard here, the desktop counts the beeps. The count is the
    // machine's: it outlives the process that beeped (an end, a relaunch).
    static void beep();
    static int beepCount();
    // A fresh machine's count, no beep: what each test starts from.
    static void forgetBeeps();
};

} // namespace zestrel::platform
