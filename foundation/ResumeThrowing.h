#pragma once

#include "platform/base/Error.h"
#include "platform/concurrency/Continuation.h"

#include <optional>
#include <utility>

namespace zestrel {

// The completion of a platform call that reports a value or an error: throws the error into
// the task when there is one, else resumes it with the value. A completion with neither is a
// programming error that stops the process.
template <class T>
void resumeThrowing(const platform::CheckedThrowingContinuation<T>& continuation,
                    std::optional<T> value, std::optional<platform::Error> error) {
    if (error) {
        continuation.resumeThrowing(*error);
    } else if (value) {
        continuation.resume(std::move(*value));
    } else {
        platform::fatal("resumeThrowing: the completion gave neither a value nor an error");
    }
}

} // namespace zestrel
