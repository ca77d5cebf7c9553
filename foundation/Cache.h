#pragma once

#include "platform/base/NSCache.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zestrel {

// A typed cache over `NSCache`: keys and values are wrapped in objects, a key matching
// another only when both hold equal keys.
template <class Key, class Value> class Cache {
public:
    std::optional<Value> value(const Key& key) const {
        const auto object = cache_->objectForKey(std::make_shared<WrappedKey>(key));
        if (const auto wrapped = std::dynamic_pointer_cast<WrappedValue>(object)) {
            return wrapped->value;
        }
        return std::nullopt;
    }
    void insert(Value value, const Key& key) {
        cache_->setObject(std::make_shared<WrappedValue>(std::move(value)),
                          std::make_shared<WrappedKey>(key));
    }
    void removeValue(const Key& key) {
        cache_->removeObjectForKey(std::make_shared<WrappedKey>(key));
    }
    // Subscript write: no value removes the entry.
    void set(const Key& key, std::optional<Value> value) {
        if (value) {
            insert(std::move(*value), key);
        } else {
            removeValue(key);
        }
    }
    void removeAll() { cache_->removeAllObjects(); }

private:
    struct WrappedKey final : platform::NSObject {
        explicit WrappedKey(Key k) : key(std::move(k)) {}
        std::string className() const override { return "WrappedKey"; }
        std::size_t hash() const override { return std::hash<Key>{}(key); }
        bool isEqual(const platform::NSObject& other) const override {
            const auto* wrapped = dynamic_cast<const WrappedKey*>(&other);
            return wrapped != nullptr && wrapped->key == key;
        }
        Key key;
    };
    struct WrappedValue final : platform::NSObject {
        explicit WrappedValue(Value v) : value(std::move(v)) {}
        std::string className() const override { return "WrappedValue"; }
        Value value;
    };

    std::shared_ptr<platform::NSCache> cache_ = std::make_shared<platform::NSCache>();
};

} // namespace zestrel
