#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/CarbonEvents.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace zestrel::platform {

// One registered hot key: what the platform hands back from RegisterEventHotKey.
class EventHotKey {
public:
    UInt32 keyCode = 0;
    UInt32 modifiers = 0;
    EventHotKeyID hotKeyID;
    int ownerProcessIdentifier = 0;
    std::weak_ptr<EventTarget> target;
};
using EventHotKeyRef = std::shared_ptr<EventHotKey>;

// Registers a system-wide hot key for this process: from now on the key-down and key-up of
// exactly this key code with exactly these Carbon modifier bits (Command, Shift, Option,
// Control) stop in the key pipeline and reach `target` as hot-key pressed and released
// events, on the main run loop. The same combination may be registered more than once; the
// first registration gets the key. paramErr without a target or a place for the reference;
// eventInternalErr once the process has ended.
OSStatus RegisterEventHotKey(UInt32 keyCode, UInt32 modifiers, EventHotKeyID hotKeyID,
                             const EventTargetRef& target, OptionBits options,
                             EventHotKeyRef* outRef);
// paramErr for a missing reference, eventHotKeyInvalidErr for one no longer registered.
OSStatus UnregisterEventHotKey(const EventHotKeyRef& hotKey);

// The system's own shortcuts: an array of dictionaries with "kHISymbolicHotKeyEnabled",
// "kHISymbolicHotKeyCode" and "kHISymbolicHotKeyModifiers".
OSStatus CopySymbolicHotKeys(Value* outHotKeyArray);

// The carbon modifier bits held in an event's flags.
UInt32 carbonModifiers(CGEventFlags flags);

// The machine's hot-key registrations and the rules the system applies to them. The hot-key
// stage of the key pipeline asks it whether a key event belongs to a hot key. A
// machine-level object: registrations of a process, and its keyboard grab, go when that
// process ends (this program's through its teardown list, every process's when the desktop
// terminates it), and a process that has ended registers nothing.
class HotKeySystem {
public:
    struct Registration {
        UInt32 keyCode = 0;
        UInt32 modifiers = 0;
        EventHotKeyID hotKeyID;
        int ownerProcessIdentifier = 0;
        // Whether the owner listens for the hot key's presses now.
        bool heard = false;
    };

    HotKeySystem();
    HotKeySystem(const HotKeySystem&) = delete;
    HotKeySystem& operator=(const HotKeySystem&) = delete;

    static std::shared_ptr<HotKeySystem> current();
    // Nothing installs a fresh one.
    static void setCurrent(std::shared_ptr<HotKeySystem> system);

    // The hot-key stage: true when a registration consumed the event. Pressed and released
    // events are sent to the owner's target on the main run loop; key repeats are consumed
    // without an event.
    bool consume(const CGEvent& event);
    // Every registration of the process goes, and its keyboard grab.
    void processDidQuit(int processIdentifier);
    // Arranges for that to happen at the end of the current process (once per process), for
    // a hot key or a grab it made.
    static void goesWithProcess(int processIdentifier);

    // In registration order.
    std::vector<Registration> registrations() const;
    // How many key events hot keys have consumed, and the registration of the latest.
    std::uint64_t consumedCount() const;
    std::optional<Registration> lastConsumed() const;

    // Makes registrations of the combination fail with `status`; noErr lifts it.
    void refuse(UInt32 keyCode, UInt32 modifiers, OSStatus status);
    // The rule of newer systems: sandboxed applications may not register Option alone or
    // Shift+Option hot keys. Off unless switched on.
    void setSandboxRule(bool on);
    // Whether the registering process runs in the sandbox (by default: the environment's
    // APP_SANDBOX_CONTAINER_ID).
    void setCallerSandboxed(std::optional<bool> sandboxed);
    // Reads of a parameter of the events the system sends fail with `status`; noErr lifts it.
    void failParameterReads(EventParamName name, OSStatus status);

    // While an application tracks a menu the keyboard is its own: key events the hot keys
    // leave go to `grab` instead of the focused application. The grab is the calling
    // process's: nothing ends it but a new grab, an empty one, or the end of the process.
    using KeyboardGrab = std::function<void(const CGEvent& event)>;
    void setKeyboardGrab(KeyboardGrab grab);
    // The whole stage: a hot key, else the grab; true when the event goes no further.
    bool stage(const CGEvent& event);

    void setSymbolicHotKeys(OSStatus status, Value hotKeys);
    std::pair<OSStatus, Value> symbolicHotKeys() const;

private:
    friend OSStatus RegisterEventHotKey(UInt32, UInt32, EventHotKeyID, const EventTargetRef&,
                                        OptionBits, EventHotKeyRef*);
    friend OSStatus UnregisterEventHotKey(const EventHotKeyRef&);

    OSStatus add(const EventHotKeyRef& hotKey);
    bool remove(const EventHotKeyRef& hotKey);

    mutable Mutex mutex_;
    static Registration describe(const EventHotKey& hotKey);

    std::vector<EventHotKeyRef> hotKeys_ GUARDED_BY(mutex_);
    std::uint64_t consumedCount_ GUARDED_BY(mutex_) = 0;
    std::optional<Registration> lastConsumed_ GUARDED_BY(mutex_);
    std::map<std::pair<UInt32, UInt32>, OSStatus> refusals_ GUARDED_BY(mutex_);
    bool sandboxRule_ GUARDED_BY(mutex_) = false;
    std::optional<bool> callerSandboxed_ GUARDED_BY(mutex_);
    std::map<EventParamName, OSStatus> parameterFailures_ GUARDED_BY(mutex_);
    std::shared_ptr<const KeyboardGrab> grab_ GUARDED_BY(mutex_);
    int grabOwner_ GUARDED_BY(mutex_) = 0;
    OSStatus symbolicStatus_ GUARDED_BY(mutex_) = noErr;
    Value symbolicHotKeys_ GUARDED_BY(mutex_);
};

} // namespace zestrel::platform
