#include "platform/desktop/FileViewer.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/FileManagerApp.h"

#include <filesystem>
#include <string>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

struct Record {
    Mutex mutex;
    std::vector<URL> revealed GUARDED_BY(mutex);
};

ProcessLocal<Record>& record() {
    static auto* const instance = new ProcessLocal<Record>();
    return *instance;
}

fs::path itemPath(const URL& url) {
    fs::path path = url.path();
    return path.has_filename() ? path : path.parent_path();
}

} // namespace

void activateFileViewerSelectingURLs(const std::vector<URL>& urls) {
    {
        auto& state = *record();
        MutexLock lock(state.mutex);
        state.revealed.insert(state.revealed.end(), urls.begin(), urls.end());
    }
    const auto desktop = Desktop::current();
    for (const auto& url : urls) {
        desktop->log("Finder revealed " + itemPath(url).string());
    }
    const auto finder = desktop->application<FileManagerApplication>(kFinderBundleIdentifier);
    if (urls.empty() || !finder) {
        return;
    }
    const fs::path folder = itemPath(urls.front()).parent_path();
    std::vector<std::string> names;
    for (const auto& url : urls) {
        const fs::path item = itemPath(url);
        if (item.parent_path() == folder) {
            names.push_back(item.filename().string());
        }
    }
    try {
        finder->openFolder(folder);
        finder->select(names);
    } catch (const Error&) {
        // Outside the folder the Finder is kept in: it stays where it was.
        return;
    }
    for (const auto& running : desktop->runningApplications(kFinderBundleIdentifier)) {
        desktop->activate(running->processIdentifier());
        break;
    }
}

std::vector<URL> revealedURLs() {
    auto& state = *record();
    MutexLock lock(state.mutex);
    return state.revealed;
}

} // namespace zestrel::platform
