#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Mutex.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace zestrel::platform {

class NSAlert;
class NSMenu;

// A key the user presses at an alert: Return clicks the button that answers Return,
// Escape the one that answers Escape; with no such button nothing happens.
enum class AlertKey { returnKey, escapeKey };

// How the user answers one alert: what they press, how long after the alert appeared, and
// the suppression check box state they set first (left alone when nothing).
struct ModalAnswer {
    std::variant<std::size_t, std::string, AlertKey> choice = std::size_t{0};
    Nanoseconds after{0};
    std::optional<bool> suppression;

    // The button at `index` (0 is the first added).
    static ModalAnswer button(std::size_t index, Nanoseconds after = {},
                              std::optional<bool> suppression = std::nullopt) {
        return ModalAnswer{index, after, suppression};
    }
    // The first button titled `title`.
    static ModalAnswer button(std::string title, Nanoseconds after = {},
                              std::optional<bool> suppression = std::nullopt) {
        return ModalAnswer{std::move(title), after, suppression};
    }
    static ModalAnswer key(AlertKey key, Nanoseconds after = {},
                           std::optional<bool> suppression = std::nullopt) {
        return ModalAnswer{key, after, suppression};
    }
};

// What the user picks from a menu that opens: the item titled `itemTitle` (in the menu or
// one of its submenus), how long after it opened; an empty title, or one that is not
// there, closes the menu without a choice.
struct MenuPick {
    std::string itemTitle;
    Nanoseconds after{0};
};

// Stands in for the user at modal alerts and open menus: asked once as each alert appears. The
// console sets one that waits for its `alert` command; tests script the answers.
class ModalResponder {
public:
    virtual ~ModalResponder() = default;
    // Nothing: the alert is left to be ended another way (`NSAlert::respond`, code that
    // stops the modal run).
    virtual std::optional<ModalAnswer> answer(const NSAlert& alert) = 0;
    // Nothing: the menu is left to be closed another way; on the virtual clock it closes
    // once nothing is left to run at once.
    virtual std::optional<MenuPick> pick(const NSMenu& /*menu*/) { return std::nullopt; }

    // The process's responder; none until one is set.
    static std::shared_ptr<ModalResponder> current();
    static void setCurrent(std::shared_ptr<ModalResponder> responder);
};

// Answers the alerts in the order they appear with the answers given, one each, and the
// menus likewise with the picks; alerts and menus beyond the script are left alone.
class ScriptedModalResponder final : public ModalResponder {
public:
    void enqueue(ModalAnswer answer);
    std::size_t pendingAnswers() const;
    std::optional<ModalAnswer> answer(const NSAlert& alert) override;
    void enqueue(MenuPick pick);
    std::size_t pendingPicks() const;
    std::optional<MenuPick> pick(const NSMenu& menu) override;

    // Makes a scripted responder the process's responder and answers it.
    static std::shared_ptr<ScriptedModalResponder> install();

private:
    mutable Mutex mutex_;
    std::deque<ModalAnswer> answers_ GUARDED_BY(mutex_);
    std::deque<MenuPick> picks_ GUARDED_BY(mutex_);
};

// On a virtual clock nobody sits at the screen: an alert nobody answers gives up after this
// long with NSModalResponseAbort rather than hang the run.
inline constexpr Nanoseconds kUnattendedLimit = std::chrono::minutes(10);

} // namespace zestrel::platform
