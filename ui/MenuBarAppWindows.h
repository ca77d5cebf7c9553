#pragma once

#include "foundation/Duration.h"
#include "platform/appkit/CAMediaTimingFunction.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/NSWindowController.h"
#include "platform/concurrency/Task.h"

#include <map>
#include <memory>
#include <string>
#include <typeindex>
#include <typeinfo>

namespace zestrel {

// The frame every window of the app starts with; its content decides the final size.
inline constexpr platform::CGRect kMenuBarAppWindowContentRect{0, 0, 100, 100};
inline constexpr platform::NSWindow::StyleMask kMenuBarAppWindowStyle{0x800F};

// A window of a menu-bar app: it always takes the keyboard and handles Command-W and
// Command-M itself, as an accessory app has no Window menu to do so.
class SwiftUIWindowForMenuBarApp : public platform::NSWindow {
public:
    // The standard frame.
    SwiftUIWindowForMenuBarApp();
    SwiftUIWindowForMenuBarApp(platform::CGRect contentRect, StyleMask styleMask,
                               BackingStoreType backing, bool defer);

    std::string className() const override { return "SwiftUIWindowForMenuBarApp"; }

    bool shouldCloseOnEscapePress = false;
    // The frame is not kept below the menu bar.
    bool allowedAboveMenuBar = false;

    bool canBecomeMainWindow() const override { return true; }
    bool canBecomeKeyWindow() const override { return true; }
    bool acceptsFirstResponder() const { return true; }
    platform::CGRect
    constrainFrameRect(const platform::CGRect& frame,
                       const std::shared_ptr<platform::NSScreen>& screen) const override;
    void cancelOperation() override;
    void keyDown(const platform::NSEvent& event) override;
};

// The panel twin of the window above; it has no Escape handling of its own.
class SwiftUIPanelForMenuBarApp : public platform::NSPanel {
public:
    SwiftUIPanelForMenuBarApp();
    SwiftUIPanelForMenuBarApp(platform::CGRect contentRect, StyleMask styleMask,
                              BackingStoreType backing, bool defer);

    std::string className() const override { return "SwiftUIPanelForMenuBarApp"; }

    bool allowedAboveMenuBar = false;

    bool canBecomeMainWindow() const override { return true; }
    bool canBecomeKeyWindow() const override { return true; }
    bool acceptsFirstResponder() const { return true; }
    platform::CGRect
    constrainFrameRect(const platform::CGRect& frame,
                       const std::shared_ptr<platform::NSScreen>& screen) const override;
    void keyDown(const platform::NSEvent& event) override;
};

// Command-W closes, Command-M minimizes; true when the key was one of them. Modifiers are
// compared exactly, ignoring Caps Lock, the numeric pad and Function.
bool handleMenuBarWindowKey(platform::NSWindow& window, const platform::NSEvent& event);

// How a window comes on screen: at once, or fading in after `delay`.
struct WindowShowOptions {
    bool animated = false;
    bool makeKey = true;
    Duration duration = Duration::milliseconds(500);
    Duration delay = Duration::zero();
    std::shared_ptr<platform::CAMediaTimingFunction> timingFunction =
        platform::CAMediaTimingFunction::functionWithName(platform::kCAMediaTimingFunctionDefault);
};

// Shows the window on the main actor. A fade-in cancelled part way leaves the window fully
// opaque, never a shown but invisible window.
platform::Task<void> showWindow(std::shared_ptr<platform::NSWindow> window,
                                WindowShowOptions options);

// A window controller of which at most one lives per subclass. A subclass makes its window
// in its plain constructor; `shared<T>()` finishes it and keeps it until its window closes.
class SingletonWindowController : public platform::NSWindowController,
                                  public platform::NSWindowDelegate {
public:
    explicit SingletonWindowController(std::shared_ptr<platform::NSWindow> window);
    std::string className() const override { return "SingletonWindowController"; }

    bool shouldActivateWindowWhenAppIsAccessory = true;

    // The registry entry of this controller's own class goes: the next request builds anew.
    void windowWillClose(const platform::Notification& notification) override;
    // Shown only through `show`.
    void showWindow(const std::shared_ptr<platform::NSObject>& sender) override;

    template <class T> static std::shared_ptr<T> shared() {
        const std::type_index key(typeid(T));
        if (auto found = registry().find(key); found != registry().end()) {
            return std::static_pointer_cast<T>(found->second);
        }
        auto made = std::make_shared<T>();
        made->adopt();
        registry()[key] = made;
        return made;
    }
    // Activates the app (unless told not to) and brings the window forward as key. Nothing
    // when the controller has no window.
    template <class T> static void show() { showShared(shared<T>()); }

    // The live controllers, for the app's own bookkeeping and tests.
    static std::size_t liveCount() { return registry().size(); }

private:
    void adopt();
    static void showShared(const std::shared_ptr<SingletonWindowController>& controller);
    static std::map<std::type_index, std::shared_ptr<SingletonWindowController>>& registry();
};

// A window hosting SwiftUI content, optionally registered under an identifier so that asking
// for the same window again brings the first one forward.
class SwiftUIWindow : public platform::NSWindow, public platform::NSWindowDelegate {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // The window is its own delegate. `contentType` tells windows of different content
    // apart in the registry.
    template <class Content> static std::shared_ptr<SwiftUIWindow> make() {
        return make(std::type_index(typeid(Content)));
    }
    static std::shared_ptr<SwiftUIWindow> make(std::type_index contentType);
    SwiftUIWindow(Passkey, std::type_index contentType);
    ~SwiftUIWindow() override;

    std::string className() const override { return "SwiftUIWindow"; }

    bool constrainWindowToScreen = false;
    bool canBecomeKey = true;
    bool closeOnEsc = false;

    bool canBecomeKeyWindow() const override { return canBecomeKey; }
    void windowWillClose(const platform::Notification& notification) override;
    // `cancel:` (and Escape) close the window only when `closeOnEsc`.
    void cancel();
    void cancelOperation() override { cancel(); }
    bool respondsToAction(std::string_view action) const override;
    void performAction(std::string_view action,
                       const std::shared_ptr<platform::NSObject>& sender) override;
    platform::CGRect
    constrainFrameRect(const platform::CGRect& frame,
                       const std::shared_ptr<platform::NSScreen>& screen) const override;

    // The registered window for the identifier when it hosts the same content type.
    std::shared_ptr<SwiftUIWindow> windowForId(const std::string& identifier) const;
    static void registerWindow(const std::shared_ptr<SwiftUIWindow>& window,
                               const std::string& identifier);

    // Shows this window, or, with `reuseExisting`, the one already registered under its
    // identifier; returns the window now shown.
    std::shared_ptr<SwiftUIWindow> show(bool activate, bool reuseExisting);

    // The clamp used when `constrainWindowToScreen`: within the screen's size, hanging at
    // most 30 points below its bottom edge.
    static platform::CGRect clampToScreen(platform::CGRect frame, platform::CGSize screen);

private:
    static std::map<std::string, std::shared_ptr<SwiftUIWindow>>& registry();
    std::type_index contentType_;
};

} // namespace zestrel
