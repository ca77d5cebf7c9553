#pragma once

#include "foundation/QVApp.h"
#include "platform/swiftui/View.h"

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

// Content shown only during a range of the app's launches: from launch
// `startShowingFromAppRun` on, for `count` launches, and with `oncePerAppRun` only the first
// time it comes on screen in a launch. The launches are counted per identifier
// ("QV_ShowForAppRuns_" + identifier in the standard defaults), once per process, on the
// first reading. Main thread only.
class ShowForAppRuns {
public:
    ShowForAppRuns(platform::swiftui::View content, std::int64_t count, std::string id,
                   std::int64_t startShowingFromAppRun = 1, bool oncePerAppRun = false);
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

    // This launch's number for the identifier: counted on the first reading in the process,
    // the same afterwards.
    static std::int64_t runCount(std::string_view id);

    // Adds one to the stored count, records the stored value as this run's count and answers
    // it. Callers ask `recordedRunCount` first, so the count grows once per process.
    static std::int64_t currentRunCount(std::string_view id);
    // This run's count for the identifier, once `currentRunCount` has recorded it.
    static std::optional<std::int64_t> recordedRunCount(std::string_view id);
    // Whether content with the identifier has come on screen in this launch.
    static bool wasShownThisRun(std::string_view id);

private:
    platform::swiftui::View content_;
    std::int64_t count_;
    std::string id_;
    std::int64_t startShowingFromAppRun_;
    bool oncePerAppRun_;
    std::int64_t runCount_;
};

// Closures to run once the app has finished launching.
class LaunchCompletions {
public:
    static void add(std::function<void()> completion);
    // Runs every stored closure once, in the order stored, and forgets them.
    static void runFinishedLaunchingCompletions();
};

} // namespace zestrel
