#include "platform/base/AssociatedObjects.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"

#include <fmt/format.h>

#include <optional>
#include <unordered_map>
#include <vector>

namespace zestrel::platform {

namespace detail {

struct AssociationAccess {
    static AssociationSlot& slot(const NSObject& object) { return object.associations_; }
};

} // namespace detail

namespace {

struct Association {
    std::shared_ptr<NSObject> strong;
    std::weak_ptr<NSObject> weak; // the assign policy

    std::shared_ptr<NSObject> load() const { return strong ? strong : weak.lock(); }
};

using AssociationTable = std::unordered_map<const void*, Association>;

// One lock for every object's table, as the platform's runtime has.
Mutex& runtimeMutex() {
    static auto* mutex = new Mutex; // deliberately leaked: used by destructors at exit
    return *mutex;
}

AssociationTable* tableOf(const NSObject& object, bool create) REQUIRES(runtimeMutex()) {
    auto& slot = detail::AssociationAccess::slot(object);
    if (!slot.table && create) {
        slot.table = std::make_shared<AssociationTable>();
    }
    return static_cast<AssociationTable*>(slot.table.get());
}

Association makeAssociation(std::shared_ptr<NSObject> value, objc_AssociationPolicy policy) {
    switch (policy) {
    case OBJC_ASSOCIATION_ASSIGN:
        return Association{nullptr, value};
    case OBJC_ASSOCIATION_RETAIN_NONATOMIC:
    case OBJC_ASSOCIATION_RETAIN:
        return Association{std::move(value), {}};
    case OBJC_ASSOCIATION_COPY_NONATOMIC:
    case OBJC_ASSOCIATION_COPY: {
        const auto* copying = dynamic_cast<const NSCopying*>(value.get());
        if (!copying) {
            fatal(fmt::format("-[{} copyWithZone:]: unrecognized selector sent to instance",
                              value->className()));
        }
        return Association{copying->copy(), {}};
    }
    }
    fatal(fmt::format("objc_setAssociatedObject: unknown association policy {}",
                      static_cast<std::uintptr_t>(policy)));
}

} // namespace

void objc_setAssociatedObject(const NSObject& object, const void* key,
                              std::shared_ptr<NSObject> value, objc_AssociationPolicy policy) {
    // Made (copied) before the lock: a copy runs code of the value's own.
    std::optional<Association> association;
    if (value) {
        association = makeAssociation(std::move(value), policy);
    }
    Association released;
    MutexLock lock(runtimeMutex());
    auto* table = tableOf(object, association.has_value());
    if (!table) {
        return;
    }
    auto found = table->find(key);
    if (found != table->end()) {
        released = std::move(found->second);
        if (association) {
            found->second = std::move(*association);
        } else {
            table->erase(found);
        }
    } else if (association) {
        table->emplace(key, std::move(*association));
    }
}

std::shared_ptr<NSObject> objc_getAssociatedObject(const NSObject& object, const void* key) {
    MutexLock lock(runtimeMutex());
    const auto* table = tableOf(object, false);
    if (!table) {
        return nullptr;
    }
    const auto found = table->find(key);
    return found == table->end() ? nullptr : found->second.load();
}

void objc_removeAssociatedObjects(const NSObject& object) {
    AssociationTable released;
    MutexLock lock(runtimeMutex());
    if (auto* table = tableOf(object, false)) {
        released.swap(*table);
    }
}

} // namespace zestrel::platform
