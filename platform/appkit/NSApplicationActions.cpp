// The application's end of the responder chain: sending actions and the About panel.
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindowController.h"
#include "platform/base/Bundle.h"

namespace zestrel::platform {

namespace {

// The action performed by this one responder, not passed on.
bool performHere(const std::shared_ptr<NSResponder>& responder, std::string_view action,
                 const std::shared_ptr<NSObject>& sender) {
    if (!responder || !responder->respondsToAction(action)) {
        return false;
    }
    responder->performAction(action, sender);
    return true;
}

// The chain from a window's first responder up to the window's controller, then the
// window's delegate when it is a responder.
bool performInWindow(const std::shared_ptr<NSWindow>& window, std::string_view action,
                     const std::shared_ptr<NSObject>& sender) {
    if (!window) {
        return false;
    }
    std::shared_ptr<NSResponder> responder = window->firstResponder();
    if (!responder) {
        responder = window;
    }
    // The chain is followed up to the window; a first responder outside it still ends there.
    bool passedWindow = false;
    for (; responder; responder = responder->nextResponder()) {
        passedWindow = passedWindow || responder == window;
        if (performHere(responder, action, sender)) {
            return true;
        }
    }
    if (!passedWindow && performHere(window, action, sender)) {
        return true;
    }
    return performHere(std::dynamic_pointer_cast<NSResponder>(window->delegate()), action, sender);
}

// The flags that take part in a key equivalent.
NSEvent::ModifierFlags equivalentFlags(NSEvent::ModifierFlags flags) {
    return flags.intersection(NSEvent::ModifierFlags::deviceIndependentFlagsMask)
        .subtracting(NSEvent::ModifierFlags::capsLock | NSEvent::ModifierFlags::numericPad |
                     NSEvent::ModifierFlags::function);
}

// The menu's enabled, visible item (here or in a submenu) with the event's key equivalent.
bool performKeyEquivalent(const std::shared_ptr<NSMenu>& menu, const NSEvent& event,
                          const std::string& key) {
    for (std::int64_t index = 0; index < menu->numberOfItems(); ++index) {
        const auto item = menu->item(index);
        if (item->isHidden() || !item->isEnabled()) {
            continue;
        }
        if (item->hasSubmenu() && performKeyEquivalent(item->submenu(), event, key)) {
            return true;
        }
        if (!item->keyEquivalent().empty() && item->keyEquivalent() == key &&
            equivalentFlags(item->keyEquivalentModifierMask()) ==
                equivalentFlags(event.eventModifierFlags())) {
            menu->performActionForItem(index);
            return true;
        }
    }
    return false;
}

std::string infoString(const char* key) {
    const auto& info = Bundle::main()->infoDictionary();
    const auto found = info.find(key);
    if (found == info.end()) {
        return {};
    }
    const std::string* text = found->second.asString();
    return text ? *text : std::string();
}

} // namespace

void NSApplication::deliverKeyDown(const NSEvent& event) {
    const auto key = event.charactersIgnoringModifiers();
    if (mainMenu_ && key && !key->empty() && performKeyEquivalent(mainMenu_, event, *key)) {
        return;
    }
    if (const auto window = keyWindow()) {
        window->sendEvent(event);
    }
}

bool NSApplication::sendAction(std::string_view action, const std::shared_ptr<NSResponder>& target,
                               const std::shared_ptr<NSObject>& sender) {
    threadChecker_.check();
    if (target) {
        return performHere(target, action, sender); // a given target is not passed on
    }
    const auto key = keyWindow();
    if (performInWindow(key, action, sender)) {
        return true;
    }
    if (const auto main = mainWindow(); main != key && performInWindow(main, action, sender)) {
        return true;
    }
    if (respondsToAction(action)) {
        performAction(action, sender);
        return true;
    }
    return performHere(std::dynamic_pointer_cast<NSResponder>(this->delegate()), action, sender);
}

bool NSApplication::respondsToAction(std::string_view action) const {
    return action == "terminate:" || action == "orderFrontStandardAboutPanel:" ||
           action == "orderFrontCharacterPalette:";
}

void NSApplication::performAction(std::string_view action,
                                  const std::shared_ptr<NSObject>& /*sender*/) {
    if (action == "terminate:") {
        terminate();
    } else if (action == "orderFrontStandardAboutPanel:") {
        orderFrontStandardAboutPanel();
    } else if (action == "orderFrontCharacterPalette:") {
        ++characterPaletteOrders_;
    }
}

void NSApplication::orderFrontStandardAboutPanel() {
    threadChecker_.check();
    ++aboutPanelOrders_;
    if (auto open = aboutPanel_.lock(); open && open->isVisible()) {
        open->orderFront();
        return;
    }
    auto panel = std::make_shared<NSPanel>(
        CGRect(0, 0, 284, 220), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
    auto content = std::make_shared<NSView>(CGRect(0, 0, 284, 220));
    const std::string name = infoString(kCFBundleNameKey);
    std::string version = infoString("CFBundleShortVersionString");
    if (const std::string build = infoString("CFBundleVersion"); !build.empty()) {
        version += (version.empty() ? "" : " ") + ("(" + build + ")");
    }
    const std::string copyright = infoString("NSHumanReadableCopyright");
    auto icon = std::make_shared<NSButton>();
    icon->setImage(std::make_shared<NSImage>("NSApplicationIcon", CGSize{64, 64}));
    icon->setEnabled(false);
    content->addSubview(icon);
    content->addSubview(NSTextField::labelWithString(name));
    if (!version.empty()) {
        content->addSubview(NSTextField::labelWithString("Version " + version));
    }
    if (!copyright.empty()) {
        content->addSubview(NSTextField::labelWithString(copyright));
    }
    panel->setContentView(content);
    panel->center();
    aboutPanel_ = panel;
    panel->makeKeyAndOrderFront();
}

} // namespace zestrel::platform
