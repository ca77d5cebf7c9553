#pragma once

#include "platform/concurrency/AnyCancellable.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/concurrency/Publisher.h"
#include "platform/concurrency/Task.h"

#include <optional>
#include <utility>

namespace zestrel {

// Holds a task and cancels it when the holder goes away, so that work started for an
// object ends with it.
template <class T = void> class AutoCancelling {
public:
    AutoCancelling() = default;
    explicit AutoCancelling(platform::Task<T> task) : wrappedValue(std::move(task)) {}
    ~AutoCancelling() {
        if (wrappedValue) {
            wrappedValue->cancel();
        }
    }
    AutoCancelling(const AutoCancelling&) = delete;
    AutoCancelling& operator=(const AutoCancelling&) = delete;

    std::optional<platform::Task<T>> wrappedValue;
};

// A value that follows a publisher and tells its observers before each change. Its
// subscription ends with it.
template <class Value> class ObservableValue {
public:
    ObservableValue(Value initialValue, const platform::combine::AnyPublisher<Value>& source)
        : wrappedValue_(std::move(initialValue)) {
        cancellable_ = source.sink([this](const Value& value) {
            objectWillChange_.send();
            wrappedValue_ = value;
        });
    }
    ~ObservableValue() { cancellable_.reset(); }
    ObservableValue(const ObservableValue&) = delete;
    ObservableValue& operator=(const ObservableValue&) = delete;

    const platform::combine::ObservableObjectPublisher& objectWillChange() const {
        return objectWillChange_;
    }
    const Value& wrappedValue() const { return wrappedValue_; }

private:
    platform::combine::ObservableObjectPublisher objectWillChange_;
    std::optional<platform::combine::AnyCancellable> cancellable_;
    Value wrappedValue_;
};

// A published copy of an observed property: the will-change signal is the one the
// published value derives from its owner.
template <class Value> class KVOObservable : public platform::combine::ObservableObject {
public:
    KVOObservable(Value initialValue, const platform::combine::AnyPublisher<Value>& source)
        : value_(*this, std::move(initialValue)) {
        cancellable_ = source.sink([this](const Value& value) { value_.set(value); });
    }
    ~KVOObservable() override { cancellable_.reset(); }

    const Value& value() const { return value_.get(); }

private:
    std::optional<platform::combine::AnyCancellable> cancellable_;
    platform::combine::Published<Value> value_;
};

// The transform of the value, awaited, or nothing (without calling the transform) when
// there is no value. What the transform throws propagates.
template <class T, class Transform>
auto asyncMap(std::optional<T> value, Transform transform)
    -> platform::Task<std::optional<typename std::invoke_result_t<Transform&, T&>::Value>> {
    if (!value) {
        co_return std::nullopt;
    }
    auto operation = transform(*value);
    auto result = co_await operation;
    co_return std::optional(std::move(result));
}

} // namespace zestrel
