#include "platform/base/ReportSink.h"

#include "platform/base/Error.h"

#include <mutex>

namespace zestrel::platform {
namespace {
std::mutex observerMutex;
std::function<void(const Error&)>& observer() {
    static auto* instance = new std::function<void(const Error&)>;
    return *instance;
}
} // namespace

void deliverReport(const Error& report) {
    std::function<void(const Error&)> current;
    {
        std::lock_guard lock(observerMutex);
        current = observer();
    }
    if (current) {
        current(report);
    }
}

void setReportObserver(std::function<void(const Error&)> newObserver) {
    std::lock_guard lock(observerMutex);
    observer() = std::move(newObserver);
}

} // namespace zestrel::platform
