#pragma once

#include "platform/appkit/NSViewController.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <memory>
#include <optional>

namespace zestrel {

// Tells a declarative view when it comes on screen and when it leaves it: placed in the
// tree (as a background, say), its view is on screen while it is in a window that is.
struct AppearOnScreenView {
    std::function<void()> onViewDidAppear;
    std::function<void()> onViewDidDisappear;
    std::optional<platform::swiftui::Binding<bool>> isOnScreen;

    // The controller behind it. Its view draws nothing; it only follows its window. Made in
    // code only. Main thread only.
    class ViewController final : public platform::NSViewController {
    public:
        ViewController() = default;
        ~ViewController() override;
        // There is no archived form: stops the process.
        [[noreturn]] static void initWithCoder();

        std::string className() const override { return "AppearOnScreenView.ViewController"; }

        std::function<void()> onViewDidAppear;
        std::function<void()> onViewDidDisappear;
        std::optional<platform::swiftui::Binding<bool>> isOnScreen;

        // The flag first, then the closure.
        void viewDidAppear();
        void viewDidDisappear();

    protected:
        std::shared_ptr<platform::NSView> loadView() override;
    };

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

} // namespace zestrel
