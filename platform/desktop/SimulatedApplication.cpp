#include "platform/desktop/SimulatedApplication.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/KeyboardLayout.h"
#include "platform/desktop/NSPasteboard.h"

#include <algorithm>
#include <cctype>

namespace zestrel::platform {

void SimulatedApplication::start(std::weak_ptr<Desktop> desktop, int processIdentifier,
                                 std::string bundleIdentifier, std::string name) {
    desktop_ = std::move(desktop);
    processIdentifier_ = processIdentifier;
    bundleIdentifier_ = std::move(bundleIdentifier);
    name_ = std::move(name);
    running_ = true;
}

void SimulatedApplication::handleKeyEvent(std::uint16_t keyCode,
                                          NSEvent::ModifierFlags modifierFlags,
                                          std::string characters) {
    received_.push_back({keyCode, modifierFlags, std::move(characters)});
    if (running_) {
        keyDown(received_.back());
    }
}

std::vector<ServerWindow> SimulatedApplication::windows() const {
    auto desktop = desktop_.lock();
    return desktop ? desktop->windowServer().windows(processIdentifier_)
                   : std::vector<ServerWindow>{};
}

CGWindowID SimulatedApplication::openWindow(ServerWindow window) {
    auto desktop = desktop_.lock();
    if (!desktop) {
        return kCGNullWindowID;
    }
    window.ownerPID = processIdentifier_;
    window.ownerName = name_;
    return desktop->windowServer().addWindow(std::move(window));
}

NSEvent::ModifierFlags SimulatedApplication::shortcutFlags(NSEvent::ModifierFlags flags) {
    return flags.intersection(NSEvent::ModifierFlags::deviceIndependentFlagsMask)
        .subtracting(NSEvent::ModifierFlags::capsLock | NSEvent::ModifierFlags::numericPad |
                     NSEvent::ModifierFlags::function);
}

namespace {
constexpr std::uint16_t kVKReturn = 36;
constexpr std::uint16_t kVKDelete = 51;
} // namespace

std::string SimulatedApplication::keyEquivalent(const ReceivedKeyEvent& event) {
    auto layout = InputSources::current()->currentLayout();
    if (!layout || !layout->isASCIICapable()) {
        layout = KeyboardLayout::us();
    }
    auto key = layout->characters(event.keyCode, false).value_or("");
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

std::string SimulatedApplication::typedCharacters(const ReceivedKeyEvent& event) {
    if (event.keyCode == kVKReturn) {
        return "\n";
    }
    const auto layout = InputSources::current()->currentLayout();
    if (!layout) {
        return event.characters;
    }
    const auto flags = event.modifierFlags;
    return layout
        ->characters(event.keyCode, flags.contains(NSEvent::ModifierFlags::shift),
                     flags.contains(NSEvent::ModifierFlags::capsLock),
                     flags.contains(NSEvent::ModifierFlags::option))
        .value_or(event.characters);
}

// --- TextEditorApplication

void TextEditorApplication::didLaunch() {
    ServerWindow window;
    window.name = "Untitled";
    window.bounds = CGRect(320, 180, 640, 480);
    openWindow(window);
}

void TextEditorApplication::keyDown(const ReceivedKeyEvent& event) {
    const auto flags = shortcutFlags(event.modifierFlags);
    if (flags == NSEvent::ModifierFlags::command) {
        const auto key = keyEquivalent(event);
        if (key == "a") {
            selectAll();
        } else if (key == "c") {
            copy();
        } else if (key == "x") {
            cut();
        } else if (key == "v") {
            paste();
        }
        return;
    }
    if (flags.contains(NSEvent::ModifierFlags::command) ||
        flags.contains(NSEvent::ModifierFlags::control)) {
        return;
    }
    if (event.keyCode == kVKDelete) {
        if (allSelected_) {
            replaceSelection("");
            return;
        }
        // Remove one whole UTF-8 character.
        while (!text_.empty() && (static_cast<unsigned char>(text_.back()) & 0xC0) == 0x80) {
            text_.pop_back();
        }
        if (!text_.empty()) {
            text_.pop_back();
        }
        return;
    }
    replaceSelection(typedCharacters(event));
}

void TextEditorApplication::replaceSelection(const std::string& text) {
    if (allSelected_) {
        text_.clear();
        allSelected_ = false;
    }
    text_ += text;
}

void TextEditorApplication::selectAll() {
    allSelected_ = !text_.empty();
}

void TextEditorApplication::copy() {
    auto desktop = this->desktop();
    if (!desktop || !allSelected_) {
        return;
    }
    auto pasteboard = desktop->generalPasteboard();
    pasteboard->clearContents();
    pasteboard->setString(text_, NSPasteboardType::string);
}

void TextEditorApplication::cut() {
    if (!allSelected_) {
        return;
    }
    copy();
    replaceSelection("");
}

void TextEditorApplication::paste() {
    auto desktop = this->desktop();
    if (!desktop) {
        return;
    }
    if (const auto text = desktop->generalPasteboard()->stringForType(NSPasteboardType::string)) {
        replaceSelection(*text);
    }
}

// --- OverlayApplication

void OverlayApplication::didLaunch() {
    ServerWindow window;
    window.bounds = WindowServer::mainScreenFrame();
    window.layer = kCGStatusWindowLevel;
    window.alpha = 0.5;
    window_ = openWindow(window);
}

// --- PanelApplication

void PanelApplication::didLaunch() {
    CGRect over = WindowServer::mainScreenFrame();
    if (const auto desktop = this->desktop()) {
        if (const auto front = desktop->frontmostApplication()) {
            const auto windows = desktop->windowServer().windows(front->processIdentifier());
            const auto window = std::find_if(windows.begin(), windows.end(), [](const auto& w) {
                return w.isOnScreen && !w.isDesktopElement();
            });
            if (window != windows.end()) {
                over = window->bounds;
            }
        }
    }
    ServerWindow panel;
    panel.name = "Panel";
    panel.bounds = CGRect(over.origin.x + (over.size.width - kPanelSize.width) / 2,
                          over.origin.y + (over.size.height - kPanelSize.height) / 2,
                          kPanelSize.width, kPanelSize.height);
    panel.layer = kCGFloatingWindowLevel;
    window_ = openWindow(panel);
}

} // namespace zestrel::platform
