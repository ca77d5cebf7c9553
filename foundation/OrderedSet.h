#pragma once

#include "platform/base/Error.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <unordered_set>
#include <vector>

namespace zestrel {

// A set that keeps its elements in the order they were first added. Membership and
// insertion are hash-set operations, positions are array positions; removing a given
// element searches the array.
template <class Element> class OrderedSet {
public:
    using Index = std::ptrdiff_t;
    using const_iterator = typename std::vector<Element>::const_iterator;
    using iterator = const_iterator;
    using value_type = Element;

    OrderedSet() = default;
    // Later duplicates are dropped: each element keeps the place of its first occurrence.
    explicit OrderedSet(const std::vector<Element>& elements) {
        for (const Element& element : elements) {
            append(element);
        }
    }
    OrderedSet(std::initializer_list<Element> literal) {
        for (const Element& element : literal) {
            append(element);
        }
    }

    // False, changing nothing, when the element is already there.
    bool append(const Element& element) {
        if (!set_.insert(element).second) {
            return false;
        }
        array_.push_back(element);
        return true;
    }

    bool contains(const Element& element) const { return set_.contains(element); }

    // The removed element, or nothing when it was not there.
    std::optional<Element> remove(const Element& element) {
        if (set_.erase(element) == 0) {
            return std::nullopt;
        }
        auto position = std::find(array_.begin(), array_.end(), element);
        Element removed = std::move(*position);
        array_.erase(position);
        return removed;
    }

    // Removing from an empty set is a programming error.
    Element removeFirst() {
        if (array_.empty()) {
            platform::fatal("Can't remove first element from an empty collection");
        }
        Element removed = std::move(array_.front());
        array_.erase(array_.begin());
        set_.erase(removed);
        return removed;
    }
    Element removeLast() {
        if (array_.empty()) {
            platform::fatal("Can't remove last element from an empty collection");
        }
        Element removed = std::move(array_.back());
        array_.pop_back();
        set_.erase(removed);
        return removed;
    }

    void removeAll(bool keepingCapacity = false) {
        if (keepingCapacity) {
            array_.clear();
            set_.clear();
        } else {
            array_ = {};
            set_ = {};
        }
    }

    Index startIndex() const { return 0; }
    Index endIndex() const { return count(); }
    Index count() const { return static_cast<Index>(array_.size()); }
    bool isEmpty() const { return array_.empty(); }
    const Element& operator[](Index position) const {
        if (position < 0 || position >= count()) {
            platform::fatal("Index out of range");
        }
        return array_[static_cast<std::size_t>(position)];
    }
    const_iterator begin() const { return array_.begin(); }
    const_iterator end() const { return array_.end(); }
    const std::vector<Element>& elements() const { return array_; }

    // Same elements in the same order.
    friend bool operator==(const OrderedSet& a, const OrderedSet& b) {
        return a.array_ == b.array_;
    }

private:
    std::vector<Element> array_;
    std::unordered_set<Element> set_;
};

} // namespace zestrel
