#pragma once

#include "platform/base/Value.h"

#include <concepts>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace zestrel {

namespace detail {

template <class T> bool sameObjects(const T& a, const T& b) {
    if constexpr (std::is_base_of_v<platform::NSObject, T>) {
        return a.isEqual(b);
    } else {
        return a == b;
    }
}

template <class T> std::size_t objectHash(const T& object) {
    if constexpr (std::is_base_of_v<platform::NSObject, T>) {
        return object.hash();
    } else {
        return std::hash<T>{}(object);
    }
}

} // namespace detail

// A weak reference to an object that never keeps it alive.
//
// Its equality and hash follow the object while it lives and become those of nothing once
// it is gone, so a box's hash changes when its object dies: never use a WeakBox as the key
// of a hashed (or ordered) container.
template <class Object> class WeakBox final {
public:
    explicit WeakBox(const std::shared_ptr<Object>& object) : object_(object) {}

    // The object, or nothing once it has been released.
    std::shared_ptr<Object> wrappedValue() const { return object_.lock(); }

    // Both gone: equal. One gone: unequal. Both there: the objects' own equality.
    friend bool operator==(const WeakBox& a, const WeakBox& b) {
        const auto left = a.wrappedValue();
        const auto right = b.wrappedValue();
        if (!left || !right) {
            return !left && !right;
        }
        return detail::sameObjects(*left, *right);
    }
    // Only two live objects can be in order.
    friend bool operator<(const WeakBox& a, const WeakBox& b) requires requires(const Object& x) {
        x < x;
    }
    {
        const auto left = a.wrappedValue();
        const auto right = b.wrappedValue();
        return left && right && *left < *right;
    }
    // The hash of the optional object: a released object hashes as nothing.
    std::size_t hash() const {
        const auto object = wrappedValue();
        return object ? detail::objectHash(*object) : 0;
    }
    // The object's identity, or nothing once it is gone.
    auto id() const requires requires(const Object& x) { x.id(); }
    {
        const auto object = wrappedValue();
        using Id = std::decay_t<decltype(object->id())>;
        return object ? std::optional<Id>(object->id()) : std::nullopt;
    }

private:
    std::weak_ptr<Object> object_;
};

// Weak references to objects, in order. Released objects leave a hole (nothing), never a
// gap: the count stays the number of objects given.
template <class Element> class WeakArray final {
public:
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::shared_ptr<Element>;
        using difference_type = std::ptrdiff_t;
        using reference = value_type;
        using pointer = void;

        Iterator() = default;
        Iterator(const WeakArray* array, std::size_t index) : array_(array), index_(index) {}
        value_type operator*() const { return (*array_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        Iterator operator++(int) {
            auto copy = *this;
            ++index_;
            return copy;
        }
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

    private:
        const WeakArray* array_ = nullptr;
        std::size_t index_ = 0;
    };

    WeakArray() = default;
    WeakArray(std::initializer_list<std::shared_ptr<Element>> elements)
        : WeakArray(std::vector<std::shared_ptr<Element>>(elements)) {}
    explicit WeakArray(const std::vector<std::shared_ptr<Element>>& elements) {
        storage.reserve(elements.size());
        for (const auto& element : elements) {
            storage.push_back(std::make_shared<WeakBox<Element>>(element));
        }
    }

    std::vector<std::shared_ptr<WeakBox<Element>>> storage;

    std::size_t count() const { return storage.size(); }
    std::size_t size() const { return storage.size(); }
    std::size_t startIndex() const { return 0; }
    std::size_t endIndex() const { return storage.size(); }
    std::size_t index(std::size_t after) const { return after + 1; }
    // The object at `position`, or nothing when it has been released.
    std::shared_ptr<Element> operator[](std::size_t position) const {
        return storage.at(position)->wrappedValue();
    }

    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, storage.size()); }
};

} // namespace zestrel
