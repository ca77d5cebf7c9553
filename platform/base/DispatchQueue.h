#pragma once

#include "platform/base/CallSite.h"
#include "platform/base/Clock.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace zestrel::platform {

enum class DispatchQoS {
    unspecified,
    background,
    utility,
    defaultQoS,
    userInitiated,
    userInteractive
};

enum class DispatchWorkItemFlags : unsigned { none = 0, barrier = 1 };

// A point on the clock's continuous time, as dispatch deadlines are given.
struct DispatchTime {
    Nanoseconds uptime{0};

    static DispatchTime now() { return DispatchTime{clock().uptime()}; }
    friend DispatchTime operator+(DispatchTime time, Nanoseconds delay) {
        return DispatchTime{time.uptime + delay};
    }
    auto operator<=>(const DispatchTime&) const = default;
};

// A block that can be cancelled until it starts: cancelled before it runs, it never runs.
class DispatchWorkItem {
public:
    explicit DispatchWorkItem(std::function<void()> block,
                              DispatchWorkItemFlags flags = DispatchWorkItemFlags::none)
        : block_(std::move(block)), flags_(flags) {}
    DispatchWorkItem(const DispatchWorkItem&) = delete;
    DispatchWorkItem& operator=(const DispatchWorkItem&) = delete;

    // Runs the block on the calling thread unless cancelled.
    void perform() {
        if (!isCancelled() && block_) {
            block_();
        }
    }
    void cancel() { cancelled_.store(true); }
    bool isCancelled() const { return cancelled_.load(); }
    DispatchWorkItemFlags flags() const { return flags_; }

private:
    std::function<void()> block_;
    DispatchWorkItemFlags flags_;
    std::atomic<bool> cancelled_{false};
};

// A dispatch queue: a handle, copies of which name the same queue. The main queue runs
// its blocks on the main run loop; the others run theirs on a shared pool of real threads,
// one at a time for a serial queue, side by side for a concurrent one (where a barrier
// block waits for the blocks before it and runs alone). Delayed blocks wait on the main run
// loop's clock, so the virtual clock drives them in tests.
class DispatchQueue {
public:
    enum class Attributes { serial, concurrent };

    explicit DispatchQueue(std::string label, Attributes attributes = Attributes::serial,
                           DispatchQoS qos = DispatchQoS::unspecified);

    static DispatchQueue main();
    // The process's shared concurrent queue for a quality of service.
    static DispatchQueue global(DispatchQoS qos = DispatchQoS::defaultQoS);

    const std::string& label() const;
    DispatchQoS qos() const;
    bool isMain() const;

    // Never runs the block inline, not even on the queue's own thread. What waits on the
    // main run loop (blocks of the main queue, and every delayed block until it is due)
    // keeps the file and line it was posted from, for the loop's list of pending work.
    void async(std::function<void()> block,
               DispatchWorkItemFlags flags = DispatchWorkItemFlags::none,
               const char* file = __builtin_FILE(), int line = __builtin_LINE());
    void async(const std::shared_ptr<DispatchWorkItem>& item, const char* file = __builtin_FILE(),
               int line = __builtin_LINE());
    void asyncAfter(DispatchTime deadline, std::function<void()> block,
                    const char* file = __builtin_FILE(), int line = __builtin_LINE());
    void asyncAfter(Nanoseconds delay, std::function<void()> block,
                    const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        asyncAfter(DispatchTime::now() + delay, std::move(block), file, line);
    }
    void asyncAfter(DispatchTime deadline, const std::shared_ptr<DispatchWorkItem>& item,
                    const char* file = __builtin_FILE(), int line = __builtin_LINE());

    // Runs `f` on the queue and waits for it; returns its result and passes on what it
    // throws. Calling it from a block of the same serial queue (or of a barrier on the same
    // concurrent queue) would wait for ever: that stops the process. A block the main queue
    // drops with its ended process (or stopped in) never finishes: the caller, that process's
    // code on a thread of its own, stops there too (`ProcessStop`), at once.
    template <class F>
    std::invoke_result_t<F&> sync(F&& f, DispatchWorkItemFlags flags = DispatchWorkItemFlags::none,
                                  const char* file = __builtin_FILE(),
                                  int line = __builtin_LINE()) {
        using Result = std::invoke_result_t<F&>;
        static_assert(!std::is_reference_v<Result>, "sync returns values, not references");
        if constexpr (std::is_void_v<Result>) {
            syncBlock([&f] { f(); }, flags, CallSite{file, line});
        } else {
            std::optional<Result> result;
            syncBlock([&f, &result] { result.emplace(f()); }, flags, CallSite{file, line});
            return std::move(*result);
        }
    }

    // A block (or a sync call) waiting for its turn on a queue other than the main one,
    // whose blocks wait on the main run loop instead.
    struct PendingBlock {
        std::string label;
        CallSite site;
    };
    // What waits on every live queue, grouped by label, each queue's in the order it will
    // start. Blocks already running are not listed.
    static std::vector<PendingBlock> pendingBlocks();

    friend bool operator==(const DispatchQueue& a, const DispatchQueue& b) {
        return a.impl_ == b.impl_;
    }

    struct Impl;

private:
    explicit DispatchQueue(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    void syncBlock(const std::function<void()>& block, DispatchWorkItemFlags flags, CallSite site);

    std::shared_ptr<Impl> impl_;
};

} // namespace zestrel::platform
