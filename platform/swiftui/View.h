#pragma once

#include "platform/appkit/TextOutline.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/Environment.h"

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
#include <variant>
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

} // namespace zestrel::platform::swiftui

namespace zestrel::platform {
class NSView;
} // namespace zestrel::platform

namespace zestrel::platform::swiftui {

// A key with the modifiers held for it: "," with ["command"] reads "⌘,".
struct KeyboardShortcut {
    std::string key;
    bool command = true;
    bool shift = false;
    bool option = false;
    bool control = false;
    // The symbols of the modifiers, then the key: "⌘,", "⇧⌘Q".
    std::string text() const;
    bool operator==(const KeyboardShortcut&) const = default;
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
    // A picker's chosen tag; its options are its children, whose actions choose them.
    std::optional<Binding<std::string>> selection;
    // Where a link goes.
    std::string destination;
    // The AppKit view a representable view made; the hosting view holds it as a subview.
    std::shared_ptr<NSView> platformView;
    // What else the user sees of it: an image's name ("QR code, 25×25 modules").
    std::string detail;
    // "cancel", "destructive" for buttons with a role.
    std::string role;
    bool isDisabled = false;
    std::optional<KeyboardShortcut> shortcut;
    // A tap gesture: the number of clicks it wants and what it does then.
    int tapCount = 0;
    std::function<void()> tapAction;
    // Told when the pointer enters (true) or leaves (false) the node.
    std::function<void(bool)> hoverAction;
    std::vector<Modifier> modifiers;
    // Values published for the views around (`preference`), by key type, in the order set.
    std::vector<std::pair<std::type_index, std::shared_ptr<const void>>> preferences;
    std::vector<std::shared_ptr<Node>> children;
    // Where the node stands in the tree; its state is kept under this identity.
    std::string identity;

    bool isVisible() const { return !kind.empty(); }
};

using Nodes = std::vector<std::shared_ptr<Node>>;

// How an export ended: the file written, or why it could not be.
using FileExportResult = std::variant<URL, Error>;

// The outline of the visible nodes as the screen shows them: custom views are looked
// through, their modifiers go to the nodes standing in their place, and what can be used
// carries its click. A representable shows in its place, unless `withPlatformViews` is false
// (in a hosting view its AppKit view is the hosting view's subview).
std::vector<OutlineNode> outlineNodes(const Nodes& nodes, bool withPlatformViews);
// Those nodes as text, one a line, two spaces a level:
//     toggle "Launch at login" [on]
std::string outline(const Nodes& nodes);
// The first visible node with this label, depth first.
std::shared_ptr<Node> findNode(const Nodes& nodes, std::string_view label);
// The visible nodes at the top of `nodes`, looking through custom views.
Nodes visibleNodes(const Nodes& nodes);

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
    // Everything kept under `path` stays, though it is not built again in this update.
    virtual void keepBuilt(const std::string& path) = 0;
    virtual void buildComponent(const std::string& identity, std::function<View(ViewContext&)> body,
                                const std::shared_ptr<const EnvironmentValues>& environment,
                                Nodes& into) = 0;
};

} // namespace detail

namespace detail {

// Nodes kept from an earlier build, as that build left them: the views around them add
// their modifiers (and context menus) again at each evaluation, so those are taken back
// before the nodes are used again.
class BuiltNodes {
public:
    BuiltNodes() = default;
    explicit BuiltNodes(const Nodes& nodes);
    void restore() const;

private:
    struct Entry {
        std::shared_ptr<Node> node;
        std::vector<Modifier> modifiers;
        std::optional<KeyboardShortcut> shortcut;
        std::size_t preferenceCount = 0;
        std::size_t childCount = 0;
    };
    std::vector<Entry> entries_;
};

} // namespace detail

// Where a view is being built: its place in the tree and the custom view it belongs to.
class ViewContext {
public:
    ViewContext(detail::ViewGraph& graph, std::string path, std::string component,
                std::shared_ptr<const EnvironmentValues> environment)
        : graph_(&graph), path_(std::move(path)), component_(std::move(component)),
          environment_(std::move(environment)) {}

    const std::string& path() const { return path_; }
    ViewContext child(std::string_view segment) const {
        return ViewContext(*graph_, path_ + "/" + std::string(segment), component_, environment_);
    }
    const EnvironmentValues& environment() const { return *environment_; }
    // The same place with changed environment values, for the views inside it.
    ViewContext withEnvironment(const std::function<void(EnvironmentValues&)>& change) const {
        auto changed = std::make_shared<EnvironmentValues>(*environment_);
        change(*changed);
        return ViewContext(*graph_, path_, component_, std::move(changed));
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
    // The state and views kept inside this place stay though they are not built again.
    void keepBuilt() const { graph_->keepBuilt(path_); }
    void buildComponent(std::string_view name, std::function<View(ViewContext&)> body,
                        Nodes& into) const {
        graph_->buildComponent(path_ + "/" + std::string(name), std::move(body), environment_,
                               into);
    }

private:
    std::string key(std::string_view name) const { return path_ + "#" + std::string(name); }

    detail::ViewGraph* graph_;
    std::string path_;
    std::string component_;
    std::shared_ptr<const EnvironmentValues> environment_;
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

    // `equatable(by:)`: while `value` equals the one of the previous evaluation the content
    // is not built again; its nodes and state stay as they were.
    template <std::equality_comparable V> View equatable(V value) const {
        return View(Build([content = *this, value = std::move(value)](ViewContext& context,
                                                                      Nodes& into) {
            struct Kept {
                std::optional<V> value;
                Nodes nodes;
                detail::BuiltNodes built;
            };
            // A name no view property can have.
            auto kept = context.slot<Kept>(".equatable", [] { return std::make_shared<Kept>(); });
            ViewContext inner = context.child("equatable");
            if (kept->value && *kept->value == value) {
                inner.keepBuilt();
                kept->built.restore();
            } else {
                kept->value = value;
                kept->nodes.clear();
                content.build(inner, kept->nodes);
                kept->built = detail::BuiltNodes(kept->nodes);
            }
            into.insert(into.end(), kept->nodes.begin(), kept->nodes.end());
        }));
    }

    // Modifiers. Each returns a new view around this one.

    // A modifier that only shows in the outline, on every top node the view builds:
    // `.frame(width: 320)`.
    View modifier(std::string name, std::string argument = "") const;
    // Changes the environment for everything inside.
    View environment(std::function<void(EnvironmentValues&)> change) const;
    // Controls inside cannot be used while `disabled` is true.
    View disabled(bool disabled) const;
    // A button (or a menu item made of one) answers the key with the modifiers.
    View keyboardShortcut(KeyboardShortcut shortcut) const;
    // Runs `action` once the view comes into the tree, again after it left and came back.
    View onAppear(std::function<void()> action) const;
    // `count` clicks in a row on the view run `action`.
    View onTapGesture(int count, std::function<void()> action) const;
    // The pointer entering (true) or leaving (false) the view runs `action`.
    View onHover(std::function<void(bool)> action) const;
    // While `isPresented` is true a popover with `content` shows beside the view.
    View popover(Binding<bool> isPresented, View content) const;
    // While `isPresented` is true an alert shows beside the view: its title, its message
    // when given, and its buttons (a single "OK" when none are given). Any of its buttons
    // sets `isPresented` back to false after its own action.
    View alert(std::string title, Binding<bool> isPresented, std::vector<View> actions = {},
               std::string message = "") const;
    // While `isPresented` is true a save panel offers `defaultFilename`; saving writes
    // `document` there and reports the file or the failure to `onCompletion`. Either way the
    // panel ends with `isPresented` set back to false; cancelling reports nothing.
    View fileExporter(Binding<bool> isPresented, std::optional<std::string> document,
                      std::vector<std::string> contentTypes, std::string defaultFilename,
                      std::function<void(const FileExportResult&)> onCompletion) const;
    // The folder a save panel shown from inside the view starts in, and the identifier the
    // panel is kept under.
    View fileDialogDefaultDirectory(std::optional<URL> directory) const;
    View fileDialogCustomizationID(std::string identifier) const;
    // Commands offered on a secondary click, listed under the view.
    View contextMenu(std::vector<View> items) const;
    // `background`: another view behind this one, built after it at its own place.
    View background(View behind) const;

private:
    std::shared_ptr<const Build> build_;
};

} // namespace zestrel::platform::swiftui
