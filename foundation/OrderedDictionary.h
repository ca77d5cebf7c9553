#pragma once

#include "foundation/IndexIterator.h"

#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/data/Coding.h"

#include <algorithm>
#include <compare>
#include <concepts>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <ranges>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zestrel {

namespace detail {

// How a key or value is written in an ordered dictionary's description: texts in
// double quotation marks (as they are, no escaping), everything else as printing shows it.
template <class T> std::string orderedDictionaryElementText(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return "\"" + std::string(std::string_view(value)) + "\"";
    } else if constexpr (std::is_same_v<T, platform::Value>) {
        if (const std::string* text = value.asString()) {
            return "\"" + *text + "\"";
        }
        return value.describe();
    } else if constexpr (std::is_same_v<T, bool>) {
        return value ? "true" : "false";
    } else if constexpr (std::is_integral_v<T>) {
        return std::to_string(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return platform::describeDouble(value);
    } else if constexpr (requires { value.description(); }) {
        return value.description();
    } else {
        return value.describe();
    }
}

} // namespace detail

// A dictionary that remembers the order in which its keys were first added. It reads as
// a random-access collection of key-value pairs in that order and as a keyed dictionary,
// and is stored as one flat list: key, value, key, value.
template <class Key, class Value> class OrderedDictionary {
public:
    using Index = std::ptrdiff_t;

    struct Element {
        Key key;
        Value value;
        bool operator==(const Element&) const = default;
    };

    struct ElementAt {
        Element operator()(const OrderedDictionary& dictionary, Index index) const {
            return dictionary[index];
        }
    };
    using Iterator = IndexIterator<OrderedDictionary, Element, ElementAt>;

    OrderedDictionary() = default;

    // A literal: the keys in written order. Naming a key twice is a programming error.
    OrderedDictionary(std::initializer_list<std::pair<Key, Value>> literal) {
        orderedKeys_.reserve(literal.size());
        for (const auto& [key, value] : literal) {
            if (!valuesDictionary_.emplace(key, value).second) {
                platform::fatal("Dictionary literal contains duplicate keys");
            }
            orderedKeys_.push_back(key);
        }
    }

    // A repeated key keeps the position of its first occurrence and the value of its last.
    explicit OrderedDictionary(const std::vector<std::pair<Key, Value>>& pairs) {
        for (const auto& [key, value] : pairs) {
            set(key, value);
        }
    }

    // Any sequence of key-value pairs (a list, a plain dictionary, another ordered one) read
    // like the list above: the first occurrence of a key fixes its position, a later value
    // for the same key replaces the earlier one in place.
    template <std::ranges::input_range Pairs> static OrderedDictionary mergingPairs(Pairs&& pairs) {
        OrderedDictionary result;
        for (auto&& [key, value] : pairs) {
            result.set(key, value);
        }
        return result;
    }

    // From a plain dictionary, in that dictionary's own iteration order.
    template <class Map>
    requires requires(const Map& map) {
        typename Map::mapped_type;
        { map.begin()->first } -> std::convertible_to<const Key&>;
        { map.begin()->second } -> std::convertible_to<const Value&>;
    }
    explicit OrderedDictionary(const Map& map) {
        for (const auto& [key, value] : map) {
            set(key, value);
        }
    }

    const std::vector<Key>& orderedKeys() const { return orderedKeys_; }
    const std::unordered_map<Key, Value>& valuesDictionary() const { return valuesDictionary_; }

    // MARK: Keyed access

    std::optional<Value> get(const Key& key) const {
        auto found = valuesDictionary_.find(key);
        if (found == valuesDictionary_.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    bool contains(const Key& key) const { return valuesDictionary_.contains(key); }

    // A new key goes to the end; an existing key keeps its position. Nothing removes the key
    // (a linear search for its position).
    void set(const Key& key, std::optional<Value> value) {
        if (!value) {
            auto position = std::find(orderedKeys_.begin(), orderedKeys_.end(), key);
            if (position != orderedKeys_.end()) {
                orderedKeys_.erase(position);
            }
            valuesDictionary_.erase(key);
            return;
        }
        auto found = valuesDictionary_.find(key);
        if (found == valuesDictionary_.end()) {
            orderedKeys_.push_back(key);
            valuesDictionary_.emplace(key, std::move(*value));
        } else {
            found->second = std::move(*value);
        }
    }

    // Each pair of `other` in its order, written through `set`: the other's values win.
    void merge(const OrderedDictionary& other) {
        for (const Key& key : other.orderedKeys_) {
            set(key, other.valueOf(key));
        }
    }

    // MARK: Collection

    Index startIndex() const { return 0; }
    Index endIndex() const { return count(); }
    Index count() const { return static_cast<Index>(orderedKeys_.size()); }
    bool isEmpty() const { return orderedKeys_.empty(); }

    Element operator[](Index position) const {
        if (position < 0 || position >= count()) {
            platform::fatal("Index out of range");
        }
        const Key& key = orderedKeys_[static_cast<std::size_t>(position)];
        return Element{key, valueOf(key)};
    }

    // The keys of positions [lower, upper) in their order, with their values.
    OrderedDictionary slice(Index lower, Index upper) const {
        if (lower < 0 || lower > upper || upper > count()) {
            platform::fatal("Range out of bounds");
        }
        OrderedDictionary result;
        for (Index position = lower; position < upper; ++position) {
            const Key& key = orderedKeys_[static_cast<std::size_t>(position)];
            result.orderedKeys_.push_back(key);
            result.valuesDictionary_.emplace(key, valueOf(key));
        }
        return result;
    }

    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, count()); }

    // MARK: Description, equality, coding

    // `["a": 1, "b": true]`, or "[:]" when empty.
    std::string description() const {
        if (isEmpty()) {
            return "[:]";
        }
        std::string text = "[";
        for (const Key& key : orderedKeys_) {
            if (text.size() > 1) {
                text += ", ";
            }
            text += detail::orderedDictionaryElementText(key) + ": " +
                    detail::orderedDictionaryElementText(valueOf(key));
        }
        return text + "]";
    }

    // Same keys in the same order, and the same values.
    friend bool operator==(const OrderedDictionary& a,
                           const OrderedDictionary& b) requires std::equality_comparable<Value> {
        return a.orderedKeys_ == b.orderedKeys_ && a.valuesDictionary_ == b.valuesDictionary_;
    }

    static std::string codingTypeName() {
        return "OrderedDictionary<" + platform::codingTypeName<Key>() + ", " +
               platform::codingTypeName<Value>() + ">";
    }

    // One unkeyed container: key, value, key, value.
    void encode(platform::Encoder& encoder)
        const requires platform::Encodable<Key> && platform::Encodable<Value> {
        auto container = encoder.unkeyedContainer();
        for (const Key& key : orderedKeys_) {
            auto found = valuesDictionary_.find(key);
            if (found == valuesDictionary_.end()) {
                continue;
            }
            container.encode(key);
            container.encode(found->second);
        }
    }

    static OrderedDictionary decode(const platform::Decoder& decoder) requires
        platform::Decodable<Key> && platform::Decodable<Value> {
        OrderedDictionary result;
        auto container = decoder.unkeyedContainer();
        while (!container.isAtEnd()) {
            Key key = container.template decode<Key>();
            // Found before the value is read, so a repeated last key is caught too.
            if (result.contains(key)) {
                throw platform::DecodingError::dataCorrupted(
                    {container.codingPath(), "Duplicate key found.", std::nullopt});
            }
            if (container.isAtEnd()) {
                throw platform::DecodingError::dataCorrupted(
                    {container.codingPath(),
                     "Expected value after key, but reached end of container.", std::nullopt});
            }
            result.set(key, container.template decode<Value>());
        }
        return result;
    }

private:
    // Every listed key has a value; a missing one means the invariant is broken.
    const Value& valueOf(const Key& key) const {
        auto found = valuesDictionary_.find(key);
        if (found == valuesDictionary_.end()) {
            platform::fatal("OrderedDictionary: a listed key has no value");
        }
        return found->second;
    }

    std::vector<Key> orderedKeys_;
    std::unordered_map<Key, Value> valuesDictionary_;
};

} // namespace zestrel

// Order-sensitive over the keys, order-independent over the pairs, as equality is.
template <class Key, class Value>
requires requires(const Key& k, const Value& v) {
    std::hash<Key>{}(k);
    std::hash<Value>{}(v);
}
struct std::hash<zestrel::OrderedDictionary<Key, Value>> {
    std::size_t operator()(const zestrel::OrderedDictionary<Key, Value>& dictionary) const {
        std::size_t keys = 0;
        for (const Key& key : dictionary.orderedKeys()) {
            keys = keys * 1099511628211ULL ^ std::hash<Key>{}(key);
        }
        std::size_t pairs = 0;
        for (const auto& [key, value] : dictionary.valuesDictionary()) {
            pairs += std::hash<Key>{}(key)*31 + std::hash<Value>{}(value);
        }
        return keys ^ (pairs * 0x9E3779B97F4A7C15ULL);
    }
};
