#include "foundation/AlertBuilder.h"

#include "foundation/AddedToSuperviewObserverView.h"
#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/MainQueue.h"
#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSColor.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"

namespace zestrel {
namespace {

using platform::NSAlert;
using platform::NSApp;
using platform::NSButton;
using platform::NSModalResponse;
using platform::NSWindow;

constexpr double kDetailDefaultWidth = 300;
constexpr double kDetailHeight = 120;

bool isValidIndex(std::int64_t index, std::size_t count) {
    return index >= 0 && index < static_cast<std::int64_t>(count);
}

// Once the panel shows, the detail view takes the message field's width.
void widenToMessageField(const std::shared_ptr<platform::NSScrollView>& scrollView) {
    const auto superview = scrollView->superview();
    const auto panelView = superview ? superview->superview() : nullptr;
    if (panelView) {
        for (const auto& view : panelView->subviews()) {
            if (auto field = std::dynamic_pointer_cast<platform::NSTextField>(view)) {
                const auto frame = scrollView->frame();
                scrollView->setFrame(
                    platform::CGRect(frame.origin, {field->frame().size.width, frame.size.height}));
                return;
            }
        }
    }
    reportError(
        GeneralError::make("Couldn't detect the message textfield view of the NSAlert panel"));
}

std::shared_ptr<platform::NSScrollView> detailView(const std::string& text,
                                                   const std::optional<double>& minimumWidth) {
    auto scrollView = platform::NSTextView::scrollableTextView();
    scrollView->setFrame(
        platform::CGRect(0, 0, minimumWidth.value_or(kDetailDefaultWidth), kDetailHeight));
    auto textView = std::dynamic_pointer_cast<platform::NSTextView>(scrollView->documentView());
    textView->setFrame(scrollView->bounds());
    textView->setDrawsBackground(false);
    textView->setEditable(false);
    textView->setFont(platform::NSFont::systemFont(
        platform::NSFont::systemFontSize(platform::NSFont::ControlSize::small)));
    textView->setTextColorName("secondaryLabelColor");
    textView->setString(text);
    if (!minimumWidth) {
        auto observer = std::make_shared<AddedToSuperviewObserverView>();
        std::weak_ptr<platform::NSScrollView> weak = scrollView;
        observer->onAdded = [weak] {
            if (auto view = weak.lock()) {
                widenToMessageField(view);
            }
        };
        scrollView->addSubview(observer);
    }
    return scrollView;
}

// A per-run flag: a poll posted by one run never ends another.
using RunToken = std::shared_ptr<bool>;

// The dismiss polling of the modal forms: aborts the modal run of `modalWindow`, and only
// while the run that started the polling is still going.
std::shared_ptr<platform::Timer> pollToAbort(std::function<bool()> shouldDismiss, Duration interval,
                                             RunToken token,
                                             const std::shared_ptr<NSWindow>& modalWindow) {
    std::weak_ptr<NSWindow> weakWindow = modalWindow;
    return commonModesTimer(
        interval, true,
        [shouldDismiss = std::move(shouldDismiss), token, weakWindow](platform::Timer& timer) {
            if (!shouldDismiss()) {
                return;
            }
            timer.invalidate();
            // Ended in the loop's next turn, in whatever mode it runs: a block on the main
            // queue would wait behind the alert when a main-queue block runs it.
            platform::RunLoop::main().performBlock([token, weakWindow] {
                const auto window = weakWindow.lock();
                if (*token && window && NSApp().modalWindow() == window) {
                    NSApp().abortModal();
                }
            });
        });
}

} // namespace

void configureAlert(NSAlert& alert, const AlertOptions& options) {
    alert.setMessageText(options.title);
    alert.setAlertStyle(options.style);
    alert.setIcon(options.icon);
    alert.setShowsSuppressionButton(options.showsSuppressionButton);
    if (options.suppressionTitle && alert.showsSuppressionButton()) {
        alert.suppressionButton()->setTitle(*options.suppressionTitle);
    }
    if (options.message) {
        alert.setInformativeText(*options.message);
    }
    if (options.detailText) {
        alert.setAccessoryView(detailView(*options.detailText, options.minimumWidth));
    } else if (options.minimumWidth) {
        alert.setAccessoryView(
            std::make_shared<platform::NSView>(platform::CGRect(0, 0, *options.minimumWidth, 0)));
    }
    for (const auto& title : options.buttonTitles) {
        alert.addButton(title);
    }
    const auto& buttons = alert.buttons();
    if (const auto index = options.defaultButtonIndex;
        index && (*index == -1 || isValidIndex(*index, buttons.size()))) {
        for (const auto& button : buttons) {
            if (button->keyEquivalent() == "\r") {
                button->setKeyEquivalent("");
            }
        }
        if (*index != -1) {
            buttons[static_cast<std::size_t>(*index)]->setKeyEquivalent("\r");
        }
    }
    for (const auto& button : buttons) {
        button->setHasDestructiveAction(false);
    }
    for (const std::int64_t index : options.destructiveButtonIndices) {
        if (!isValidIndex(index, buttons.size())) {
            continue;
        }
        const auto& button = buttons[static_cast<std::size_t>(index)];
        button->setHasDestructiveAction(true);
        if (button->keyEquivalent() == "\r") {
            button->setKeyEquivalent("");
        }
    }
}

NSModalResponse runModal(const AlertOptions& options, const AlertRunOptions& run) {
    const auto alert = makeAlert(options);
    const auto token = std::make_shared<bool>(true);
    const auto modalWindow = run.window ? run.window : alert->window();
    std::shared_ptr<platform::Timer> timer;
    if (run.shouldDismiss) {
        timer = pollToAbort(run.shouldDismiss, run.shouldDismissPollInterval, token, modalWindow);
    }
    NSModalResponse response;
    if (run.window) {
        // The window keeps the sheet's completion: a weak one, or the window would keep itself
        // when the run ends without the sheet's end (as the end of the process stops it).
        alert->beginSheetModal(run.window,
                               [token, window = std::weak_ptr(modalWindow)](NSModalResponse code) {
                                   if (*token && NSApp().modalWindow() == window.lock()) {
                                       NSApp().stopModal(code);
                                   }
                               });
        response = NSApp().runModal(run.window);
        *token = false;
        // A run aborted from outside leaves no sheet behind.
        if (alert->isShowing()) {
            run.window->endSheet(alert->window(), response);
        }
    } else {
        response = alert->runModal();
        *token = false;
    }
    if (timer) {
        timer->invalidate();
    }
    if (run.suppression) {
        run.suppression(alert->suppressionButton()->state() == platform::NSControlStateValue::on);
    }
    return response;
}

void showModalOnMainQueue(AlertOptions options, AlertRunOptions run) {
    platform::DispatchQueue::main().async(
        [options = std::move(options), run = std::move(run)] { runModal(options, run); });
}

void run(const std::shared_ptr<NSAlert>& alert, std::function<bool()> shouldDismiss,
         Duration pollInterval, std::function<void(NSModalResponse)> completion) {
    platform::DispatchQueue::main().async([alert, shouldDismiss = std::move(shouldDismiss),
                                           pollInterval, completion = std::move(completion)] {
        const auto token = std::make_shared<bool>(true);
        std::shared_ptr<platform::Timer> timer;
        if (shouldDismiss) {
            timer = pollToAbort(shouldDismiss, pollInterval, token, alert->window());
        }
        const NSModalResponse response = alert->runModal();
        *token = false;
        if (timer) {
            timer->invalidate();
        }
        if (completion) {
            completion(response);
        }
    });
}

void runInTransparentWindow(const std::shared_ptr<NSAlert>& alert,
                            std::function<bool()> shouldDismiss, Duration pollInterval,
                            std::function<void(NSModalResponse)> completion) {
    auto host =
        std::make_shared<NSWindow>(platform::CGRect::zero(), NSWindow::StyleMask::borderless,
                                   NSWindow::BackingStoreType::buffered, false);
    host->setReleasedWhenClosed(false);
    host->setBackgroundColor(std::make_shared<platform::NSColor>(0, 0, 0, 0));
    host->setOpaque(false);
    host->setLevel(NSWindow::Level::modalPanel);

    std::shared_ptr<platform::Timer> timer;
    if (shouldDismiss) {
        std::weak_ptr<NSAlert> weakAlert = alert;
        std::weak_ptr<NSWindow> weakHost = host;
        timer =
            commonModesTimer(pollInterval, true,
                             [shouldDismiss = std::move(shouldDismiss), weakAlert,
                              weakHost](platform::Timer& timer) {
                                 const auto alive = weakAlert.lock();
                                 if (!alive) {
                                     timer.invalidate();
                                     return;
                                 }
                                 if (!shouldDismiss()) {
                                     return;
                                 }
                                 timer.invalidate();
                                 platform::DispatchQueue::main().async([weakAlert, weakHost] {
                                     const auto alert = weakAlert.lock();
                                     const auto host = weakHost.lock();
                                     if (alert && host && alert->window()->sheetParent() == host) {
                                         host->endSheet(alert->window());
                                     }
                                 });
                             });
    }

    NSApp().yieldActivation(QVApp::id());
    NSApp().activate();
    host->center();
    const auto frame = host->frame();
    host->setFrame(platform::CGRect(frame.origin.x, frame.origin.y + 100, frame.size.width,
                                    frame.size.height));
    host->makeKeyAndOrderFront();
    alert->beginSheetModal(
        host, [timer, host, completion = std::move(completion)](NSModalResponse response) {
            if (timer) {
                timer->invalidate();
            }
            host->close();
            if (completion) {
                completion(response);
            }
        });
}

} // namespace zestrel
