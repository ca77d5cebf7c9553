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

    // Whether the system may end the process on its own when it looks idle (automatic
    // termination) or at once at log-out (sudden termination). Each disable is counted and
    // undone by an enable; the counts belong to the process.
    static void disableAutomaticTermination(const std::string& reason);
    static void enableAutomaticTermination(const std::string& reason);
    static void disableSuddenTermination();
    static void enableSuddenTermination();
    static bool automaticTerminationSupportEnabled();
    static bool suddenTerminationEnabled();
    // Whether the user turned Low Power Mode on: a machine setting that outlives the
    // program's process, off unless set (the desktop, tests).
    static bool isLowPowerModeEnabled();
    static void setLowPowerModeEnabled(bool enabled);
    static void setOperatingSystemVersion(OperatingSystemVersion version);
    // `isOperatingSystemAtLeastVersion:`, what an availability check asks.
    static bool isOperatingSystemAtLeast(OperatingSystemVersion version);
};

} // namespace zestrel::platform
