#pragma once

#include "platform/appkit/NSResponder.h"

#include <memory>
#include <string>

namespace zestrel::platform {

class NSWindow;

// Owns a window and shows it. The window knows its controller but does not keep it: whoever
// made the controller keeps it (a registry, a screen), while the application keeps a window
// that is on screen. Main thread only.
class NSWindowController : public NSResponder {
public:
    // Sets itself as the window's controller; call `adoptWindow` once made (a shared pointer
    // is needed for that), or use `make`.
    explicit NSWindowController(std::shared_ptr<NSWindow> window = nullptr);
    ~NSWindowController() override;
    static std::shared_ptr<NSWindowController> make(std::shared_ptr<NSWindow> window);

    std::string className() const override { return "NSWindowController"; }

    std::shared_ptr<NSWindow> window() const { return window_; }
    void setWindow(std::shared_ptr<NSWindow> window);
    // Links the window given at construction back to this controller.
    void adoptWindow();

    // New windows are placed below and to the right of the last one shown when true.
    bool shouldCascadeWindows() const { return shouldCascadeWindows_; }
    void setShouldCascadeWindows(bool cascade) { shouldCascadeWindows_ = cascade; }

    // Makes the window key and orders it front (a panel that becomes key only if needed is
    // just ordered front). Nothing without a window.
    virtual void showWindow(const std::shared_ptr<NSObject>& sender);
    // Closes the window.
    virtual void close();

    bool respondsToAction(std::string_view action) const override;
    void performAction(std::string_view action, const std::shared_ptr<NSObject>& sender) override;

private:
    std::shared_ptr<NSWindow> window_;
    bool shouldCascadeWindows_ = true;
};

} // namespace zestrel::platform
