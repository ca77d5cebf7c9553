#pragma once

#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/Error.h"
#include "platform/base/Timer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

// A modal alert: a headline, an informative text, an optional accessory view, buttons and
// an optional suppression check box, shown in a panel application-modally or as a sheet.
// The user is the process's `ModalResponder`.
class NSAlert : public NSObject {
public:
    enum class Style : std::uint64_t { warning = 0, informational = 1, critical = 2 };

    // What the user was shown, kept for every alert of the process in the order shown.
    struct Record {
        std::string messageText;
        std::string informativeText;
        Style style = Style::warning;
        std::vector<std::string> buttons;
        bool showsSuppressionButton = false;
        std::string suppressionTitle;
        bool asSheet = false;
        // Set when the alert ended, unless its process ended first.
        std::optional<NSModalResponse> response;
        std::optional<bool> suppressed; // the check box state, when it showed
        // Nobody answered on the virtual clock and it gave up.
        bool unattended = false;
    };

    // The panel's standard width and the margins around its content.
    static constexpr CGFloat kStandardWidth = 420;
    static constexpr CGFloat kMargin = 20;

    NSAlert() = default;
    ~NSAlert() override;
    static std::shared_ptr<NSAlert> make() { return std::make_shared<NSAlert>(); }
    // The standard error alert: the description as the headline, the failure reason (when
    // the description does not already say it) and the recovery suggestion as the
    // informative text, one button per recovery option, else "OK".
    static std::shared_ptr<NSAlert> withError(const Error& error);

    std::string className() const override { return "NSAlert"; }

    const std::string& messageText() const { return messageText_; }
    void setMessageText(std::string text) { messageText_ = std::move(text); }
    const std::string& informativeText() const { return informativeText_; }
    void setInformativeText(std::string text) { informativeText_ = std::move(text); }
    Style alertStyle() const { return style_; }
    void setAlertStyle(Style style) { style_ = style; }
    const std::shared_ptr<NSImage>& icon() const { return icon_; }
    void setIcon(std::shared_ptr<NSImage> icon) { icon_ = std::move(icon); }

    // Button n answers 1000 + n. The first answers Return, one titled "Cancel" Escape.
    std::shared_ptr<NSButton> addButton(std::string title);
    const std::vector<std::shared_ptr<NSButton>>& buttons() const { return buttons_; }

    bool showsSuppressionButton() const { return showsSuppressionButton_; }
    void setShowsSuppressionButton(bool shows) { showsSuppressionButton_ = shows; }
    // The check box, made on first use ("Do not show this message again", off).
    std::shared_ptr<NSButton> suppressionButton();

    std::shared_ptr<NSView> accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<NSView> view) { accessoryView_ = std::move(view); }

    // The alert's panel, made on first use; `layout` puts the alert's views into it.
    std::shared_ptr<NSPanel> window();
    // The panel is at least kStandardWidth wide, wider when the accessory view needs it.
    void layout();

    // Shows the panel and runs it application-modally (`NSApplication::runModal`); the
    // response of the button that ended it, or of the modal run's stop.
    NSModalResponse runModal();
    // Attaches the panel as a sheet to `window` and returns at once; `completion` gets the
    // response when the sheet ends. Without a window it runs application-modally.
    void beginSheetModal(const std::shared_ptr<NSWindow>& window,
                         std::function<void(NSModalResponse)> completion);

    // How an alert that a view presents shows: beside the view's window, as a sheet would,
    // with no modal run, so the app goes on. It is recorded and put to the responder as
    // every alert is; a press on one of its buttons ends it and tells `completion` the
    // response. Unlike a modal run it never gives up: nothing waits on it.
    void present(std::function<void(NSModalResponse)> completion);
    // Ends a presented alert from outside (the view's own button, the view going away),
    // recording `response`; `completion` is not told. Nothing when it is not showing.
    void dismiss(NSModalResponse response);

    // What a user does at the showing alert: sets the check box, then presses the button
    // or key. False when the alert is not showing or nothing matched.
    bool respond(const ModalAnswer& answer);
    bool isShowing() const { return showing_; }

    // The alerts showing now, the most recent last.
    static std::vector<std::shared_ptr<NSAlert>> showingAlerts();
    // Every alert shown in this process, in order.
    static std::vector<Record> shownAlerts();
    // How many that is, and the one at `index` in that order (nothing past the last), for a
    // caller that looks again and again at only what is new or may still change.
    static std::size_t shownAlertCount();
    static std::optional<Record> shownAlert(std::size_t index);

private:
    // `unattendedLimit`: on the virtual clock the run gives up when nobody answers.
    void beginRun(bool asSheet, bool unattendedLimit = true);
    void finishRun(NSModalResponse response);
    void buttonClicked(NSModalResponse response);
    // Ends the current run from outside (the unattended limit).
    void giveUp(std::uint64_t run);

    std::string messageText_;
    std::string informativeText_;
    Style style_ = Style::warning;
    std::shared_ptr<NSImage> icon_;
    std::vector<std::shared_ptr<NSButton>> buttons_;
    bool showsSuppressionButton_ = false;
    std::shared_ptr<NSButton> suppressionButton_;
    std::shared_ptr<NSView> accessoryView_;
    std::shared_ptr<NSPanel> panel_;

    bool showing_ = false;
    bool unattended_ = false;
    // Set while a view presents it; told the response when a button ends it.
    std::function<void(NSModalResponse)> presentedCompletion_;
    bool presented_ = false;
    std::uint64_t run_ = 0; // which showing this is: answers and limits are per run
    std::size_t recordIndex_ = 0;
    std::vector<std::shared_ptr<Timer>> runTimers_;
};

} // namespace zestrel::platform
