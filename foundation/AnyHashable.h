#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace zestrel {

template <class T>
concept Hashable = std::equality_comparable<T> && requires(const T& value) {
    { std::hash<T>{}(value) } -> std::convertible_to<std::size_t>;
};

// Any hashable value behind one type: equal when both hold the same type and equal values
// (an `int` 1 never equals a `double` 1.0). Texts given as character literals are held as
// `std::string`.
class AnyHashable final {
public:
    template <class T>
    requires(Hashable<std::decay_t<T>> && !std::same_as<std::decay_t<T>, AnyHashable>)
        AnyHashable(T&& value) // NOLINT: converts like the platform's AnyHashable
        : box_(std::make_shared<const Box<std::decay_t<T>>>(std::forward<T>(value))) {}
    AnyHashable(const char* text) : AnyHashable(std::string(text)) {}

    std::size_t hashValue() const { return box_->hash(); }
    const std::type_info& type() const { return box_->type(); }
    // The value when it is a `T`.
    template <class T> const T* as() const {
        auto box = dynamic_cast<const Box<T>*>(box_.get());
        return box ? &box->value : nullptr;
    }

    // A member, not a friend: a friend would be found for any two objects whose types name
    // this one (iterators of its vectors) and tried through the converting constructor.
    bool operator==(const AnyHashable& other) const {
        return box_ == other.box_ || box_->equals(*other.box_);
    }

private:
    struct BoxBase {
        virtual ~BoxBase() = default;
        virtual bool equals(const BoxBase& other) const = 0;
        virtual std::size_t hash() const = 0;
        virtual const std::type_info& type() const = 0;
    };
    template <class T> struct Box final : BoxBase {
        explicit Box(T v) : value(std::move(v)) {}
        bool equals(const BoxBase& other) const override {
            auto same = dynamic_cast<const Box*>(&other);
            return same && same->value == value;
        }
        std::size_t hash() const override { return std::hash<T>{}(value); }
        const std::type_info& type() const override { return typeid(T); }
        T value;
    };

    std::shared_ptr<const BoxBase> box_;
};

} // namespace zestrel

template <> struct std::hash<zestrel::AnyHashable> {
    std::size_t operator()(const zestrel::AnyHashable& value) const { return value.hashValue(); }
};
