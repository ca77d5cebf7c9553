#include "platform/appkit/NSOpenPanel.h"

#include "platform/base/ProcessLocal.h"
#include "platform/base/ThreadChecker.h"

#include <deque>
#include <filesystem>

namespace zestrel::platform {
namespace {

struct PanelBook {
    std::deque<OpenPanelAnswer> answers;
    std::vector<NSOpenPanel::Record> records;
};

PanelBook& book() {
    static auto* const local = new ProcessLocal<PanelBook>();
    return local->get();
}

// Application bundles are chosen as files, as the Finder shows them.
bool isFolder(const URL& url) {
    std::error_code error;
    return std::filesystem::is_directory(url.path(), error) && url.pathExtension() != "app";
}

} // namespace

std::shared_ptr<NSOpenPanel> NSOpenPanel::openPanel() {
    return std::make_shared<NSOpenPanel>();
}

std::optional<URL> NSOpenPanel::url() const {
    return urls_.empty() ? std::nullopt : std::optional<URL>(urls_.front());
}

NSOpenPanel::Attempt NSOpenPanel::attempt(std::vector<URL> urls) {
    Attempt tried{std::move(urls), std::nullopt, std::nullopt};
    if (!allowsMultipleSelection && tried.urls.size() > 1) {
        tried.disabledURL = tried.urls[1];
        return tried;
    }
    const auto currentDelegate = delegate();
    for (const auto& url : tried.urls) {
        const bool choosable = isFolder(url) ? canChooseDirectories : canChooseFiles;
        if (!choosable || (currentDelegate && !currentDelegate->panelShouldEnableURL(*this, url))) {
            tried.disabledURL = url;
            return tried;
        }
    }
    for (const auto& url : tried.urls) {
        std::optional<Error> error;
        if (currentDelegate && !currentDelegate->panelValidateURL(*this, url, &error)) {
            // A refusal without a reason still keeps the panel open; it shows a generic one.
            tried.error = error.value_or(NSError::make(NSCocoaErrorDomain, 256));
            return tried;
        }
    }
    return tried;
}

NSModalResponse NSOpenPanel::runModal() {
    ThreadChecker::checkMainThread("NSOpenPanel");
    urls_.clear();
    Record record{title,
                  message,
                  prompt,
                  directoryURL,
                  canChooseFiles,
                  canChooseDirectories,
                  {},
                  NSModalResponseCancel};
    PanelBook& panels = book();
    while (!panels.answers.empty()) {
        OpenPanelAnswer answer = std::move(panels.answers.front());
        panels.answers.pop_front();
        if (answer.urls.empty()) {
            break;
        }
        Attempt tried = attempt(std::move(answer.urls));
        const bool accepted = !tried.refused();
        record.attempts.push_back(tried);
        if (accepted) {
            urls_ = tried.urls;
            record.response = NSModalResponseOK;
            break;
        }
    }
    book().records.push_back(record);
    return record.response;
}

void NSOpenPanel::enqueueAnswer(OpenPanelAnswer answer) {
    book().answers.push_back(std::move(answer));
}

std::size_t NSOpenPanel::pendingAnswers() {
    return book().answers.size();
}

std::vector<NSOpenPanel::Record> NSOpenPanel::shownPanels() {
    return book().records;
}

} // namespace zestrel::platform
