#pragma once

#include "platform/concurrency/Task.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace zestrel {

// Any asynchronous sequence of `Element`, its type erased. Each iteration makes a fresh
// iterator of the base; the base's errors pass through.
template <class E> class AnyAsyncSequence {
public:
    using Element = E;

    class Iterator {
    public:
        explicit Iterator(std::function<platform::Task<std::optional<Element>>()> nextClosure)
            : nextClosure_(std::move(nextClosure)) {}
        platform::Task<std::optional<Element>> next() { return nextClosure_(); }

    private:
        std::function<platform::Task<std::optional<Element>>()> nextClosure_;
    };

    template <class Base>
    requires(!std::is_same_v<std::decay_t<Base>, AnyAsyncSequence>) explicit AnyAsyncSequence(
        Base base)
        : makeAsyncIteratorClosure_([base = std::move(base)] {
              using BaseIterator = decltype(base.makeAsyncIterator());
              auto box = std::make_shared<BaseIterator>(base.makeAsyncIterator());
              return Iterator([box] { return advance(box); });
          }) {}

    Iterator makeAsyncIterator() const { return makeAsyncIteratorClosure_(); }

private:
    template <class BaseIterator>
    static platform::Task<std::optional<Element>> advance(std::shared_ptr<BaseIterator> box) {
        co_return co_await box->next();
    }

    std::function<Iterator()> makeAsyncIteratorClosure_;
};

template <class Sequence>
AnyAsyncSequence<typename Sequence::Element> eraseToAnyAsyncSequence(Sequence sequence) {
    return AnyAsyncSequence<typename Sequence::Element>(std::move(sequence));
}

} // namespace zestrel
