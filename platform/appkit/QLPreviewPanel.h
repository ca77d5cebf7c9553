#pragma once

#include "platform/appkit/NSWindow.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zestrel::platform {

// The Quick Look panel: one per process, previewing one item at a time. Nothing is drawn:
// its outline names the item, its title is the item's name, and every preview is recorded.
class QLPreviewPanel final : public NSPanel {
public:
    QLPreviewPanel()
        : NSPanel(CGRect(0, 0, 512, 512), StyleMask::titled | StyleMask::closable |
                                              StyleMask::resizable | StyleMask::utilityWindow) {
        setTitle("Quick Look");
        setReleasedWhenClosed(false);
    }
    static std::shared_ptr<QLPreviewPanel> sharedPreviewPanel() {
        static auto* const local = new ProcessLocal<std::shared_ptr<QLPreviewPanel>>();
        auto& panel = local->get();
        if (!panel) {
            panel = std::make_shared<QLPreviewPanel>();
        }
        return panel;
    }
    std::string className() const override { return "QLPreviewPanel"; }

    // The item shown; nothing while the panel is closed.
    const std::optional<URL>& previewItemURL() const { return item_; }
    // Shows the panel in front, as key, previewing `url`. `onEnd` runs once, when the panel
    // closes or turns to another item.
    void preview(const URL& url, std::function<void()> onEnd = {});
    void close() override;

    // The items previewed in this process, in order.
    static std::vector<URL> previewedURLs();

private:
    void end();

    std::optional<URL> item_;
    std::function<void()> onEnd_;
};

} // namespace zestrel::platform
