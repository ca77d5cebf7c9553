#include "foundation/LifetimeAssociation.h"

#include <algorithm>

namespace zestrel {

LifetimeAssociation::ObjectLifetimeTracker::~ObjectLifetimeTracker() {
    if (deinitHandler) {
        deinitHandler();
    }
}

const ObjectAssociation<LifetimeAssociation::Trackers>& LifetimeAssociation::associationKey() {
    static const ObjectAssociation<Trackers> key({}, AssociationPolicy::retainNonatomic);
    return key;
}

LifetimeAssociation::LifetimeAssociation(const std::shared_ptr<platform::NSObject>& owner,
                                         std::shared_ptr<void> object,
                                         std::function<void()> deinitHandler) {
    auto tracker =
        std::make_shared<ObjectLifetimeTracker>(std::move(object), std::move(deinitHandler));
    auto trackers = associationKey()[*owner];
    trackers.push_back(tracker);
    associationKey().setValue(std::move(trackers), *owner);
    wrappedObject_ = tracker;
    owner_ = owner;
}

LifetimeAssociation::~LifetimeAssociation() {
    detachFromOwner();
}

void LifetimeAssociation::cancel() {
    if (auto tracker = wrappedObject_.lock()) {
        tracker->deinitHandler = [] {};
        tracker->object.reset();
    }
    detachFromOwner();
}

void LifetimeAssociation::detachFromOwner() {
    auto owner = owner_.lock();
    auto tracker = wrappedObject_.lock();
    if (!owner || !tracker) {
        return;
    }
    auto trackers = associationKey()[*owner];
    const auto found = std::find(trackers.begin(), trackers.end(), tracker);
    if (found == trackers.end()) {
        return;
    }
    trackers.erase(found);
    associationKey().setValue(std::move(trackers), *owner);
    owner_.reset();
    // `tracker` is the last reference now: its handler runs as it goes.
}

} // namespace zestrel
