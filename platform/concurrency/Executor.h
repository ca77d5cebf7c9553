#pragma once

#include <cstdint>
#include <functional>

namespace zestrel::platform {

// The platform's task priorities. Some are other names of the same level, as on the
// platform: `low` is `utility`, `userInitiated` is `high`.
enum class TaskPriority : std::uint8_t {
    background = 9,
    utility = 17,
    low = 17,
    medium = 21,
    high = 25,
    userInitiated = 25,
};

// Where the jobs of a task run. Jobs of one executor start in priority order, then in
// submission order; none runs inline in `enqueue`.
class Executor {
public:
    using Job = std::function<void()>;

    virtual ~Executor() = default;
    virtual void enqueue(Job job, TaskPriority priority) = 0;
    virtual bool isMain() const = 0;

    // The main actor's executor: the main run loop's queue, on the main thread.
    static Executor& main();
    // The shared concurrent executor of tasks bound to no actor.
    static Executor& global();
};

// How the global executor runs its jobs: on a small pool of threads (the program), or queued
// on the main run loop so that a test's driver runs every job on one thread, in order.
enum class GlobalExecutorMode { threadPool, mainRunLoop };

void setGlobalExecutorMode(GlobalExecutorMode mode);
GlobalExecutorMode globalExecutorMode();

} // namespace zestrel::platform
