#pragma once

#include "platform/base/Mutex.h"
#include "platform/concurrency/AnyCancellable.h"
#include "platform/concurrency/ObservationRegistrar.h"
#include "platform/swiftui/View.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform::swiftui {

// Keeps the node tree of a root view. Built at once; afterwards a custom view's body is
// evaluated again when its state is set, an object it observes announces a change, or an
// observable property it read (through an observation registrar) changes. Such
// changes are coalesced: the views they touch are re-evaluated together on the next turn of
// the main queue, outer views first (an outer view rebuilds the views inside it). State,
// state objects and change observers are kept by identity (the place in the tree) and
// dropped with the views that no longer appear. Main thread only, except that changes may
// be announced from any thread.
class ViewHost final : public std::enable_shared_from_this<ViewHost>, private detail::ViewGraph {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<ViewHost>
    make(View root, EnvironmentValues environment = EnvironmentValues::standard());
    ViewHost(Passkey, View root, EnvironmentValues environment);
    ~ViewHost() override;

    // The top of the tree (custom views' invisible nodes included).
    const Nodes& nodes() const { return root_->children; }
    std::string outline() const { return swiftui::outline(nodes()); }
    std::shared_ptr<Node> find(std::string_view label) const { return findNode(nodes(), label); }

    // Acting as the user would; false when no node has the label, it cannot do that, or it
    // is disabled. A click on a switch flips it, on a picker's option chooses it.
    bool toggle(std::string_view label);
    bool click(std::string_view label);
    // The pointer entering or leaving the node; false when no node has the label or it does
    // not follow the pointer.
    bool hover(std::string_view label, bool isHovering);
    // Chooses the option titled `option` of the picker labelled `label`.
    bool pick(std::string_view label, std::string_view option);
    // `count` clicks in a row on the node; what a tap gesture wanting that many does.
    bool tap(std::string_view label, int count);

    // A new root view in place of the old one, as when the view that holds this tree is
    // evaluated again: built at once, keeping the state of every place that is still there.
    void setRootView(View root);
    // Changes the environment the root is built in (the window's active state, the scene
    // phase) and rebuilds it at once when anything it holds changed.
    void changeEnvironment(const std::function<void(EnvironmentValues&)>& change);
    const EnvironmentValues& environment() const;

    // Called after every re-evaluation, for those who mirror the tree (a menu).
    void setOnUpdate(std::function<void()> onUpdate) { onUpdate_ = std::move(onUpdate); }

    // Re-evaluates what changed now, instead of on the next main-queue turn.
    void update();
    // How many custom-view bodies have been evaluated.
    std::uint64_t bodyEvaluations() const { return bodyEvaluations_; }

private:
    struct Component {
        std::function<View(ViewContext&)> body;
        std::shared_ptr<const EnvironmentValues> environment;
        std::shared_ptr<Node> node;
        std::vector<std::shared_ptr<combine::ObservableObject>> observed;
        std::vector<combine::AnyCancellable> subscriptions;
        // The observable properties the body read.
        ObservationHandle tracking;
    };
    struct Slot {
        std::type_index type;
        std::shared_ptr<void> value;
    };

    std::shared_ptr<void> slot(const std::string& key, std::type_index type,
                               const std::function<std::shared_ptr<void>()>& make) override;
    void observe(const std::string& component,
                 std::shared_ptr<combine::ObservableObject> object) override;
    std::function<void()> invalidator(const std::string& component) override;
    void afterUpdate(std::function<void()> action) override;
    void keepBuilt(const std::string& path) override;
    void buildComponent(const std::string& identity, std::function<View(ViewContext&)> body,
                        const std::shared_ptr<const EnvironmentValues>& environment,
                        Nodes& into) override;

    void invalidate(const std::string& component);
    // Evaluates the component again now, dropping what no longer appears in it.
    void rebuild(const std::string& identity, Component& component);
    void evaluate(const std::string& identity, Component& component);
    void dropUntouched(const std::string& identity);
    void runAfterUpdate();

    static constexpr const char* kRootIdentity = "root";

    std::shared_ptr<Node> root_;
    std::map<std::string, Component> components_;
    std::map<std::string, Slot> slots_;
    std::set<std::string> touched_;
    std::vector<std::function<void()>> afterUpdate_;
    std::uint64_t bodyEvaluations_ = 0;
    std::function<void()> onUpdate_;

    Mutex mutex_; // what other threads may touch: the pending invalidations
    std::set<std::string> dirty_ GUARDED_BY(mutex_);
    bool scheduled_ GUARDED_BY(mutex_) = false;
};

} // namespace zestrel::platform::swiftui
