#pragma once

#include "hotkeys/Shortcut.h"
#include "platform/appkit/NSSearchField.h"
#include "platform/base/NotificationCenter.h"
#include "platform/desktop/NSEvent.h"

#include <functional>
#include <memory>
#include <optional>

namespace zestrel {
class LocalEventMonitor;
}

namespace zestrel::Hotkeys {

// Since macOS 15 the system refuses, for a sandboxed app, shortcuts whose only modifiers
// are Option or Shift+Option: the recorder rejects them and its view warns of stored ones.
bool refusesOptionOnlyShortcuts();
bool isOptionOnly(platform::NSEvent::ModifierFlags modifiers);

inline constexpr const char* kRecorderIdlePlaceholder = "Record Shortcut";
inline constexpr const char* kRecorderRecordingPlaceholder = "Press Shortcut";

// The control that sets the shortcut of one name: a search-field-shaped box that shows the
// stored shortcut, records the next key combination pressed while it has the focus, checks
// it, stores it and tells its owner; clearing the box clears the shortcut. Main thread only.
class RecorderCocoa final : public platform::NSSearchField,
                            public platform::NSControlTextEditingDelegate {
    struct Key {
        explicit Key() = default;
    };

public:
    using OnChange = std::function<void(const std::optional<Shortcut>&)>;

    // The only way to make one: it is its own delegate and its observers reach it weakly.
    static std::shared_ptr<RecorderCocoa> make(Name name, OnChange onChange = {});
    RecorderCocoa(Key, Name name, OnChange onChange);
    ~RecorderCocoa() override;
    // The control is made in code only: the archive, frame and plain initializers stop the
    // process.
    [[noreturn]] static void initWithCoder();
    [[noreturn]] static void initWithFrame(platform::CGRect frame);
    [[noreturn]] static void init();

    std::string className() const override { return "Hotkeys.RecorderCocoa"; }

    const Name& shortcutName() const { return shortcutName_; }
    // A name with another text shows that name's shortcut; the same name changes nothing.
    void setShortcutName(Name name);
    double minimumWidth() const { return minimumWidth_; }
    bool isRecording() const { return eventMonitor_ != nullptr; }

    platform::CGSize intrinsicContentSize() const override;
    bool canBecomeKeyView() const override { return canBecomeKey_; }
    // Keeps the control from taking the focus (and recording) until the next turn of the
    // main queue, as when its window is shown or becomes key.
    void preventBecomingKey();
    void viewDidMoveToWindow() override;
    // Becoming first responder starts recording; refused in a window that is not key.
    bool becomeFirstResponder() override;
    void endRecording();
    // The text becomes the stored shortcut's description, or empty.
    void setStringValueFromName();

    void controlTextDidChange(const platform::Notification& notification) override;
    void controlTextDidEndEditing(const platform::Notification& notification) override;

    // What the event monitor hands over while recording: the event to pass on, or none to
    // swallow it.
    std::shared_ptr<platform::NSEvent> handleEvent(const std::shared_ptr<platform::NSEvent>& event);

private:
    bool startRecording();
    void updateCancelButton();
    // The window gives the focus up; recording ends.
    void blur();
    // Ends recording, shows the alert and records again once it is dismissed.
    void showConflictAlert(std::string title, std::optional<std::string> message = std::nullopt);

    double minimumWidth_ = 130;
    OnChange onChange_;
    bool canBecomeKey_ = false;
    std::shared_ptr<LocalEventMonitor> eventMonitor_;
    platform::ObserverToken shortcutsNameChangeObserver_;
    platform::ObserverToken windowDidResignKeyObserver_;
    platform::ObserverToken windowDidBecomeKeyObserver_;
    Name shortcutName_;
    std::shared_ptr<platform::NSButtonCell> cancelButton_;
};

// A menu item's key equivalent from a shortcut: none clears it and lets the system localise
// it again.
void setShortcut(platform::NSMenuItem& item, const std::optional<Shortcut>& shortcut);
// The same from a name's stored shortcut, kept up to date while the item exists; one name
// per item: a new call replaces the earlier one, and none stops following.
void setShortcut(platform::NSMenuItem& item, const std::optional<Name>& name);

} // namespace zestrel::Hotkeys
