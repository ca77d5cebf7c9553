#pragma once

#include "platform/desktop/NSEvent.h"
#include "platform/desktop/WindowServer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class Desktop;

// A key-down event as an application received it: the virtual key code, the modifier
// flags, and the characters of the key on the layout at that moment, ignoring every
// modifier but Shift.
struct ReceivedKeyEvent {
    std::uint16_t keyCode = 0;
    NSEvent::ModifierFlags modifierFlags;
    std::string characters;
    bool operator==(const ReceivedKeyEvent&) const = default;
};

// The behaviour of an application the desktop runs: its windows and what it does with
// the keys it receives. A new instance serves each launch; it is told its desktop and
// process when it starts and lives until the process quits.
class SimulatedApplication : public std::enable_shared_from_this<SimulatedApplication> {
public:
    SimulatedApplication() = default;
    virtual ~SimulatedApplication() = default;
    SimulatedApplication(const SimulatedApplication&) = delete;
    SimulatedApplication& operator=(const SimulatedApplication&) = delete;

    int processIdentifier() const { return processIdentifier_; }
    const std::string& bundleIdentifier() const { return bundleIdentifier_; }
    const std::string& name() const { return name_; }
    // Nothing once the desktop is gone.
    std::shared_ptr<Desktop> desktop() const { return desktop_.lock(); }
    bool isRunning() const { return running_; }

    // Records the event, then acts on it.
    void handleKeyEvent(std::uint16_t keyCode, NSEvent::ModifierFlags modifierFlags,
                        std::string characters);
    const std::vector<ReceivedKeyEvent>& receivedEvents() const { return received_; }
    void clearReceivedEvents() { received_.clear(); }

    // The application's windows, front to back.
    std::vector<ServerWindow> windows() const;

    // Whether a launch that asks for it brings the application to the front; an
    // application whose only window is a non-activating panel stays behind.
    virtual bool activatesOnLaunch() const { return true; }

protected:
    // Called once the process runs: open the first windows here.
    virtual void didLaunch() {}
    virtual void keyDown(const ReceivedKeyEvent& event) { (void)event; }

    // Opens a window owned by this process with the application's name as owner.
    CGWindowID openWindow(ServerWindow window);
    // Modifier flags reduced to what shortcuts compare: the device-independent part
    // without Caps Lock, numeric pad and Function.
    static NSEvent::ModifierFlags shortcutFlags(NSEvent::ModifierFlags flags);
    // The key a shortcut names, as the platform matches key equivalents: what the key types
    // on the current layout with no modifier, lower-cased; on a layout without Latin letters,
    // what the same key types on the U.S. layout (so Command+C copies on the Russian one).
    static std::string keyEquivalent(const ReceivedKeyEvent& event);
    // What the key types into text on the current layout, with Shift, Caps Lock and Option
    // applied; Return types a line break.
    static std::string typedCharacters(const ReceivedKeyEvent& event);

private:
    friend class Desktop;
    void start(std::weak_ptr<Desktop> desktop, int processIdentifier, std::string bundleIdentifier,
               std::string name);
    void stop() { running_ = false; }

    std::weak_ptr<Desktop> desktop_;
    int processIdentifier_ = -1;
    std::string bundleIdentifier_;
    std::string name_;
    bool running_ = false;
    std::vector<ReceivedKeyEvent> received_;
};

// A text editor with one document window: typed characters are appended to its text (or
// replace it while it is all selected), Delete removes the last character (or the
// selection). Command+A selects all of it; Command+C copies the selection to the general
// pasteboard (cleared first, then the text as "public.utf8-plain-text"), Command+X copies it
// and deletes it, Command+V puts the pasteboard's text in. Other shortcuts with Command or
// Control type nothing. With nothing selected, copy and cut leave the pasteboard alone.
class TextEditorApplication final : public SimulatedApplication {
public:
    const std::string& text() const { return text_; }
    bool isAllSelected() const { return allSelected_; }

    // What the keys do, callable directly.
    void selectAll();
    void copy();
    void cut();
    void paste();

protected:
    void didLaunch() override;
    void keyDown(const ReceivedKeyEvent& event) override;

private:
    void replaceSelection(const std::string& text);

    std::string text_;
    bool allSelected_ = false;
};

// An accessory application that covers the main screen with one window above the normal
// levels (a dimming or drawing overlay). Its window can be changed while it runs.
class OverlayApplication final : public SimulatedApplication {
public:
    CGWindowID overlayWindow() const { return window_; }

protected:
    void didLaunch() override;

private:
    CGWindowID window_ = kCGNullWindowID;
};

// An accessory application with one floating panel (a palette, a notes panel): launched, it
// shows the panel at the floating level over the front window of the application in front,
// and leaves that application in front, as a non-activating panel does. Keys still go to
// the application in front while the panel covers its window.
class PanelApplication final : public SimulatedApplication {
public:
    static constexpr CGSize kPanelSize{320, 200};

    CGWindowID panelWindow() const { return window_; }
    bool activatesOnLaunch() const override { return false; }

protected:
    void didLaunch() override;

private:
    CGWindowID window_ = kCGNullWindowID;
};

} // namespace zestrel::platform
