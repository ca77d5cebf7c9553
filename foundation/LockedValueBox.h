#pragma once

#include "foundation/UnfairLock.h"

#include <memory>
#include <type_traits>
#include <utility>

namespace zestrel {

// A value behind a lock. Copies share one storage, which goes with the last copy.
template <class Value> class LockedValueBox {
public:
    class Storage final {
    public:
        explicit Storage(Value value) : value(std::move(value)) {}

    private:
        friend class LockedValueBox;
        UnfairLock lock;
        Value value GUARDED_BY(lock);
    };

    explicit LockedValueBox(Value value) : storage(std::make_shared<Storage>(std::move(value))) {}

    Value value() const {
        UnfairLockGuard guard(storage->lock);
        return storage->value;
    }

    // Runs `operation` on the value in place, under the lock; it must not touch this box.
    template <class Operation>
    std::invoke_result_t<Operation&, Value&> withValue(Operation&& operation) {
        UnfairLockGuard guard(storage->lock);
        return operation(storage->value);
    }

    void setValue(Value newValue) {
        UnfairLockGuard guard(storage->lock);
        storage->value = std::move(newValue);
    }

private:
    std::shared_ptr<Storage> storage;
};

} // namespace zestrel
