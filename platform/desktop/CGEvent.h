#pragma once

#include <cstdint>
#include <memory>

namespace zestrel::platform {

// Where in the event stream a tap sits or an event is posted.
enum class CGEventTapLocation : std::uint32_t { hid = 0, session = 1, annotatedSession = 2 };
inline constexpr CGEventTapLocation kCGHIDEventTap = CGEventTapLocation::hid;
inline constexpr CGEventTapLocation kCGSessionEventTap = CGEventTapLocation::session;
inline constexpr CGEventTapLocation kCGAnnotatedSessionEventTap =
    CGEventTapLocation::annotatedSession;

enum class CGEventTapPlacement : std::uint32_t { head = 0, tail = 1 };
inline constexpr CGEventTapPlacement kCGHeadInsertEventTap = CGEventTapPlacement::head;
inline constexpr CGEventTapPlacement kCGTailAppendEventTap = CGEventTapPlacement::tail;

// An active filter may replace or drop events; a listener only watches.
enum class CGEventTapOptions : std::uint32_t { defaultTap = 0, listenOnly = 1 };
inline constexpr CGEventTapOptions kCGEventTapOptionDefault = CGEventTapOptions::defaultTap;
inline constexpr CGEventTapOptions kCGEventTapOptionListenOnly = CGEventTapOptions::listenOnly;

enum class CGEventType : std::uint32_t {
    null = 0,
    leftMouseDown = 1,
    leftMouseUp = 2,
    rightMouseDown = 3,
    rightMouseUp = 4,
    mouseMoved = 5,
    leftMouseDragged = 6,
    rightMouseDragged = 7,
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
    scrollWheel = 22,
    tabletPointer = 23,
    tabletProximity = 24,
    otherMouseDown = 25,
    otherMouseUp = 26,
    otherMouseDragged = 27,
    // Not events: what a tap's callback is told when the system switched the tap off.
    tapDisabledByTimeout = 0xFFFFFFFE,
    tapDisabledByUserInput = 0xFFFFFFFF,
};

// One bit per event type, 1 << type; the pseudo-types have no bit.
using CGEventMask = std::uint64_t;
constexpr CGEventMask CGEventMaskBit(CGEventType type) {
    const auto raw = static_cast<std::uint32_t>(type);
    return raw < 64 ? CGEventMask{1} << raw : 0;
}
inline constexpr CGEventMask kCGEventMaskForAllEvents = ~CGEventMask{0};

// The 64-bit flags of an event; the modifier bits are the same as NSEvent's.
struct CGEventFlags {
    std::uint64_t rawValue = 0;

    static const CGEventFlags maskAlphaShift;
    static const CGEventFlags maskShift;
    static const CGEventFlags maskControl;
    static const CGEventFlags maskAlternate;
    static const CGEventFlags maskCommand;
    static const CGEventFlags maskNumericPad;
    static const CGEventFlags maskHelp;
    static const CGEventFlags maskSecondaryFn;
    static const CGEventFlags maskNonCoalesced;

    constexpr bool contains(CGEventFlags other) const {
        return (rawValue & other.rawValue) == other.rawValue;
    }
    constexpr CGEventFlags operator|(CGEventFlags other) const {
        return {rawValue | other.rawValue};
    }
    constexpr CGEventFlags operator&(CGEventFlags other) const {
        return {rawValue & other.rawValue};
    }
    constexpr bool operator==(const CGEventFlags&) const = default;
};
inline constexpr CGEventFlags CGEventFlags::maskAlphaShift{0x10000};
inline constexpr CGEventFlags CGEventFlags::maskShift{0x20000};
inline constexpr CGEventFlags CGEventFlags::maskControl{0x40000};
inline constexpr CGEventFlags CGEventFlags::maskAlternate{0x80000};
inline constexpr CGEventFlags CGEventFlags::maskCommand{0x100000};
inline constexpr CGEventFlags CGEventFlags::maskNumericPad{0x200000};
inline constexpr CGEventFlags CGEventFlags::maskHelp{0x400000};
inline constexpr CGEventFlags CGEventFlags::maskSecondaryFn{0x800000};
inline constexpr CGEventFlags CGEventFlags::maskNonCoalesced{0x100};
inline constexpr CGEventFlags kCGEventFlagMaskAlphaShift = CGEventFlags::maskAlphaShift;
inline constexpr CGEventFlags kCGEventFlagMaskShift = CGEventFlags::maskShift;
inline constexpr CGEventFlags kCGEventFlagMaskControl = CGEventFlags::maskControl;
inline constexpr CGEventFlags kCGEventFlagMaskAlternate = CGEventFlags::maskAlternate;
inline constexpr CGEventFlags kCGEventFlagMaskCommand = CGEventFlags::maskCommand;
inline constexpr CGEventFlags kCGEventFlagMaskNumericPad = CGEventFlags::maskNumericPad;
inline constexpr CGEventFlags kCGEventFlagMaskHelp = CGEventFlags::maskHelp;
inline constexpr CGEventFlags kCGEventFlagMaskSecondaryFn = CGEventFlags::maskSecondaryFn;

// The integer fields of an event that this desktop keeps; others read 0 and ignore writes.
enum class CGEventField : std::uint32_t {
    keyboardEventAutorepeat = 8,
    keyboardEventKeycode = 9,
    keyboardEventKeyboardType = 10,
    eventSourceUnixProcessID = 41,
    eventSourceUserData = 42,
    eventSourceStateID = 45,
};
inline constexpr CGEventField kCGKeyboardEventKeycode = CGEventField::keyboardEventKeycode;

enum class CGEventSourceStateID : std::int32_t {
    privateState = -1,
    combinedSessionState = 0,
    hidSystemState = 1,
};
inline constexpr CGEventSourceStateID kCGEventSourceStatePrivate =
    CGEventSourceStateID::privateState;
inline constexpr CGEventSourceStateID kCGEventSourceStateCombinedSessionState =
    CGEventSourceStateID::combinedSessionState;
inline constexpr CGEventSourceStateID kCGEventSourceStateHIDSystemState =
    CGEventSourceStateID::hidSystemState;

// What local hardware events may do while synthesized ones are being posted.
using CGEventFilterMask = std::uint32_t;
inline constexpr CGEventFilterMask kCGEventFilterMaskPermitLocalMouseEvents = 1;
inline constexpr CGEventFilterMask kCGEventFilterMaskPermitLocalKeyboardEvents = 2;
inline constexpr CGEventFilterMask kCGEventFilterMaskPermitSystemDefinedEvents = 4;
enum class CGEventSuppressionState : std::uint32_t {
    suppressionInterval = 0,
    remoteMouseDrag = 1,
};

// Where synthesized events say they come from. Only what posting code sets is kept.
class CGEventSource {
public:
    explicit CGEventSource(CGEventSourceStateID stateID) : stateID_(stateID) {}

    CGEventSourceStateID stateID() const { return stateID_; }
    std::int64_t userData() const { return userData_; }
    void setUserData(std::int64_t data) { userData_ = data; }
    CGEventFilterMask localEventsFilter(CGEventSuppressionState state) const;
    void setLocalEventsFilter(CGEventFilterMask filter, CGEventSuppressionState state);

private:
    CGEventSourceStateID stateID_;
    std::int64_t userData_ = 0;
    CGEventFilterMask suppressionIntervalFilter_ = 7;
    CGEventFilterMask remoteMouseDragFilter_ = 7;
};

// A Quartz event: type, key code, flags and source. Characters are not part of it; they
// come from the keyboard layout when an NSEvent is made of it.
class CGEvent {
public:
    CGEvent(CGEventType type, std::uint16_t keyCode, CGEventFlags flags,
            std::shared_ptr<CGEventSource> source = nullptr)
        : type_(type), keyCode_(keyCode), flags_(flags), source_(std::move(source)) {}

    CGEventType type() const { return type_; }
    void setType(CGEventType type) { type_ = type; }
    std::uint16_t keyCode() const { return keyCode_; }
    CGEventFlags flags() const { return flags_; }
    void setFlags(CGEventFlags flags) { flags_ = flags; }
    const std::shared_ptr<CGEventSource>& source() const { return source_; }

    std::int64_t integerValueField(CGEventField field) const;
    void setIntegerValueField(CGEventField field, std::int64_t value);

private:
    CGEventType type_;
    std::uint16_t keyCode_;
    CGEventFlags flags_;
    std::shared_ptr<CGEventSource> source_;
    bool autorepeat_ = false;
    std::int64_t keyboardType_ = 40;
    std::int64_t sourceUserData_ = 0;
};

using CGEventRef = std::shared_ptr<CGEvent>;
using CGEventSourceRef = std::shared_ptr<CGEventSource>;

// The platform's functions. Creation answers nothing when the desktop's fault switches say so.
CGEventSourceRef CGEventSourceCreate(CGEventSourceStateID stateID);
void CGEventSourceSetLocalEventsFilterDuringSuppressionState(const CGEventSourceRef& source,
                                                             CGEventFilterMask filter,
                                                             CGEventSuppressionState state);
// A key-down or key-up event; a modifier key (codes 54-63) gives a flags-changed event whose
// flags hold that modifier while it is down.
CGEventRef CGEventCreateKeyboardEvent(const CGEventSourceRef& source, std::uint16_t virtualKey,
                                      bool keyDown);
CGEventRef CGEventCreateCopy(const CGEventRef& event);
CGEventType CGEventGetType(const CGEventRef& event);
void CGEventSetType(const CGEventRef& event, CGEventType type);
CGEventFlags CGEventGetFlags(const CGEventRef& event);
void CGEventSetFlags(const CGEventRef& event, CGEventFlags flags);
std::int64_t CGEventGetIntegerValueField(const CGEventRef& event, CGEventField field);
void CGEventSetIntegerValueField(const CGEventRef& event, CGEventField field, std::int64_t value);
// Posts from this process at a tap location: the event runs the desktop's key pipeline from
// there at once. Without the right to post events it goes nowhere, as on the real system.
void CGEventPost(CGEventTapLocation tap, const CGEventRef& event);

} // namespace zestrel::platform
