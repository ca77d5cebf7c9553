#pragma once

#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/appkit/NSWindow.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"
#include "platform/swiftui/ViewHost.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace zestrel::platform::swiftui {

// An item in the menu bar whose menu is the content: buttons become commands (with their
// keyboard shortcuts), dividers separators, menus submenus, links commands that open them,
// switches checked commands. The item is in the bar while `isInserted` reads true.
struct MenuBarExtra {
    std::string title;
    std::string systemImage;
    Binding<bool> isInserted;
    View content;
};

// The application's Settings window, opened by the application menu's "Settings…" (⌘,).
struct Settings {
    View content;
};

// A window opened by its identifier; asking again brings the open one forward.
struct Window {
    std::string title;
    std::string id;
    View content;
};

using Scene = std::variant<MenuBarExtra, Settings, Window>;

// Runs an application's scenes. The body is evaluated at once and again, on the next turn
// of the main queue, whenever an observable property it read changes; the scenes are then
// brought in line (the menu-bar item inserted or removed, its menu rebuilt; the menu's
// content keeps its state). With a Settings scene, the main menu leads with an application
// menu (About, Settings… ⌘,, Quit) and a File menu whose Close (⌘W) closes the key window,
// whether or not a main menu was set before. Windows take the size their content asks for.
// Main thread only; the host keeps the status item, the menu and the windows it made.
class SceneHost final : public std::enable_shared_from_this<SceneHost> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Body = std::function<std::vector<Scene>()>;

    static std::shared_ptr<SceneHost> make(Body body, std::string appName);
    SceneHost(Passkey, Body body, std::string appName);
    ~SceneHost();
    SceneHost(const SceneHost&) = delete;
    SceneHost& operator=(const SceneHost&) = delete;

    // Nothing while the menu-bar extra is not inserted (or there is none).
    std::shared_ptr<NSStatusItem> menuBarItem() const { return statusItem_; }
    std::shared_ptr<NSMenu> menuBarMenu() const { return menu_; }
    std::shared_ptr<ViewHost> menuBarContent() const { return menuHost_; }

    // Opens the Settings window, made once, and makes it key. Nothing without the scene.
    void showSettings();
    std::shared_ptr<NSWindow> settingsWindow() const { return settingsWindow_; }
    // Opens the window scene with the identifier; nothing when there is none.
    std::shared_ptr<NSWindow> openWindow(const std::string& id);

    std::uint64_t bodyEvaluations() const { return bodyEvaluations_; }

private:
    void evaluate();
    void applyMenuBarExtra(const MenuBarExtra* extra);
    void rebuildMenu();
    void installApplicationMenu();
    std::shared_ptr<NSWindow> makeWindow(const std::string& title, const View& content,
                                         bool resizable);

    Body body_;
    std::string appName_;
    std::uint64_t bodyEvaluations_ = 0;
    std::shared_ptr<NSStatusItem> statusItem_;
    std::shared_ptr<NSMenu> menu_;
    std::shared_ptr<ViewHost> menuHost_;
    std::optional<View> settingsContent_;
    std::shared_ptr<NSWindow> settingsWindow_;
    std::map<std::string, Window> windowScenes_;
    std::map<std::string, std::shared_ptr<NSWindow>> windows_;
};

} // namespace zestrel::platform::swiftui
