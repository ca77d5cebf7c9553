#include "foundation/MemoCache.h"

#include "foundation/TextDateUtilities.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/concurrency/Task.h"

#include <chrono>
#include <memory>

namespace zestrel {
namespace {

namespace pf = platform;

// 0001-01-01 00:00:00 UTC, the platform's distant past.
constexpr pf::Date kDistantPast{-63114076800.0};

constexpr double kFullPassInterval = 60;
constexpr double kScheduleInterval = 2;
constexpr std::chrono::seconds kDeferredPassDelay{10};

struct MemoState {
    MemoCache cache;
    // Guards everything below: lookups and the deferred pass meet here.
    platform::Mutex mutex;
    pf::Date lastPruneDate GUARDED_BY(mutex) = kDistantPast;
    pf::Date lastScheduleDate GUARDED_BY(mutex) = kDistantPast;
    std::optional<pf::Task<void>> pruneTask GUARDED_BY(mutex);
    bool maintenanceToggle GUARDED_BY(mutex) = false;
};

MemoState& state() {
    static auto* const local = new pf::ProcessLocal<MemoState>;
    return local->get();
}

std::string fileName(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace

MemoCache& memoCache() {
    return state().cache;
}

AggregateHashable memoKey(std::string_view file, std::string_view function, std::int64_t line,
                          std::vector<AnyHashable> keyValues) {
    std::vector<AnyHashable> elements;
    elements.reserve(keyValues.size() + 3);
    elements.emplace_back("Zestrel/" + fileName(file));
    elements.emplace_back(std::string(function));
    elements.emplace_back(line);
    for (AnyHashable& value : keyValues) {
        elements.push_back(std::move(value));
    }
    return AggregateHashable(std::move(elements));
}

bool isMemoEntryFresh(const pf::Date& date, Duration lifetime) {
    return date.addingTimeInterval(lifetime.timeInterval()) > pf::currentDate();
}

void maintainMemoCache(Duration lifetime) {
    MemoState& memo = state();
    platform::MutexLock lock(memo.mutex);
    const bool skip = memo.maintenanceToggle;
    memo.maintenanceToggle = !memo.maintenanceToggle;
    if (skip) {
        return;
    }
    if (!isWithin(memo.lastPruneDate, Duration::seconds(-kFullPassInterval))) {
        lock.unlock();
        pruneMemoCache(lifetime);
        return;
    }
    if (!isWithin(memo.lastScheduleDate, Duration::seconds(-kScheduleInterval))) {
        lock.unlock();
        scheduleMemoCachePrune(lifetime);
    }
}

void scheduleMemoCachePrune(Duration lifetime) {
    MemoState& memo = state();
    // A pass cancelled while it waits never prunes (its sleep ends with a cancellation error);
    // one that has started finishes its pruning.
    auto pass = [lifetime]() -> pf::Task<void> {
        co_await pf::Task<>::sleep(kDeferredPassDelay);
        pruneMemoCache(lifetime);
    };
    platform::MutexLock lock(memo.mutex);
    if (memo.pruneTask) {
        memo.pruneTask->cancel();
    }
    memo.lastScheduleDate = pf::currentDate();
    // A task never starts inline, so it cannot wait for the lock held here.
    memo.pruneTask = pf::Task<void>::run(std::move(pass), pf::TaskPriority::utility);
}

void pruneMemoCache(Duration lifetime) {
    MemoState& memo = state();
    const double seconds = lifetime.timeInterval();
    for (const auto& [key, entry] : memo.cache.snapshot()) {
        if (entry.date.addingTimeInterval(seconds) < pf::currentDate()) {
            memo.cache.removeValue(key);
        }
    }
    platform::MutexLock lock(memo.mutex);
    memo.lastPruneDate = pf::currentDate();
}

MemoMaintenanceState memoMaintenanceState() {
    MemoState& memo = state();
    platform::MutexLock lock(memo.mutex);
    return MemoMaintenanceState{memo.lastPruneDate, memo.lastScheduleDate,
                                memo.pruneTask.has_value(), memo.maintenanceToggle};
}

} // namespace zestrel
