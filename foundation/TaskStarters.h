#pragma once

#include "platform/concurrency/Task.h"

#include <optional>
#include <utility>

namespace zestrel {

// Starts `operation` (a callable returning a `Task`) as an unstructured task on the shared
// concurrent executor, with the given priority or the caller's; answers its handle.
template <class F>
platform::Task<platform::detail::OperationResult<F>>
startTask(std::optional<platform::TaskPriority> priority, F operation) {
    return platform::Task<platform::detail::OperationResult<F>>::run(std::move(operation),
                                                                     priority);
}

// The same for an operation isolated to the main actor: the task runs on the main run loop.
template <class F>
platform::Task<platform::detail::OperationResult<F>>
startMainActorTask(std::optional<platform::TaskPriority> priority, F operation) {
    return platform::Task<platform::detail::OperationResult<F>>::runOnMain(std::move(operation),
                                                                           priority);
}

} // namespace zestrel
