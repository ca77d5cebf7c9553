#pragma once

#include "platform/concurrency/AsyncStream.h"
#include "platform/concurrency/Publisher.h"

namespace zestrel {

// `Publisher.toAsyncStream()`, the build step of an unbounded stream: each value the
// publisher sends is yielded, its completion finishes the stream, and the subscription is
// cancelled when the stream ends, so it lives exactly as long as the stream has a consumer.
template <class Output>
void toAsyncStream(const platform::combine::AnyPublisher<Output>& publisher,
                   typename platform::AsyncStream<Output>::Continuation continuation) {
    using platform::combine::Completion;
    using platform::combine::Never;
    // Subscribe first, then tie the subscription to the stream's end.
    auto subscription =
        publisher.sink([continuation](const Completion<Never>&) { continuation.finish(); },
                       [continuation](const Output& value) { continuation.yield(value); });
    continuation.setOnTermination(
        [subscription](typename platform::AsyncStream<Output>::Termination) {
            subscription.cancel();
        });
}

// The stream made with that build step.
template <class Output>
platform::AsyncStream<Output>
toAsyncStream(const platform::combine::AnyPublisher<Output>& publisher) {
    return platform::AsyncStream<Output>(
        [&publisher](typename platform::AsyncStream<Output>::Continuation continuation) {
            toAsyncStream(publisher, std::move(continuation));
        });
}

} // namespace zestrel
