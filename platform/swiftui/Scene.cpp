#include "platform/swiftui/Scene.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/RunLoop.h"
#include "platform/concurrency/ObservationRegistrar.h"
#include "platform/swiftui/NSHostingView.h"

#include <utility>

namespace zestrel::platform::swiftui {

namespace {

NSEvent::ModifierFlags modifierMask(const KeyboardShortcut& shortcut) {
    NSEvent::ModifierFlags mask{};
    if (shortcut.command) {
        mask = mask | NSEvent::ModifierFlags::command;
    }
    if (shortcut.shift) {
        mask = mask | NSEvent::ModifierFlags::shift;
    }
    if (shortcut.option) {
        mask = mask | NSEvent::ModifierFlags::option;
    }
    if (shortcut.control) {
        mask = mask | NSEvent::ModifierFlags::control;
    }
    return mask;
}

void addMenuItems(const Nodes& nodes, NSMenu& menu) {
    for (const auto& node : visibleNodes(nodes)) {
        if (node->kind == "Divider") {
            menu.addItem(NSMenuItem::separator());
        } else if (node->kind == "Menu") {
            auto submenu = std::make_shared<NSMenu>(node->label);
            addMenuItems(node->children, *submenu);
            auto item = std::make_shared<NSMenuItem>(node->label);
            item->setSubmenu(submenu);
            item->setEnabled(!node->isDisabled);
            menu.addItem(item);
        } else if (node->kind == "Section" || node->kind == "Group") {
            addMenuItems(node->children, menu);
        } else if (node->kind == "Button" || node->kind == "Link" || node->kind == "Toggle" ||
                   node->kind == "Text") {
            auto item = std::make_shared<NSMenuItem>(node->label);
            if (node->action) {
                item->setAction([action = node->action](NSMenuItem&) { action(); });
            } else if (node->isOn) {
                item->setAction([isOn = *node->isOn](NSMenuItem&) { isOn.set(!isOn.get()); });
            }
            if (node->isOn) {
                item->setState(node->isOn->get() ? NSControlStateValue::on
                                                 : NSControlStateValue::off);
            }
            if (node->shortcut) {
                item->setKeyEquivalent(node->shortcut->key);
                item->setKeyEquivalentModifierMask(modifierMask(*node->shortcut));
            }
            item->setImage(NSImage::systemSymbol(node->systemImage));
            item->setEnabled(!node->isDisabled && item->action() != nullptr);
            menu.addItem(item);
        }
    }
}

} // namespace

std::shared_ptr<SceneHost> SceneHost::make(Body body, std::string appName) {
    auto host = std::make_shared<SceneHost>(Passkey{}, std::move(body), std::move(appName));
    host->evaluate();
    return host;
}

SceneHost::SceneHost(Passkey, Body body, std::string appName)
    : body_(std::move(body)), appName_(std::move(appName)) {}

SceneHost::~SceneHost() {
    if (statusItem_) {
        if (auto bar = statusItem_->statusBar()) {
            bar->removeStatusItem(statusItem_);
        }
    }
}

void SceneHost::evaluate() {
    ++bodyEvaluations_;
    const std::vector<Scene> scenes =
        withObservationTracking([this] { return body_(); },
                                [weak = weak_from_this()] {
                                    RunLoop::main().performBlock([weak] {
                                        if (auto host = weak.lock()) {
                                            host->evaluate();
                                        }
                                    });
                                });
    const MenuBarExtra* extra = nullptr;
    windowScenes_.clear();
    for (const Scene& scene : scenes) {
        if (const auto* found = std::get_if<MenuBarExtra>(&scene)) {
            extra = found;
        } else if (const auto* settings = std::get_if<Settings>(&scene)) {
            const bool first = !settingsContent_;
            settingsContent_ = settings->content;
            if (first) {
                installApplicationMenu();
            }
        } else if (const auto* window = std::get_if<Window>(&scene)) {
            windowScenes_.insert_or_assign(window->id, *window);
        }
    }
    applyMenuBarExtra(extra);
}

void SceneHost::applyMenuBarExtra(const MenuBarExtra* extra) {
    const bool inserted = extra && extra->isInserted.get();
    if (!inserted) {
        if (statusItem_) {
            if (auto bar = statusItem_->statusBar()) {
                bar->removeStatusItem(statusItem_);
            }
        }
        statusItem_.reset();
        menu_.reset();
        return;
    }
    if (!statusItem_) {
        statusItem_ = NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
        menu_ = std::make_shared<NSMenu>(extra->title);
        statusItem_->setMenu(menu_);
    }
    // The bar shows the symbol; the title is the item's name for those who cannot see it.
    statusItem_->button()->setImage(NSImage::systemSymbol(extra->systemImage));
    statusItem_->button()->setTitle(extra->title);
    statusItem_->button()->setImagePosition(NSButton::ImagePosition::imageOnly);
    menu_->setTitle(extra->title);
    // The content keeps its state while the scenes are evaluated again, and while the item
    // is out of the bar.
    if (!menuHost_) {
        menuHost_ = ViewHost::make(extra->content);
        menuHost_->setOnUpdate([weak = weak_from_this()] {
            if (auto host = weak.lock()) {
                host->rebuildMenu();
            }
        });
    } else {
        menuHost_->setRootView(extra->content);
    }
    rebuildMenu();
}

void SceneHost::rebuildMenu() {
    if (!menu_ || !menuHost_) {
        return;
    }
    menu_->removeAllItems();
    addMenuItems(menuHost_->nodes(), *menu_);
}

void SceneHost::installApplicationMenu() {
    auto mainMenu = NSApp().mainMenu();
    if (!mainMenu) {
        mainMenu = std::make_shared<NSMenu>("Main Menu");
        NSApp().setMainMenu(mainMenu);
    }
    // A menu set before the scenes (a debug menu) keeps its items; the application menu
    // goes first, where the Settings command is looked for.
    const auto first = mainMenu->item(0);
    if (first && first->submenu() && first->submenu()->itemWithTitle("Settings…")) {
        return;
    }
    auto appMenu = std::make_shared<NSMenu>(appName_);
    appMenu->addItem(
        "About " + appName_, [](NSMenuItem&) { NSApp().orderFrontStandardAboutPanel(); }, "");
    appMenu->addItem(NSMenuItem::separator());
    appMenu->addItem(
        "Settings…",
        [weak = weak_from_this()](NSMenuItem&) {
            if (auto host = weak.lock()) {
                host->showSettings();
            }
        },
        ",");
    appMenu->addItem(NSMenuItem::separator());
    appMenu->addItem(
        "Quit " + appName_, [](NSMenuItem&) { NSApp().terminate(); }, "q");
    auto top = std::make_shared<NSMenuItem>(appName_);
    top->setSubmenu(appMenu);
    mainMenu->insertItem(top, 0);
    // The File menu's Close is what ⌘W is in every window of the app.
    auto fileMenu = std::make_shared<NSMenu>("File");
    fileMenu->addItem(
        "Close", [](NSMenuItem&) { NSApp().sendAction("performClose:", nullptr, nullptr); }, "w");
    auto file = std::make_shared<NSMenuItem>("File");
    file->setSubmenu(fileMenu);
    mainMenu->insertItem(file, 1);
}

std::shared_ptr<NSWindow> SceneHost::makeWindow(const std::string& title, const View& content,
                                                bool resizable) {
    auto style = NSWindow::StyleMask::titled | NSWindow::StyleMask::closable |
                 NSWindow::StyleMask::miniaturizable;
    if (resizable) {
        style = style | NSWindow::StyleMask::resizable;
    }
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 400, 300), style);
    window->setTitle(title);
    window->setReleasedWhenClosed(false);
    // Sized by its content.
    window->setContentViewController(std::make_shared<NSHostingController>(content));
    window->center();
    return window;
}

void SceneHost::showSettings() {
    if (!settingsContent_) {
        return;
    }
    if (!settingsWindow_) {
        settingsWindow_ = makeWindow(appName_ + " Settings", *settingsContent_, false);
    }
    settingsWindow_->makeKeyAndOrderFront();
}

std::shared_ptr<NSWindow> SceneHost::openWindow(const std::string& id) {
    const auto scene = windowScenes_.find(id);
    if (scene == windowScenes_.end()) {
        return nullptr;
    }
    auto& window = windows_[id];
    if (!window) {
        window = makeWindow(scene->second.title, scene->second.content, true);
    }
    window->makeKeyAndOrderFront();
    return window;
}

} // namespace zestrel::platform::swiftui
