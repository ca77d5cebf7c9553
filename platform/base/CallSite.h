#pragma once

namespace zestrel::platform {

// Where a piece of work was posted from, so a test that hangs can say what it waits for.
// Taken by default arguments (__builtin_FILE/__builtin_LINE) at the posting call; two
// words, no allocation: the file name is a string literal of the program.
struct CallSite {
    const char* file = nullptr;
    int line = 0;
};

} // namespace zestrel::platform
