#pragma once

#include "platform/base/KeyValueObserving.h"
#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <string>

namespace zestrel::platform {

// `Progress` (NSProgress): how much of a task is done, counted in units. Its keys
// "totalUnitCount", "completedUnitCount", "fractionCompleted", "isFinished" and
// "isCancelled" can be observed; a change of the counts is told to the observers of every
// key it changes, on the changing thread. Usable from any thread.
class Progress final : public NSObject {
public:
    // A total below 0 leaves the progress indeterminate.
    explicit Progress(std::int64_t totalUnitCount = -1);
    std::string className() const override { return "NSProgress"; }

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t count);
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t count);
    // Completed ÷ total, at most 1; 0 while the total is 0 or below.
    double fractionCompleted() const;
    // Whether the completed units reach a total above 0.
    bool isFinished() const;
    bool isCancelled() const;
    // Marks the progress cancelled; once is enough, later calls change nothing.
    void cancel();

    KeyValueObservationToken addObserver(std::string keyPath, NSKeyValueObservingOptions options,
                                         KeyValueObserver observer);
    void removeObserver(KeyValueObservationToken token) { observers_.removeObserver(token); }

private:
    Value valueForKey(const std::string& key) const;

    mutable Mutex mutex_;
    std::int64_t total_ GUARDED_BY(mutex_);
    std::int64_t completed_ GUARDED_BY(mutex_) = 0;
    bool cancelled_ GUARDED_BY(mutex_) = false;
    KeyValueObserverRegistry observers_;
};

} // namespace zestrel::platform
