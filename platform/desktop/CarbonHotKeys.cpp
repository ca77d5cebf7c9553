#include "platform/desktop/CarbonHotKeys.h"

#include "platform/base/MachineLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/EventSystem.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace zestrel::platform {
namespace {

MachineLocal<HotKeySystem>& machineLocal() {
    static auto* const local = new MachineLocal<HotKeySystem>; // used until the very end
    return *local;
}

Value symbolicEntry(bool enabled, std::int64_t code, std::int64_t modifiers) {
    return Value(Value::Dictionary{{"kHISymbolicHotKeyEnabled", Value(enabled)},
                                   {"kHISymbolicHotKeyCode", Value(code)},
                                   {"kHISymbolicHotKeyModifiers", Value(modifiers)}});
}

// A few of the system's own shortcuts, as a fresh machine has them.
Value defaultSymbolicHotKeys() {
    return Value(Value::Array{
        symbolicEntry(true, 49, cmdKey),                         // Spotlight
        symbolicEntry(true, 49, cmdKey | optionKey),             // Finder search window
        symbolicEntry(true, 49, controlKey),                     // previous input source
        symbolicEntry(true, 20, cmdKey | shiftKey),              // screenshot
        symbolicEntry(true, 21, cmdKey | shiftKey),              // screenshot of a part
        symbolicEntry(true, 126, controlKey),                    // Mission Control
        symbolicEntry(false, 2, cmdKey | optionKey | controlKey) // off by default
    });
}

bool isOptionOnly(UInt32 modifiers) {
    const UInt32 relevant = modifiers & (cmdKey | shiftKey | optionKey | controlKey);
    return relevant == optionKey || relevant == (optionKey | shiftKey);
}

} // namespace

UInt32 carbonModifiers(CGEventFlags flags) {
    UInt32 modifiers = 0;
    if (flags.contains(CGEventFlags::maskCommand)) {
        modifiers |= cmdKey;
    }
    if (flags.contains(CGEventFlags::maskShift)) {
        modifiers |= shiftKey;
    }
    if (flags.contains(CGEventFlags::maskAlternate)) {
        modifiers |= optionKey;
    }
    if (flags.contains(CGEventFlags::maskControl)) {
        modifiers |= controlKey;
    }
    return modifiers;
}

HotKeySystem::HotKeySystem() : symbolicHotKeys_(defaultSymbolicHotKeys()) {}

std::shared_ptr<HotKeySystem> HotKeySystem::current() {
    return machineLocal().current();
}

void HotKeySystem::setCurrent(std::shared_ptr<HotKeySystem> system) {
    machineLocal().setCurrent(std::move(system));
}

OSStatus HotKeySystem::add(const EventHotKeyRef& hotKey) {
    MutexLock lock(mutex_);
    if (const auto refusal = refusals_.find({hotKey->keyCode, hotKey->modifiers});
        refusal != refusals_.end()) {
        return refusal->second;
    }
    if (sandboxRule_ && isOptionOnly(hotKey->modifiers)) {
        const bool sandboxed =
            callerSandboxed_.value_or(std::getenv("APP_SANDBOX_CONTAINER_ID") != nullptr);
        if (sandboxed) {
            return eventInternalErr;
        }
    }
    hotKeys_.push_back(hotKey);
    return noErr;
}

bool HotKeySystem::remove(const EventHotKeyRef& hotKey) {
    MutexLock lock(mutex_);
    const auto before = hotKeys_.size();
    std::erase(hotKeys_, hotKey);
    return hotKeys_.size() != before;
}

bool HotKeySystem::consume(const CGEvent& event) {
    const auto type = event.type();
    if (type != CGEventType::keyDown && type != CGEventType::keyUp) {
        return false;
    }
    const UInt32 modifiers = carbonModifiers(event.flags());
    EventHotKeyRef hotKey;
    std::map<EventParamName, OSStatus> failures;
    {
        MutexLock lock(mutex_);
        const auto found =
            std::find_if(hotKeys_.begin(), hotKeys_.end(), [&](const EventHotKeyRef& candidate) {
                return candidate->keyCode == event.keyCode() && candidate->modifiers == modifiers;
            });
        if (found == hotKeys_.end()) {
            return false;
        }
        hotKey = *found;
        ++consumedCount_;
        lastConsumed_ = describe(*hotKey);
        if (!parameterFailures_.empty()) {
            failures = parameterFailures_;
        }
    }
    if (type == CGEventType::keyDown &&
        event.integerValueField(CGEventField::keyboardEventAutorepeat) != 0) {
        return true;
    }
    const UInt32 kind = type == CGEventType::keyDown ? kEventHotKeyPressed : kEventHotKeyReleased;
    std::weak_ptr<HotKeySystem> weakSystem = machineLocal().current();
    // An event the dispatcher hands on: it goes on while a main-queue block runs an alert.
    RunLoop::main().performBlock([weakSystem, hotKey, kind, failures = std::move(failures)] {
        auto system = weakSystem.lock();
        auto target = hotKey->target.lock();
        if (!system || !target) {
            return;
        }
        {
            MutexLock lock(system->mutex_);
            // Unregistered, or its process quit, before the run loop came round to it.
            if (std::find(system->hotKeys_.begin(), system->hotKeys_.end(), hotKey) ==
                system->hotKeys_.end()) {
                return;
            }
        }
        auto carbonEvent = CreateEvent(kEventClassKeyboard, kind);
        const EventHotKeyID id = hotKey->hotKeyID;
        carbonEvent->setParameter(kEventParamDirectObject, typeEventHotKeyID, &id, sizeof id);
        for (const auto& [name, status] : failures) {
            carbonEvent->failReads(name, status);
        }
        SendEventToEventTarget(carbonEvent, target);
    });
    return true;
}

void HotKeySystem::setKeyboardGrab(KeyboardGrab grab) {
    if (grab && ProcessTeardown::hasEnded()) {
        return;
    }
    auto shared = grab ? std::make_shared<const KeyboardGrab>(std::move(grab)) : nullptr;
    const int owner = EventSystem::current()->ownProcessIdentifier();
    {
        MutexLock lock(mutex_);
        grab_ = shared;
        grabOwner_ = owner;
    }
    if (shared) {
        goesWithProcess(owner);
    }
}

bool HotKeySystem::stage(const CGEvent& event) {
    if (consume(event)) {
        return true;
    }
    std::shared_ptr<const KeyboardGrab> grab;
    {
        MutexLock lock(mutex_);
        grab = grab_;
    }
    const auto type = event.type();
    if (!grab || (type != CGEventType::keyDown && type != CGEventType::keyUp)) {
        return false;
    }
    (*grab)(event);
    return true;
}

void HotKeySystem::goesWithProcess(int processIdentifier) {
    // Whoever still holds the references, what the process holds goes when it ends.
    ProcessTeardown::addOnce(&machineLocal(), [processIdentifier] {
        HotKeySystem::current()->processDidQuit(processIdentifier);
    });
}

void HotKeySystem::processDidQuit(int processIdentifier) {
    std::vector<EventHotKeyRef> gone; // released outside the lock
    std::shared_ptr<const KeyboardGrab> grab;
    MutexLock lock(mutex_);
    if (grabOwner_ == processIdentifier) {
        grab = std::exchange(grab_, nullptr);
    }
    for (auto it = hotKeys_.begin(); it != hotKeys_.end();) {
        if ((*it)->ownerProcessIdentifier == processIdentifier) {
            gone.push_back(std::move(*it));
            it = hotKeys_.erase(it);
        } else {
            ++it;
        }
    }
}

HotKeySystem::Registration HotKeySystem::describe(const EventHotKey& hotKey) {
    return {hotKey.keyCode, hotKey.modifiers, hotKey.hotKeyID, hotKey.ownerProcessIdentifier,
            eventTargetHears(hotKey.target.lock(), {kEventClassKeyboard, kEventHotKeyPressed})};
}

std::vector<HotKeySystem::Registration> HotKeySystem::registrations() const {
    MutexLock lock(mutex_);
    std::vector<Registration> list;
    list.reserve(hotKeys_.size());
    for (const auto& hotKey : hotKeys_) {
        list.push_back(describe(*hotKey));
    }
    return list;
}

std::uint64_t HotKeySystem::consumedCount() const {
    MutexLock lock(mutex_);
    return consumedCount_;
}

std::optional<HotKeySystem::Registration> HotKeySystem::lastConsumed() const {
    MutexLock lock(mutex_);
    return lastConsumed_;
}

void HotKeySystem::refuse(UInt32 keyCode, UInt32 modifiers, OSStatus status) {
    MutexLock lock(mutex_);
    if (status == noErr) {
        refusals_.erase({keyCode, modifiers});
    } else {
        refusals_[{keyCode, modifiers}] = status;
    }
}

void HotKeySystem::setSandboxRule(bool on) {
    MutexLock lock(mutex_);
    sandboxRule_ = on;
}

void HotKeySystem::setCallerSandboxed(std::optional<bool> sandboxed) {
    MutexLock lock(mutex_);
    callerSandboxed_ = sandboxed;
}

void HotKeySystem::failParameterReads(EventParamName name, OSStatus status) {
    MutexLock lock(mutex_);
    if (status == noErr) {
        parameterFailures_.erase(name);
    } else {
        parameterFailures_[name] = status;
    }
}

void HotKeySystem::setSymbolicHotKeys(OSStatus status, Value hotKeys) {
    MutexLock lock(mutex_);
    symbolicStatus_ = status;
    symbolicHotKeys_ = std::move(hotKeys);
}

std::pair<OSStatus, Value> HotKeySystem::symbolicHotKeys() const {
    MutexLock lock(mutex_);
    return {symbolicStatus_, symbolicHotKeys_};
}

OSStatus RegisterEventHotKey(UInt32 keyCode, UInt32 modifiers, EventHotKeyID hotKeyID,
                             const EventTargetRef& target, OptionBits /*options*/,
                             EventHotKeyRef* outRef) {
    if (!target || outRef == nullptr) {
        return paramErr;
    }
    if (ProcessTeardown::hasEnded()) {
        *outRef = nullptr;
        return eventInternalErr; // the system holds nothing for a process that has ended
    }
    auto hotKey = std::make_shared<EventHotKey>();
    hotKey->keyCode = keyCode;
    hotKey->modifiers = modifiers;
    hotKey->hotKeyID = hotKeyID;
    hotKey->ownerProcessIdentifier = EventSystem::current()->ownProcessIdentifier();
    hotKey->target = target;
    if (const OSStatus status = HotKeySystem::current()->add(hotKey); status != noErr) {
        *outRef = nullptr;
        return status;
    }
    HotKeySystem::goesWithProcess(hotKey->ownerProcessIdentifier);
    *outRef = std::move(hotKey);
    return noErr;
}

OSStatus UnregisterEventHotKey(const EventHotKeyRef& hotKey) {
    if (!hotKey) {
        return paramErr;
    }
    return HotKeySystem::current()->remove(hotKey) ? noErr : eventHotKeyInvalidErr;
}

OSStatus CopySymbolicHotKeys(Value* outHotKeyArray) {
    if (outHotKeyArray == nullptr) {
        return paramErr;
    }
    auto [status, hotKeys] = HotKeySystem::current()->symbolicHotKeys();
    *outHotKeyArray = status == noErr ? std::move(hotKeys) : Value();
    return status;
}

} // namespace zestrel::platform
