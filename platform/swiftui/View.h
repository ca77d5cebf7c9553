#pragma once

#include "platform/concurrency/ObservableObject.h"
#include "platform/swiftui/Binding.h"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

// The declarative views of the platform. Nothing is drawn: a view is a function that builds
// nodes into a tree that a host (ViewHost.h) keeps, re-evaluating the parts whose state
// changed. The tree renders to an indented text outline, and a node can be found by its
// label and acted on, which is how tests and the console operate the interface.

namespace zestrel::platform {
class NSView;
} // namespace zestrel::platform

namespace zestrel::platform::swiftui {

// A modifier kept as data: its name and its argument as text (`.frame(width: 320)`).
struct Modifier {
    std::string name;
    std::string argument;
    bool operator==(const Modifier&) const = default;
};

// One element of the interface as the host keeps it.
struct Node {
    // "Text", "Toggle", ...; empty for the invisible node of a custom view, whose children
    // stand in its place.
    std::string kind;
    std::string label;
    std::string systemImage;
    // The state a control is bound to.
    std::optional<Binding<bool>> isOn;
    // What clicking it does.
    std::function<void()> action;
    // The platform view a representable view wraps.
    std::shared_ptr<NSView> platformView;
    std::vector<Modifier> modifiers;
    std::vector<std::shared_ptr<Node>> children;
    // Where the node stands in the tree; its state is kept under this identity.
    std::string identity;

    bool isVisible() const { return !kind.empty(); }
};

using Nodes = std::vector<std::shared_ptr<Node>>;

// The indented outline of the visible nodes, one a line, two spaces a level:
//     Toggle "Launch at login" [on]
std::string outline(const Nodes& nodes);
// The first visible node with this label, depth first.
std::shared_ptr<Node> findNode(const Nodes& nodes, std::string_view label);

class View;
class ViewContext;
template <class T> class State;

// A custom view: a value with a body built from other views.
template <class T>
concept ViewComponent = requires(const T& component, ViewContext& context) {
    { component.body(context) } -> std::convertible_to<View>;
};

namespace detail {

// What a view being built asks of its host.
class ViewGraph {
public:
    virtual ~ViewGraph() = default;
    // The value kept under `key`; `make` runs when there is none of that type yet.
    virtual std::shared_ptr<void> slot(const std::string& key, std::type_index type,
                                       const std::function<std::shared_ptr<void>()>& make) = 0;
    // `object`'s announcements re-evaluate `component`.
    virtual void observe(const std::string& component,
                         std::shared_ptr<combine::ObservableObject> object) = 0;
    virtual std::function<void()> invalidator(const std::string& component) = 0;
    // Runs `action` once the update under way is over.
    virtual void afterUpdate(std::function<void()> action) = 0;
    virtual void buildComponent(const std::string& identity, std::function<View(ViewContext&)> body,
                                Nodes& into) = 0;
};

} // namespace detail

// Where a view is being built: its place in the tree and the custom view it belongs to.
class ViewContext {
public:
    ViewContext(detail::ViewGraph& graph, std::string path, std::string component)
        : graph_(&graph), path_(std::move(path)), component_(std::move(component)) {}

    const std::string& path() const { return path_; }
    ViewContext child(std::string_view segment) const {
        return ViewContext(*graph_, path_ + "/" + std::string(segment), component_);
    }

    // `@State`: a value kept at this place; setting it re-evaluates the view. ViewState.h.
    template <class T> State<T> state(std::string_view name, T initialValue);

    // `@StateObject`: made once for this place, observed.
    template <class T>
    std::shared_ptr<T> stateObject(std::string_view name,
                                   const std::function<std::shared_ptr<T>()>& make) {
        auto object = slot<T>(name, make);
        observe(object);
        return object;
    }
    // `@ObservedObject`: the view is re-evaluated when the object announces a change.
    template <class T> std::shared_ptr<T> observe(std::shared_ptr<T> object) {
        graph_->observe(component_, object);
        return object;
    }

    // A value kept at this place for the life of the view.
    template <class T>
    std::shared_ptr<T> slot(std::string_view name,
                            const std::function<std::shared_ptr<T>()>& make) {
        return std::static_pointer_cast<T>(
            graph_->slot(key(name), std::type_index(typeid(T)), [&make] { return make(); }));
    }
    std::function<void()> invalidator() const { return graph_->invalidator(component_); }
    void afterUpdate(std::function<void()> action) const { graph_->afterUpdate(std::move(action)); }
    void buildComponent(std::string_view name, std::function<View(ViewContext&)> body,
                        Nodes& into) const {
        graph_->buildComponent(path_ + "/" + std::string(name), std::move(body), into);
    }

private:
    std::string key(std::string_view name) const { return path_ + "#" + std::string(name); }

    detail::ViewGraph* graph_;
    std::string path_;
    std::string component_;
};

// A view: builds zero or more nodes. A handle; copies build the same way.
class View {
public:
    using Build = std::function<void(ViewContext&, Nodes&)>;

    // `EmptyView`: builds nothing.
    View() : View(Build([](ViewContext&, Nodes&) {})) {}
    explicit View(Build build) : build_(std::make_shared<const Build>(std::move(build))) {}
    template <ViewComponent C>
    requires(!std::derived_from<C, View>) View(C component)
        : View(Build([component = std::move(component)](ViewContext& context, Nodes& into) {
              context.buildComponent(
                  typeid(C).name(),
                  [component](ViewContext& inner) { return View(component.body(inner)); }, into);
          })) {}

    void build(ViewContext& context, Nodes& into) const { (*build_)(context, into); }

    // Calls `action` with the new value when `value` differs from the one of the previous
    // evaluation; not for the first.
    template <std::equality_comparable V>
    View onChange(V value, std::function<void(const std::type_identity_t<V>&)> action) const {
        return View(Build([content = *this, value = std::move(value),
                           action = std::move(action)](ViewContext& context, Nodes& into) {
            ViewContext inner = context.child("onChange");
            content.build(inner, into);
            // A name no view property can have.
            auto previous = context.slot<std::optional<V>>(
                ".onChange", [] { return std::make_shared<std::optional<V>>(); });
            if (*previous && !(**previous == value)) {
                context.afterUpdate([action, value] { action(value); });
            }
            *previous = value;
        }));
    }

private:
    std::shared_ptr<const Build> build_;
};

} // namespace zestrel::platform::swiftui
