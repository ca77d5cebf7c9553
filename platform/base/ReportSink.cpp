#include "platform/base/ReportSink.h"

#include "platform/base/Error.h"

#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"

namespace zestrel::platform {
namespace {
Mutex observerMutex;
std::function<void(const Error&)>& observer() REQUIRES(observerMutex) {
    static auto* instance = new std::function<void(const Error&)>;
    return *instance;
}
} // namespace

void deliverReport(const Error& report) {
    // An ended process's code, still running on a thread of its own, reports nothing.
    if (ProcessTeardown::refuses()) {
        return;
    }
    std::function<void(const Error&)> current;
    {
        MutexLock lock(observerMutex);
        current = observer();
    }
    if (current) {
        current(report);
    }
}

void setReportObserver(std::function<void(const Error&)> newObserver) {
    MutexLock lock(observerMutex);
    observer() = std::move(newObserver);
}

} // namespace zestrel::platform
