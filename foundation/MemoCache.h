#pragma once

#include "foundation/AggregateHashable.h"
#include "foundation/AnyHashable.h"
#include "foundation/AtomicDictionary.h"
#include "foundation/Duration.h"
#include "platform/base/Value.h"

#include <any>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace zestrel {

// A remembered result: when it was stored, and the result itself.
struct MemoEntry {
    platform::Date date;
    std::any value;
};

using MemoCache = AtomicDictionary<AggregateHashable, MemoEntry>;

// The process's remembered results, keyed by call site and the caller's key values.
MemoCache& memoCache();

// The key of a lookup: the file ("Zestrel/<file name>"), the function, the line, then the
// caller's key values.
AggregateHashable memoKey(std::string_view file, std::string_view function, std::int64_t line,
                          std::vector<AnyHashable> keyValues);

// True while `date` plus `lifetime` is later than now.
bool isMemoEntryFresh(const platform::Date& date, Duration lifetime);

// After every lookup: on every other call, prunes at once when the last full pass is more
// than a minute old, and otherwise pushes the deferred pass 10 seconds ahead, at most once
// every 2 seconds.
void maintainMemoCache(Duration lifetime);
// Replaces the pending deferred pass by one 10 seconds from now.
void scheduleMemoCachePrune(Duration lifetime);
// Removes every entry whose date plus `lifetime` is earlier than now.
void pruneMemoCache(Duration lifetime);

// The maintenance state, for diagnostics.
struct MemoMaintenanceState {
    platform::Date lastPruneDate;
    platform::Date lastScheduleDate;
    bool hasPruneTask = false;
    bool toggle = false;
};
MemoMaintenanceState memoMaintenanceState();

// The result of `compute`, remembered for `lifetime` per call site and key values.
template <class Compute>
std::invoke_result_t<Compute&> memoized(Duration lifetime, std::vector<AnyHashable> keyValues,
                                        Compute&& compute, std::string_view file = __builtin_FILE(),
                                        std::string_view function = __builtin_FUNCTION(),
                                        std::int64_t line = __builtin_LINE()) {
    using Result = std::invoke_result_t<Compute&>;
    const AggregateHashable key = memoKey(file, function, line, std::move(keyValues));
    if (std::optional<MemoEntry> entry = memoCache().value(key);
        entry && isMemoEntryFresh(entry->date, lifetime)) {
        if (const Result* remembered = std::any_cast<Result>(&entry->value)) {
            Result result = *remembered;
            maintainMemoCache(lifetime);
            return result;
        }
    }
    Result result = compute();
    memoCache().set(key, MemoEntry{platform::currentDate(), result});
    maintainMemoCache(lifetime);
    return result;
}

} // namespace zestrel
