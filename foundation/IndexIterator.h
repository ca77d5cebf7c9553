#pragma once

#include <compare>
#include <cstddef>
#include <iterator>

namespace zestrel {

// A random-access iterator over a collection read by position: it holds the collection and an
// index, and makes each element on access with `Access{}(collection, index)`. Elements are
// made on access, but the legacy algorithms (std::prev, std::advance) need only the index
// arithmetic, so they are told the iterator is random access.
template <class Owner, class Element, class Access> class IndexIterator {
public:
    using iterator_concept = std::random_access_iterator_tag;
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Element;
    using reference = Element;
    using difference_type = std::ptrdiff_t;

    IndexIterator() = default;
    IndexIterator(const Owner* owner, difference_type index) : owner_(owner), index_(index) {}

    Element operator*() const { return Access{}(*owner_, index_); }
    Element operator[](difference_type offset) const { return Access{}(*owner_, index_ + offset); }
    IndexIterator& operator++() {
        ++index_;
        return *this;
    }
    IndexIterator operator++(int) {
        IndexIterator old = *this;
        ++index_;
        return old;
    }
    IndexIterator& operator--() {
        --index_;
        return *this;
    }
    IndexIterator operator--(int) {
        IndexIterator old = *this;
        --index_;
        return old;
    }
    IndexIterator& operator+=(difference_type offset) {
        index_ += offset;
        return *this;
    }
    IndexIterator& operator-=(difference_type offset) {
        index_ -= offset;
        return *this;
    }
    friend IndexIterator operator+(IndexIterator it, difference_type offset) {
        return it += offset;
    }
    friend IndexIterator operator+(difference_type offset, IndexIterator it) {
        return it += offset;
    }
    friend IndexIterator operator-(IndexIterator it, difference_type offset) {
        return it -= offset;
    }
    friend difference_type operator-(const IndexIterator& a, const IndexIterator& b) {
        return a.index_ - b.index_;
    }
    friend bool operator==(const IndexIterator& a, const IndexIterator& b) {
        return a.index_ == b.index_;
    }
    friend auto operator<=>(const IndexIterator& a, const IndexIterator& b) {
        return a.index_ <=> b.index_;
    }

private:
    const Owner* owner_ = nullptr;
    difference_type index_ = 0;
};

} // namespace zestrel
