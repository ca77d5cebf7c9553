#pragma once

#include "foundation/IndexIterator.h"

#include "foundation/CaseIterable.h"
#include "platform/base/Error.h"

#include <cstddef>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zestrel {

// A value for every case of an enumeration (or every case but a few), read and iterated in
// the order the cases are declared.
template <CaseIterable Key, class Value> class EnumCaseMap {
public:
    using Index = std::ptrdiff_t;

    struct Element {
        Key key;
        Value value;
        bool operator==(const Element&) const = default;
    };

    struct ElementAt {
        Element operator()(const EnumCaseMap& map, Index index) const { return map.at(index); }
    };
    using Iterator = IndexIterator<EnumCaseMap, Element, ElementAt>;

    // Every case not in `excluding`, in declaration order; `values` must hold a value for
    // each of them.
    explicit EnumCaseMap(std::unordered_map<Key, Value> values,
                         const std::vector<Key>& excluding = {})
        : storage_(std::move(values)) {
        const std::unordered_set<Key> left(excluding.begin(), excluding.end());
        for (const Key& key : allCases<Key>()) {
            if (!left.contains(key)) {
                cases_.push_back(key);
            }
        }
    }

    // A key without a value is a programming error, for reading and writing alike.
    const Value& operator[](const Key& key) const { return valueOf(key); }
    Value& operator[](const Key& key) { return const_cast<Value&>(valueOf(key)); }

    // In the dictionary's own order, not the cases'.
    std::vector<Value> values() const {
        std::vector<Value> result;
        for (const auto& entry : storage_) {
            result.push_back(entry.second);
        }
        return result;
    }

    Index startIndex() const { return 0; }
    Index endIndex() const { return count(); }
    Index count() const { return static_cast<Index>(cases_.size()); }
    Element at(Index position) const {
        if (position < 0 || position >= count()) {
            platform::fatal("Index out of range");
        }
        const Key& key = cases_[static_cast<std::size_t>(position)];
        return Element{key, valueOf(key)};
    }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, count()); }
    const std::vector<Key>& cases() const { return cases_; }

private:
    const Value& valueOf(const Key& key) const {
        auto found = storage_.find(key);
        if (found == storage_.end()) {
            platform::fatal("EnumCaseMap: a key has no value");
        }
        return found->second;
    }

    std::vector<Key> cases_;
    std::unordered_map<Key, Value> storage_;
};

} // namespace zestrel
