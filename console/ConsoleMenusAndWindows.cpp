#include "console/Console.h"

#include "app/QVKit.h"

#include "console/ConsoleText.h"
#include "console/KeyChord.h"
#include "hotkeys/LegacyHotkeyNames.h"
#include "hotkeys/RecorderViews.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSDockTile.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/NSEvent.h"
#include "platform/swiftui/App.h"
#include "platform/swiftui/NSHostingView.h"

#include <sstream>
#include <string>
#include <vector>

// Menus and windows: what a person sees of the app, and the clicks on it.
namespace zestrel::console {

using namespace zestrel::platform;

namespace {

// Every row of a menu and its submenus, in order, for the message naming what exists.
void collectRows(const OutlineNode& node, std::vector<std::string>& rows) {
    for (const auto& child : node.children) {
        if (child.kind == "item") {
            rows.push_back("“" + child.label + "”");
        }
        collectRows(child, rows);
    }
}

// A row's title as a person may write it: the "…" that says the command asks for more is
// optional.
std::string_view withoutEllipsis(std::string_view title) {
    constexpr std::string_view kEllipsis = "…";
    return title.ends_with(kEllipsis) ? title.substr(0, title.size() - kEllipsis.size()) : title;
}

// The first row of the menu or its submenus, depth first, titled so and being a submenu or
// not.
const OutlineNode* findMenuRow(const OutlineNode& node, std::string_view title, bool submenu) {
    if (node.kind == "item" && node.children.empty() != submenu &&
        withoutEllipsis(node.label) == withoutEllipsis(title)) {
        return &node;
    }
    for (const auto& child : node.children) {
        if (const auto* found = findMenuRow(child, title, submenu)) {
            return found;
        }
    }
    return nullptr;
}

// A command titled so, or else a submenu.
const OutlineNode* findMenuRow(const OutlineNode& menu, std::string_view title) {
    const auto* row = findMenuRow(menu, title, false);
    return row ? row : findMenuRow(menu, title, true);
}

// The labels a person can click in a window, in order.
void collectClickable(const OutlineNode& node, std::vector<std::string>& labels) {
    if (node.click && !node.label.empty()) {
        labels.push_back("“" + node.label + "”");
    }
    for (const auto& child : node.children) {
        collectClickable(child, labels);
    }
}

} // namespace

OutlineNode Console::menuOutline() const {
    const auto* app = swiftui::launchedApp();
    if (!engineRunning_ || !app) {
        throw CommandError("Zestrel is not running: launch it first (launch zestrel)");
    }
    const auto item = app->scenes->menuBarItem();
    if (!item || !item->menu()) {
        throw CommandError("Zestrel's menu-bar icon is hidden: reopen the app to reveal it "
                           "(reopen zestrel)");
    }
    return outline(*item->menu());
}

std::vector<std::shared_ptr<NSWindow>> Console::appWindows() const {
    std::vector<std::shared_ptr<NSWindow>> shown;
    if (!engineRunning_) {
        return shown;
    }
    // The menu bar's own windows (the status items' buttons) are not the app's windows.
    for (const auto& window : NSApp().orderedWindows()) {
        if (!std::dynamic_pointer_cast<NSStatusBarWindow>(window)) {
            shown.push_back(window);
        }
    }
    return shown;
}

std::shared_ptr<NSWindow> Console::appWindow(const std::optional<std::string>& title) const {
    const auto windows = appWindows();
    if (windows.empty()) {
        throw CommandError("Zestrel shows no window");
    }
    if (!title) {
        const auto key = NSApp().keyWindow();
        return key && std::find(windows.begin(), windows.end(), key) != windows.end()
                   ? key
                   : windows.front();
    }
    std::vector<std::string> titles;
    for (const auto& window : windows) {
        if (window->title() == *title) {
            return window;
        }
        titles.push_back("“" + window->title() + "”");
    }
    throw CommandError("no window titled “" + *title + "” (windows: " + joined(titles, ", ") + ")");
}

void Console::openDebugWindow() {
    if (!engineRunning_ || !swiftui::launchedApp()) {
        throw CommandError("Zestrel is not running: launch it first (launch zestrel)");
    }
    QVKit::openUserDebugWindowAsync();
    // Shown on the main queue and then in a main-actor task: both run now.
    RunLoop::main().runUntilIdle();
    const auto key = NSApp().keyWindow();
    if (!key) {
        throw CommandError("the user debug window did not open");
    }
    say("Zestrel shows “" + key->title() + "”");
}

void Console::showMenusAndWindows(const Command& command) {
    const auto& what = command.arguments[0];
    std::string shown;
    if (what == "menu") {
        shown = render(menuOutline());
    } else if (what == "dock") {
        if (!engineRunning_) {
            throw CommandError("Zestrel is not running: launch it first (launch zestrel)");
        }
        shown = render(outline(*NSApp().dockTile()));
    } else {
        shown = render(outline(*appWindow(
            command.arguments.size() > 1 ? std::optional(command.arguments[1]) : std::nullopt)));
    }
    std::istringstream lines(shown);
    for (std::string line; std::getline(lines, line);) {
        say(line);
    }
}

void Console::recordShortcut(const std::string& name) {
    if (!engineRunning_) {
        throw CommandError("Zestrel is not running: launch it first (launch zestrel)");
    }
    const auto& hotkey = name == "cut" ? Hotkeys::Names::cut() : Hotkeys::Names::paste();
    // A window with the recorder, in front; a click in the field starts the recording, and
    // the next keys a person presses go to it.
    auto window = std::make_shared<NSWindow>(
        CGRect(0, 0, 320, 80), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    window->setTitle("Record Shortcut");
    window->setReleasedWhenClosed(false);
    window->setContentViewController(std::make_shared<swiftui::NSHostingController>(
        Hotkeys::Recorder("Shortcut for " + name, hotkey)));
    window->center();
    NSApp().activate();
    window->makeKeyAndOrderFront();
    std::shared_ptr<Hotkeys::RecorderCocoa> recorder;
    for (const auto& view : window->contentView()->subviews()) {
        if (auto found = std::dynamic_pointer_cast<Hotkeys::RecorderCocoa>(view)) {
            recorder = found;
        }
    }
    if (!recorder || !window->makeFirstResponder(recorder) || !recorder->isRecording()) {
        throw CommandError("the shortcut recorder did not start recording");
    }
    say("recording the shortcut “" + name + "”: the next key pressed is recorded");
}

void Console::performMenusAndWindows(const Command& command) {
    const auto& arguments = command.arguments;
    if (command.kind == CommandKind::record) {
        recordShortcut(arguments[1]);
        return;
    }
    if (command.kind == CommandKind::click && arguments[0] == "menu" && arguments.size() > 1) {
        const auto menu = menuOutline();
        const auto& title = arguments[1];
        const auto* row = findMenuRow(menu, title);
        if (!row) {
            std::vector<std::string> rows;
            collectRows(menu, rows);
            throw CommandError("the menu has no command “" + title +
                               "” (rows: " + joined(rows, ", ") + ")");
        }
        if (!row->children.empty()) {
            std::vector<std::string> rows;
            for (const auto& submenu : row->children) {
                for (const auto& child : submenu.children) {
                    if (child.kind == "item") {
                        rows.push_back("“" + child.label + "”");
                    }
                }
            }
            throw CommandError("“" + row->label + "” is a submenu: click one of its rows (" +
                               joined(rows, ", ") + ")");
        }
        if (!row->click) {
            throw CommandError("“" + title + "” is disabled");
        }
        {
            const HeldModifiers held(arguments.size() == 4 ? parseModifiers(arguments[3])
                                                           : CGEventFlags{});
            row->click();
        }
        say("clicked “" + row->label + "”" +
            (arguments.size() == 4 ? " holding " + arguments[3] : std::string()));
        return;
    }
    const auto window = appWindow(std::nullopt);
    const auto shown = outline(*window);
    const auto& label = arguments[0];
    const auto missing = [&](const std::string& what) {
        std::vector<std::string> labels;
        collectClickable(shown, labels);
        return CommandError("the window “" + window->title() + "” has no " + what + " “" + label +
                            "” (it offers " +
                            (labels.empty() ? std::string("nothing") : joined(labels, ", ")) + ")");
    };
    if (command.kind == CommandKind::click) {
        const auto* node =
            findNode(shown, label, [](const OutlineNode& node) { return bool(node.click); });
        if (!node) {
            throw missing("control");
        }
        node->click();
        say("clicked “" + label + "”");
    } else if (command.kind == CommandKind::toggle) {
        const auto* node = findNode(shown, label, [](const OutlineNode& node) {
            return node.click && (node.hasTrait("on") || node.hasTrait("off"));
        });
        if (!node) {
            throw missing("switch");
        }
        const bool wasOn = node->hasTrait("on");
        node->click();
        say("switched “" + label + "” " + (wasOn ? "off" : "on"));
    } else {
        const auto* picker =
            findNode(shown, label, [](const OutlineNode& node) { return node.kind == "picker"; });
        if (!picker) {
            throw missing("picker");
        }
        const auto& choice = arguments[1];
        const auto* option = findNode(*picker, choice, [](const OutlineNode& node) {
            return node.kind == "option" && bool(node.click);
        });
        if (!option) {
            std::vector<std::string> options;
            for (const auto& child : picker->children) {
                options.push_back("“" + child.label + "”");
            }
            throw CommandError("the picker “" + label + "” has no choice “" + choice +
                               "” (choices: " + joined(options, ", ") + ")");
        }
        option->click();
        say("picked “" + choice + "” for “" + label + "”");
    }
}

} // namespace zestrel::console
