#include "platform/desktop/InputSource.h"
#include "platform/base/Mutex.h"

#include "platform/base/MachineLocal.h"

#include "platform/base/NotificationCenter.h"

#include <algorithm>
#include <utility>

namespace zestrel::platform {
namespace {

MachineLocal<InputSources>& machineLocal() {
    static auto* const local = new MachineLocal<InputSources>; // used until the very end
    return *local;
}

void announce(const char* name) {
    NotificationCenter::distributedCenter()->post(name);
}

} // namespace

InputSources::InputSources() {
    for (auto layout :
         {KeyboardLayout::us(), KeyboardLayout::german(), KeyboardLayout::russian()}) {
        installed_.push_back(std::make_shared<TISInputSource>(std::move(layout)));
    }
    enabled_ = installed_;
    selected_ = installed_.front();
    lastASCIICapable_ = selected_;
}

std::shared_ptr<InputSources> InputSources::current() {
    return machineLocal().current();
}

void InputSources::setCurrent(std::shared_ptr<InputSources> sources) {
    machineLocal().setCurrent(std::move(sources));
}

std::vector<TISInputSourceRef> InputSources::installed() const {
    MutexLock lock(mutex_);
    return installed_;
}

std::vector<TISInputSourceRef> InputSources::enabled() const {
    MutexLock lock(mutex_);
    return enabled_;
}

TISInputSourceRef InputSources::selected() const {
    MutexLock lock(mutex_);
    return selected_;
}

TISInputSourceRef InputSources::selectedASCIICapable() const {
    MutexLock lock(mutex_);
    return asciiCapableMissing_ ? nullptr : lastASCIICapable_;
}

std::shared_ptr<const KeyboardLayout> InputSources::currentLayout() const {
    MutexLock lock(mutex_);
    return selected_->layout();
}

void InputSources::install(std::shared_ptr<KeyboardLayout> layout) {
    MutexLock lock(mutex_);
    if (!layout || findLocked(layout->identifier())) {
        return;
    }
    installed_.push_back(std::make_shared<TISInputSource>(std::move(layout)));
}

void InputSources::setASCIICapableSourceMissing(bool missing) {
    MutexLock lock(mutex_);
    asciiCapableMissing_ = missing;
}

void InputSources::setLayoutDataMissing(bool missing) {
    MutexLock lock(mutex_);
    layoutDataMissing_ = missing;
}

bool InputSources::isLayoutDataMissing() const {
    MutexLock lock(mutex_);
    return layoutDataMissing_;
}

void InputSources::setTranslationFailure(OSStatus status) {
    MutexLock lock(mutex_);
    translationFailure_ = status;
}

OSStatus InputSources::translationFailure() const {
    MutexLock lock(mutex_);
    return translationFailure_;
}

TISInputSourceRef InputSources::findLocked(std::string_view identifier) const {
    const auto it = std::find_if(installed_.begin(), installed_.end(), [identifier](const auto& s) {
        return s->identifier() == identifier;
    });
    return it == installed_.end() ? nullptr : *it;
}

OSStatus InputSources::select(std::string_view identifier) {
    {
        MutexLock lock(mutex_);
        const auto source = findLocked(identifier);
        if (!source || std::find(enabled_.begin(), enabled_.end(), source) == enabled_.end()) {
            return paramErr;
        }
        if (source == selected_) {
            return noErr;
        }
        selected_ = source;
        if (source->layout()->isASCIICapable()) {
            lastASCIICapable_ = source;
        }
    }
    announce(kTISNotifySelectedKeyboardInputSourceChanged);
    return noErr;
}

OSStatus InputSources::setEnabled(std::string_view identifier, bool enabled) {
    {
        MutexLock lock(mutex_);
        const auto source = findLocked(identifier);
        if (!source) {
            return paramErr;
        }
        const auto it = std::find(enabled_.begin(), enabled_.end(), source);
        if (enabled == (it != enabled_.end())) {
            return noErr;
        }
        if (enabled) {
            enabled_.push_back(source);
        } else {
            // The selected source stays usable until another is selected, as on the system.
            if (source == selected_) {
                return paramErr;
            }
            enabled_.erase(it);
        }
    }
    announce(kTISNotifyEnabledKeyboardInputSourcesChanged);
    return noErr;
}

TISInputSourceRef TISCopyCurrentKeyboardInputSource() {
    return InputSources::current()->selected();
}

TISInputSourceRef TISCopyCurrentKeyboardLayoutInputSource() {
    return InputSources::current()->selected();
}

TISInputSourceRef TISCopyCurrentASCIICapableKeyboardLayoutInputSource() {
    return InputSources::current()->selectedASCIICapable();
}

OSStatus TISSelectInputSource(const TISInputSourceRef& source) {
    return source ? InputSources::current()->select(source->identifier()) : paramErr;
}

OSStatus TISEnableInputSource(const TISInputSourceRef& source) {
    return source ? InputSources::current()->setEnabled(source->identifier(), true) : paramErr;
}

OSStatus TISDisableInputSource(const TISInputSourceRef& source) {
    return source ? InputSources::current()->setEnabled(source->identifier(), false) : paramErr;
}

Value TISGetInputSourceProperty(const TISInputSourceRef& source, std::string_view key) {
    if (!source) {
        return {};
    }
    const auto& layout = source->layout();
    if (key == kTISPropertyInputSourceID) {
        return Value(layout->identifier());
    }
    if (key == kTISPropertyLocalizedName) {
        return Value(layout->localizedName());
    }
    if (key == kTISPropertyUnicodeKeyLayoutData) {
        if (InputSources::current()->isLayoutDataMissing()) {
            return {};
        }
        return Value(layout);
    }
    if (key == kTISPropertyInputSourceIsASCIICapable) {
        return Value(layout->isASCIICapable());
    }
    return {}; // keyboard layouts have no input mode
}

} // namespace zestrel::platform
