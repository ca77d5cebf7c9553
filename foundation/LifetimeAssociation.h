#pragma once

#include "foundation/ObjectAssociation.h"
#include "platform/base/Value.h"

#include <functional>
#include <memory>
#include <vector>

namespace zestrel {

// Ties an object and a handler to an owner's lifetime: the owner keeps a tracker (through
// an associated array), the tracker keeps the object, and the handler runs when the tracker
// is released, that is when the owner goes away or this association is released first.
// cancel() disarms it. Used on one thread (the main thread): the owner's tracker array is
// read, changed and written back without a lock around the whole.
class LifetimeAssociation final {
public:
    class ObjectLifetimeTracker final {
    public:
        ObjectLifetimeTracker(std::shared_ptr<void> object, std::function<void()> deinitHandler)
            : object(std::move(object)), deinitHandler(std::move(deinitHandler)) {}
        ObjectLifetimeTracker(const ObjectLifetimeTracker&) = delete;
        ObjectLifetimeTracker& operator=(const ObjectLifetimeTracker&) = delete;
        // Runs the handler, then lets go of the object and the handler.
        ~ObjectLifetimeTracker();

        std::shared_ptr<void> object;
        std::function<void()> deinitHandler;
    };

    using Trackers = std::vector<std::shared_ptr<ObjectLifetimeTracker>>;

    LifetimeAssociation(const std::shared_ptr<platform::NSObject>& owner,
                        std::shared_ptr<void> object, std::function<void()> deinitHandler);
    // Takes the tracker off the owner; unless cancelled, its handler runs now.
    ~LifetimeAssociation();
    LifetimeAssociation(const LifetimeAssociation&) = delete;
    LifetimeAssociation& operator=(const LifetimeAssociation&) = delete;

    // Disarms the handler, lets go of the object and takes the tracker off the owner.
    // Harmless when repeated.
    void cancel();

    // The one association through which every owner holds its trackers.
    static const ObjectAssociation<Trackers>& associationKey();

private:
    void detachFromOwner();

    std::weak_ptr<ObjectLifetimeTracker> wrappedObject_;
    std::weak_ptr<platform::NSObject> owner_;
};

} // namespace zestrel
