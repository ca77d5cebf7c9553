#pragma once

#include "platform/base/Value.h"
#include "platform/desktop/KeyboardLayout.h" // OSStatus, noErr, paramErr

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

// The Carbon Event Manager as far as our code uses it: events with typed parameters,
// event targets with their handler chains, and the status codes.

namespace zestrel::platform {

using OSType = std::uint32_t;
using UInt32 = std::uint32_t;
using OptionBits = std::uint32_t;

inline constexpr OSStatus eventInternalErr = -9868;
inline constexpr OSStatus eventParameterNotFoundErr = -9870;
inline constexpr OSStatus eventNotHandledErr = -9874;
inline constexpr OSStatus eventHotKeyExistsErr = -9878;
inline constexpr OSStatus eventHotKeyInvalidErr = -9879;

// A four-character code as the 32-bit number the platform uses ('keyb').
constexpr OSType fourCharCode(const char (&code)[5]) {
    return (OSType(std::uint8_t(code[0])) << 24) | (OSType(std::uint8_t(code[1])) << 16) |
           (OSType(std::uint8_t(code[2])) << 8) | OSType(std::uint8_t(code[3]));
}

inline constexpr OSType kEventClassKeyboard = fourCharCode("keyb");
inline constexpr OSType kEventClassMouse = fourCharCode("mous");

inline constexpr UInt32 kEventRawKeyDown = 1;
inline constexpr UInt32 kEventRawKeyRepeat = 2;
inline constexpr UInt32 kEventRawKeyUp = 3;
inline constexpr UInt32 kEventRawKeyModifiersChanged = 4;
inline constexpr UInt32 kEventHotKeyPressed = 5;
inline constexpr UInt32 kEventHotKeyReleased = 6;

inline constexpr UInt32 kEventMouseDown = 1;
inline constexpr UInt32 kEventMouseUp = 2;
inline constexpr UInt32 kEventMouseMoved = 5;
inline constexpr UInt32 kEventMouseDragged = 6;
inline constexpr UInt32 kEventMouseEntered = 8;
inline constexpr UInt32 kEventMouseExited = 9;
inline constexpr UInt32 kEventMouseWheelMoved = 10;
inline constexpr UInt32 kEventMouseScroll = 11;

using EventParamName = OSType;
using EventParamType = OSType;
inline constexpr EventParamName kEventParamDirectObject = fourCharCode("----");
inline constexpr EventParamName kEventParamKeyCode = fourCharCode("kcod");
inline constexpr EventParamName kEventParamKeyModifiers = fourCharCode("kmod");
inline constexpr EventParamType typeEventHotKeyID = fourCharCode("hkid");
inline constexpr EventParamType typeUInt32 = fourCharCode("magn");

// The Carbon modifier bits.
inline constexpr UInt32 cmdKey = 256;
inline constexpr UInt32 shiftKey = 512;
inline constexpr UInt32 alphaLock = 1024;
inline constexpr UInt32 optionKey = 2048;
inline constexpr UInt32 controlKey = 4096;

struct EventTypeSpec {
    OSType eventClass = 0;
    UInt32 eventKind = 0;
    bool operator==(const EventTypeSpec&) const = default;
};

struct EventHotKeyID {
    OSType signature = 0;
    UInt32 id = 0;
};

// A Carbon event: class, kind and typed parameters held as bytes. A read of a parameter
// can be made to fail with a given status, for tests.
class CarbonEvent {
public:
    CarbonEvent(OSType eventClass, UInt32 kind) : class_(eventClass), kind_(kind) {}

    OSType eventClass() const { return class_; }
    UInt32 kind() const { return kind_; }

    void setParameter(EventParamName name, EventParamType type, const void* data, std::size_t size);
    OSStatus parameter(EventParamName name, EventParamType desiredType, EventParamType* actualType,
                       std::size_t bufferSize, std::size_t* actualSize, void* data) const;
    void failReads(EventParamName name, OSStatus status) { failures_[name] = status; }

private:
    struct Parameter {
        EventParamType type = 0;
        std::vector<std::uint8_t> bytes;
    };
    OSType class_;
    UInt32 kind_;
    std::map<EventParamName, Parameter> parameters_;
    std::map<EventParamName, OSStatus> failures_;
};
using EventRef = std::shared_ptr<CarbonEvent>;

EventRef CreateEvent(OSType eventClass, UInt32 kind);
UInt32 GetEventKind(const EventRef& event);
OSType GetEventClass(const EventRef& event);
// Copies the parameter into `outData`; eventParameterNotFoundErr when it is missing or of
// another type, paramErr when the buffer is too small.
OSStatus GetEventParameter(const EventRef& event, EventParamName name, EventParamType desiredType,
                           EventParamType* outActualType, std::size_t bufferSize,
                           std::size_t* outActualSize, void* outData);
OSStatus SetEventParameter(const EventRef& event, EventParamName name, EventParamType type,
                           std::size_t size, const void* data);

// Handlers and targets. A target belongs to the process: a relaunch makes new ones.
class EventHandler;
class EventTarget;
using EventHandlerRef = std::shared_ptr<EventHandler>;
using EventTargetRef = std::shared_ptr<EventTarget>;
// Names the handler being called; unused by our handlers.
using EventHandlerCallRef = const void*;
// Answers noErr (or any status but eventNotHandledErr) to consume the event,
// eventNotHandledErr to pass it on down the chain.
using EventHandlerUPP =
    std::function<OSStatus(EventHandlerCallRef, const EventRef& event, void* userData)>;

// The dispatcher target sees events before they reach the application's target.
EventTargetRef GetEventDispatcherTarget();
EventTargetRef GetApplicationEventTarget();
// A handler goes to the front of its target's chain and hears only the types it lists.
// paramErr for a missing target or handler. A failure switched on for tests is answered
// with nothing installed.
OSStatus InstallEventHandler(const EventTargetRef& target, EventHandlerUPP handler, UInt32 numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);
OSStatus AddEventTypesToHandler(const EventHandlerRef& handler, UInt32 numTypes,
                                const EventTypeSpec* list);
OSStatus RemoveEventTypesFromHandler(const EventHandlerRef& handler, UInt32 numTypes,
                                     const EventTypeSpec* list);
OSStatus RemoveEventHandler(const EventHandlerRef& handler);
// Runs the target's chain, front first, until a handler answers other than
// eventNotHandledErr; eventNotHandledErr when none did.
OSStatus SendEventToEventTarget(const EventRef& event, const EventTargetRef& target);
// Whether a handler of the target listens for events of the type.
bool eventTargetHears(const EventTargetRef& target, EventTypeSpec type);
// How many handlers a target holds, for tests.
std::size_t eventHandlerCount(const EventTargetRef& target);
// Makes the next installations fail with `status` (noErr: they succeed again), for tests.
void setInstallEventHandlerFailure(OSStatus status);

} // namespace zestrel::platform
