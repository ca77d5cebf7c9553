#pragma once

#include "platform/appkit/NSView.h"
#include "platform/data/KeyedArchive.h"
#include "platform/swiftui/View.h"

#include <memory>

namespace zestrel {

// A platform view that takes no room: its frame is always made empty and it asks layout for
// no size, so it can carry behaviour (an observer, a responder) into a layout unseen.
class XViewType final : public platform::NSView, public platform::NSCoding {
public:
    XViewType() : NSView(platform::CGRect{}) {}
    // From an archive the view is decoded as any view is: the archived frame, visibility and
    // identifier come back as they were, not forced empty.
    explicit XViewType(const platform::CGRect& archivedFrame) : NSView(archivedFrame) {}

    std::string className() const override { return "XViewType"; }
    platform::CGSize intrinsicContentSize() const override { return platform::CGSize{0, 0}; }

    // The frame ("NSFrameX", "NSFrameY", "NSFrameWidth", "NSFrameHeight"), "NSHidden" and
    // "NSIdentifier" (when there is one).
    platform::Value::Dictionary encodedFields() const override;
    // Missing fields keep a new view's values; a field of the wrong kind makes no view.
    static const platform::ArchivableClass& archivableClass();
};

// The declarative wrapper of an `XViewType`: one representable node holding such a view.
struct ZeroSizeView {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

} // namespace zestrel
