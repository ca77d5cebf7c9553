#include "console/Console.h"

#include "app/QVKit.h"
#include "cut_engine/AppState.h"

#include "console/ConsoleText.h"
#include "console/KeyChord.h"
#include "console/PropertyListLiteral.h"
#include "hotkeys/LegacyHotkeyNames.h"
#include "hotkeys/RecorderViews.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSDockTile.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSEvent.h"
#include "platform/swiftui/App.h"
#include "platform/swiftui/NSHostingView.h"

#include <algorithm>
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
// optional, and may be typed as three dots.
std::string_view withoutEllipsis(std::string_view title) {
    for (const std::string_view ellipsis : {"…", "..."}) {
        if (title.ends_with(ellipsis)) {
            return title.substr(0, title.size() - ellipsis.size());
        }
    }
    return title;
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

// A control a command may mean, with what it sits in, outermost first, and the window it is
// in (its index among those reached).
struct Match {
    const OutlineNode* node;
    std::vector<const OutlineNode*> ancestors;
    std::size_t window = 0;
};

void collectMatches(const OutlineNode& node, const std::string& label,
                    bool (*accepts)(const OutlineNode&), std::size_t window,
                    std::vector<const OutlineNode*>& path, std::vector<Match>& matches) {
    if (node.label == label && accepts(node)) {
        matches.push_back({&node, path, window});
    }
    path.push_back(&node);
    for (const auto& child : node.children) {
        collectMatches(child, label, accepts, window, path, matches);
    }
    path.pop_back();
}

// Whether what `node` shows, leaving out `control`, holds `text`: the texts a person reads,
// not the traits (a font, a state) that describe how they look.
bool shows(const OutlineNode& node, const std::string& text, const OutlineNode* control) {
    if (&node == control) {
        return false;
    }
    if (node.label.find(text) != std::string::npos || node.detail.find(text) != std::string::npos) {
        return true;
    }
    return std::any_of(node.children.begin(), node.children.end(),
                       [&](const OutlineNode& child) { return shows(child, text, control); });
}

// The matches inside the innermost of what shows `text` around them: a row before the
// section it is in, a section before its window. Nothing shows it: none.
std::vector<Match> innermostShowing(std::vector<Match> matches, const std::string& text) {
    std::vector<Match> inside;
    std::size_t deepest = 0;
    for (auto& match : matches) {
        for (std::size_t depth = match.ancestors.size(); depth-- > 0;) {
            if (shows(*match.ancestors[depth], text, match.node)) {
                if (depth + 1 > deepest) {
                    inside.clear();
                    deepest = depth + 1;
                }
                if (depth + 1 == deepest) {
                    inside.push_back(std::move(match));
                }
                break;
            }
        }
    }
    return inside;
}

// Where a match sits, as a person would point at it: its nearest row, or the nearest thing
// with a title around it.
std::string placeOf(const Match& match) {
    for (auto it = match.ancestors.rbegin(); it != match.ancestors.rend(); ++it) {
        const OutlineNode& around = **it;
        const auto name = around.label.empty() && around.kind == "row"
                              ? firstLabel(around, match.node)
                              : around.label;
        if (!name.empty()) {
            return around.kind + " “" + name + "”";
        }
    }
    return "the window";
}

// The showing alert whose panel `window` is; none when it is no alert's.
std::shared_ptr<NSAlert> alertShownIn(const NSWindow& window) {
    if (window.className() != "_NSAlertPanel") {
        return nullptr;
    }
    for (const auto& alert : NSAlert::showingAlerts()) {
        if (alert->window().get() == &window) {
            return alert;
        }
    }
    return nullptr;
}

// A window as a message names it: an alert by its text, a window by its title, one without
// a title by what it shows or else its level.
std::string windowName(NSWindow& window) {
    if (const auto alert = alertShownIn(window)) {
        return "the alert " + quotedString(alert->messageText());
    }
    if (!window.title().empty()) {
        return "“" + window.title() + "”";
    }
    const auto shown = outlineOf(window);
    const auto text = firstLabel(shown);
    return "the untitled " + shown.kind +
           (text.empty() ? " at level " + std::to_string(window.level().rawValue)
                         : " showing " + quotedString(text));
}

// The first alert or confirmation dialog shown in the outline (as a sheet, or presented by a
// view), which is all a person can reach of the window while it shows.
const OutlineNode* alertIn(const OutlineNode& node) {
    if (node.kind == "alert" || node.kind == "confirmation dialog") {
        return &node;
    }
    for (const auto& child : node.children) {
        if (const auto* found = alertIn(child)) {
            return found;
        }
    }
    return nullptr;
}

// What `click`, `toggle` and `pick` act on, and how a message names it.
struct ControlKind {
    const char* verb;
    const char* noun;
    const char* nouns;
    bool (*accepts)(const OutlineNode&);
};

const ControlKind& controlKind(CommandKind command) {
    static const ControlKind click{"click", "control", "controls",
                                   [](const OutlineNode& node) { return bool(node.click); }};
    static const ControlKind toggle{"toggle", "switch", "switches", [](const OutlineNode& node) {
                                        return node.click &&
                                               (node.hasTrait("on") || node.hasTrait("off"));
                                    }};
    static const ControlKind pick{"pick", "picker", "pickers",
                                  [](const OutlineNode& node) { return node.kind == "picker"; }};
    return command == CommandKind::click ? click : command == CommandKind::toggle ? toggle : pick;
}

} // namespace

std::optional<Console::Cover> Console::coverOf(NSWindow& window) const {
    if (alertShownIn(window)) {
        return std::nullopt; // the alert itself
    }
    // An app-modal run (an alert's or a dialog's) holds every other window of the app.
    if (const auto modal = NSApp().modalWindow();
        modal && modal.get() != &window && window.sheetParent() != modal) {
        return modalCover();
    }
    // An alert or a confirmation dialog over the window: a sheet, or one a view presents.
    const auto shown = outlineOf(window);
    const auto* alert = alertIn(shown);
    if (!alert) {
        return std::nullopt;
    }
    Cover cover;
    cover.node = *alert;
    cover.name = "the alert " + quotedString(alert->label);
    const auto showing = NSAlert::showingAlerts();
    for (auto it = showing.rbegin(); it != showing.rend(); ++it) {
        if ((*it)->messageText() == alert->label) {
            cover.alert = *it;
            break;
        }
    }
    return cover;
}

std::optional<Console::Cover> Console::modalCover() const {
    const auto modal = engineRunning_ ? NSApp().modalWindow() : nullptr;
    if (!modal) {
        return std::nullopt;
    }
    // A run for a window with an alert over it (the recorder's refusal) waits on that alert.
    auto cover = coverOf(*modal);
    if (!cover) {
        cover.emplace();
        cover->alert = alertShownIn(*modal);
        cover->node = cover->alert ? outlineOf(*cover->alert) : outlineOf(*modal);
        cover->name = windowName(*modal);
    }
    cover->modal = true;
    return cover;
}

std::shared_ptr<NSWindow> Console::windowUnder(const NSAlert& alert) const {
    for (const auto& window : appWindows()) {
        if (const auto cover = coverOf(*window);
            cover && !cover->modal && cover->alert.get() == &alert) {
            return window;
        }
    }
    return nullptr;
}

void Console::requireAppInReach() const {
    if (const auto cover = modalCover()) {
        throw CommandError("the app waits on " + cover->name + ": answer it first");
    }
}

void Console::comeForwardForClick(std::shared_ptr<NSWindow> window) {
    const auto own = desktop_->ownApplication();
    if (!engineRunning_ || !own) {
        return;
    }
    // At the alert the person answers, the latest shown: the window under it, whose sheet or
    // view shows it; an app-modal one, or one not yet on screen (an answer queued for it),
    // takes the keyboard as the app comes forward or it shows.
    if (const auto showing = NSAlert::showingAlerts(); !window && !showing.empty()) {
        window = windowUnder(*showing.back());
    }
    // As the window server does with a click: the window comes to the front of the app's
    // windows and takes the keyboard (its sheet does, over it), and an application in the back
    // comes forward with that window key, so the click lands in a window with the keyboard.
    if (window && window->isVisible()) {
        runAppCode([&] {
            window->sendEvent(*NSEvent::mouseEvent(NSEvent::EventType::leftMouseDown, CGPoint{}));
        });
    }
    if (desktop_->frontmostApplication() != own && desktop_->activate(own->processIdentifier())) {
        say(nameOf(*own) + " comes forward: the click is in its window");
    }
}

std::shared_ptr<NSAlert> Console::alertTakingKeys() const {
    const auto own = desktop_->ownApplication();
    if (!engineRunning_ || !own ||
        desktop_->keyboardFocusProcessIdentifier() != own->processIdentifier()) {
        return nullptr;
    }
    const auto key = NSApp().keyWindow();
    if (!key) {
        return nullptr;
    }
    if (auto alert = alertShownIn(*key)) {
        return alert;
    }
    const auto cover = coverOf(*key);
    return cover ? cover->alert : nullptr;
}

OutlineNode Console::menuOutline() const {
    const auto* app = swiftui::launchedApp();
    if (!engineRunning_ || !app) {
        throw CommandError(kAppNotRunning);
    }
    std::optional<OutlineNode> menu;
    runAppCode([&] {
        if (const auto item = app->scenes->menuBarItem(); item && item->menu()) {
            menu = outline(*item->menu());
        }
    });
    if (!menu) {
        throw CommandError("Zestrel's menu-bar icon is hidden: reopen the app to reveal it "
                           "(reopen zestrel)");
    }
    return std::move(*menu);
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
        // With another application in front the app has no key window, but its main window is
        // still the one it was used in.
        for (const auto& chosen : {NSApp().keyWindow(), NSApp().mainWindow()}) {
            if (chosen && std::find(windows.begin(), windows.end(), chosen) != windows.end()) {
                return chosen;
            }
        }
        return windows.front();
    }
    std::vector<std::string> names;
    for (const auto& window : windows) {
        if (window->title() == *title) {
            return window;
        }
        names.push_back(windowName(*window));
    }
    throw CommandError("no window titled “" + *title + "” (windows: " + joined(names, ", ") + ")");
}

void Console::openDebugWindow() {
    if (!engineRunning_ || !swiftui::launchedApp()) {
        throw CommandError(kAppNotRunning);
    }
    requireAppInReach();
    runAppCode(QVKit::openUserDebugWindowAsync);
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
            throw CommandError(kAppNotRunning);
        }
        shown = render(outlineOf(*NSApp().dockTile()));
    } else {
        shown = render(outlineOf(*appWindow(
            command.arguments.size() > 1 ? std::optional(command.arguments[1]) : std::nullopt)));
    }
    std::istringstream lines(shown);
    for (std::string line; std::getline(lines, line);) {
        say(line);
    }
}

void Console::recordShortcut(const std::string& name) {
    if (!engineRunning_) {
        throw CommandError(kAppNotRunning);
    }
    requireAppInReach();
    runAppCode([&] { startRecording(name); });
    say("recording the shortcut “" + name + "”: the next key pressed is recorded");
}

void Console::startRecording(const std::string& name) {
    // The taps disable the hotkeys, but a shortcut stored now would register its hot key at
    // once and take that key from every app, which the app's own screens never let happen.
    if (AppState::shared()->eventTap()) {
        throw CommandError("Zestrel cuts with its event taps, which use no shortcut: record "
                           "shortcut is for the hotkey method (defaults write newMethod false, "
                           "then relaunch)");
    }
    const auto& hotkey = name == "cut" ? Hotkeys::Names::cut() : Hotkeys::Names::paste();
    // A window with the recorder, in front; a click in the field starts the recording, and
    // the next keys a person presses go to it.
    auto window = std::make_shared<NSWindow>(
        CGRect(0, 0, 320, 80), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    window->setTitle("Record Shortcut");
    window->setReleasedWhenClosed(false);
    const auto content = std::make_shared<swiftui::NSHostingController>(
        Hotkeys::Recorder("Shortcut for " + name, hotkey));
    window->setContentViewController(content);
    window->center();
    NSApp().activate();
    window->makeKeyAndOrderFront();
    std::shared_ptr<Hotkeys::RecorderCocoa> recorder;
    for (const auto& view : content->hostingView()->representedViews()) {
        if (auto found = std::dynamic_pointer_cast<Hotkeys::RecorderCocoa>(view)) {
            recorder = found;
        }
    }
    if (!recorder || !window->makeFirstResponder(recorder) || !recorder->isRecording()) {
        throw CommandError("the shortcut recorder did not start recording");
    }
}

void Console::performMenusAndWindows(const Command& command) {
    const auto& arguments = command.arguments;
    if (command.kind == CommandKind::record) {
        recordShortcut(arguments[1]);
        return;
    }
    if (command.kind == CommandKind::click && arguments[0] == "menu" && arguments.size() > 1) {
        const auto menu = menuOutline();
        requireAppInReach();
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
    if (command.kind == CommandKind::close) {
        closeWindow(arguments.size() > 1 ? std::optional(arguments[1]) : std::nullopt);
        return;
    }
    const auto words = controlWords(command);
    const auto& label = words.label;
    const auto& within = words.within;
    // `in TEXT`: the control inside the row, section or window that shows TEXT, in any of
    // the app's windows; else one of the frontmost window's. What an alert covers is out of
    // reach until it is answered: only the alert's own controls are there in its place.
    const auto front = appWindow(std::nullopt);
    std::vector<OutlineNode> shown;
    // The window a click on each of them lands in.
    std::vector<std::shared_ptr<NSWindow>> clicked;
    std::vector<std::string> covered;
    std::optional<std::string> frontCover;
    const auto reach = [&](const std::shared_ptr<NSWindow>& window) {
        auto cover = coverOf(*window);
        if (!cover) {
            shown.push_back(outlineOf(*window));
            clicked.push_back(window);
            return;
        }
        covered.push_back(windowName(*window) + " waits on " + cover->name);
        frontCover = cover->name;
        // An app-modal window is one of the app's windows itself.
        if (!within || !cover->modal) {
            shown.push_back(std::move(cover->node));
            // In the window under the alert, which takes the keyboard with it.
            clicked.push_back(cover->modal ? NSApp().modalWindow() : window);
        }
    };
    if (within) {
        for (const auto& window : appWindows()) {
            // A sheet is shown inside its window.
            if (!window->isSheet()) {
                reach(window);
            }
        }
    } else {
        reach(front);
    }
    const ControlKind& kind = controlKind(command.kind);
    const std::string what(kind.noun);
    std::vector<Match> matches;
    for (std::size_t root = 0; root < shown.size(); ++root) {
        std::vector<const OutlineNode*> path;
        collectMatches(shown[root], label, kind.accepts, root, path, matches);
    }
    if (within) {
        const bool any = !matches.empty();
        matches = innermostShowing(std::move(matches), *within);
        if (any && matches.empty()) {
            throw CommandError("no " + what + " “" + label + "” is in a row, section or window " +
                               "that shows “" + *within + "”");
        }
    }
    if (matches.empty()) {
        if (!within && frontCover) {
            std::vector<std::string> buttons;
            collectClickable(shown.front(), buttons);
            throw CommandError(*frontCover + " has no " + what + " “" + label + "” (it offers " +
                               (buttons.empty() ? std::string("nothing") : joined(buttons, ", ")) +
                               ")");
        }
        std::vector<std::string> labels;
        for (const auto& root : shown) {
            collectClickable(root, labels);
        }
        throw CommandError(
            (within ? std::string("no window of the app has a ")
                    : "the window " + windowName(*front) + " has no ") +
            what + " “" + label + "” (" + (within ? "they offer " : "it offers ") +
            (labels.empty() ? std::string("nothing") : joined(labels, ", ")) + ")" +
            (covered.empty() ? std::string() : "; " + joined(covered, ", ") + ": answer it first"));
    }
    const std::size_t ordinal = words.ordinal.value_or(1);
    if (ordinal > matches.size() || (matches.size() > 1 && !words.ordinal)) {
        // Numbered in the outline's order, so `#N` picks one that no shown text tells apart.
        std::vector<std::string> places;
        for (std::size_t i = 0; i < matches.size(); ++i) {
            places.push_back("#" + std::to_string(i + 1) + " " + matches[i].node->kind + " in " +
                             placeOf(matches[i]));
        }
        const std::string named =
            std::string(kind.verb) + " " + quotedString(label) +
            (words.choice ? " " + quotedString(*words.choice) : std::string());
        const std::string counted =
            matches.size() == 1 ? "1 " + what + " is"
                                : std::to_string(matches.size()) + " " + kind.nouns + " are";
        throw CommandError(
            (ordinal > matches.size() ? "there is no #" + std::to_string(ordinal) + ": "
                                      : std::string()) +
            counted + " labelled “" + label + "”" +
            (within ? " in what shows “" + *within + "”" : std::string()) + ": " +
            joined(places, ", ") + "; say which with " +
            (within
                 ? named + " in " + quotedString(*within) + " #N"
                 : named + " in \"TEXT\", TEXT being what its row, section or window shows, or " +
                       named + " #N") +
            ", N its number here");
    }
    matches = {matches[ordinal - 1]};
    const OutlineNode& node = *matches.front().node;
    comeForwardForClick(clicked[matches.front().window]);
    if (command.kind == CommandKind::click) {
        // The click may change what the outline was made of; run a copy.
        const auto click = node.click;
        click();
        say("clicked “" + label + "”");
    } else if (command.kind == CommandKind::toggle) {
        const bool wasOn = node.hasTrait("on");
        const auto click = node.click;
        click();
        say("switched “" + label + "” " + (wasOn ? "off" : "on"));
    } else {
        const auto& choice = *words.choice;
        const auto* option = findNode(node, choice, [](const OutlineNode& candidate) {
            return candidate.kind == "option" && bool(candidate.click);
        });
        if (!option) {
            std::vector<std::string> options;
            for (const auto& child : node.children) {
                options.push_back("“" + child.label + "”");
            }
            throw CommandError("the picker “" + label + "” has no choice “" + choice +
                               "” (choices: " + joined(options, ", ") + ")");
        }
        const auto click = option->click;
        click();
        say("picked “" + choice + "” for “" + label + "”");
    }
}

void Console::closeWindow(const std::optional<std::string>& title) {
    const auto window = appWindow(title);
    const auto name = windowName(*window);
    // The app waits for an answer there: closing the panel, or a window the alert covers,
    // would leave it waiting for good.
    if (alertShownIn(*window)) {
        throw CommandError("the app waits on " + name + ": answer it first");
    }
    if (const auto cover = coverOf(*window)) {
        throw CommandError("the app waits on " + cover->name + " over " + name +
                           ": answer it first");
    }
    if (window == NSApp().modalWindow()) {
        throw CommandError("the app waits on " + name + ": answer its alert first");
    }
    // As its close button does; a window without one closes as the app closes it.
    ProcessTeardown::callIn([&] {
        if (window->styleMask().contains(NSWindow::StyleMask::closable)) {
            window->performClose();
        } else {
            window->close();
        }
    });
    if (window->isVisible()) {
        throw CommandError(name + " did not close");
    }
    say("closed " + name);
}

void runAppCode(const std::function<void()>& code) {
    if (!ProcessTeardown::callIn(code)) {
        throw CommandError(kAppNotRunning);
    }
}

} // namespace zestrel::console
