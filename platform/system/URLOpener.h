#pragma once

#include "platform/base/Value.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace zestrel::platform {

// Where `NSWorkspace.open(url)` goes: every URL is recorded, then handed to the handler
// when one is set (the program prints it, or passes it on to the desktop when asked).
class URLOpener {
public:
    using Handler = std::function<bool(const URL&)>;

    // Whether the URL was opened: the handler's answer, true without one; false, and nothing
    // recorded, once the process has ended.
    static bool open(const URL& url);
    // URLs opened in this process, in order.
    static std::vector<URL> openedURLs();
    // How many that is, and the one at `index` in that order (nothing past the last), for a
    // caller that looks at a few without copying them all.
    static std::size_t openedURLCount();
    static std::optional<URL> openedURL(std::size_t index);
    // Set for the machine: it survives `resetProcess()`. An empty handler removes it.
    static void setHandler(Handler handler);
};

} // namespace zestrel::platform
