#pragma once

#include "foundation/ReadersWriterLock.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace zestrel {

// A hash dictionary that any thread may read and change. Iteration goes over a snapshot
// taken at one moment, in the dictionary's own order.
template <class Key, class Value, class Hash = std::hash<Key>> class AtomicDictionary final {
public:
    using Storage = std::unordered_map<Key, Value, Hash>;

    AtomicDictionary() = default;
    AtomicDictionary(const AtomicDictionary&) = delete;
    AtomicDictionary& operator=(const AtomicDictionary&) = delete;

    const ReadersWriterLock& lock() const { return lock_; }

    std::optional<Value> operator[](const Key& key) const { return value(key); }
    std::optional<Value> value(const Key& key) const {
        return lock_.read([&]() -> std::optional<Value> {
            auto found = storage_.find(key);
            if (found == storage_.end()) {
                return std::nullopt;
            }
            return found->second;
        });
    }

    // Stores `value` under `key`, replacing an older one; nothing removes the key.
    void set(const Key& key, std::optional<Value> value) {
        lock_.write([&] {
            if (value) {
                storage_.insert_or_assign(key, std::move(*value));
            } else {
                storage_.erase(key);
            }
        });
    }
    void removeValue(const Key& key) { set(key, std::nullopt); }

    // Stores every entry of `other` in one step; its values replace older ones.
    template <class Map> void merge(const Map& other) {
        lock_.write([&] {
            for (const auto& [key, value] : other) {
                storage_.insert_or_assign(Key(key), Value(value));
            }
        });
    }

    Storage snapshot() const {
        return lock_.read([this] { return storage_; });
    }
    std::size_t count() const {
        return lock_.read([this] { return storage_.size(); });
    }

    // "[k: v, ...]", or "[:]" when empty, with keys and values as the platform reflects them.
    std::string debugDescription() const {
        return lock_.read([this] {
            if (storage_.empty()) {
                return std::string("[:]");
            }
            std::string text = "[";
            bool first = true;
            for (const auto& [key, value] : storage_) {
                if (!first) {
                    text += ", ";
                }
                first = false;
                text += detail::debugText(key) + ": " + detail::debugText(value);
            }
            return text + "]";
        });
    }

private:
    ReadersWriterLock lock_{"com.Quorvik.AtomicDictionary"};
    Storage storage_;
};

} // namespace zestrel
