#pragma once

#include "platform/appkit/NSView.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <memory>

namespace zestrel::platform::swiftui {

// A platform view placed in the declarative tree (`NSViewRepresentable`). The view is made
// once for its place, when the place is first built, and kept while the place stays in the
// tree; its node is "NSViewRepresentable" labelled with the view's class name.
class NSViewRepresentable final : public View {
public:
    using MakeNSView = std::function<std::shared_ptr<NSView>()>;
    explicit NSViewRepresentable(MakeNSView makeNSView);
};

} // namespace zestrel::platform::swiftui
