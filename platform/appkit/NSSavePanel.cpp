#include "platform/appkit/NSSavePanel.h"

#include "platform/base/ProcessLocal.h"
#include "platform/base/ThreadChecker.h"

#include <deque>

namespace zestrel::platform {
namespace {

struct SavePanelBook {
    std::deque<SavePanelAnswer> answers;
    std::vector<NSSavePanel::Record> records;
};

SavePanelBook& book() {
    static auto* const local = new ProcessLocal<SavePanelBook>();
    return local->get();
}

} // namespace

std::shared_ptr<NSSavePanel> NSSavePanel::savePanel() {
    return std::make_shared<NSSavePanel>();
}

NSModalResponse NSSavePanel::runModal() {
    ThreadChecker::checkMainThread("NSSavePanel");
    url_.reset();
    SavePanelBook& panels = book();
    if (!panels.answers.empty()) {
        url_ = std::move(panels.answers.front().url);
        panels.answers.pop_front();
    }
    const NSModalResponse response = url_ ? NSModalResponseOK : NSModalResponseCancel;
    panels.records.push_back(Record{title, prompt, nameFieldStringValue, allowedContentTypes,
                                    directoryURL, url_, response, identifier});
    return response;
}

void NSSavePanel::enqueueAnswer(SavePanelAnswer answer) {
    book().answers.push_back(std::move(answer));
}

std::size_t NSSavePanel::pendingAnswers() {
    return book().answers.size();
}

std::vector<NSSavePanel::Record> NSSavePanel::shownPanels() {
    return book().records;
}

} // namespace zestrel::platform
