#pragma once

#include "platform/base/AssociatedObjects.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

namespace zestrel {

// How the runtime holds an associated value.
enum class AssociationPolicy : std::uintptr_t {
    assign = platform::OBJC_ASSOCIATION_ASSIGN,
    retainNonatomic = platform::OBJC_ASSOCIATION_RETAIN_NONATOMIC,
    copyNonatomic = platform::OBJC_ASSOCIATION_COPY_NONATOMIC,
    retain = platform::OBJC_ASSOCIATION_RETAIN,
    copy = platform::OBJC_ASSOCIATION_COPY,
};

namespace detail {

template <class T> struct IsObjectPointer : std::false_type {};
template <class U>
struct IsObjectPointer<std::shared_ptr<U>>
    : std::bool_constant<std::is_base_of_v<platform::NSObject, U>> {};

// A value that is not an object, boxed so the runtime can hold it.
template <class T>
class AssociatedValueBox final : public platform::NSObject, public platform::NSCopying {
public:
    explicit AssociatedValueBox(T value) : value(std::move(value)) {}
    std::shared_ptr<platform::NSObject> copy() const override {
        return std::make_shared<AssociatedValueBox>(value);
    }
    const T value;
};

} // namespace detail

// A typed value attached to any platform object. The association's own address is the key,
// so two associations never share values and one serves any number of objects; it must
// therefore stay where it was made (not copyable, not movable). Objects (shared pointers to
// NSObject types) are stored as they are, other values boxed. A read answers the default
// when nothing of the right type is attached. Reading and writing the same object from
// several threads is safe; a read-change-write is not atomic.
template <class T> class ObjectAssociation {
public:
    explicit ObjectAssociation(T defaultValue,
                               AssociationPolicy policy = AssociationPolicy::retainNonatomic)
        : defaultValue_(std::move(defaultValue)), policy_(policy) {}
    ObjectAssociation(const ObjectAssociation&) = delete;
    ObjectAssociation& operator=(const ObjectAssociation&) = delete;

    const T& defaultValue() const { return defaultValue_; }
    AssociationPolicy policy() const { return policy_; }

    // `subscript(_:)` get.
    T operator[](const platform::NSObject& object) const {
        auto stored = platform::objc_getAssociatedObject(object, this);
        if constexpr (detail::IsObjectPointer<T>::value) {
            if (auto typed = std::dynamic_pointer_cast<typename T::element_type>(stored)) {
                return typed;
            }
        } else if (auto* box = dynamic_cast<const detail::AssociatedValueBox<T>*>(stored.get())) {
            return box->value;
        }
        return defaultValue_;
    }

    // `subscript(_:)` set and `setValue(_:for:)`: replaces (and releases) the earlier value.
    void setValue(T value, const platform::NSObject& object) const {
        std::shared_ptr<platform::NSObject> stored;
        if constexpr (detail::IsObjectPointer<T>::value) {
            stored = std::move(value);
        } else {
            stored = std::make_shared<detail::AssociatedValueBox<T>>(std::move(value));
        }
        platform::objc_setAssociatedObject(object, this, std::move(stored),
                                           static_cast<platform::objc_AssociationPolicy>(policy_));
    }

private:
    const T defaultValue_;
    const AssociationPolicy policy_;
};

} // namespace zestrel
