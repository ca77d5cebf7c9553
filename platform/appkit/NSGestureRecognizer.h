#pragma once

#include "platform/base/Value.h"

#include <functional>
#include <memory>

namespace zestrel::platform {

class NSView;

// Recognizes a gesture on its view and sends its action to its target. The target is not
// kept (as the platform's target-action is weak); the view keeps its recognizers. Main
// thread only.
class NSGestureRecognizer : public NSObject {
public:
    // `action` sent to `target`: the function gets the live target and the recognizer.
    using Action = std::function<void(NSObject& target, NSGestureRecognizer& sender)>;

    std::string className() const override { return "NSGestureRecognizer"; }

    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<NSObject>& target) { target_ = target; }
    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    std::shared_ptr<NSView> view() const { return view_.lock(); }

    // The user made the gesture on the view: the action goes to the target when both are
    // there. True when the recognizer took the gesture (it is enabled).
    bool recognize();

private:
    friend class NSView;
    std::weak_ptr<NSObject> target_;
    Action action_;
    bool enabled_ = true;
    std::weak_ptr<NSView> view_;
};

// A single click with the primary button.
class NSClickGestureRecognizer final : public NSGestureRecognizer {
public:
    std::string className() const override { return "NSClickGestureRecognizer"; }
    int numberOfClicksRequired() const { return clicks_; }
    void setNumberOfClicksRequired(int clicks) { clicks_ = clicks; }

private:
    int clicks_ = 1;
};

} // namespace zestrel::platform
