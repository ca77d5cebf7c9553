#include "platform/desktop/CarbonEvents.h"

#include "platform/base/ProcessLocal.h"

#include <algorithm>
#include <cstring>

namespace zestrel::platform {

class EventHandler {
public:
    EventHandlerUPP callback;
    void* userData = nullptr;
    std::vector<EventTypeSpec> types;
    std::weak_ptr<EventTarget> target;
};

class EventTarget {
public:
    std::vector<EventHandlerRef> chain; // front first
};

namespace {

struct ProcessTargets {
    EventTargetRef dispatcher = std::make_shared<EventTarget>();
    EventTargetRef application = std::make_shared<EventTarget>();
    OSStatus installFailure = noErr;
};

ProcessTargets& targets() {
    static auto* const local = new ProcessLocal<ProcessTargets>();
    return local->get();
}

bool hears(const EventHandler& handler, const CarbonEvent& event) {
    return std::any_of(handler.types.begin(), handler.types.end(), [&](const EventTypeSpec& t) {
        return t.eventClass == event.eventClass() && t.eventKind == event.kind();
    });
}

} // namespace

void CarbonEvent::setParameter(EventParamName name, EventParamType type, const void* data,
                               std::size_t size) {
    Parameter parameter{type, std::vector<std::uint8_t>(size)};
    if (size > 0) {
        std::memcpy(parameter.bytes.data(), data, size);
    }
    parameters_[name] = std::move(parameter);
}

OSStatus CarbonEvent::parameter(EventParamName name, EventParamType desiredType,
                                EventParamType* actualType, std::size_t bufferSize,
                                std::size_t* actualSize, void* data) const {
    if (const auto failure = failures_.find(name); failure != failures_.end()) {
        return failure->second;
    }
    const auto found = parameters_.find(name);
    if (found == parameters_.end() || found->second.type != desiredType) {
        return eventParameterNotFoundErr;
    }
    const auto& bytes = found->second.bytes;
    if (actualType) {
        *actualType = found->second.type;
    }
    if (actualSize) {
        *actualSize = bytes.size();
    }
    if (data == nullptr || bufferSize < bytes.size()) {
        return paramErr;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    return noErr;
}

EventRef CreateEvent(OSType eventClass, UInt32 kind) {
    return std::make_shared<CarbonEvent>(eventClass, kind);
}

UInt32 GetEventKind(const EventRef& event) {
    return event ? event->kind() : 0;
}

OSType GetEventClass(const EventRef& event) {
    return event ? event->eventClass() : 0;
}

OSStatus GetEventParameter(const EventRef& event, EventParamName name, EventParamType desiredType,
                           EventParamType* outActualType, std::size_t bufferSize,
                           std::size_t* outActualSize, void* outData) {
    if (!event) {
        return paramErr;
    }
    return event->parameter(name, desiredType, outActualType, bufferSize, outActualSize, outData);
}

OSStatus SetEventParameter(const EventRef& event, EventParamName name, EventParamType type,
                           std::size_t size, const void* data) {
    if (!event || (size > 0 && data == nullptr)) {
        return paramErr;
    }
    event->setParameter(name, type, data, size);
    return noErr;
}

EventTargetRef GetEventDispatcherTarget() {
    return targets().dispatcher;
}

EventTargetRef GetApplicationEventTarget() {
    return targets().application;
}

OSStatus InstallEventHandler(const EventTargetRef& target, EventHandlerUPP handler, UInt32 numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    if (!target || !handler || (numTypes > 0 && list == nullptr)) {
        return paramErr;
    }
    if (const OSStatus failure = targets().installFailure; failure != noErr) {
        return failure;
    }
    auto installed = std::make_shared<EventHandler>();
    installed->callback = std::move(handler);
    installed->userData = userData;
    installed->types.assign(list, list + numTypes);
    installed->target = target;
    target->chain.insert(target->chain.begin(), installed);
    if (outRef) {
        *outRef = std::move(installed);
    }
    return noErr;
}

OSStatus AddEventTypesToHandler(const EventHandlerRef& handler, UInt32 numTypes,
                                const EventTypeSpec* list) {
    if (!handler || (numTypes > 0 && list == nullptr)) {
        return paramErr;
    }
    for (UInt32 i = 0; i < numTypes; ++i) {
        if (std::find(handler->types.begin(), handler->types.end(), list[i]) ==
            handler->types.end()) {
            handler->types.push_back(list[i]);
        }
    }
    return noErr;
}

OSStatus RemoveEventTypesFromHandler(const EventHandlerRef& handler, UInt32 numTypes,
                                     const EventTypeSpec* list) {
    if (!handler || (numTypes > 0 && list == nullptr)) {
        return paramErr;
    }
    for (UInt32 i = 0; i < numTypes; ++i) {
        std::erase(handler->types, list[i]);
    }
    return noErr;
}

OSStatus RemoveEventHandler(const EventHandlerRef& handler) {
    if (!handler) {
        return paramErr;
    }
    if (auto target = handler->target.lock()) {
        std::erase(target->chain, handler);
    }
    handler->target.reset();
    return noErr;
}

OSStatus SendEventToEventTarget(const EventRef& event, const EventTargetRef& target) {
    if (!event || !target) {
        return paramErr;
    }
    // A handler may remove itself or others while it runs: walk a copy.
    const auto chain = target->chain;
    for (const auto& handler : chain) {
        if (handler->target.expired() || !hears(*handler, *event)) {
            continue;
        }
        const OSStatus status = handler->callback(handler.get(), event, handler->userData);
        if (status != eventNotHandledErr) {
            return status;
        }
    }
    return eventNotHandledErr;
}

bool eventTargetHears(const EventTargetRef& target, EventTypeSpec type) {
    if (!target) {
        return false;
    }
    const CarbonEvent probe(type.eventClass, type.eventKind);
    return std::any_of(target->chain.begin(), target->chain.end(),
                       [&](const EventHandlerRef& handler) { return hears(*handler, probe); });
}

std::size_t eventHandlerCount(const EventTargetRef& target) {
    return target ? target->chain.size() : 0;
}

void setInstallEventHandlerFailure(OSStatus status) {
    targets().installFailure = status;
}

} // namespace zestrel::platform
