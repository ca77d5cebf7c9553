#pragma once

#include "platform/concurrency/Task.h"

#include <functional>
#include <optional>
#include <utility>

namespace zestrel {

// Drops each element the predicate finds a duplicate of its immediate predecessor in the
// base (also when that predecessor was itself dropped). The sequence is its own iterator;
// `makeAsyncIterator()` starts a fresh, independent one.
template <class Base> class RemoveDuplicatesAsyncSequence {
public:
    using Element = typename Base::Element;
    using Predicate = std::function<bool(const Element&, const Element&)>;

    RemoveDuplicatesAsyncSequence(Base base, Predicate predicate)
        : base_(std::move(base)), predicate_(std::move(predicate)),
          iterator_(base_.makeAsyncIterator()) {}

    RemoveDuplicatesAsyncSequence makeAsyncIterator() const {
        return RemoveDuplicatesAsyncSequence(base_, predicate_);
    }

    // A loop, not a recursion: a long run of duplicates does not deepen the stack.
    platform::Task<std::optional<Element>> next() {
        for (;;) {
            std::optional<Element> previous = std::exchange(previousElement_, std::nullopt);
            std::optional<Element> element = co_await iterator_.next();
            previousElement_ = element;
            if (previous && element && predicate_(*previous, *element)) {
                continue;
            }
            co_return element;
        }
    }

private:
    using BaseIterator = decltype(std::declval<const Base&>().makeAsyncIterator());

    Base base_;
    Predicate predicate_;
    BaseIterator iterator_;
    std::optional<Element> previousElement_;
};

template <class Sequence, class Predicate>
RemoveDuplicatesAsyncSequence<Sequence> removeDuplicates(Sequence sequence, Predicate predicate) {
    return RemoveDuplicatesAsyncSequence<Sequence>(std::move(sequence), std::move(predicate));
}

template <class Sequence>
RemoveDuplicatesAsyncSequence<Sequence> removeDuplicates(Sequence sequence) {
    return RemoveDuplicatesAsyncSequence<Sequence>(
        std::move(sequence), [](const auto& a, const auto& b) { return a == b; });
}

} // namespace zestrel
