#pragma once

#include "foundation/AnyHashable.h"

#include <cstddef>
#include <functional>
#include <typeindex>
#include <utility>
#include <vector>

namespace zestrel {

// A list of hashable values of any types whose hash is computed once, so that it can key
// a table that is hashed often.
class AggregateHashable final {
public:
    explicit AggregateHashable(std::vector<AnyHashable> elements)
        : elements_(std::move(elements)), cachedHashValue_(hashOf(elements_)) {}

    const std::vector<AnyHashable>& elements() const { return elements_; }
    std::size_t cachedHashValue() const { return cachedHashValue_; }

    // By the elements, in order; the cached hash is not compared.
    friend bool operator==(const AggregateHashable& a, const AggregateHashable& b) {
        return a.elements_ == b.elements_;
    }

private:
    static std::size_t hashOf(const std::vector<AnyHashable>& elements) {
        std::size_t combined = elements.size();
        for (const AnyHashable& element : elements) {
            combined ^=
                element.hashValue() + 0x9e3779b97f4a7c15ULL + (combined << 6) + (combined >> 2);
        }
        return combined;
    }

    std::vector<AnyHashable> elements_;
    std::size_t cachedHashValue_;
};

// The identity of a type, usable as a key.
class HashableType final {
public:
    explicit HashableType(const std::type_info& base) : base_(base) {}
    template <class T> static HashableType of() { return HashableType(typeid(T)); }

    std::type_index base() const { return base_; }
    friend bool operator==(const HashableType&, const HashableType&) = default;

private:
    std::type_index base_;
};

} // namespace zestrel

template <> struct std::hash<zestrel::AggregateHashable> {
    std::size_t operator()(const zestrel::AggregateHashable& value) const {
        return value.cachedHashValue();
    }
};

template <> struct std::hash<zestrel::HashableType> {
    std::size_t operator()(const zestrel::HashableType& value) const {
        return std::hash<std::type_index>{}(value.base());
    }
};
