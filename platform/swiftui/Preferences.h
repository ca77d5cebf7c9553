#pragma once

#include "platform/base/Geometry.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <typeindex>
#include <utility>

// Values that views publish for the views around them (`preference`), read where they are
// gathered (`onPreferenceChange`), and the view that knows the size it is offered
// (`GeometryReader`). A preference key is a type with `Value`, `defaultValue` and
// `reduce(value, next)`, which folds the values published inside, in tree order.
namespace zestrel::platform::swiftui {

// Builds its content for the size offered to it: its hosting view's size.
class GeometryReader final : public View {
public:
    explicit GeometryReader(std::function<View(CGSize)> content);
};

namespace detail {
// The node that carries a view's published values; an invisible one when the view builds
// none of its own.
std::shared_ptr<Node> preferenceCarrier(Nodes& built, const ViewContext& context);
void collectPreferences(const Nodes& nodes, std::type_index key,
                        const std::function<void(const void*)>& visit);
} // namespace detail

// `.preference(key:value:)`.
template <class Key> View preference(View content, typename Key::Value value) {
    return View(View::Build([content = std::move(content),
                             value = std::move(value)](ViewContext& context, Nodes& into) {
        Nodes built;
        content.build(context, built);
        detail::preferenceCarrier(built, context)
            ->preferences.emplace_back(std::type_index(typeid(Key)),
                                       std::make_shared<const typename Key::Value>(value));
        into.insert(into.end(), built.begin(), built.end());
    }));
}

// `.onPreferenceChange(Key.self)`: after each evaluation, the values published inside under
// `Key`, folded, reach `action` when they differ from what it was told last (the default
// before the first).
template <class Key>
View onPreferenceChange(View content, std::function<void(const typename Key::Value&)> action) {
    using Value = typename Key::Value;
    return View(View::Build([content = std::move(content),
                             action = std::move(action)](ViewContext& context, Nodes& into) {
        Nodes built;
        ViewContext inner = context.child("preferences");
        content.build(inner, built);
        Value folded = Key::defaultValue;
        detail::collectPreferences(built, std::type_index(typeid(Key)), [&](const void* value) {
            Key::reduce(folded, [value] { return *static_cast<const Value*>(value); });
        });
        auto told = context.slot<Value>(".onPreferenceChange",
                                        [] { return std::make_shared<Value>(Key::defaultValue); });
        if (!(*told == folded)) {
            *told = folded;
            context.afterUpdate([action, folded] { action(folded); });
        }
        into.insert(into.end(), built.begin(), built.end());
    }));
}

} // namespace zestrel::platform::swiftui
