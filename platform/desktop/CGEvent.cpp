#include "platform/desktop/CGEvent.h"

#include "platform/desktop/Accessibility.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/KeyboardLayout.h"

namespace zestrel::platform {

CGEventFilterMask CGEventSource::localEventsFilter(CGEventSuppressionState state) const {
    return state == CGEventSuppressionState::suppressionInterval ? suppressionIntervalFilter_
                                                                 : remoteMouseDragFilter_;
}

void CGEventSource::setLocalEventsFilter(CGEventFilterMask filter, CGEventSuppressionState state) {
    (state == CGEventSuppressionState::suppressionInterval ? suppressionIntervalFilter_
                                                           : remoteMouseDragFilter_) = filter;
}

std::int64_t CGEvent::integerValueField(CGEventField field) const {
    switch (field) {
    case CGEventField::keyboardEventAutorepeat:
        return autorepeat_ ? 1 : 0;
    case CGEventField::keyboardEventKeycode:
        return keyCode_;
    case CGEventField::keyboardEventKeyboardType:
        return keyboardType_;
    case CGEventField::eventSourceUserData:
        return sourceUserData_;
    case CGEventField::eventSourceStateID:
        return source_ ? static_cast<std::int64_t>(source_->stateID()) : 0;
    case CGEventField::eventSourceUnixProcessID:
        return 0;
    }
    return 0;
}

void CGEvent::setIntegerValueField(CGEventField field, std::int64_t value) {
    switch (field) {
    case CGEventField::keyboardEventAutorepeat:
        autorepeat_ = value != 0;
        break;
    case CGEventField::keyboardEventKeycode:
        keyCode_ = static_cast<std::uint16_t>(value);
        break;
    case CGEventField::keyboardEventKeyboardType:
        keyboardType_ = value;
        break;
    case CGEventField::eventSourceUserData:
        sourceUserData_ = value;
        break;
    case CGEventField::eventSourceStateID:
    case CGEventField::eventSourceUnixProcessID:
        break; // fixed by the source
    }
}

CGEventSourceRef CGEventSourceCreate(CGEventSourceStateID stateID) {
    if (EventSystem::current()->faults().eventSourceCreation) {
        return nullptr;
    }
    return std::make_shared<CGEventSource>(stateID);
}

void CGEventSourceSetLocalEventsFilterDuringSuppressionState(const CGEventSourceRef& source,
                                                             CGEventFilterMask filter,
                                                             CGEventSuppressionState state) {
    if (source) {
        source->setLocalEventsFilter(filter, state);
    }
}

CGEventRef CGEventCreateKeyboardEvent(const CGEventSourceRef& source, std::uint16_t virtualKey,
                                      bool keyDown) {
    if (EventSystem::current()->faults().keyboardEventCreation) {
        return nullptr;
    }
    if (const auto modifier = KeyboardLayout::modifierFlag(virtualKey)) {
        const CGEventFlags flags{keyDown ? modifier->rawValue : 0};
        return std::make_shared<CGEvent>(CGEventType::flagsChanged, virtualKey, flags, source);
    }
    auto event = std::make_shared<CGEvent>(keyDown ? CGEventType::keyDown : CGEventType::keyUp,
                                           virtualKey, CGEventFlags{}, source);
    if (source) {
        event->setIntegerValueField(CGEventField::eventSourceUserData, source->userData());
    }
    return event;
}

CGEventRef CGEventCreateCopy(const CGEventRef& event) {
    return event ? std::make_shared<CGEvent>(*event) : nullptr;
}

CGEventType CGEventGetType(const CGEventRef& event) {
    return event ? event->type() : CGEventType::null;
}

void CGEventSetType(const CGEventRef& event, CGEventType type) {
    if (event) {
        event->setType(type);
    }
}

CGEventFlags CGEventGetFlags(const CGEventRef& event) {
    return event ? event->flags() : CGEventFlags{};
}

void CGEventSetFlags(const CGEventRef& event, CGEventFlags flags) {
    if (event) {
        event->setFlags(flags);
    }
}

std::int64_t CGEventGetIntegerValueField(const CGEventRef& event, CGEventField field) {
    return event ? event->integerValueField(field) : 0;
}

void CGEventSetIntegerValueField(const CGEventRef& event, CGEventField field, std::int64_t value) {
    if (event) {
        event->setIntegerValueField(field, value);
    }
}

void CGEventPost(CGEventTapLocation tap, const CGEventRef& event) {
    if (!event) {
        return;
    }
    const auto system = EventSystem::current();
    EventSystem::PostedEvent record;
    record.location = tap;
    record.type = event->type();
    record.keyCode = event->keyCode();
    record.flags = event->flags();
    if (const auto& source = event->source()) {
        record.sourceState = source->stateID();
        record.suppressionFilter =
            source->localEventsFilter(CGEventSuppressionState::suppressionInterval);
    }
    record.refused = !Accessibility::current()->mayPostEvents();
    system->recordPost(record);
    if (record.refused) {
        return;
    }
    // The stream gets its own copy: the caller may go on changing its event. The pipeline
    // runs inside this call, so what the taps and the application do is done on return.
    system->post(tap, CGEventCreateCopy(event));
}

} // namespace zestrel::platform
