#pragma once

namespace zestrel::platform {

// The system's sounds, as far as the program plays them.
class NSSound {
public:
    // The alert sound; nothing is heard here, the desktop counts the beeps.
    static void beep();
    static int beepCount();
};

} // namespace zestrel::platform
