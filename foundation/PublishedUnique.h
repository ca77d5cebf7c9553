#pragma once

#include "platform/concurrency/ObservableObject.h"
#include "platform/concurrency/Subjects.h"

#include <concepts>
#include <functional>
#include <optional>
#include <utility>

namespace zestrel {

// A published property that announces a change only when the new value differs from the
// current one. Inside an observable object an assignment of a different value sends the
// owner's `objectWillChange` first, then the new value to subscribers of `projectedValue()`.
// Main-thread user-interface state: no lock of its own beyond the subject's.
template <std::equality_comparable Value> class PublishedUnique {
public:
    explicit PublishedUnique(Value wrappedValue) : storage(std::move(wrappedValue)) {}
    PublishedUnique(const platform::combine::ObservableObject& owner, Value wrappedValue)
        : storage(std::move(wrappedValue)), owner_(owner.objectWillChange()) {}
    PublishedUnique(const PublishedUnique&) = delete;
    PublishedUnique& operator=(const PublishedUnique&) = delete;

    Value get() const { return storage.value(); }

    void set(Value newValue) {
        if (newValue == storage.value()) {
            return;
        }
        if (owner_) {
            owner_->send();
        }
        storage.send(newValue);
    }
    PublishedUnique& operator=(Value newValue) {
        set(std::move(newValue));
        return *this;
    }
    // In-place change: a copy is changed, then assigned by the same rule.
    void modify(const std::function<void(Value&)>& change) {
        Value copy = storage.value();
        change(copy);
        set(std::move(copy));
    }

    // Subscribers get the current value at once, then every value that differs.
    platform::combine::AnyPublisher<Value> projectedValue() const {
        return storage.eraseToAnyPublisher();
    }

    const platform::combine::CurrentValueSubject<Value> storage;

private:
    std::optional<platform::combine::ObservableObjectPublisher> owner_;
};

} // namespace zestrel
