#pragma once

#include "platform/swiftui/NSHostingView.h"

#include <memory>
#include <utility>

namespace zestrel {

// A hosting view whose content fills its whole bounds: no edge is kept clear, not even under
// a title bar that the content runs beneath. Main thread only.
class NoInsetHostingView final : public platform::swiftui::NSHostingView {
public:
    static std::shared_ptr<NoInsetHostingView>
    make(platform::swiftui::View rootView, platform::swiftui::EnvironmentValues environment =
                                               platform::swiftui::EnvironmentValues::standard()) {
        return NSHostingView::make<NoInsetHostingView>(std::move(rootView), std::move(environment));
    }

    platform::NSEdgeInsets safeAreaInsets() const override { return {}; }

private:
    friend class platform::swiftui::NSHostingView;
    NoInsetHostingView() = default;
};

} // namespace zestrel
