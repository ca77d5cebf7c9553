#include "platform/swiftui/Presentation.h"

#include "platform/appkit/NSAlert.h"
#include "platform/appkit/QLPreviewPanel.h"
#include "platform/base/RunLoop.h"
#include "platform/base/Timer.h"
#include "platform/swiftui/NodeBuilding.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace zestrel::platform::swiftui {

namespace {

// The timer of a timeline, for as long as the timeline is shown.
struct TimelineTimer {
    std::shared_ptr<Timer> timer;
    TimelineTimer() = default;
    TimelineTimer(const TimelineTimer&) = delete;
    TimelineTimer& operator=(const TimelineTimer&) = delete;
    ~TimelineTimer() {
        if (timer) {
            timer->invalidate();
        }
    }
};

// The alert standing for what a view presents, for as long as the view presents it.
struct PresentedAlert {
    std::shared_ptr<NSAlert> alert;
    // The view's buttons as last built, in the alert's order.
    std::vector<std::function<void()>> actions;
    PresentedAlert() = default;
    PresentedAlert(const PresentedAlert&) = delete;
    PresentedAlert& operator=(const PresentedAlert&) = delete;
    ~PresentedAlert() {
        if (alert) {
            alert->dismiss(NSModalResponseAbort);
        }
    }
};

} // namespace

void detail::presentAsAlert(ViewContext& context, const std::string& title,
                            const std::string& message, const Nodes& buttons) {
    // Kept only while the view presents: built again without it, the slot goes, and so
    // does the alert.
    auto presented = context.slot<PresentedAlert>(
        ".presentedAlert", [] { return std::make_shared<PresentedAlert>(); });
    const std::weak_ptr<PresentedAlert> weak = presented;
    std::vector<std::string> titles;
    presented->actions.clear();
    NSModalResponse response = NSAlertFirstButtonReturn;
    for (const auto& button : visibleNodes(buttons)) {
        button->action = [own = button->action, weak, response] {
            if (auto shown = weak.lock(); shown && shown->alert) {
                shown->alert->dismiss(response);
            }
            if (own) {
                own();
            }
        };
        presented->actions.push_back(button->action);
        titles.push_back(button->label);
        ++response;
    }
    if (presented->alert) {
        return; // shown once a presentation
    }
    context.afterUpdate([weak, title, message, titles] {
        const auto shown = weak.lock();
        if (!shown || shown->alert) {
            return;
        }
        shown->alert = NSAlert::make();
        shown->alert->setMessageText(title);
        shown->alert->setInformativeText(message);
        for (const auto& buttonTitle : titles) {
            shown->alert->addButton(buttonTitle);
        }
        shown->alert->present([weak](NSModalResponse pressed) {
            const auto shown = weak.lock();
            const auto index = static_cast<std::size_t>(pressed - NSAlertFirstButtonReturn);
            if (shown && pressed >= NSAlertFirstButtonReturn && index < shown->actions.size()) {
                const auto action = shown->actions[index];
                action();
            }
        });
    });
}

TimelineView::TimelineView(Nanoseconds interval, std::function<View(Date)> content)
    : View(Build([interval, content = std::move(content)](ViewContext& context, Nodes& into) {
          // A name no view property can have; the timer leaves with the view.
          context.slot<TimelineTimer>(".timeline", [&context, interval] {
              auto kept = std::make_shared<TimelineTimer>();
              kept->timer = Timer::make(
                  interval, true, [invalidate = context.invalidator()](Timer&) { invalidate(); });
              RunLoop::main().add(kept->timer, RunLoopMode::common);
              return kept;
          });
          ViewContext inner = context.child("timeline");
          content(currentDate()).build(inner, into);
      })) {}

View confirmationDialog(View content, std::string title, Binding<bool> isPresented,
                        std::vector<View> actions) {
    return View(View::Build([content = std::move(content), title = std::move(title),
                             isPresented = std::move(isPresented),
                             actions = std::move(actions)](ViewContext& context, Nodes& into) {
        ViewContext inner = context.child("confirming");
        content.build(inner, into);
        if (!isPresented.get()) {
            return;
        }
        auto dialog = detail::makeNode("ConfirmationDialog", context.child("dialog"), false);
        dialog->label = title;
        Nodes buttons;
        ViewContext actionsContext = context.child("dialog");
        for (std::size_t i = 0; i < actions.size(); ++i) {
            ViewContext item = actionsContext.child(std::to_string(i));
            actions[i].build(item, buttons);
        }
        auto cancel = detail::makeNode("Button", actionsContext.child("cancel"));
        cancel->label = "Cancel";
        cancel->role = "cancel";
        cancel->action = [] {};
        buttons.push_back(std::move(cancel));
        for (const auto& button : visibleNodes(buttons)) {
            button->action = [own = button->action, isPresented] {
                if (own) {
                    own();
                }
                isPresented.set(false);
            };
        }
        detail::presentAsAlert(context, title, "", buttons);
        dialog->children = std::move(buttons);
        into.push_back(std::move(dialog));
    }));
}

View toolbar(View content, std::vector<View> items) {
    return View(View::Build([content = std::move(content),
                             items = std::move(items)](ViewContext& context, Nodes& into) {
        ViewContext bar = context.child("toolbar");
        auto node = detail::makeNode("Toolbar", bar, false);
        for (std::size_t i = 0; i < items.size(); ++i) {
            ViewContext item = bar.child(std::to_string(i));
            items[i].build(item, node->children);
        }
        into.push_back(std::move(node));
        ViewContext inner = context.child("content");
        content.build(inner, into);
    }));
}

View quickLookPreview(View content, Binding<std::optional<URL>> item) {
    return View(View::Build(
        [content = std::move(content), item = std::move(item)](ViewContext& context, Nodes& into) {
            ViewContext inner = context.child("previewing");
            content.build(inner, into);
            // The item the panel was last asked to show from here, so each is shown once.
            auto shown = context.slot<std::optional<URL>>(
                ".quickLook", [] { return std::make_shared<std::optional<URL>>(); });
            const auto wanted = item.get();
            if (!wanted) {
                *shown = std::nullopt;
                return;
            }
            if (*shown && shown->value() == *wanted) {
                return;
            }
            *shown = wanted;
            context.afterUpdate([item, wanted = *wanted, shown] {
                QLPreviewPanel::sharedPreviewPanel()->preview(wanted, [item, shown] {
                    *shown = std::nullopt;
                    item.set(std::nullopt);
                });
            });
        }));
}

} // namespace zestrel::platform::swiftui
