#include "platform/swiftui/ViewHost.h"
#include "platform/base/Mutex.h"

#include "platform/base/RunLoop.h"

#include <algorithm>
#include <utility>

namespace zestrel::platform::swiftui {

namespace {

bool isInside(const std::string& key, const std::string& identity) {
    return key.size() > identity.size() && key.compare(0, identity.size(), identity) == 0 &&
           (key[identity.size()] == '/' || key[identity.size()] == '#');
}

} // namespace

std::shared_ptr<ViewHost> ViewHost::make(View root, EnvironmentValues environment) {
    auto host = std::make_shared<ViewHost>(Passkey{}, std::move(root), std::move(environment));
    Component& component = host->components_.at(kRootIdentity);
    host->evaluate(kRootIdentity, component);
    host->runAfterUpdate();
    return host;
}

ViewHost::ViewHost(Passkey, View root, EnvironmentValues environment)
    : root_(std::make_shared<Node>()) {
    root_->identity = kRootIdentity;
    Component component;
    component.environment = std::make_shared<const EnvironmentValues>(std::move(environment));
    component.body = [root = std::move(root)](ViewContext&) { return root; };
    component.node = root_;
    components_.emplace(kRootIdentity, std::move(component));
}

ViewHost::~ViewHost() = default;

bool ViewHost::toggle(std::string_view label) {
    const auto node = find(label);
    if (!node || !node->isOn || node->isDisabled) {
        return false;
    }
    node->isOn->set(!node->isOn->get());
    return true;
}

bool ViewHost::click(std::string_view label) {
    const auto node = find(label);
    if (!node || node->isDisabled) {
        return false;
    }
    if (node->action) {
        // The node may be rebuilt by what the action does: keep the action alive.
        const auto action = node->action;
        action();
        return true;
    }
    return toggle(label);
}

bool ViewHost::hover(std::string_view label, bool isHovering) {
    const auto node = find(label);
    if (!node || !node->hoverAction) {
        return false;
    }
    // The node may be rebuilt by what the action does: keep the action alive.
    const auto action = node->hoverAction;
    action(isHovering);
    return true;
}

bool ViewHost::pick(std::string_view label, std::string_view option) {
    const auto picker = find(label);
    if (!picker || !picker->selection || picker->isDisabled) {
        return false;
    }
    const auto chosen = findNode(picker->children, option);
    if (!chosen || !chosen->action) {
        return false;
    }
    const auto action = chosen->action;
    action();
    return true;
}

bool ViewHost::tap(std::string_view label, int count) {
    const auto node = find(label);
    if (!node || node->tapCount != count || !node->tapAction) {
        return false;
    }
    const auto action = node->tapAction;
    action();
    return true;
}

void ViewHost::update() {
    std::set<std::string> dirty;
    {
        MutexLock lock(mutex_);
        dirty.swap(dirty_);
        scheduled_ = false;
    }
    // In key order an outer view comes before the views inside it, which it rebuilds.
    std::vector<std::string> rebuilt;
    for (const std::string& identity : dirty) {
        const bool insideRebuilt = std::any_of(
            rebuilt.begin(), rebuilt.end(), [&](const auto& r) { return isInside(identity, r); });
        const auto found = components_.find(identity);
        if (insideRebuilt || found == components_.end()) {
            continue;
        }
        rebuild(identity, found->second);
        rebuilt.push_back(identity);
    }
    runAfterUpdate();
    if (onUpdate_ && !rebuilt.empty()) {
        const auto onUpdate = onUpdate_;
        onUpdate();
    }
}

void ViewHost::rebuild(const std::string& identity, Component& component) {
    touched_.clear();
    evaluate(identity, component);
    dropUntouched(identity);
}

void ViewHost::setRootView(View root) {
    Component& component = components_.at(kRootIdentity);
    component.body = [root = std::move(root)](ViewContext&) { return root; };
    rebuild(kRootIdentity, component);
    runAfterUpdate();
    if (onUpdate_) {
        const auto onUpdate = onUpdate_;
        onUpdate();
    }
}

const EnvironmentValues& ViewHost::environment() const {
    return *components_.at(kRootIdentity).environment;
}

void ViewHost::changeEnvironment(const std::function<void(EnvironmentValues&)>& change) {
    Component& component = components_.at(kRootIdentity);
    auto changed = std::make_shared<EnvironmentValues>(*component.environment);
    change(*changed);
    const auto& old = *component.environment;
    // The actions cannot be compared; the values a view reads to look different can.
    if (changed->colorScheme == old.colorScheme && changed->isEnabled == old.isEnabled &&
        changed->controlActiveState == old.controlActiveState &&
        changed->scenePhase == old.scenePhase && changed->containerSize == old.containerSize) {
        component.environment = std::move(changed);
        return;
    }
    component.environment = std::move(changed);
    rebuild(kRootIdentity, component);
    runAfterUpdate();
    if (onUpdate_) {
        const auto onUpdate = onUpdate_;
        onUpdate();
    }
}

void ViewHost::evaluate(const std::string& identity, Component& component) {
    ++bodyEvaluations_;
    touched_.insert(identity);
    component.observed.clear();
    ViewContext context(*this, identity, identity, component.environment);
    Nodes children;
    // The observable properties read by the body (and by the views inside it) re-evaluate it.
    withObservationTracking(
        [&] {
            const View body = component.body(context);
            body.build(context, children);
        },
        invalidator(identity), component.tracking);
    component.node->children = std::move(children);

    std::vector<combine::AnyCancellable> subscriptions;
    for (const auto& object : component.observed) {
        subscriptions.push_back(object->objectWillChange().sink(
            [weak = weak_from_this(), identity](const combine::Void&) {
                if (auto host = weak.lock()) {
                    host->invalidate(identity);
                }
            }));
    }
    component.subscriptions = std::move(subscriptions);
}

void ViewHost::dropUntouched(const std::string& identity) {
    // Released after the maps are consistent: a released value may run code of its own.
    std::vector<std::shared_ptr<void>> releasedSlots;
    std::vector<Component> releasedComponents;
    for (auto it = slots_.begin(); it != slots_.end();) {
        if (isInside(it->first, identity) && !touched_.count(it->first)) {
            releasedSlots.push_back(std::move(it->second.value));
            it = slots_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = components_.begin(); it != components_.end();) {
        if (isInside(it->first, identity) && !touched_.count(it->first)) {
            releasedComponents.push_back(std::move(it->second));
            it = components_.erase(it);
        } else {
            ++it;
        }
    }
}

void ViewHost::runAfterUpdate() {
    const auto actions = std::exchange(afterUpdate_, {});
    for (const auto& action : actions) {
        action();
    }
}

std::shared_ptr<void> ViewHost::slot(const std::string& key, std::type_index type,
                                     const std::function<std::shared_ptr<void>()>& make) {
    touched_.insert(key);
    const auto found = slots_.find(key);
    if (found != slots_.end() && found->second.type == type) {
        return found->second.value;
    }
    auto value = make();
    slots_.insert_or_assign(key, Slot{type, value});
    return value;
}

void ViewHost::observe(const std::string& component,
                       std::shared_ptr<combine::ObservableObject> object) {
    const auto found = components_.find(component);
    if (found == components_.end()) {
        return;
    }
    auto& observed = found->second.observed;
    if (std::find(observed.begin(), observed.end(), object) == observed.end()) {
        observed.push_back(std::move(object));
    }
}

std::function<void()> ViewHost::invalidator(const std::string& component) {
    return [weak = weak_from_this(), component] {
        if (auto host = weak.lock()) {
            host->invalidate(component);
        }
    };
}

void ViewHost::keepBuilt(const std::string& path) {
    for (auto it = slots_.lower_bound(path); it != slots_.end() && it->first.starts_with(path);
         ++it) {
        if (it->first == path || isInside(it->first, path)) {
            touched_.insert(it->first);
        }
    }
    for (auto it = components_.lower_bound(path);
         it != components_.end() && it->first.starts_with(path); ++it) {
        if (it->first == path || isInside(it->first, path)) {
            touched_.insert(it->first);
        }
    }
}

void ViewHost::afterUpdate(std::function<void()> action) {
    afterUpdate_.push_back(std::move(action));
}

void ViewHost::buildComponent(const std::string& identity, std::function<View(ViewContext&)> body,
                              const std::shared_ptr<const EnvironmentValues>& environment,
                              Nodes& into) {
    Component& component = components_[identity];
    component.body = std::move(body);
    component.environment = environment;
    if (!component.node) {
        component.node = std::make_shared<Node>();
        component.node->identity = identity;
    }
    // The kept node is built anew: the modifiers around it are applied again after this.
    component.node->modifiers.clear();
    component.node->preferences.clear();
    evaluate(identity, component);
    into.push_back(component.node);
}

void ViewHost::invalidate(const std::string& component) {
    {
        MutexLock lock(mutex_);
        dirty_.insert(component);
        if (scheduled_) {
            return;
        }
        scheduled_ = true;
    }
    // Views update as the loop turns, also while a main-queue block waits on an alert.
    RunLoop::main().performBlock([weak = weak_from_this()] {
        if (auto host = weak.lock()) {
            host->update();
        }
    });
}

} // namespace zestrel::platform::swiftui
