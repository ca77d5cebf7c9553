#include "ui/SwiftUIWindowAccess.h"

#include "foundation/ApplicationActivation.h"
#include "foundation/Logger.h"
#include "platform/base/DispatchQueue.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"

#include <utility>

namespace zestrel {

using platform::NSWindow;
using platform::swiftui::Binding;
using platform::swiftui::View;
using platform::swiftui::ViewContext;

WindowAccessorView::WindowAccessorView(WindowBinding windowBinding)
    : windowBinding_(std::move(windowBinding)) {}

void WindowAccessorView::viewDidMoveToWindow() {
    NSView::viewDidMoveToWindow();
    windowBinding_.set(window());
}

View WindowAccessor(WindowBinding window) {
    return platform::swiftui::ViewRepresentable(
        [window] { return std::make_shared<WindowAccessorView>(window); });
}

namespace {

// Holds the window weakly: the window owns the hosting view that keeps this state.
struct WindowObservingView {
    View content;
    std::function<void(const std::shared_ptr<NSWindow>&)> onWindow;

    View body(ViewContext& context) const {
        const auto window = context.state<std::weak_ptr<NSWindow>>("window", {});
        onWindow(window.get().lock());
        const WindowBinding binding([window] { return window.get().lock(); },
                                    [window](const std::shared_ptr<NSWindow>& value) {
                                        window.set(std::weak_ptr<NSWindow>(value));
                                    });
        return content.background(WindowAccessor(binding).modifier("frame", "alignment: .center"));
    }
};

} // namespace

View windowViewModifier(View content,
                        std::function<void(const std::shared_ptr<NSWindow>&)> onWindow) {
    return WindowObservingView{std::move(content), std::move(onWindow)};
}

View windowLevel(View content, NSWindow::Level level) {
    return windowViewModifier(std::move(content), [level](const std::shared_ptr<NSWindow>& window) {
        if (window) {
            window->setLevel(level);
        }
    });
}

View windowIsRestorable(View content, bool restorable) {
    return windowViewModifier(std::move(content),
                              [restorable](const std::shared_ptr<NSWindow>& window) {
                                  if (window) {
                                      window->setRestorable(restorable);
                                  }
                              });
}

View windowIsMiniaturizable(View content, bool miniaturizable) {
    return windowViewModifier(std::move(content),
                              [miniaturizable](const std::shared_ptr<NSWindow>& window) {
                                  platform::DispatchQueue::main().async(
                                      [weak = std::weak_ptr<NSWindow>(window), miniaturizable] {
                                          const auto window = weak.lock();
                                          if (!window) {
                                              return;
                                          }
                                          auto mask = window->styleMask().rawValue &
                                                      ~NSWindow::StyleMask::miniaturizable.rawValue;
                                          if (miniaturizable) {
                                              mask |= NSWindow::StyleMask::miniaturizable.rawValue;
                                          }
                                          window->setStyleMask(NSWindow::StyleMask{mask});
                                      });
                              });
}

View SettingsButton() {
    return platform::swiftui::Button(
               "Settings…",
               [] { platform::DispatchQueue::main().async([] { showSettingsWindow(); }); })
        .keyboardShortcut({","});
}

ErrorAlertContent errorAlertContent(const platform::Error& error) {
    const auto nsError = error.nsError();
    ErrorAlertContent content;
    content.title = nsError->localizedDescription();
    const auto reason = nsError->localizedFailureReason();
    const auto suggestion = nsError->localizedRecoverySuggestion();
    if (reason && content.title.find(*reason) == std::string::npos) {
        content.message = suggestion ? *reason + "\n\n" + *suggestion : *reason;
    } else {
        content.message = suggestion;
    }
    const auto options = nsError->localizedRecoveryOptions();
    if (options && nsError->recoveryAttempter()) {
        content.buttons = *options;
        content.buttons.emplace_back("Cancel");
    }
    return content;
}

void attemptRecovery(const platform::Error& error, std::int64_t optionIndex) {
    const auto attempter = std::dynamic_pointer_cast<platform::NSErrorRecoveryAttempting>(
        error.nsError()->recoveryAttempter());
    if (attempter) {
        attempter->attemptRecoveryFromError(error, optionIndex);
    }
}

namespace {

// The alert for the error the binding holds now.
View alertForCurrentError(const View& content,
                          const Binding<std::optional<platform::Error>>& error) {
    const auto current = error.get();
    const bool presented = current.has_value();
    const Binding<bool> isPresented([error] { return error.get().has_value(); },
                                    [error](const bool& value) {
                                        if (!value) {
                                            error.set(std::nullopt);
                                        }
                                    });
    std::string title;
    std::string message;
    std::vector<View> actions;
    if (current) {
        auto shown = errorAlertContent(*current);
        title = std::move(shown.title);
        message = shown.message.value_or("");
        const std::size_t options = shown.buttons.empty() ? 0 : shown.buttons.size() - 1;
        for (std::size_t i = 0; i < options; ++i) {
            actions.push_back(platform::swiftui::Button(shown.buttons[i], [failure = *current, i] {
                attemptRecovery(failure, static_cast<std::int64_t>(i));
            }));
        }
        if (options > 0) {
            actions.push_back(platform::swiftui::Button("Cancel", {}, "cancel"));
        }
    }
    return content.alert(title, isPresented, std::move(actions), message)
        .onChange(presented, [error](const bool&) {
            if (const auto failure = error.get()) {
                logMessage({"alert(error:)", platform::Value(*failure)},
                           platform::OSLogType::defaultLevel, "alert(error:)");
            }
        });
}

} // namespace

View alertForError(View content, Binding<std::optional<platform::Error>> error) {
    // Read at each evaluation, not when the view is made: the binding may change meanwhile.
    return View(View::Build([content = std::move(content), error = std::move(error)](
                                ViewContext& context, platform::swiftui::Nodes& into) {
        alertForCurrentError(content, error).build(context, into);
    }));
}

View navigationView(View content, bool wrap) {
    return wrap ? View(content.modifier("NavigationView")) : content;
}

View navigationStack(View content, bool wrap) {
    return wrap ? View(platform::swiftui::NavigationStack(std::move(content))) : content;
}

EverySecondTimelineSchedule::Entries EverySecondTimelineSchedule::entries(platform::Date,
                                                                          Mode mode) const {
    return Entries{platform::currentDate(), mode == Mode::lowFrequency ? 30.0 : 1.0};
}

View reverseMask(View content, std::string alignment, View mask) {
    return content
        .modifier("mask", "Rectangle().overlay(alignment: ." + alignment +
                              ") { mask.blendMode(.destinationOut) }")
        .background(mask.modifier("blendMode", ".destinationOut"));
}

double regularSystemFontSize() {
    static const double size = platform::NSFont::systemFontSize();
    return size;
}

double smallSystemFontSize() {
    static const double size =
        platform::NSFont::systemFontSize(platform::NSFont::ControlSize::small);
    return size;
}

namespace {

std::string formatSize(double size) {
    auto text = std::to_string(size);
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

} // namespace

View secondaryTextStyle(View content) {
    return content.modifier("font", ".system(size: " + formatSize(smallSystemFontSize()) + ")")
        .modifier("foregroundStyle", ".secondary");
}

View multilineTextMaxWidth(View content, double maxWidth) {
    return content.modifier("fixedSize", "horizontal: false, vertical: true")
        .modifier("frame", "maxWidth: " + formatSize(maxWidth));
}

} // namespace zestrel
