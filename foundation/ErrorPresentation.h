#pragma once

#include "platform/appkit/NSWindow.h"
#include "platform/base/Error.h"

#include <functional>
#include <memory>
#include <variant>

namespace zestrel {

// True when the error means that the user or the task cancelled: a task cancellation, a
// URL-loading or Cocoa user cancellation, the host's ECANCELED, the OSStatus -60006 or the
// store's cancellation (SKErrorDomain 2), or an underlying error, to the end of the
// chain, that is one of these. Such errors are never shown.
bool isCancelled(const platform::Error& error);

// A result is cancelled when it holds a failure whose error is cancelled.
template <class T> bool isCancelled(const std::variant<T, platform::Error>& result) {
    const auto* failure = std::get_if<1>(&result);
    return failure && isCancelled(*failure);
}

// Created for one presentation: the platform calls `didPresentHandler` once the alert or
// sheet has ended, and it calls `didPresent` when set.
class DelegateHandler final : public platform::NSObject {
public:
    std::string className() const override { return "Zestrel.DelegateHandler"; }
    std::function<void()> didPresent;
    void didPresentHandler(bool didRecover, const platform::Value& contextInfo);
};

// `NSResponder.presentErrorAsSheet(_:for:didPresent:)`: the error as a sheet on the window,
// `didPresent` once the sheet has ended (after any recovery attempt).
void presentErrorAsSheet(const platform::Error& error,
                         const std::shared_ptr<platform::NSWindow>& window,
                         std::function<void()> didPresent = {});

// The presentations below hop to the main queue, write "PRESENTED ERROR:" and the error to
// the log (all but the modal-loop form), and show the platform's error alert.

// `presentAsSheet(for:)`: `completion` runs exactly once, after the sheet is dismissed.
void presentAsSheet(const platform::Error& error, const std::shared_ptr<platform::NSWindow>& window,
                    std::function<void()> completion);
// `presentAsModal()`: with a window, a sheet on it and a modal run for that window until
// the sheet ends (no log line); without one, presentAsModalLegacy. Returns at once.
void presentAsModal(const platform::Error& error,
                    const std::shared_ptr<platform::NSWindow>& window = nullptr);
// `presentAsModalLegacy()`: activates the app and shows the error application-modally.
// Returns at once.
void presentAsModalLegacy(const platform::Error& error);
// `presentAsModalAsync()`: as presentAsModalLegacy; `completion` runs once the alert is
// dismissed.
void presentAsModalAsync(const platform::Error& error, std::function<void()> completion);
// `present(for:)`: presentAsSheet with a window, presentAsModalAsync without.
void present(const platform::Error& error, const std::shared_ptr<platform::NSWindow>& window,
             std::function<void()> completion);

} // namespace zestrel
