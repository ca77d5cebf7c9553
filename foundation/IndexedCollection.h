#pragma once

#include <compare>
#include <cstddef>
#include <iterator>
#include <ranges>
#include <type_traits>
#include <utility>

namespace zestrel {

// A view of a collection whose elements come paired with their positions: (0, first),
// (1, second), ... It moves as the collection does: forward, both ways, or by jumps, and is
// a random-access range exactly when the collection is one.
template <std::ranges::forward_range Base> class IndexedCollection {
public:
    using BaseIterator = std::ranges::iterator_t<const Base>;
    using Element = std::pair<std::ptrdiff_t, std::ranges::range_reference_t<const Base>>;

    class Iterator {
        static constexpr bool RandomAccess = std::random_access_iterator<BaseIterator>;

    public:
        using iterator_concept = std::conditional_t<
            std::random_access_iterator<BaseIterator>, std::random_access_iterator_tag,
            std::conditional_t<std::bidirectional_iterator<BaseIterator>,
                               std::bidirectional_iterator_tag, std::forward_iterator_tag>>;
        // The legacy algorithms (std::prev) step back only when told they may.
        using iterator_category = iterator_concept;
        using value_type = Element;
        using reference = Element;
        using difference_type = std::ptrdiff_t;

        Iterator() = default;
        Iterator(BaseIterator position, std::ptrdiff_t index)
            : position_(position), index_(index) {}
        Element operator*() const { return Element(index_, *position_); }
        Iterator& operator++() {
            ++position_;
            ++index_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        Iterator& operator--() requires std::bidirectional_iterator<BaseIterator> {
            --position_;
            --index_;
            return *this;
        }
        Iterator operator--(int) requires std::bidirectional_iterator<BaseIterator> {
            Iterator old = *this;
            --*this;
            return old;
        }
        Iterator& operator+=(difference_type offset) requires RandomAccess {
            position_ += offset;
            index_ += offset;
            return *this;
        }
        Iterator& operator-=(difference_type offset) requires RandomAccess {
            return *this += -offset;
        }
        Element operator[](difference_type offset) const requires RandomAccess {
            return *(*this + offset);
        }
        friend Iterator operator+(Iterator it, difference_type offset) requires RandomAccess {
            return it += offset;
        }
        friend Iterator operator+(difference_type offset, Iterator it) requires RandomAccess {
            return it += offset;
        }
        friend Iterator operator-(Iterator it, difference_type offset) requires RandomAccess {
            return it -= offset;
        }
        friend difference_type operator-(const Iterator& a,
                                         const Iterator& b) requires RandomAccess {
            return a.index_ - b.index_;
        }
        friend auto operator<=>(const Iterator& a, const Iterator& b) requires RandomAccess {
            return a.index_ <=> b.index_;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) {
            return a.position_ == b.position_;
        }

    private:
        BaseIterator position_{};
        std::ptrdiff_t index_ = 0;
    };

    explicit IndexedCollection(Base base) : base_(std::move(base)) {}

    Iterator begin() const { return Iterator(std::ranges::begin(base_), 0); }
    Iterator end() const {
        return Iterator(std::ranges::end(base_),
                        static_cast<std::ptrdiff_t>(std::ranges::distance(base_)));
    }
    std::ptrdiff_t count() const {
        return static_cast<std::ptrdiff_t>(std::ranges::distance(base_));
    }
    const Base& base() const { return base_; }

private:
    Base base_;
};

template <std::ranges::forward_range Base> IndexedCollection<Base> indexed(Base base) {
    return IndexedCollection<Base>(std::move(base));
}

} // namespace zestrel
