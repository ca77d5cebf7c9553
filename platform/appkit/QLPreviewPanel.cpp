#include "platform/appkit/QLPreviewPanel.h"

#include "platform/appkit/NSView.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Mutex.h"

#include <utility>

namespace zestrel::platform {
namespace {

struct Record {
    Mutex mutex;
    std::vector<URL> previewed GUARDED_BY(mutex);
};

ProcessLocal<Record>& record() {
    static auto* const instance = new ProcessLocal<Record>();
    return *instance;
}

// What the panel shows in place of the item's contents: its location.
class PreviewView final : public NSView {
public:
    explicit PreviewView(URL item) : item_(std::move(item)) {}
    std::string className() const override { return "QLPreviewView"; }
    void describeOutline(OutlineNode& node) const override {
        node.kind = "preview";
        node.label = item_.path();
    }

private:
    URL item_;
};

} // namespace

void QLPreviewPanel::preview(const URL& url, std::function<void()> onEnd) {
    end();
    {
        auto& state = *record();
        MutexLock lock(state.mutex);
        state.previewed.push_back(url);
    }
    item_ = url;
    onEnd_ = std::move(onEnd);
    setTitle(url.lastPathComponent());
    setContentView(std::make_shared<PreviewView>(url));
    makeKeyAndOrderFront();
}

void QLPreviewPanel::close() {
    end();
    NSPanel::close();
}

void QLPreviewPanel::end() {
    item_.reset();
    // Taken first: what it runs may preview something else.
    if (auto onEnd = std::exchange(onEnd_, nullptr)) {
        onEnd();
    }
}

std::vector<URL> QLPreviewPanel::previewedURLs() {
    auto& state = *record();
    MutexLock lock(state.mutex);
    return state.previewed;
}

} // namespace zestrel::platform
