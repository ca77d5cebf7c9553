#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace zestrel::platform {

struct OperatingSystemVersion {
    std::int64_t majorVersion = 0;
    std::int64_t minorVersion = 0;
    std::int64_t patchVersion = 0;
    auto operator<=>(const OperatingSystemVersion&) const = default;
};

// `NSProcessInfo` as far as the program asks it.
class NSProcessInfo {
public:
    // The version of macOS the simulated machine runs: a machine setting that outlives the
    // program's process, 15.1.0 unless set (the desktop, tests).
    static OperatingSystemVersion operatingSystemVersion();
    // The process's argument list, the program path first, as the kernel holds it.
    static std::vector<std::string> arguments();
    // Whether the user turned Low Power Mode on: a machine setting that outlives the
    // program's process, off unless set (the desktop, tests).
    static bool isLowPowerModeEnabled();
    static void setLowPowerModeEnabled(bool enabled);
    static void setOperatingSystemVersion(OperatingSystemVersion version);
    // `isOperatingSystemAtLeastVersion:`, what an availability check asks.
    static bool isOperatingSystemAtLeast(OperatingSystemVersion version);

private:
    static OperatingSystemVersion machineOperatingSystemVersion();
};

} // namespace zestrel::platform
