#pragma once

#include "platform/appkit/NSView.h"
#include "platform/swiftui/View.h"

#include <memory>

namespace zestrel {

// A platform view that takes no room: its frame is always made empty and it asks layout for
// no size, so it can carry behaviour (an observer, a responder) into a layout unseen.
class XViewType final : public platform::NSView {
public:
    XViewType() : NSView(platform::CGRect{}) {}
    std::string className() const override { return "XViewType"; }
    platform::CGSize intrinsicContentSize() const { return platform::CGSize{0, 0}; }
};

// The declarative wrapper of an `XViewType`: one representable node holding such a view.
struct ZeroSizeView {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

} // namespace zestrel
