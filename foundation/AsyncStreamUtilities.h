#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/concurrency/AnyCancellable.h"
#include "platform/concurrency/Task.h"
#include "platform/concurrency/TaskGroup.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zestrel {

// What `withTimeout` throws when the deadline passes first. It has no text of its own.
class TimeoutError final : public platform::ErrorBody {
public:
    std::string typeName() const override { return "Zestrel.TimeoutError"; }
    std::string describe() const override { return "TimeoutError()"; }
    friend bool operator==(const TimeoutError&, const TimeoutError&) { return true; }
};

namespace detail {
// Reports an unexpected error of an element loop; a cancellation ends it silently.
void reportStreamError(const platform::Error& error, std::string_view file, std::int64_t line);
// The same for whatever was thrown: an exception that is no platform error is reported by
// its text.
void reportStreamError(const std::exception_ptr& thrown, std::string_view file, std::int64_t line);

// The loop of both: `endsAfterCancelledBody` also ends it after a body during which its task
// was cancelled.
template <class Sequence, class Body>
platform::Task<void> forEachElement(Sequence sequence, Body body, std::string_view file,
                                    std::int64_t line, bool endsAfterCancelledBody) {
    auto iterator = sequence.makeAsyncIterator();
    for (;;) {
        std::optional<typename Sequence::Element> element;
        try {
            element = co_await iterator.next();
        } catch (...) {
            platform::ProcessStop::passOn();
            reportStreamError(std::current_exception(), file, line);
            co_return;
        }
        if (!element) {
            co_return;
        }
        co_await body(std::move(*element));
        if (endsAfterCancelledBody && platform::Task<>::isCurrentCancelled()) {
            co_return;
        }
    }
}
} // namespace detail

// Awaits `body` for each element of `stream` in turn. A cancellation error of the iteration
// ends the loop silently; any other error is reported ("Async stream should not throw: ")
// and ends it. It never throws, and does not look at its task's cancellation itself.
template <class Stream, class Body>
platform::Task<void> forEachAsyncStreamElement(Stream stream, Body body,
                                               std::string_view file = __builtin_FILE(),
                                               std::int64_t line = __builtin_LINE()) {
    return detail::forEachElement(std::move(stream), std::move(body), file, line, false);
}

// The same for any asynchronous sequence, but the loop also ends, silently, after a body
// during which its task was cancelled.
template <class Sequence, class Body>
platform::Task<void> forEach(Sequence sequence, Body body, std::string_view file = __builtin_FILE(),
                             std::int64_t line = __builtin_LINE()) {
    return detail::forEachElement(std::move(sequence), std::move(body), file, line, true);
}

// Runs `forEach` over a copy of the sequence in a task of its own (bound to no actor), with
// the given priority or the inherited one. Cancelling or releasing the result (its last copy)
// cancels the loop.
template <class Sequence, class Body>
platform::combine::AnyCancellable
forEachInTask(Sequence sequence, Body body,
              std::optional<platform::TaskPriority> priority = std::nullopt,
              std::string_view file = __builtin_FILE(), std::int64_t line = __builtin_LINE()) {
    auto task = platform::Task<void>::run(
        [sequence = std::move(sequence), body = std::move(body), file,
         line]() -> platform::Task<void> {
            auto loopBody = body;
            co_await forEach(sequence, std::move(loopBody), file, line);
        },
        priority);
    return platform::combine::AnyCancellable([task] { task.cancel(); });
}

// The operation's result, unless `limit` passes first on the continuous clock: then the
// operation is cancelled and awaited, and `TimeoutError` is thrown. An error of the operation
// that comes first is passed on.
template <class F>
platform::Task<platform::detail::OperationResult<F>> withTimeout(platform::Nanoseconds limit,
                                                                 F operation) {
    using T = platform::detail::OperationResult<F>;
    const platform::Nanoseconds deadline = platform::clock().uptime() + limit;
    auto body = [&operation, deadline](platform::ThrowingTaskGroup<T>& group) -> platform::Task<T> {
        group.addTask(std::move(operation));
        group.addTask(
            [deadline]() -> platform::Task<T> {
                co_await platform::Task<>::sleepUntil(deadline);
                throw platform::Error::make<TimeoutError>();
            },
            platform::TaskPriority::high);
        auto first = co_await group.next();
        group.cancelAll();
        if constexpr (!std::is_void_v<T>) {
            co_return std::move(*first);
        }
    };
    if constexpr (std::is_void_v<T>) {
        co_await platform::withThrowingTaskGroup<T>(body);
    } else {
        co_return co_await platform::withThrowingTaskGroup<T>(body);
    }
}

// The result of whichever operation finishes first (or its error); the other is cancelled
// and awaited. Throws `CancellationError` when the calling task is already cancelled.
template <class F1, class F2>
platform::Task<platform::detail::OperationResult<F1>> race(F1 first, F2 second) {
    using T = platform::detail::OperationResult<F1>;
    platform::Task<>::checkCancellation();
    auto body = [&first, &second](platform::ThrowingTaskGroup<T>& group) -> platform::Task<T> {
        if (!group.addTaskUnlessCancelled(std::move(first)) ||
            !group.addTaskUnlessCancelled(std::move(second))) {
            throw platform::Error::make<platform::CancellationError>();
        }
        auto winner = co_await group.next();
        group.cancelAll();
        if constexpr (!std::is_void_v<T>) {
            co_return std::move(*winner);
        }
    };
    if constexpr (std::is_void_v<T>) {
        co_await platform::withThrowingTaskGroup<T>(body);
    } else {
        co_return co_await platform::withThrowingTaskGroup<T>(body);
    }
}

// The sequence's next element, once; nothing when it ends first. Its error is passed on.
template <class Sequence>
platform::Task<std::optional<typename Sequence::Element>> first(Sequence sequence) {
    auto iterator = sequence.makeAsyncIterator();
    co_return co_await iterator.next();
}

} // namespace zestrel
