#include "platform/base/Progress.h"

#include <algorithm>

namespace zestrel::platform {

Progress::Progress(std::int64_t totalUnitCount)
    : total_(totalUnitCount),
      observers_(*this, [this](const std::string& key) { return valueForKey(key); }) {}

std::int64_t Progress::totalUnitCount() const {
    MutexLock lock(mutex_);
    return total_;
}

std::int64_t Progress::completedUnitCount() const {
    MutexLock lock(mutex_);
    return completed_;
}

double Progress::fractionCompleted() const {
    MutexLock lock(mutex_);
    if (total_ <= 0) {
        return 0;
    }
    return std::min(1.0, static_cast<double>(std::max<std::int64_t>(0, completed_)) /
                             static_cast<double>(total_));
}

bool Progress::isFinished() const {
    MutexLock lock(mutex_);
    return total_ > 0 && completed_ >= total_;
}

bool Progress::isCancelled() const {
    MutexLock lock(mutex_);
    return cancelled_;
}

void Progress::setTotalUnitCount(std::int64_t count) {
    observers_.performChange({"totalUnitCount", "fractionCompleted", "isFinished"}, [&] {
        MutexLock lock(mutex_);
        total_ = count;
    });
}

void Progress::setCompletedUnitCount(std::int64_t count) {
    observers_.performChange({"completedUnitCount", "fractionCompleted", "isFinished"}, [&] {
        MutexLock lock(mutex_);
        completed_ = count;
    });
}

void Progress::cancel() {
    if (isCancelled()) {
        return;
    }
    observers_.performChange({"isCancelled"}, [&] {
        MutexLock lock(mutex_);
        cancelled_ = true;
    });
}

KeyValueObservationToken Progress::addObserver(std::string keyPath,
                                               NSKeyValueObservingOptions options,
                                               KeyValueObserver observer) {
    return observers_.addObserver(std::move(keyPath), options, std::move(observer));
}

Value Progress::valueForKey(const std::string& key) const {
    if (key == "totalUnitCount") {
        return Value(totalUnitCount());
    }
    if (key == "completedUnitCount") {
        return Value(completedUnitCount());
    }
    if (key == "fractionCompleted") {
        return Value(fractionCompleted());
    }
    if (key == "isFinished") {
        return Value(isFinished());
    }
    if (key == "isCancelled") {
        return Value(isCancelled());
    }
    return {};
}

} // namespace zestrel::platform
