#include "services/EventMonitors.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/StandardStreams.h"

#include <vector>

namespace zestrel {

using platform::NSEvent;

// --- LocalEventMonitor

std::shared_ptr<LocalEventMonitor> LocalEventMonitor::make(NSEvent::EventTypeMask events,
                                                           EventFilter callback) {
    return std::make_shared<LocalEventMonitor>(Key(), events, std::move(callback));
}

LocalEventMonitor::LocalEventMonitor(Key, NSEvent::EventTypeMask events, EventFilter callback)
    : events_(events),
      callback_(callback ? std::make_shared<const EventFilter>(std::move(callback)) : nullptr) {}

LocalEventMonitor::~LocalEventMonitor() {
    if (auto monitor = monitor_.lock()) {
        NSEvent::removeMonitor(monitor);
    }
}

std::shared_ptr<LocalEventMonitor> LocalEventMonitor::start() {
    std::weak_ptr<LocalEventMonitor> weak = weak_from_this();
    monitor_ = NSEvent::addLocalMonitorForEvents(
        events_, [weak](const std::shared_ptr<NSEvent>& event) -> std::shared_ptr<NSEvent> {
            auto self = weak.lock();
            if (!self) {
                return event;
            }
            self->objectWillChange_.send(event);
            const auto callback = self->callback_;
            // Not held while its callback runs: an owner that lets it go there (before an
            // alert the callback runs) removes it at once, so that alert's keys do not reach it.
            self.reset();
            return callback ? (*callback)(event) : event;
        });
    return shared_from_this();
}

// --- RunLoopLocalEventMonitor

RunLoopLocalEventMonitor::RunLoopLocalEventMonitor(NSEvent::EventTypeMask events,
                                                   platform::RunLoopMode runLoopMode,
                                                   EventFilter callback)
    : runLoopMode_(runLoopMode) {
    observer_ = std::make_shared<platform::RunLoopObserver>(
        platform::RunLoopActivity::beforeSources, true,
        [events, callback = std::move(callback)](platform::RunLoopActivity) {
            auto& app = platform::NSApplication::shared();
            std::vector<std::shared_ptr<NSEvent>> taken;
            while (auto event = app.nextEvent(NSEvent::kAnyEventMask, std::nullopt,
                                              platform::RunLoopMode::defaultMode, true)) {
                taken.push_back(std::move(event));
            }
            for (auto& event : taken) {
                if ((events & NSEvent::maskFor(event->type())) != 0) {
                    event = callback(event);
                }
                if (event) {
                    app.postEvent(std::move(event), false);
                }
            }
        });
}

RunLoopLocalEventMonitor::~RunLoopLocalEventMonitor() {
    platform::RunLoop::current().remove(observer_, runLoopMode_);
}

// --- CarbonLocalEventMonitor

namespace {

platform::EventTypeSpec specFor(CarbonLocalEventMonitor::EventType type) {
    using T = CarbonLocalEventMonitor::EventType;
    using namespace platform;
    switch (type) {
    case T::keyDown:
        return {kEventClassKeyboard, kEventRawKeyDown};
    case T::keyRepeat:
        return {kEventClassKeyboard, kEventRawKeyRepeat};
    case T::keyUp:
        return {kEventClassKeyboard, kEventRawKeyUp};
    case T::keyModifiersChanged:
        return {kEventClassKeyboard, kEventRawKeyModifiersChanged};
    case T::mouseDown:
        return {kEventClassMouse, kEventMouseDown};
    case T::mouseUp:
        return {kEventClassMouse, kEventMouseUp};
    case T::mouseMoved:
        return {kEventClassMouse, kEventMouseMoved};
    case T::mouseDragged:
        return {kEventClassMouse, kEventMouseDragged};
    case T::mouseEntered:
        return {kEventClassMouse, kEventMouseEntered};
    case T::mouseExited:
        return {kEventClassMouse, kEventMouseExited};
    case T::mouseWheelMoved:
        return {kEventClassMouse, kEventMouseWheelMoved};
    case T::mouseScroll:
        return {kEventClassMouse, kEventMouseScroll};
    }
    return {};
}

} // namespace

std::shared_ptr<CarbonLocalEventMonitor>
CarbonLocalEventMonitor::make(std::set<EventType> events, bool useGlobalEventDispatcher,
                              Callback callback) {
    return std::make_shared<CarbonLocalEventMonitor>(Key(), std::move(events),
                                                     useGlobalEventDispatcher, std::move(callback));
}

CarbonLocalEventMonitor::CarbonLocalEventMonitor(Key, std::set<EventType> events,
                                                 bool useGlobalEventDispatcher, Callback callback)
    : events_(std::move(events)), useGlobalEventDispatcher_(useGlobalEventDispatcher),
      callback_(std::move(callback)) {}

CarbonLocalEventMonitor::~CarbonLocalEventMonitor() {
    platform::print("DEINIT - CarbonLocalEventMonitor");
    stop();
}

std::shared_ptr<CarbonLocalEventMonitor> CarbonLocalEventMonitor::start() {
    stop();
    auto self = shared_from_this();
    const auto target = useGlobalEventDispatcher_ ? platform::GetEventDispatcherTarget()
                                                  : platform::GetApplicationEventTarget();
    if (!target || events_.empty()) {
        return self;
    }
    std::vector<platform::EventTypeSpec> specs;
    for (const auto type : events_) { // std::set keeps the order of the cases
        specs.push_back(specFor(type));
    }
    eventProcessor_ = std::make_unique<Processor>(
        [self](const platform::EventRef& event) { return self->handle(event); });
    platform::InstallEventHandler(
        target,
        [](platform::EventHandlerCallRef, const platform::EventRef& event, void* userData) {
            if (!event || userData == nullptr) {
                return platform::eventNotHandledErr;
            }
            return (*static_cast<Processor*>(userData))(event);
        },
        static_cast<platform::UInt32>(specs.size()), specs.data(), eventProcessor_.get(),
        &eventHandler_);
    return self;
}

void CarbonLocalEventMonitor::stop() {
    if (!eventHandler_) {
        return;
    }
    platform::RemoveEventHandler(eventHandler_);
    eventHandler_.reset();
    // Last: the processor may hold the only reference to this monitor.
    auto processor = std::move(eventProcessor_);
}

platform::OSStatus CarbonLocalEventMonitor::handle(const platform::EventRef& event) {
    const auto nsEvent = NSEvent::eventWithEventRef(event);
    if (!nsEvent) {
        return platform::eventNotHandledErr;
    }
    return callback_(nsEvent) ? platform::noErr : platform::eventNotHandledErr;
}

// --- GlobalEventMonitor

GlobalEventMonitor::~GlobalEventMonitor() {
    if (auto monitor = monitor_.lock()) {
        NSEvent::removeMonitor(monitor);
    }
}

HeadingDelegate::HeadingDelegate() : continuation_(Stream::makeStream().second) {
    platform::fatal("Use of unimplemented initializer 'init()' for class "
                    "'CLLocationManager.HeadingDelegate'");
}

void HeadingDelegate::locationManagerDidUpdateHeading(platform::CLLocationManager&,
                                                      const platform::CLHeading& heading) {
    continuation_.yield(heading);
}

void HeadingDelegate::locationManagerDidFailWithError(platform::CLLocationManager&,
                                                      const platform::Error& error) {
    continuation_.finish(error);
}

} // namespace zestrel
