#include "platform/desktop/WindowServer.h"
#include "platform/base/Mutex.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSScreen.h"

#include <algorithm>

namespace zestrel::platform {

Value::Dictionary ServerWindow::dictionary() const {
    Value::Dictionary entry{
        {kCGWindowNumber, Value(static_cast<std::int64_t>(number))},
        {kCGWindowOwnerName, Value(ownerName)},
        {kCGWindowOwnerPID, Value(ownerPID)},
        {kCGWindowBounds, Value(Value::Dictionary{{"X", Value(bounds.origin.x)},
                                                  {"Y", Value(bounds.origin.y)},
                                                  {"Width", Value(bounds.size.width)},
                                                  {"Height", Value(bounds.size.height)}})},
        {kCGWindowLayer, Value(static_cast<std::int64_t>(layer))},
        {kCGWindowAlpha, Value(alpha)},
        // A backing store of four bytes a pixel.
        {kCGWindowMemoryUsage,
         Value(static_cast<std::int64_t>(std::max(0.0, bounds.size.width) *
                                         std::max(0.0, bounds.size.height) * 4))},
        {kCGWindowSharingState, Value(static_cast<std::int64_t>(sharingState))},
    };
    if (name) {
        entry[kCGWindowName] = Value(*name);
    }
    if (isOnScreen) {
        entry[kCGWindowIsOnscreen] = Value(1);
    }
    return entry;
}

CGWindowID WindowServer::addWindow(ServerWindow window) {
    MutexLock lock(mutex_);
    window.number = nextNumber_++;
    const CGWindowID number = window.number;
    insertInFront(std::move(window));
    return number;
}

void WindowServer::insertInFront(ServerWindow window) {
    const auto place =
        std::find_if(windows_.begin(), windows_.end(),
                     [&](const ServerWindow& other) { return other.layer <= window.layer; });
    windows_.insert(place, std::move(window));
}

void WindowServer::removeWindow(CGWindowID number) {
    MutexLock lock(mutex_);
    std::erase_if(windows_, [&](const ServerWindow& w) { return w.number == number; });
}

void WindowServer::removeWindows(int ownerPID) {
    MutexLock lock(mutex_);
    std::erase_if(windows_, [&](const ServerWindow& w) { return w.ownerPID == ownerPID; });
}

void WindowServer::orderFront(CGWindowID number) {
    MutexLock lock(mutex_);
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [&](const ServerWindow& w) { return w.number == number; });
    if (it == windows_.end()) {
        return;
    }
    ServerWindow window = std::move(*it);
    windows_.erase(it);
    insertInFront(std::move(window));
}

void WindowServer::orderFrontWindows(int ownerPID) {
    MutexLock lock(mutex_);
    std::vector<ServerWindow> owned;
    std::erase_if(windows_, [&](ServerWindow& w) {
        if (w.ownerPID != ownerPID) {
            return false;
        }
        owned.push_back(std::move(w));
        return true;
    });
    // Inserted back to front, so the front one ends in front again.
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        insertInFront(std::move(*it));
    }
}

bool WindowServer::updateWindow(CGWindowID number,
                                const std::function<void(ServerWindow&)>& change) {
    MutexLock lock(mutex_);
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [&](const ServerWindow& w) { return w.number == number; });
    if (it == windows_.end()) {
        return false;
    }
    ServerWindow window = *it;
    change(window);
    window.number = it->number;
    window.ownerPID = it->ownerPID;
    const bool layerChanged = window.layer != it->layer;
    if (layerChanged) {
        windows_.erase(it);
        insertInFront(std::move(window));
    } else {
        *it = std::move(window);
    }
    return true;
}

std::optional<ServerWindow> WindowServer::window(CGWindowID number) const {
    MutexLock lock(mutex_);
    for (const auto& w : windows_) {
        if (w.number == number) {
            return w;
        }
    }
    return std::nullopt;
}

std::vector<ServerWindow> WindowServer::windows() const {
    MutexLock lock(mutex_);
    return windows_;
}

std::vector<ServerWindow> WindowServer::windows(int ownerPID) const {
    MutexLock lock(mutex_);
    std::vector<ServerWindow> owned;
    std::copy_if(windows_.begin(), windows_.end(), std::back_inserter(owned),
                 [&](const ServerWindow& w) { return w.ownerPID == ownerPID; });
    return owned;
}

Value::Array WindowServer::copyWindowInfo(CGWindowListOption options,
                                          CGWindowID /*relativeToWindow*/) const {
    MutexLock lock(mutex_);
    Value::Array list;
    for (const auto& w : windows_) {
        if ((options & kCGWindowListOptionOnScreenOnly) && !w.isOnScreen) {
            continue;
        }
        if ((options & kCGWindowListExcludeDesktopElements) && w.isDesktopElement()) {
            continue;
        }
        list.emplace_back(w.dictionary());
    }
    return list;
}

CGRect WindowServer::mainScreenFrame() {
    const auto screen = NSScreen::main();
    return screen ? CGRect(0, 0, screen->frame().size.width, screen->frame().size.height)
                  : CGRectZero;
}

Value CGWindowListCopyWindowInfo(CGWindowListOption options, CGWindowID relativeToWindow) {
    return Value(Desktop::current()->windowServer().copyWindowInfo(options, relativeToWindow));
}

} // namespace zestrel::platform
