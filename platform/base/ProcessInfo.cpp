#include "platform/base/ProcessInfo.h"

#include "platform/base/ProcessLocal.h"

#include <atomic>
#include <fstream>
#include <iterator>

namespace zestrel::platform {

namespace {

struct TerminationCounts {
    std::atomic<std::int64_t> automaticDisabled{0};
    std::atomic<std::int64_t> suddenDisabled{0};
};

TerminationCounts& terminationCounts() {
    static auto* const counts = new ProcessLocal<TerminationCounts>();
    return **counts;
}

} // namespace

void NSProcessInfo::disableAutomaticTermination(const std::string&) {
    ++terminationCounts().automaticDisabled;
}

void NSProcessInfo::enableAutomaticTermination(const std::string&) {
    --terminationCounts().automaticDisabled;
}

void NSProcessInfo::disableSuddenTermination() {
    ++terminationCounts().suddenDisabled;
}

void NSProcessInfo::enableSuddenTermination() {
    --terminationCounts().suddenDisabled;
}

bool NSProcessInfo::automaticTerminationSupportEnabled() {
    return terminationCounts().automaticDisabled <= 0;
}

bool NSProcessInfo::suddenTerminationEnabled() {
    return terminationCounts().suddenDisabled <= 0;
}

} // namespace zestrel::platform

namespace zestrel::platform {

std::vector<std::string> NSProcessInfo::arguments() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find('\0', start);
        const std::size_t stop = end == std::string::npos ? all.size() : end;
        arguments.emplace_back(all.substr(start, stop - start));
        start = stop + 1;
    }
    return arguments;
}

} // namespace zestrel::platform

namespace zestrel::platform {

namespace {
std::atomic<bool> lowPowerMode{false};
} // namespace

bool NSProcessInfo::isLowPowerModeEnabled() {
    return lowPowerMode.load();
}

void NSProcessInfo::setLowPowerModeEnabled(bool enabled) {
    lowPowerMode.store(enabled);
}

} // namespace zestrel::platform
