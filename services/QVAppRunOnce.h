#pragma once

#include "foundation/QVApp.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zestrel::QVApp {

// True only the first time it is asked for an identifier, for as long as the user's
// defaults last (the flag is "QV_App_runOnce__" + identifier in the standard defaults).
// Main thread only: the read and the write are not one step.
bool runOnce(std::string_view identifier);

} // namespace zestrel::QVApp

namespace zestrel {

// Counts the app runs in which something was shown, per identifier ("QV_ShowForAppRuns_" +
// identifier in the standard defaults). Main thread only.
class ShowForAppRuns {
public:
    // Adds one to the stored count, records the stored value as this run's count and answers
    // it. Callers ask `recordedRunCount` first, so the count grows once per process.
    static std::int64_t currentRunCount(std::string_view id);
    // This run's count for the identifier, once `currentRunCount` has recorded it.
    static std::optional<std::int64_t> recordedRunCount(std::string_view id);
};

// Closures to run once the app has finished launching.
class LaunchCompletions {
public:
    static void add(std::function<void()> completion);
    // Runs every stored closure once, in the order stored, and forgets them.
    static void runFinishedLaunchingCompletions();
};

} // namespace zestrel
