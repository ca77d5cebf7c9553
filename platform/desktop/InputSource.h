#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"
#include "platform/desktop/KeyboardLayout.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// A keyboard input source: here always a keyboard layout.
class TISInputSource : public NSObject {
public:
    explicit TISInputSource(std::shared_ptr<KeyboardLayout> layout) : layout_(std::move(layout)) {}
    std::string className() const override { return "TISInputSource"; }
    const std::shared_ptr<KeyboardLayout>& layout() const { return layout_; }
    const std::string& identifier() const { return layout_->identifier(); }

private:
    std::shared_ptr<KeyboardLayout> layout_;
};
using TISInputSourceRef = std::shared_ptr<TISInputSource>;

// Property keys of input sources.
inline constexpr const char* kTISPropertyInputSourceID = "TISPropertyInputSourceID";
inline constexpr const char* kTISPropertyLocalizedName = "TISPropertyLocalizedName";
inline constexpr const char* kTISPropertyInputModeID = "TISPropertyInputModeID";
inline constexpr const char* kTISPropertyUnicodeKeyLayoutData = "TISPropertyUnicodeKeyLayoutData";
inline constexpr const char* kTISPropertyInputSourceIsASCIICapable =
    "TISPropertyInputSourceIsASCIICapable";

// Posted on the distributed centre.
inline constexpr const char* kTISNotifySelectedKeyboardInputSourceChanged =
    "com.apple.Carbon.TISNotifySelectedKeyboardInputSourceChanged";
inline constexpr const char* kTISNotifyEnabledKeyboardInputSourcesChanged =
    "com.apple.Carbon.TISNotifyEnabledKeyboardInputSourcesChanged";

// The machine's keyboard input sources: installed, enabled and selected. A desktop-level
// object: it outlives the app process. Changes are announced on the distributed centre.
class InputSources {
public:
    // US, German and Russian installed and enabled; US selected.
    InputSources();
    InputSources(const InputSources&) = delete;
    InputSources& operator=(const InputSources&) = delete;

    static std::shared_ptr<InputSources> current();
    // nullptr installs a fresh default instance.
    static void setCurrent(std::shared_ptr<InputSources> sources);

    std::vector<TISInputSourceRef> installed() const;
    std::vector<TISInputSourceRef> enabled() const;
    TISInputSourceRef selected() const;
    // The selected source when it types Latin letters, else the last such one selected.
    TISInputSourceRef selectedASCIICapable() const;
    std::shared_ptr<const KeyboardLayout> currentLayout() const;

    // Makes another layout available; it starts disabled.
    void install(std::shared_ptr<KeyboardLayout> layout);
    // paramErr for an unknown or disabled source. Selecting the selected one changes nothing.
    OSStatus select(std::string_view identifier);
    OSStatus setEnabled(std::string_view identifier, bool enabled);

    // Failures a test can make the layout functions report: no current ASCII-capable
    // layout source, sources without layout data, and a status every layout translation
    // returns instead of translating (noErr lifts it).
    void setASCIICapableSourceMissing(bool missing);
    void setLayoutDataMissing(bool missing);
    bool isLayoutDataMissing() const;
    void setTranslationFailure(OSStatus status);
    OSStatus translationFailure() const;

private:
    TISInputSourceRef findLocked(std::string_view identifier) const REQUIRES(mutex_);

    mutable Mutex mutex_;
    std::vector<TISInputSourceRef> installed_ GUARDED_BY(mutex_);
    std::vector<TISInputSourceRef> enabled_ GUARDED_BY(mutex_);
    TISInputSourceRef selected_ GUARDED_BY(mutex_);
    TISInputSourceRef lastASCIICapable_ GUARDED_BY(mutex_);
    bool asciiCapableMissing_ GUARDED_BY(mutex_) = false;
    bool layoutDataMissing_ GUARDED_BY(mutex_) = false;
    OSStatus translationFailure_ GUARDED_BY(mutex_) = noErr;
};

// The platform's functions over the current desktop's input sources.
TISInputSourceRef TISCopyCurrentKeyboardInputSource();
TISInputSourceRef TISCopyCurrentKeyboardLayoutInputSource();
TISInputSourceRef TISCopyCurrentASCIICapableKeyboardLayoutInputSource();
OSStatus TISSelectInputSource(const TISInputSourceRef& source);
OSStatus TISEnableInputSource(const TISInputSourceRef& source);
OSStatus TISDisableInputSource(const TISInputSourceRef& source);
// Text properties as strings, the layout data as the layout object (for `UCKeyTranslate`),
// the ASCII-capable flag as a Boolean; absent for anything else.
Value TISGetInputSourceProperty(const TISInputSourceRef& source, std::string_view key);

} // namespace zestrel::platform
