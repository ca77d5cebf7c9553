#include "ui/TooltipModifier.h"

#include "platform/appkit/NSView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "ui/SwiftUIWindowAccess.h"

#include <string>

namespace zestrel {

using platform::DispatchQueue;
using platform::DispatchWorkItem;
using platform::swiftui::ControlActiveState;
using platform::swiftui::ScenePhase;
using platform::swiftui::View;
using platform::swiftui::ViewContext;
using platform::swiftui::ViewStorage;

View TooltipModifier::body(ViewContext& context) const {
    const auto isHovered = ViewStorage<bool>(false).installed(context, "isHovered");
    const auto delay = ViewStorage<std::shared_ptr<DispatchWorkItem>>().installed(context, "delay");
    const auto isPresented = context.state<bool>("isPresented", false);

    auto onContentHover = [isHovered, delay, isPresented](bool hovering) {
        isHovered.set(hovering);
        // A newer hover replaces the pending task without cancelling it: whichever runs reads
        // the pointer's latest state, so an earlier one cannot show a stale answer.
        auto task = std::make_shared<DispatchWorkItem>(
            [isHovered, isPresented] { isPresented.set(isHovered.get()); });
        delay.set(task);
        DispatchQueue::main().asyncAfter(platform::DispatchTime::now() + kDelay, task);
    };
    auto onPopoverHover = [delay, isPresented](bool hovering) {
        if (const auto& pending = delay.get()) {
            pending->cancel();
        }
        delay.set(nullptr);
        isPresented.set(hovering);
    };
    auto hide = [isPresented] {
        DispatchQueue::main().async([isPresented] { isPresented.set(false); });
    };

    View shown = tooltipContent ? tooltipContent() : View();
    const auto& environment = context.environment();
    return content.onHover(std::move(onContentHover))
        .popover(isPresented.binding(), shown.onHover(std::move(onPopoverHover))
                                            .modifier("interactiveDismissDisabled")
                                            // Not the anchor's colour and font.
                                            .modifier("foregroundColor", "nil")
                                            .modifier("font", "nil")
                                            .modifier("controlSize", "regular"))
        .onChange(environment.controlActiveState,
                  [hide](const ControlActiveState& state) {
                      if (state == ControlActiveState::inactive) {
                          hide();
                      }
                  })
        .onChange(environment.scenePhase, [hide](const ScenePhase& phase) {
            if (phase == ScenePhase::inactive) {
                hide();
            }
        });
}

View tooltip(View content, std::string text, bool small) {
    return View(TooltipModifier{
        std::move(content), [text = std::move(text), small] {
            using platform::NSFont;
            const auto size =
                static_cast<int>(small ? NSFont::systemFontSize(NSFont::ControlSize::small)
                                       : NSFont::systemFontSize());
            return multilineTextMaxWidth(
                       platform::swiftui::Text(text).modifier(
                           "font", "system(size: " + std::to_string(size) + ", weight: regular)"),
                       300)
                .modifier("padding", "10");
        }});
}

} // namespace zestrel
