#include "services/QVAppRunOnce.h"

#include "platform/base/Error.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "platform/swiftui/ViewState.h"
#include "preferences/Prefs.h"

#include <limits>
#include <set>
#include <string>
#include <vector>

namespace zestrel {

namespace {

platform::ProcessLocal<std::map<std::string, std::int64_t, std::less<>>> runCounts;
platform::ProcessLocal<std::vector<std::function<void()>>> launchCompletions;
platform::ProcessLocal<std::set<std::string, std::less<>>> shownThisRun;

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

std::int64_t ShowForAppRuns::runCount(std::string_view id) {
    if (const auto recorded = recordedRunCount(id)) {
        return *recorded;
    }
    return currentRunCount(id);
}

bool ShowForAppRuns::wasShownThisRun(std::string_view id) {
    return shownThisRun->count(id) != 0;
}

ShowForAppRuns::ShowForAppRuns(platform::swiftui::View content, std::int64_t count, std::string id,
                               std::int64_t startShowingFromAppRun, bool oncePerAppRun)
    : content_(std::move(content)), count_(count), id_(std::move(id)),
      startShowingFromAppRun_(startShowingFromAppRun), oncePerAppRun_(oncePerAppRun),
      runCount_(runCount(id_)) {}

platform::swiftui::View ShowForAppRuns::body(platform::swiftui::ViewContext& context) const {
    const auto shouldHide = context.state<bool>("shouldHide", false);
    // Compared without adding: a range at the top of the integers shows to its end.
    const bool inRange =
        runCount_ >= startShowingFromAppRun_ && runCount_ - startShowingFromAppRun_ < count_;
    if (shouldHide.get() || !inRange) {
        return platform::swiftui::View();
    }
    return content_.onAppear([shouldHide, id = id_, oncePerAppRun = oncePerAppRun_] {
        shouldHide.set(wasShownThisRun(id));
        if (oncePerAppRun) {
            shownThisRun->insert(id);
        }
    });
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
