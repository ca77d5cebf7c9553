#pragma once

#include <iterator>
#include <optional>
#include <ranges>
#include <utility>

namespace zestrel {

// Each element of a sequence with the one before and the one after it: over 1, 2, 3 it
// yields (none, 1, 2), (1, 2, 3), (2, 3, none). The base is read once, in order, one element
// ahead of what has been yielded, so it may be a single-pass sequence.
template <std::ranges::input_range Base> class NeighborSequence {
public:
    using Element = std::ranges::range_value_t<Base>;

    struct Neighbors {
        std::optional<Element> previous;
        Element current;
        std::optional<Element> next;
        bool operator==(const Neighbors&) const = default;
    };

    class Iterator {
    public:
        Iterator() = default;
        // Ends at once over an empty base.
        Iterator(std::ranges::iterator_t<Base> position, std::ranges::sentinel_t<Base> end)
            : position_(std::move(position)), end_(std::move(end)) {
            lookAhead_ = read();
            step();
        }
        const Neighbors& operator*() const { return *yielded_; }
        const Neighbors* operator->() const { return &*yielded_; }
        Iterator& operator++() {
            previous_ = std::move(yielded_->current);
            step();
            return *this;
        }
        void operator++(int) { ++*this; }
        bool isAtEnd() const { return !yielded_; }

    private:
        std::optional<Element> read() {
            if (position_ == end_) {
                return std::nullopt;
            }
            std::optional<Element> element(*position_);
            ++position_;
            return element;
        }
        void step() {
            if (!lookAhead_) {
                yielded_.reset();
                return;
            }
            Element current = std::move(*lookAhead_);
            lookAhead_ = read();
            yielded_ = Neighbors{previous_, std::move(current), lookAhead_};
        }

        std::ranges::iterator_t<Base> position_{};
        std::ranges::sentinel_t<Base> end_{};
        std::optional<Element> previous_;
        std::optional<Element> lookAhead_;
        std::optional<Neighbors> yielded_;
    };

    struct Sentinel {
        friend bool operator==(const Iterator& it, Sentinel) { return it.isAtEnd(); }
    };

    explicit NeighborSequence(Base base) : base_(std::move(base)) {}

    Iterator begin() { return Iterator(std::ranges::begin(base_), std::ranges::end(base_)); }
    Sentinel end() { return {}; }

private:
    Base base_;
};

template <std::ranges::input_range Base> NeighborSequence<Base> neighbors(Base base) {
    return NeighborSequence<Base>(std::move(base));
}

} // namespace zestrel
