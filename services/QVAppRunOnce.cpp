#include "services/QVAppRunOnce.h"

#include "platform/base/Error.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "preferences/Prefs.h"

#include <limits>
#include <vector>

namespace zestrel {

namespace {

platform::ProcessLocal<std::map<std::string, std::int64_t, std::less<>>> runCounts;
platform::ProcessLocal<std::vector<std::function<void()>>> launchCompletions;

} // namespace

bool QVApp::runOnce(std::string_view identifier) {
    const std::string key = "QV_App_runOnce__" + std::string(identifier);
    const auto defaults = platform::UserDefaults::standard();
    if (defaults->boolValue(key)) {
        return false;
    }
    defaults->setObject(platform::Value(true), key);
    return true;
}

std::int64_t ShowForAppRuns::currentRunCount(std::string_view id) {
    const Prefs::Key<std::int64_t> key("QV_ShowForAppRuns_" + std::string(id), 0);
    const std::int64_t stored = Prefs::value(key);
    // A count at the top of its range stays there: stopping would stop every later launch.
    if (stored < std::numeric_limits<std::int64_t>::max()) {
        Prefs::set(key, stored + 1);
    }
    const std::int64_t count = Prefs::value(key);
    (*runCounts)[std::string(id)] = count;
    return count;
}

std::optional<std::int64_t> ShowForAppRuns::recordedRunCount(std::string_view id) {
    const auto found = runCounts->find(id);
    if (found == runCounts->end()) {
        return std::nullopt;
    }
    return found->second;
}

void LaunchCompletions::add(std::function<void()> completion) {
    launchCompletions->push_back(std::move(completion));
}

void LaunchCompletions::runFinishedLaunchingCompletions() {
    // Taken out first, so a closure that adds another leaves it for a later run.
    std::vector<std::function<void()>> completions;
    completions.swap(*launchCompletions);
    for (const auto& completion : completions) {
        completion();
    }
}

} // namespace zestrel
