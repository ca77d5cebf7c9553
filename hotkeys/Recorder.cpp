#include "hotkeys/Recorder.h"

#include "foundation/AlertBuilder.h"
#include "foundation/ObjectAssociation.h"
#include "foundation/QVApp.h"
#include "hotkeys/Hotkeys.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSSound.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Error.h"
#include "platform/base/ProcessInfo.h"
#include "services/EventMonitors.h"

#include <utility>

namespace zestrel::Hotkeys {

using platform::NSEvent;

namespace {

constexpr NSEvent::EventTypeMask kRecordedEvents =
    NSEvent::maskFor(NSEvent::EventType::leftMouseUp) |
    NSEvent::maskFor(NSEvent::EventType::rightMouseUp) |
    NSEvent::maskFor(NSEvent::EventType::keyDown);
// How far outside its edge a click still counts as on the control.
constexpr platform::CGFloat kClickSlack = 3;
constexpr std::uint16_t kTabKeyCode = 48;
constexpr std::uint16_t kEscapeKeyCode = 53;
constexpr std::uint16_t kDeleteKeyCode = 51;
constexpr std::uint16_t kForwardDeleteKeyCode = 117;
// The platform's special-key values of F1 to F35 are consecutive.
constexpr std::uint32_t kFirstFunctionKey = 0xF704;
constexpr std::uint32_t kLastFunctionKey = 0xF726;

NSEvent::ModifierFlags relevantModifiers(const NSEvent& event) {
    return event.eventModifierFlags()
        .intersection(NSEvent::ModifierFlags::deviceIndependentFlagsMask)
        .subtracting(NSEvent::ModifierFlags::capsLock | NSEvent::ModifierFlags::numericPad |
                     NSEvent::ModifierFlags::function);
}

bool isDeleteKey(const NSEvent& event) {
    if (event.keyCode() == kDeleteKeyCode || event.keyCode() == kForwardDeleteKeyCode) {
        return true;
    }
    const auto key = event.specialKey();
    return key &&
           (*key == NSEvent::SpecialKey::delete_ || *key == NSEvent::SpecialKey::deleteForward ||
            *key == NSEvent::SpecialKey::backspace);
}

bool isFunctionKey(const NSEvent& event) {
    const auto key = event.specialKey();
    return key && key->rawValue >= kFirstFunctionKey && key->rawValue <= kLastFunctionKey;
}

void postActiveStatus(bool isActive) {
    platform::NotificationCenter::defaultCenter()->post(recorderActiveStatusDidChange, {},
                                                        {{"isActive", platform::Value(isActive)}});
}

} // namespace

bool refusesOptionOnlyShortcuts() {
    return platform::NSProcessInfo::isOperatingSystemAtLeast({15, 0, 0}) && QVApp::isSandboxed();
}

bool isOptionOnly(NSEvent::ModifierFlags modifiers) {
    return modifiers == NSEvent::ModifierFlags::option ||
           modifiers == (NSEvent::ModifierFlags::shift | NSEvent::ModifierFlags::option);
}

std::shared_ptr<RecorderCocoa> RecorderCocoa::make(Name name, OnChange onChange) {
    auto recorder = std::make_shared<RecorderCocoa>(Key(), std::move(name), std::move(onChange));
    recorder->setDelegate(recorder);
    std::weak_ptr<RecorderCocoa> weak = recorder;
    recorder->shortcutsNameChangeObserver_ =
        platform::NotificationCenter::defaultCenter()->addObserver(
            shortcutByNameDidChange, {}, [weak](const platform::Notification& notification) {
                auto self = weak.lock();
                const auto changed = nameFromNotification(notification);
                if (self && changed && *changed == self->shortcutName_) {
                    self->setStringValueFromName();
                }
            });
    return recorder;
}

RecorderCocoa::RecorderCocoa(Key, Name name, OnChange onChange)
    : platform::NSSearchField(platform::CGRect::zero()), onChange_(std::move(onChange)),
      shortcutName_(std::move(name)) {
    setPlaceholderString(std::string(kRecorderIdlePlaceholder));
    setAlignment(TextAlignment::center);
    cell()->setSearchButtonCell(nullptr);
    setWantsLayer(true);
    setContentHuggingPriority(750, Orientation::horizontal);
    setContentHuggingPriority(750, Orientation::vertical);
    cancelButton_ = cell()->cancelButtonCell();
    setStringValueFromName();
}

RecorderCocoa::~RecorderCocoa() {
    auto center = platform::NotificationCenter::defaultCenter();
    for (const auto* token : {&shortcutsNameChangeObserver_, &windowDidResignKeyObserver_,
                              &windowDidBecomeKeyObserver_}) {
        if (*token) {
            center->removeObserver(*token);
        }
    }
    // A recorder dropped while recording must not leave the hotkeys paused.
    if (eventMonitor_) {
        eventMonitor_.reset();
        setPaused(false);
        postActiveStatus(false);
    }
}

void RecorderCocoa::initWithCoder() {
    platform::fatal("init(coder:) has not been implemented");
}

void RecorderCocoa::initWithFrame(platform::CGRect /*frame*/) {
    platform::fatal("Use of unimplemented initializer 'init(frame:)' for class "
                    "'Hotkeys.RecorderCocoa'");
}

void RecorderCocoa::init() {
    platform::fatal("Use of unimplemented initializer 'init()' for class "
                    "'Hotkeys.RecorderCocoa'");
}

void RecorderCocoa::setShortcutName(Name name) {
    const bool changed = !(name == shortcutName_);
    shortcutName_ = std::move(name);
    if (changed) {
        setStringValueFromName();
    }
}

platform::CGSize RecorderCocoa::intrinsicContentSize() const {
    return {minimumWidth_, NSSearchField::intrinsicContentSize().height};
}

void RecorderCocoa::preventBecomingKey() {
    canBecomeKey_ = false;
    std::weak_ptr<RecorderCocoa> weak = std::static_pointer_cast<RecorderCocoa>(shared_from_this());
    platform::DispatchQueue::main().async([weak] {
        if (auto self = weak.lock()) {
            self->canBecomeKey_ = true;
        }
    });
}

void RecorderCocoa::viewDidMoveToWindow() {
    auto center = platform::NotificationCenter::defaultCenter();
    auto window = this->window();
    // Observers of an earlier window go in either case.
    for (auto* token : {&windowDidResignKeyObserver_, &windowDidBecomeKeyObserver_}) {
        if (*token) {
            center->removeObserver(*token);
            token->reset();
        }
    }
    if (!window) {
        endRecording();
        return;
    }
    std::weak_ptr<RecorderCocoa> weak = std::static_pointer_cast<RecorderCocoa>(shared_from_this());
    // The window is matched here rather than given to the centre, which would hold it: the
    // window owns the control that owns these observers.
    std::weak_ptr<platform::NSWindow> weakWindow = window;
    auto isFromWindow = [weakWindow](const platform::Notification& notification) {
        auto window = weakWindow.lock();
        return window && notification.object.asObject<platform::NSWindow>() == window;
    };
    windowDidResignKeyObserver_ =
        center->addObserver(platform::NSWindowDidResignKeyNotification, {},
                            [weak, isFromWindow](const platform::Notification& notification) {
                                auto self = weak.lock();
                                if (!self || !isFromWindow(notification)) {
                                    return;
                                }
                                self->endRecording();
                                if (auto window = self->window()) {
                                    window->makeFirstResponder(nullptr);
                                }
                            });
    windowDidBecomeKeyObserver_ =
        center->addObserver(platform::NSWindowDidBecomeKeyNotification, {},
                            [weak, isFromWindow](const platform::Notification& notification) {
                                auto self = weak.lock();
                                if (self && isFromWindow(notification)) {
                                    self->preventBecomingKey();
                                }
                            });
    preventBecomingKey();
}

bool RecorderCocoa::becomeFirstResponder() {
    return startRecording();
}

bool RecorderCocoa::startRecording() {
    // Only the key window gets the keys: one that is not (its application in the back after
    // an alert) would pause the hotkeys for keys it never sees.
    if (const auto window = this->window(); window && !window->isKeyWindow()) {
        return false;
    }
    if (!NSSearchField::becomeFirstResponder()) {
        return false;
    }
    setPlaceholderString(std::string(kRecorderRecordingPlaceholder));
    updateCancelButton();
    if (const auto& editor = currentEditor()) {
        editor->setInsertionPointColorName("clearColor");
    }
    setPaused(true);
    postActiveStatus(true);
    std::weak_ptr<RecorderCocoa> weak = std::static_pointer_cast<RecorderCocoa>(shared_from_this());
    eventMonitor_ = LocalEventMonitor::make(
                        kRecordedEvents,
                        [weak](const std::shared_ptr<NSEvent>& event) -> std::shared_ptr<NSEvent> {
                            auto self = weak.lock();
                            if (!self) {
                                return nullptr;
                            }
                            return self->handleEvent(event);
                        })
                        ->start();
    return true;
}

void RecorderCocoa::endRecording() {
    eventMonitor_.reset();
    setPlaceholderString(std::string(kRecorderIdlePlaceholder));
    updateCancelButton();
    setPaused(false);
    postActiveStatus(false);
}

void RecorderCocoa::controlTextDidEndEditing(const platform::Notification& /*notification*/) {
    endRecording();
}

void RecorderCocoa::controlTextDidChange(const platform::Notification& /*notification*/) {
    const bool cleared = stringValue().empty();
    if (cleared) {
        setShortcut(std::nullopt, shortcutName_);
        if (onChange_) {
            onChange_(std::nullopt);
        }
    }
    updateCancelButton();
    if (cleared) {
        if (auto window = this->window()) {
            window->makeFirstResponder(std::static_pointer_cast<RecorderCocoa>(shared_from_this()));
        }
    }
}

void RecorderCocoa::setStringValueFromName() {
    const auto shortcut = getShortcut(shortcutName_);
    setStringValue(shortcut ? shortcut->description() : std::string());
    updateCancelButton();
}

void RecorderCocoa::updateCancelButton() {
    cell()->setCancelButtonCell(stringValue().empty() ? nullptr : cancelButton_);
}

void RecorderCocoa::blur() {
    if (auto window = this->window()) {
        window->makeFirstResponder(nullptr);
    }
}

void RecorderCocoa::showConflictAlert(std::string title, std::optional<std::string> message) {
    // Held for the alert's run: the owner may let the control go meanwhile.
    auto self = std::static_pointer_cast<RecorderCocoa>(shared_from_this());
    auto window = this->window();
    blur();
    AlertOptions options;
    options.title = std::move(title);
    options.message = std::move(message);
    AlertRunOptions run;
    run.window = window;
    runModal(options, run);
    if (window && self->window() == window) {
        window->makeFirstResponder(self);
    }
}

std::shared_ptr<NSEvent> RecorderCocoa::handleEvent(const std::shared_ptr<NSEvent>& event) {
    using Type = NSEvent::EventType;
    if (!event) {
        return nullptr;
    }
    if (event->type() == Type::leftMouseUp || event->type() == Type::rightMouseUp) {
        const auto point = convertPointFromWindow(event->locationInWindow());
        const auto size = bounds().size;
        const bool inside = point.x >= -kClickSlack && point.x <= size.width + kClickSlack &&
                            point.y >= -kClickSlack && point.y <= size.height + kClickSlack;
        if (inside) {
            return nullptr;
        }
        blur();
        return event;
    }
    if (event->type() != Type::keyDown && event->type() != Type::keyUp) {
        return nullptr;
    }
    const auto modifiers = relevantModifiers(*event);
    if (modifiers.isEmpty()) {
        if (event->keyCode() == kTabKeyCode) {
            blur();
            return event;
        }
        if (event->keyCode() == kEscapeKeyCode) {
            blur();
            return nullptr;
        }
        if (isDeleteKey(*event)) {
            if (isCancelButtonShown()) {
                cell()->cancelButtonCell()->performClick();
            }
            return nullptr;
        }
    }
    if (modifiers.subtracting(NSEvent::ModifierFlags::shift).isEmpty() && !isFunctionKey(*event)) {
        platform::NSSound::beep();
        return nullptr;
    }
    const auto shortcut = Shortcut::fromEvent(*event);
    if (!shortcut) {
        platform::NSSound::beep();
        return nullptr;
    }
    if (auto menu = platform::NSApp().mainMenu()) {
        if (auto item = Shortcut::takenByMainMenu(*menu, *shortcut)) {
            showConflictAlert(
                "This keyboard shortcut cannot be used as it's already used by the “" +
                item->title() + "” menu item.");
            return nullptr;
        }
    }
    if (refusesOptionOnlyShortcuts() && isOptionOnly(shortcut->modifiers())) {
        showConflictAlert("Option modifier must be combined with Command or Control.");
        return nullptr;
    }
    const bool isPlainF12 =
        shortcut->carbonKeyCode == Hotkeys::Key::f12.rawValue && shortcut->carbonModifiers == 0;
    if (!isPlainF12) {
        for (const auto& taken : Shortcut::system()) {
            if (taken == *shortcut) {
                showConflictAlert(
                    "This keyboard shortcut cannot be used as it's already a system-wide keyboard "
                    "shortcut.",
                    "Most system-wide keyboard shortcuts can be changed in “System Settings › "
                    "Keyboard › Keyboard Shortcuts“.");
                return nullptr;
            }
        }
    }
    setStringValue(shortcut->description());
    cell()->setCancelButtonCell(cancelButton_);
    storeShortcut(*shortcut, shortcutName_);
    if (onChange_) {
        onChange_(shortcut);
    }
    blur();
    return nullptr;
}

// --- Menu items

namespace {

// The observation that keeps an item's key equivalent in step with one name; releasing it
// removes it from the centre.
class MenuItemShortcutObservation final : public platform::NSObject {
public:
    ~MenuItemShortcutObservation() override {
        if (token) {
            platform::NotificationCenter::defaultCenter()->removeObserver(token);
        }
    }
    platform::ObserverToken token;
};

const ObjectAssociation<std::shared_ptr<MenuItemShortcutObservation>>& observationOfItem() {
    static const auto* const association =
        new ObjectAssociation<std::shared_ptr<MenuItemShortcutObservation>>(nullptr);
    return *association;
}

} // namespace

void setShortcut(platform::NSMenuItem& item, const std::optional<Shortcut>& shortcut) {
    item.setKeyEquivalent(shortcut ? shortcut->keyEquivalent() : std::string());
    item.setKeyEquivalentModifierMask(shortcut ? shortcut->modifiers() : NSEvent::ModifierFlags{});
    item.setAllowsAutomaticKeyEquivalentLocalization(!shortcut);
}

void setShortcut(platform::NSMenuItem& item, const std::optional<Name>& name) {
    // The earlier observation goes first, so an earlier name no longer writes over the item.
    observationOfItem().setValue(nullptr, item);
    if (!name) {
        setShortcut(item, std::optional<Shortcut>());
        return;
    }
    setShortcut(item, getShortcut(*name));
    auto observation = std::make_shared<MenuItemShortcutObservation>();
    std::weak_ptr<MenuItemShortcutObservation> weakObservation = observation;
    std::weak_ptr<platform::NSObject> weakItem = item.weak_from_this();
    observation->token = platform::NotificationCenter::defaultCenter()->addObserver(
        shortcutByNameDidChange, {},
        [weakItem, weakObservation, name = *name](const platform::Notification& notification) {
            const auto changed = nameFromNotification(notification);
            if (!changed || !(*changed == name)) {
                return;
            }
            platform::DispatchQueue::main().async([weakItem, weakObservation, name] {
                auto item = std::static_pointer_cast<platform::NSMenuItem>(weakItem.lock());
                // An update queued before the item was given another name is stale.
                if (item && !weakObservation.expired() &&
                    observationOfItem()[*item] == weakObservation.lock()) {
                    setShortcut(*item, getShortcut(name));
                }
            });
        });
    observationOfItem().setValue(std::move(observation), item);
}

} // namespace zestrel::Hotkeys
