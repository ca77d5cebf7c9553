#include "foundation/ZeroSizeView.h"

#include "platform/swiftui/NSViewRepresentable.h"

namespace zestrel {

platform::swiftui::View ZeroSizeView::body(platform::swiftui::ViewContext&) const {
    return platform::swiftui::NSViewRepresentable([] { return std::make_shared<XViewType>(); });
}

} // namespace zestrel
