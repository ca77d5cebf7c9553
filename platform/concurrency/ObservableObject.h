#pragma once

#include "platform/concurrency/Publisher.h"
#include "platform/concurrency/Subjects.h"

#include <functional>
#include <utility>

namespace zestrel::platform::combine {

// The standard will-change publisher of an observable object: a signal sent before each
// change. A handle; copies are the same publisher.
class ObservableObjectPublisher {
public:
    void send() const { subject_.send(Void{}); }
    void receive(const SubscriberPtr<Void, Never>& subscriber) const {
        subject_.receive(subscriber);
    }
    AnyPublisher<Void> eraseToAnyPublisher() const { return subject_.eraseToAnyPublisher(); }
    [[nodiscard]] AnyCancellable sink(std::function<void(const Void&)> receiveValue) const {
        return subject_.sink(std::move(receiveValue));
    }

private:
    PassthroughSubject<Void> subject_;
};

// An object whose views follow `objectWillChange`, which is sent before any of its
// published properties changes. A reference type: held by shared pointer, never copied.
class ObservableObject {
public:
    ObservableObject() = default;
    ObservableObject(const ObservableObject&) = delete;
    ObservableObject& operator=(const ObservableObject&) = delete;
    virtual ~ObservableObject() = default;

    const ObservableObjectPublisher& objectWillChange() const { return objectWillChange_; }

private:
    ObservableObjectPublisher objectWillChange_;
};

// `@Published`: a property that, on assignment, first sends its owner's `objectWillChange`,
// then publishes the new value to subscribers of `projectedValue()`, and only then stores
// it; subscribers reading the property from their closure still see the old value, as on
// the platform. A new subscriber gets the current value at once. Meant for one thread
// (the main thread), like the views that read it.
template <class Value> class Published {
public:
    explicit Published(Value initialValue)
        : value_(initialValue), subject_(std::move(initialValue)) {}
    Published(const ObservableObject& owner, Value initialValue)
        : owner_(owner.objectWillChange()), value_(initialValue),
          subject_(std::move(initialValue)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const Value& get() const { return value_; }
    operator const Value&() const { return value_; }

    void set(Value newValue) {
        if (owner_) {
            owner_->send();
        }
        subject_.send(newValue);
        value_ = std::move(newValue);
    }
    Published& operator=(Value newValue) {
        set(std::move(newValue));
        return *this;
    }
    // In-place change: a copy is changed and then assigned as a whole.
    void modify(const std::function<void(Value&)>& change) {
        Value copy = value_;
        change(copy);
        set(std::move(copy));
    }

    // `$property`.
    AnyPublisher<Value> projectedValue() const { return subject_.eraseToAnyPublisher(); }

private:
    std::optional<ObservableObjectPublisher> owner_;
    Value value_;
    CurrentValueSubject<Value> subject_;
};

} // namespace zestrel::platform::combine
