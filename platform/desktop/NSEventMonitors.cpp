#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/CarbonEvents.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSEvent.h"

#include <algorithm>
#include <vector>

namespace zestrel::platform {
namespace {

class LocalMonitorToken final : public NSObject {
public:
    std::string className() const override { return "_NSLocalEventObserver"; }
};

struct LocalMonitor {
    std::shared_ptr<NSObject> token;
    NSEvent::EventTypeMask mask = 0;
    // Shared, so a handler that removes its own monitor while it runs stays alive.
    std::shared_ptr<const NSEvent::LocalMonitorHandler> handler;
};

struct LocalMonitors {
    std::vector<LocalMonitor> list;
};

LocalMonitors& monitors() {
    static auto* const local = new ProcessLocal<LocalMonitors>();
    return local->get();
}

} // namespace

std::shared_ptr<NSObject> NSEvent::addLocalMonitorForEvents(EventTypeMask mask,
                                                            LocalMonitorHandler handler) {
    if (!handler) {
        return nullptr;
    }
    auto token = std::make_shared<LocalMonitorToken>();
    if (ProcessTeardown::hasEnded()) {
        return token; // an ended process sees no more events
    }
    monitors().list.push_back(
        {token, mask, std::make_shared<const LocalMonitorHandler>(std::move(handler))});
    return token;
}

void NSEvent::removeMonitor(const std::shared_ptr<NSObject>& monitor) {
    std::erase_if(monitors().list,
                  [&](const LocalMonitor& entry) { return entry.token == monitor; });
}

std::shared_ptr<NSEvent> NSEvent::runLocalMonitors(std::shared_ptr<NSEvent> event) {
    if (ProcessTeardown::hasEnded()) {
        return event;
    }
    // A monitor added while this event is on its way sees the next one.
    const auto snapshot = monitors().list;
    for (const auto& entry : snapshot) {
        if (!event) {
            break;
        }
        const auto stillThere =
            std::any_of(monitors().list.begin(), monitors().list.end(),
                        [&](const LocalMonitor& live) { return live.token == entry.token; });
        if (!stillThere || (entry.mask & maskFor(event->type())) == 0) {
            continue;
        }
        event = (*entry.handler)(event);
    }
    return event;
}

std::shared_ptr<NSEvent> NSEvent::eventWithEventRef(const std::shared_ptr<CarbonEvent>& carbon) {
    if (!carbon || carbon->eventClass() != kEventClassKeyboard) {
        return nullptr;
    }
    const UInt32 kind = carbon->kind();
    if (kind != kEventRawKeyDown && kind != kEventRawKeyRepeat && kind != kEventRawKeyUp) {
        return nullptr;
    }
    UInt32 keyCode = 0;
    UInt32 modifiers = 0;
    if (GetEventParameter(carbon, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr,
                          &keyCode) != noErr ||
        GetEventParameter(carbon, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers,
                          nullptr, &modifiers) != noErr) {
        return nullptr;
    }
    std::uint64_t flags = 0;
    flags |= (modifiers & cmdKey) ? CGEventFlags::maskCommand.rawValue : 0;
    flags |= (modifiers & shiftKey) ? CGEventFlags::maskShift.rawValue : 0;
    flags |= (modifiers & optionKey) ? CGEventFlags::maskAlternate.rawValue : 0;
    flags |= (modifiers & controlKey) ? CGEventFlags::maskControl.rawValue : 0;
    flags |= (modifiers & alphaLock) ? CGEventFlags::maskAlphaShift.rawValue : 0;
    CGEvent event(kind == kEventRawKeyUp ? CGEventType::keyUp : CGEventType::keyDown,
                  static_cast<std::uint16_t>(keyCode), CGEventFlags{flags});
    if (kind == kEventRawKeyRepeat) {
        event.setIntegerValueField(CGEventField::keyboardEventAutorepeat, 1);
    }
    return std::make_shared<NSEvent>(event, InputSources::current()->currentLayout());
}

std::shared_ptr<CarbonEvent> NSEvent::eventRef() const {
    if (type_ != EventType::keyDown && type_ != EventType::keyUp) {
        return nullptr;
    }
    UInt32 kind = type_ == EventType::keyDown ? kEventRawKeyDown : kEventRawKeyUp;
    if (type_ == EventType::keyDown &&
        event_->integerValueField(CGEventField::keyboardEventAutorepeat) != 0) {
        kind = kEventRawKeyRepeat;
    }
    auto carbon = CreateEvent(kEventClassKeyboard, kind);
    const UInt32 keyCode = keyCode_;
    // The Carbon mask of a key event carries Caps Lock too.
    const UInt32 modifiers = carbonModifiers(CGEventFlags{flags_.rawValue}) |
                             (flags_.contains(ModifierFlags::capsLock) ? alphaLock : 0);
    carbon->setParameter(kEventParamKeyCode, typeUInt32, &keyCode, sizeof keyCode);
    carbon->setParameter(kEventParamKeyModifiers, typeUInt32, &modifiers, sizeof modifiers);
    return carbon;
}

} // namespace zestrel::platform
