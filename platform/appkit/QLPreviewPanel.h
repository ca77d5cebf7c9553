#pragma once

#include "platform/appkit/NSWindow.h"
#include "platform/base/ProcessLocal.h"

#include <memory>

namespace zestrel::platform {

// The Quick Look panel: one per process, previewing what its data source offers (nothing
// is previewed here).
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
};

} // namespace zestrel::platform
