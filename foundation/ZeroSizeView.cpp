#include "foundation/ZeroSizeView.h"

#include "platform/swiftui/Controls.h"

namespace zestrel {

platform::swiftui::View ZeroSizeView::body(platform::swiftui::ViewContext&) const {
    return platform::swiftui::ViewRepresentable([] { return std::make_shared<XViewType>(); });
}

} // namespace zestrel
