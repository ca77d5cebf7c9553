#include "platform/desktop/FileViewer.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/FileManagerApp.h"

#include <filesystem>
#include <optional>
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

// Shows the item in the Finder: its folder for the first one, then selected along with the
// ones before it. Throws the Finder's error when it will not; a first item refused leaves
// the Finder where it was.
void showInFinder(FileManagerApplication& finder, const fs::path& item,
                  std::optional<fs::path>& shownFolder, std::vector<std::string>& names) {
    auto wanted = names;
    wanted.push_back(item.filename().string());
    if (shownFolder) {
        finder.select(wanted);
    } else {
        const fs::path before = finder.currentFolder();
        const auto selection = finder.selection();
        finder.openFolder(item.parent_path());
        try {
            finder.select(wanted);
        } catch (const Error&) {
            std::vector<std::string> selected;
            for (const auto& path : selection) {
                selected.push_back(path.filename().string());
            }
            try {
                finder.openFolder(before);
                finder.select(selected);
            } catch (const Error&) {
                // What it showed has gone meanwhile: it shows what it can.
            }
            throw;
        }
        shownFolder = item.parent_path();
    }
    names = std::move(wanted);
}

} // namespace

void activateFileViewerSelectingURLs(const std::vector<URL>& urls) {
    const auto desktop = Desktop::current();
    const auto finder = desktop->application<FileManagerApplication>(kFinderBundleIdentifier);
    std::optional<fs::path> shownFolder;
    std::vector<std::string> names;
    std::vector<URL> revealed;
    for (const auto& url : urls) {
        const fs::path item = itemPath(url);
        std::optional<std::string> refusal;
        std::error_code error;
        if (!finder) {
            refusal = "the Finder is not running";
        } else if (!fs::exists(fs::symlink_status(item, error))) {
            refusal = "it does not exist";
        } else if (shownFolder && item.parent_path() != *shownFolder) {
            refusal = "it is not in “" + shownFolder->string() + "”, the folder shown";
        } else {
            try {
                showInFinder(*finder, item, shownFolder, names);
            } catch (const Error& finderError) {
                refusal = finderError.localizedDescription();
            }
        }
        if (refusal) {
            desktop->log("Finder did not reveal " + item.string() + ": " + *refusal);
            continue;
        }
        revealed.push_back(url);
        desktop->log("Finder revealed " + item.string());
    }
    if (revealed.empty()) {
        return;
    }
    {
        auto& state = *record();
        MutexLock lock(state.mutex);
        state.revealed.insert(state.revealed.end(), revealed.begin(), revealed.end());
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
