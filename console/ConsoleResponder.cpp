#include "console/ConsoleResponder.h"

#include "platform/appkit/NSAlert.h"

#include <algorithm>
#include <utility>

namespace zestrel::console {

using namespace zestrel::platform;

void ConsoleResponder::enqueue(Queued answer) {
    queued_.push_back(std::move(answer));
}

std::optional<ModalAnswer> ConsoleResponder::answer(const NSAlert& alert) {
    if (!queued_.empty()) {
        const auto title = std::move(queued_.front().button);
        queued_.pop_front();
        const auto& buttons = alert.buttons();
        if (std::any_of(buttons.begin(), buttons.end(),
                        [&](const auto& button) { return button->title() == title; })) {
            if (onAnswering_) {
                onAnswering_();
            }
            return ModalAnswer::button(title);
        }
        if (onMismatch_) {
            onMismatch_(alert, title);
        }
    }
    std::erase_if(waiting_, [](const std::weak_ptr<NSAlert>& entry) {
        const auto alert = entry.lock();
        return !alert || !alert->isShowing();
    });
    waiting_.push_back(std::static_pointer_cast<NSAlert>(
        std::const_pointer_cast<NSObject>(alert.shared_from_this())));
    if (onWaiting_) {
        onWaiting_(alert);
    }
    return std::nullopt;
}

std::shared_ptr<NSAlert> ConsoleResponder::waitingAlert() {
    for (auto it = waiting_.rbegin(); it != waiting_.rend(); ++it) {
        if (auto alert = it->lock(); alert && alert->isShowing()) {
            return alert;
        }
    }
    return nullptr;
}

} // namespace zestrel::console
