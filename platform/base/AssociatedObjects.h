#pragma once

#include "platform/base/Value.h"

#include <cstdint>
#include <memory>

namespace zestrel::platform {

// How the runtime holds an associated object, with the runtime's values.
enum objc_AssociationPolicy : std::uintptr_t {
    OBJC_ASSOCIATION_ASSIGN = 0,           // not kept: reads nothing once the value is gone
    OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1, // kept
    OBJC_ASSOCIATION_COPY_NONATOMIC = 3,   // a copy is kept
    OBJC_ASSOCIATION_RETAIN = 01401,
    OBJC_ASSOCIATION_COPY = 01403,
};

// An object that can make an independent copy of itself, as the copy policies need.
class NSCopying {
public:
    virtual ~NSCopying() = default;
    virtual std::shared_ptr<NSObject> copy() const = 0;
};

// Associated objects: values attached to any object under a key (any address), released
// with the object. Setting nothing removes the association; setting a value replaces and
// releases the earlier one. Values are released outside the runtime's lock, so a value's
// destructor may use associations itself. Every store and load is atomic, whatever the
// policy asks.
//
// An assigned value is held weakly: the platform would keep a dangling pointer, which
// nothing may read; here a read after the value is gone answers nothing. A copy policy
// with a value that cannot be copied (not NSCopying) stops the process, as the platform's
// unrecognized-selector exception does; so does an unknown policy.
void objc_setAssociatedObject(const NSObject& object, const void* key,
                              std::shared_ptr<NSObject> value, objc_AssociationPolicy policy);
std::shared_ptr<NSObject> objc_getAssociatedObject(const NSObject& object, const void* key);
// Releases every association of the object.
void objc_removeAssociatedObjects(const NSObject& object);

} // namespace zestrel::platform
