#pragma once

#include "platform/concurrency/AsyncStream.h"

#include <optional>
#include <utility>

namespace zestrel {

// A sequence fed by hand: what is yielded before anyone iterates waits in the stream.
template <class E> class PassthroughAsyncSequence {
public:
    using Element = E;

    PassthroughAsyncSequence() {
        auto [stream, continuation] = platform::AsyncStream<E>::makeStream();
        stream_.emplace(std::move(stream));
        continuation_.emplace(std::move(continuation));
    }

    platform::AsyncStream<E> makeAsyncIterator() const { return *stream_; }
    void yield(E element) const { continuation_->yield(std::move(element)); }
    // Ends the sequence for its consumer after the buffered elements.
    void finish() const { continuation_->finish(); }

private:
    std::optional<platform::AsyncStream<E>> stream_;
    std::optional<typename platform::AsyncStream<E>::Continuation> continuation_;
};

// A subject consumers iterate through `stream`. After `finish()` this copy sends nothing;
// other copies still send into the finished stream, which drops what they send.
template <class E> class AsyncPassthroughSubject {
public:
    AsyncPassthroughSubject() : AsyncPassthroughSubject(platform::AsyncStream<E>::makeStream()) {}

    void send(E element) const {
        if (!isFinished) {
            continuation.yield(std::move(element));
        }
    }
    void finish() {
        isFinished = true;
        continuation.finish();
    }

    platform::AsyncStream<E> stream;
    typename platform::AsyncStream<E>::Continuation continuation;
    bool isFinished = false;

private:
    explicit AsyncPassthroughSubject(
        std::pair<platform::AsyncStream<E>, typename platform::AsyncStream<E>::Continuation> made)
        : stream(std::move(made.first)), continuation(std::move(made.second)) {}
};

} // namespace zestrel
