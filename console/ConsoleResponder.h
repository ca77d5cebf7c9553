#pragma once

#include "platform/appkit/ModalResponder.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::console {

// Stands in for the person at the app's alerts (menus are left to close by themselves): the
// answers queued with `answer` go to the alerts in the order they appear. An answer that names a
// button the alert does not have is a mistake of the script: it is reported, and the alert waits as
// one that found no answer. An alert that finds none waits for the person: it is handed to the
// waiting handler (the terminal shows it) and answered later, with `answer`, `click` or a line
// typed at the terminal. It outlives a relaunch; each new process is given it. Main thread only.
class ConsoleResponder final : public platform::ModalResponder {
public:
    // An answer waiting for its alert, with the script line that gave it (0 at the prompt).
    struct Queued {
        std::string button;
        int line = 0;
    };

    void enqueue(Queued answer);
    // The answers no alert has taken yet, the next first.
    const std::deque<Queued>& queuedAnswers() const { return queued_; }
    void clearAnswers() { queued_.clear(); }
    std::optional<platform::ModalAnswer> answer(const platform::NSAlert& alert) override;

    // Told of each alert that waits for the person, as it appears.
    void setOnWaiting(std::function<void(const platform::NSAlert&)> onWaiting) {
        onWaiting_ = std::move(onWaiting);
    }
    // Told of each queued answer as it goes to an alert with its button, before it is pressed.
    void setOnAnswering(std::function<void()> onAnswering) {
        onAnswering_ = std::move(onAnswering);
    }
    // Told of each queued answer that met an alert without its button, with the title.
    void
    setOnMismatch(std::function<void(const platform::NSAlert&, const std::string&)> onMismatch) {
        onMismatch_ = std::move(onMismatch);
    }
    // The latest alert that showed with no answer queued and is showing still; nothing when
    // none is.
    std::shared_ptr<platform::NSAlert> waitingAlert();

private:
    std::deque<Queued> queued_;
    std::function<void(const platform::NSAlert&)> onWaiting_;
    std::function<void()> onAnswering_;
    std::function<void(const platform::NSAlert&, const std::string&)> onMismatch_;
    std::vector<std::weak_ptr<platform::NSAlert>> waiting_;
};

} // namespace zestrel::console
