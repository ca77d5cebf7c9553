#pragma once

#include "foundation/AsyncStreamUtilities.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/concurrency/AsyncStream.h"
#include "platform/concurrency/Task.h"
#include "platform/concurrency/TaskGroup.h"

#include <exception>
#include <optional>
#include <utility>

namespace zestrel {

// The elements of two sequences of one type, in the order they arrive. It never throws: an
// error of the first base ends it at once (the second is cancelled and awaited); an error of
// the second is seen only once the first has ended, and ends it too. A base that throws
// anything but a platform error is reported as well. Ending the iteration does not stop the
// merging task, which runs until both bases end.
template <class Base> class MergeAsyncSequence {
public:
    using Element = typename Base::Element;

    MergeAsyncSequence(Base first, Base second)
        : stream_([&first,
                   &second](typename platform::AsyncStream<Element>::Continuation continuation) {
              platform::Task<void>::run([first = std::move(first), second = std::move(second),
                                         continuation]() -> platform::Task<void> {
                  co_await merge(first, second, continuation);
              });
          }) {}

    MergeAsyncSequence makeAsyncIterator() const { return *this; }
    auto next() const { return stream_.next(); }

private:
    using Continuation = typename platform::AsyncStream<Element>::Continuation;

    // Iterates one base into the merged stream; whether it ended without an error.
    static platform::Task<bool> pump(Base base, Continuation continuation) {
        try {
            auto iterator = base.makeAsyncIterator();
            while (auto element = co_await iterator.next()) {
                continuation.yield(std::move(*element));
            }
        } catch (const platform::Error&) {
            co_return false;
        } catch (...) {
            platform::ProcessStop::passOn();
            // Anything else is a fault of the base: reported, then it ends the base as an
            // error does, so the merged stream still finishes.
            detail::reportStreamError(std::current_exception(), __builtin_FILE(), __builtin_LINE());
            co_return false;
        }
        co_return true;
    }

    static platform::Task<void> merge(const Base& first, const Base& second,
                                      Continuation continuation) {
        auto body =
            [&](platform::ThrowingTaskGroup<std::pair<int, bool>>& group) -> platform::Task<void> {
            group.addTask([first, continuation]() -> platform::Task<std::pair<int, bool>> {
                co_return std::pair(1, co_await pump(first, continuation));
            });
            group.addTask([second, continuation]() -> platform::Task<std::pair<int, bool>> {
                co_return std::pair(2, co_await pump(second, continuation));
            });
            // The first child is awaited first, whatever the order they end in.
            std::optional<bool> firstEnded;
            while (!firstEnded) {
                const auto outcome = co_await group.next();
                if (outcome->first == 1) {
                    firstEnded = outcome->second;
                }
            }
            if (*firstEnded) {
                for (;;) {
                    const auto outcome = co_await group.next(); // the second's error is dropped
                    if (!outcome) {
                        break;
                    }
                }
            } else {
                group.cancelAll(); // leaving the group awaits it
            }
            continuation.finish();
        };
        co_await platform::withThrowingTaskGroup<std::pair<int, bool>>(body);
    }

    platform::AsyncStream<Element> stream_;
};

template <class Sequence> MergeAsyncSequence<Sequence> merge(Sequence first, Sequence second) {
    return MergeAsyncSequence<Sequence>(std::move(first), std::move(second));
}

} // namespace zestrel
