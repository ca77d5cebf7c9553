#include "ui/SwiftUIHelpers.h"

#include "platform/swiftui/Preferences.h"

#include "platform/base/DispatchQueue.h"
#include "platform/concurrency/Task.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "platform/system/URLOpener.h"

#include <chrono>
#include <utility>

namespace zestrel {

namespace pf = platform;
using pf::swiftui::View;
using pf::swiftui::ViewContext;

View CopyButton::body(ViewContext& context) const {
    const auto isShowingSuccess = context.state<bool>("isShowingSuccess", false);
    const bool success = isShowingSuccess.get();
    auto label = pf::swiftui::Label(title.value_or("Copy"), "doc.on.doc")
                     .modifier("opacity", success ? "0" : "1");
    auto button = pf::swiftui::Button(std::move(label), [isShowingSuccess, action = action] {
        isShowingSuccess.set(true);
        pf::Task<void>::runOnMain([isShowingSuccess]() -> pf::Task<void> {
            try {
                co_await pf::Task<>::sleep(std::chrono::seconds(1));
            } catch (const pf::Error&) {
                // Cancelled early: the copy icon comes back all the same.
            }
            isShowingSuccess.set(false);
        });
        if (action) {
            action();
        }
    });
    View shown = button.disabled(success).modifier("animation", ".easeInOut(duration: 0.2)");
    if (success) {
        shown = shown.modifier("overlay", "Image(systemName: \"checkmark\").bold()");
    }
    return shown;
}

View MoreButton(std::optional<std::string> title, bool forceCircle, bool forceLabelOnlyOnMacOS,
                std::vector<View> content) {
    const std::string symbol = forceCircle ? "ellipsis.circle" : "ellipsis";
    const std::string text = title.value_or("More");
    return View(
               View::Build([menu = pf::swiftui::Menu(text, std::move(content)), symbol,
                            forceLabelOnlyOnMacOS](ViewContext& context, pf::swiftui::Nodes& into) {
                   pf::swiftui::Nodes built;
                   menu.build(context, built);
                   for (const auto& node : pf::swiftui::visibleNodes(built)) {
                       node->systemImage = symbol;
                       // With the icon-only style the title is not shown.
                       if (!forceLabelOnlyOnMacOS) {
                           node->detail = node->label;
                           node->label.clear();
                       }
                   }
                   into.insert(into.end(), built.begin(), built.end());
               }))
        .modifier("labelStyle", forceLabelOnlyOnMacOS ? ".titleOnly" : ".iconOnly")
        .modifier("menuIndicator", ".hidden");
}

AnyLabelStyle AnyLabelStyle::iconOnly() {
    return {[](const LabelConfiguration& configuration) -> View {
        return pf::swiftui::Image(configuration.systemImage);
    }};
}

AnyLabelStyle AnyLabelStyle::titleOnly() {
    return {[](const LabelConfiguration& configuration) -> View {
        return pf::swiftui::Text(configuration.title);
    }};
}

View LazyView(std::function<View()> build) {
    return View(
        View::Build([build = std::move(build)](ViewContext& context, pf::swiftui::Nodes& into) {
            build().build(context, into);
        }));
}

View modifierIf(View content, bool isEnabled, const std::function<View(View)>& modifier) {
    return isEnabled ? modifier(std::move(content)) : content;
}

View modifierIfElse(View content, bool flag, const std::function<View(View)>& whenTrue,
                    const std::function<View(View)>& whenFalse) {
    return flag ? whenTrue(std::move(content)) : whenFalse(std::move(content));
}

View backgroundOptional(View content, const std::optional<std::string>& color) {
    return color ? content.modifier("background", *color + ", alignment: .center") : content;
}

View TextOptional(const std::optional<std::string>& text) {
    return text ? View(pf::swiftui::Text(*text)) : View();
}

View makeText(std::string text) {
    return pf::swiftui::Text(std::move(text));
}

View LabelWithIcon(std::string title, View icon) {
    return pf::swiftui::HStack({std::move(icon), pf::swiftui::Text(std::move(title))});
}

View SizePreferenceKey::reader() {
    return pf::swiftui::GeometryReader([](pf::CGSize size) {
        return pf::swiftui::preference<SizePreferenceKey>(
            View().modifier("background", "Color.clear"), size);
    });
}

bool openURL(const pf::URL& url) {
    return pf::URLOpener::open(url);
}

} // namespace zestrel
