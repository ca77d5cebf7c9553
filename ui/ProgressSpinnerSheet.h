#pragma once

#include "platform/appkit/NSProgressIndicator.h"
#include "platform/appkit/NSWindow.h"
#include "ui/TextControls.h"

#include <functional>
#include <memory>
#include <string>

namespace zestrel {

// A sheet with a spinner and an optional line of text under it, shown over a window while
// something runs. Escape dismisses it and runs `onCancel`. Main thread only.
class ProgressSpinnerSheet : public platform::NSWindow {
public:
    class Key {
        friend class ProgressSpinnerSheet;
        explicit Key() = default;
    };
    static std::shared_ptr<ProgressSpinnerSheet> make();
    explicit ProgressSpinnerSheet(Key);
    std::string className() const override { return "Zestrel.ProgressSpinnerSheet"; }

    std::shared_ptr<platform::NSWindow> presenterWindow() const { return presenterWindow_.lock(); }
    bool isShown() const { return isShown_; }
    const std::string& text() const { return text_; }
    // An empty text hides the label.
    void setText(std::string text);
    std::function<void()> onCancel;

    // Attaches the sheet to the window and starts the spinner.
    void present(const std::shared_ptr<platform::NSWindow>& presenter);
    // On the next pass of the main queue: ends the sheet, stops the spinner, clears the text.
    void dismiss();
    // Escape.
    void cancelOperation() override;
    bool respondsToAction(std::string_view action) const override;
    void performAction(std::string_view action,
                       const std::shared_ptr<platform::NSObject>& sender) override;

    const std::shared_ptr<platform::NSProgressIndicator>& spinner() const { return spinner_; }
    const std::shared_ptr<CocoaLabel>& label() const { return label_; }

private:
    std::weak_ptr<platform::NSWindow> presenterWindow_;
    std::shared_ptr<platform::NSProgressIndicator> spinner_;
    std::shared_ptr<CocoaLabel> label_;
    std::shared_ptr<platform::NSStackView> container_;
    std::string text_;
    bool isShown_ = false;
};

} // namespace zestrel
