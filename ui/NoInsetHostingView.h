#pragma once

#include "platform/swiftui/NSHostingView.h"

#include <memory>
#include <utility>

namespace zestrel {

// A hosting view whose content fills its whole bounds: no edge is kept clear, not even under
// a title bar that the content runs beneath. Main thread only.
class NoInsetHostingView final : public platform::swiftui::NSHostingView {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<NoInsetHostingView>
    make(platform::swiftui::View rootView, platform::swiftui::EnvironmentValues environment =
                                               platform::swiftui::EnvironmentValues::standard()) {
        auto view = std::make_shared<NoInsetHostingView>(Passkey{});
        view->install(std::move(rootView), std::move(environment));
        return view;
    }
    explicit NoInsetHostingView(Passkey) {}

    platform::NSEdgeInsets safeAreaInsets() const override { return {}; }
};

} // namespace zestrel
