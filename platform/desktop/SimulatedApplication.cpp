#include "platform/desktop/SimulatedApplication.h"

#include "platform/desktop/Desktop.h"

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

// --- TextEditorApplication

namespace {
constexpr std::uint16_t kVKReturn = 36;
constexpr std::uint16_t kVKDelete = 51;
} // namespace

void TextEditorApplication::didLaunch() {
    ServerWindow window;
    window.name = "Untitled";
    window.bounds = CGRect(320, 180, 640, 480);
    openWindow(window);
}

void TextEditorApplication::keyDown(const ReceivedKeyEvent& event) {
    const auto flags = shortcutFlags(event.modifierFlags);
    if (flags.contains(NSEvent::ModifierFlags::command) ||
        flags.contains(NSEvent::ModifierFlags::control)) {
        return;
    }
    if (event.keyCode == kVKDelete) {
        // Remove one whole UTF-8 character.
        while (!text_.empty() && (static_cast<unsigned char>(text_.back()) & 0xC0) == 0x80) {
            text_.pop_back();
        }
        if (!text_.empty()) {
            text_.pop_back();
        }
        return;
    }
    text_ += event.keyCode == kVKReturn ? std::string("\n") : event.characters;
}

// --- OverlayApplication

void OverlayApplication::didLaunch() {
    ServerWindow window;
    window.bounds = WindowServer::mainScreenFrame();
    window.layer = kCGStatusWindowLevel;
    window.alpha = 0.5;
    window_ = openWindow(window);
}

} // namespace zestrel::platform
