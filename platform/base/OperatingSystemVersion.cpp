#include "platform/base/Mutex.h"
#include "platform/base/ProcessInfo.h"

// The simulated machine's macOS version, a setting of the machine like its Low Power Mode.
namespace zestrel::platform {

namespace {
Mutex versionMutex;
// A current release, so that the rules of recent systems apply unless a test says otherwise.
OperatingSystemVersion version GUARDED_BY(versionMutex){15, 1, 0};
} // namespace

OperatingSystemVersion NSProcessInfo::operatingSystemVersion() {
    MutexLock lock(versionMutex);
    return version;
}

void NSProcessInfo::setOperatingSystemVersion(OperatingSystemVersion newVersion) {
    MutexLock lock(versionMutex);
    version = newVersion;
}

bool NSProcessInfo::isOperatingSystemAtLeast(OperatingSystemVersion atLeast) {
    return operatingSystemVersion() >= atLeast;
}

} // namespace zestrel::platform
