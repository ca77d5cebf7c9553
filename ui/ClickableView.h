#pragma once

#include "platform/appkit/NSView.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <memory>
#include <optional>

namespace zestrel {

// A view that reports the raw presses (true) and releases (false) of the mouse on it, also
// the first click into an inactive window. Neither event is passed on. Made in code only.
class ClickableView : public platform::NSView {
public:
    using Pressed = std::function<void(bool isPressed)>;

    ClickableView(platform::CGRect frame, Pressed pressed);
    // There is no archived form: stops the process.
    [[noreturn]] static void initWithCoder();

    std::string className() const override { return "ClickableView"; }

    // Nothing reports while empty.
    Pressed pressed;

    bool acceptsFirstMouse(const platform::NSEvent* /*event*/) const override { return true; }
    // The responder's own handlers: an event that reaches the view, however it came, ends
    // here and never goes on to the next responder.
    void mouseDown(const platform::NSEvent& event) override;
    void mouseUp(const platform::NSEvent& event) override;
    void mouseDragged(const platform::NSEvent& /*event*/) override {}

protected:
    // A user's click is a press and a release.
    void mouseClicked() override;
    bool hasClickHandling() const override { return true; }
};

// The same, except that the release ending a drag is not reported (the press that began
// it was); the next press is reported again.
class ClickableDraggableView final : public ClickableView {
public:
    using ClickableView::ClickableView;
    std::string className() const override { return "ClickableDraggableView"; }

    // Set by a drag, cleared by the next press or release; none until the first drag.
    std::optional<bool> dragged;

    void mouseDown(const platform::NSEvent& event) override;
    void mouseUp(const platform::NSEvent& event) override;
    void mouseDragged(const platform::NSEvent& event) override;

private:
    // Clears a drag and answers whether there was one.
    bool endDrag();
};

// Puts a clickable view in a declarative view: a draggable one when asked, made once for
// its place with the frame; each evaluation hands it the current `pressed`.
struct ClickableViewRepresentable {
    ClickableView::Pressed pressed;
    bool draggable = false;
    platform::CGRect frame;

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

} // namespace zestrel
