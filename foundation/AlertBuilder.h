#pragma once

#include "foundation/Duration.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSWindow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel {

// What an alert shows: the arguments of the one alert initializer every alert of the
// program is built with.
struct AlertOptions {
    std::string title; // the headline (message text)
    std::optional<std::string> message{};
    // Long text in a scrollable, read-only text view below the message.
    std::optional<std::string> detailText{};
    platform::NSAlert::Style style = platform::NSAlert::Style::warning;
    std::shared_ptr<platform::NSImage> icon{};
    std::optional<double> minimumWidth{};
    bool showsSuppressionButton = false;
    std::optional<std::string> suppressionTitle{};
    std::vector<std::string> buttonTitles{};
    // Nothing: the first button answers Return; -1: none does; else the button that does.
    // An index outside the buttons is ignored.
    std::optional<std::int64_t> defaultButtonIndex{};
    // Buttons marked destructive, which never answer Return; invalid indices are skipped.
    std::vector<std::int64_t> destructiveButtonIndices{};
};

// How a run goes.
struct AlertRunOptions {
    // Attach the alert as a sheet to this window.
    std::shared_ptr<platform::NSWindow> window{};
    // The setter of a two-way binding that gets the check box state when the alert ends.
    std::function<void(bool)> suppression{};
    // Polled on the main thread; true ends the alert with the abort response.
    std::function<bool()> shouldDismiss{};
    Duration shouldDismissPollInterval = Duration::seconds(1);
};

// Sets up `alert` with the options (the body of the initializer).
void configureAlert(platform::NSAlert& alert, const AlertOptions& options);

// `NSAlert.init(title:message:detailText:...)`; called on the alert class, so a subclass
// gets an instance of itself.
template <class Alert = platform::NSAlert>
std::shared_ptr<Alert> makeAlert(const AlertOptions& options) {
    auto alert = std::make_shared<Alert>();
    configureAlert(*alert, options);
    return alert;
}

// `NSAlert.runModal(for:timeout:)`: builds the alert and runs it synchronously, as a sheet on
// the run's window (in a modal run for that window) or application-modally.
platform::NSModalResponse runModal(const AlertOptions& options, const AlertRunOptions& run = {});

// `NSAlert.showModalOnMainQueue(...)`: posts runModal to the main queue; the response is
// dropped.
void showModalOnMainQueue(AlertOptions options, AlertRunOptions run = {});

// `NSAlert.run(shouldDismiss:shouldDismissPollInterval:)` on a built alert: runs it
// application-modally from the main queue and hands the response to `completion`.
void run(const std::shared_ptr<platform::NSAlert>& alert, std::function<bool()> shouldDismiss,
         Duration pollInterval, std::function<void(platform::NSModalResponse)> completion);

// `NSAlert.runInTransparentWindow()`: for an app without a window of its own, shows the alert
// as a sheet on an invisible host window at the modal-panel level, 100 points above the
// screen's centre; the completion gets the response once the sheet has ended.
void runInTransparentWindow(const std::shared_ptr<platform::NSAlert>& alert,
                            std::function<bool()> shouldDismiss, Duration pollInterval,
                            std::function<void(platform::NSModalResponse)> completion);

} // namespace zestrel
