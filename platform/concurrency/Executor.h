#pragma once

#include "platform/base/CallSite.h"

#include <cstdint>
#include <functional>
#include <vector>

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
    // `site` is where the job's task was started, kept for the list of pending work.
    virtual void enqueue(Job job, TaskPriority priority, CallSite site) = 0;
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

// Where the tasks of the global executor's jobs not started yet were started, in the order
// the jobs will start. Empty while the global executor queues on the main run loop, which
// lists them itself.
std::vector<CallSite> queuedGlobalJobs();

} // namespace zestrel::platform
