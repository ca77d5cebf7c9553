#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"
#include "platform/swiftui/View.h"

#include <concepts>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace zestrel {

// A copy button that shows a checkmark for a second after it is pressed and cannot be
// pressed again meanwhile; the action runs at once.
struct CopyButton {
    std::optional<std::string> title;
    std::function<void()> action;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// A menu of further commands shown as an ellipsis (or its title with `forceLabelOnlyOnMacOS`).
platform::swiftui::View MoreButton(std::optional<std::string> title, bool forceCircle,
                                   bool forceLabelOnlyOnMacOS,
                                   std::vector<platform::swiftui::View> content);

// One of two shapes: `a` when `toggle`, else `b`.
template <class A, class B> struct EitherShape {
    bool toggle = false;
    A a;
    B b;
    auto path(platform::CGRect rect) const { return toggle ? a.path(rect) : b.path(rect); }
    auto inset(double amount) const requires requires(const A& x, const B& y) {
        x.inset(amount);
        y.inset(amount);
    }
    {
        return EitherShape<decltype(a.inset(amount)), decltype(b.inset(amount))>{
            toggle, a.inset(amount), b.inset(amount)};
    }
};

// What a label style gets: the label's title and symbol.
struct LabelConfiguration {
    std::string title;
    std::string systemImage;
};
// Any label style, type-erased.
struct AnyLabelStyle {
    std::function<platform::swiftui::View(const LabelConfiguration&)> bodyBuilder;
    platform::swiftui::View body(const LabelConfiguration& configuration) const {
        return bodyBuilder(configuration);
    }
    static AnyLabelStyle iconOnly();
    static AnyLabelStyle titleOnly();
};

// Builds its content only when it is shown, not when made.
platform::swiftui::View LazyView(std::function<platform::swiftui::View()> build);

// `equatable(by:)`'s view: equal to another when their values are equal, whatever their
// content; while the value stays equal to that of the previous evaluation, the content is
// not built again and keeps its nodes and state.
template <std::equality_comparable V> struct EquatableView {
    platform::swiftui::View content;
    V value;
    friend bool operator==(const EquatableView& a, const EquatableView& b) {
        return a.value == b.value;
    }
    platform::swiftui::View body(platform::swiftui::ViewContext& /*context*/) const {
        return content.equatable(value);
    }
};
// `equatable(by:)`: the content, updated only when `value` changes.
template <std::equality_comparable V>
platform::swiftui::View equatableBy(platform::swiftui::View content, V value) {
    return platform::swiftui::View(EquatableView<V>{std::move(content), std::move(value)});
}

// The size a geometry reader publishes for its parent: `reader()` measures the place it is
// put in (a background, say) and publishes its size under this key.
struct SizePreferenceKey {
    using Value = platform::CGSize;
    static constexpr platform::CGSize defaultValue{0, 0};
    static void reduce(platform::CGSize& value, const std::function<platform::CGSize()>& next) {
        value = next();
    }
    static platform::swiftui::View reader();
};

// Applies `modifier` only when `isEnabled`.
platform::swiftui::View
modifierIf(platform::swiftui::View content, bool isEnabled,
           const std::function<platform::swiftui::View(platform::swiftui::View)>& modifier);
// Applies the first modifier when the flag is true, the second when false.
platform::swiftui::View
modifierIfElse(platform::swiftui::View content, bool flag,
               const std::function<platform::swiftui::View(platform::swiftui::View)>& whenTrue,
               const std::function<platform::swiftui::View(platform::swiftui::View)>& whenFalse);
// An optional colour as the background; none adds nothing.
platform::swiftui::View backgroundOptional(platform::swiftui::View content,
                                           const std::optional<std::string>& color);
// A text for a string that may be absent; nothing for none.
platform::swiftui::View TextOptional(const std::optional<std::string>& text);
// A text shown as is, never looked up for translation.
platform::swiftui::View makeText(std::string text);
// A label from a plain title and an icon view.
platform::swiftui::View LabelWithIcon(std::string title, platform::swiftui::View icon);
// Asks the workspace to open the URL.
bool openURL(const platform::URL& url);

// `onChange(of:initial:)`: also runs for the first value when `initial`.
template <std::equality_comparable V>
platform::swiftui::View onChangeInitial(platform::swiftui::View content, V value, bool initial,
                                        std::function<void(const V&)> action) {
    return platform::swiftui::View(platform::swiftui::View::Build(
        [content = content.onChange(value, action), value, initial,
         action](platform::swiftui::ViewContext& context, platform::swiftui::Nodes& into) {
            content.build(context, into);
            auto seen = context.slot<bool>(".onChangeInitial",
                                           [] { return std::make_shared<bool>(false); });
            if (initial && !*seen) {
                context.afterUpdate([action, value] { action(value); });
            }
            *seen = true;
        }));
}

} // namespace zestrel
