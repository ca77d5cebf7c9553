#pragma once

#include "platform/appkit/NSTableView.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSViewController.h"
#include "platform/appkit/ValueControls.h"
#include "platform/base/DispatchQueue.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/View.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

// Finding the AppKit view behind a declarative view: an invisible marker is put beside it,
// and once the framework has placed the marker in the AppKit tree, a search from the marker
// hands the view it finds to a closure that configures it.

namespace zestrel {

// A hidden, zero-sized view that stands beside a declarative view. It never takes a click,
// so the declarative view's own hit testing is untouched. The lookup that makes it names
// the class looked for in its accessibility label: "LookupMarkerView<NSTableView>".
class LookupMarkerView final : public platform::NSView {
public:
    LookupMarkerView();
    std::string className() const override { return "LookupMarkerView"; }
    std::shared_ptr<platform::NSView> hitTest(platform::CGPoint point) override;
    void describeOutline(platform::OutlineNode& node) const override;
};

// The unqualified name of a C++ type: "NSTableView" for platform::NSTableView.
std::string unqualifiedTypeName(const std::type_info& type);

// Searches of the AppKit view tree and of view controllers. A view or controller is of type
// T when it is a T or a subclass of one. Each answers nothing when it finds nothing.
namespace ViewLookup {

template <class T, class U> std::shared_ptr<T> as(const std::shared_ptr<U>& object) {
    return std::dynamic_pointer_cast<T>(object);
}

// Depth first, pre-order, the root itself not tested.
template <class T>
std::shared_ptr<T> firstDescendant(const std::shared_ptr<platform::NSView>& root) {
    if (!root) {
        return nullptr;
    }
    for (const auto& subview : root->subviews()) {
        if (auto found = as<T>(subview)) {
            return found;
        }
        if (auto found = firstDescendant<T>(subview)) {
            return found;
        }
    }
    return nullptr;
}

// The nearest superview of type T.
template <class T> std::shared_ptr<T> ancestor(const std::shared_ptr<platform::NSView>& from) {
    for (auto view = from ? from->superview() : nullptr; view; view = view->superview()) {
        if (auto found = as<T>(view)) {
            return found;
        }
    }
    return nullptr;
}

// The nearest superview whose class name contains "ViewHost" / "HostingView" (case counts).
std::shared_ptr<platform::NSView> viewHostAncestor(const std::shared_ptr<platform::NSView>& from);
std::shared_ptr<platform::NSView>
hostingViewAncestor(const std::shared_ptr<platform::NSView>& from);

// The siblings that precede `from` under its parent, nearest first; none when `from` has no
// parent, is not among its children, or comes first. Generic over the accessors, so it
// serves views and view controllers alike.
template <class Node, class ParentOf, class ChildrenOf>
std::vector<std::shared_ptr<Node>> precedingSiblings(const std::shared_ptr<Node>& from,
                                                     ParentOf parentOf, ChildrenOf childrenOf) {
    const auto parent = from ? parentOf(*from) : nullptr;
    if (!parent) {
        return {};
    }
    const auto children = childrenOf(*parent);
    const auto at = std::find(children.begin(), children.end(), from);
    if (at == children.end()) {
        return {};
    }
    return std::vector<std::shared_ptr<Node>>(std::make_reverse_iterator(at), children.rend());
}

// `from` and the siblings after it, in order; none when it is not among its parent's.
template <class Node, class ParentOf, class ChildrenOf>
std::vector<std::shared_ptr<Node>> followingSiblings(const std::shared_ptr<Node>& from,
                                                     ParentOf parentOf, ChildrenOf childrenOf) {
    const auto parent = from ? parentOf(*from) : nullptr;
    if (!parent) {
        return {};
    }
    const auto children = childrenOf(*parent);
    const auto at = std::find(children.begin(), children.end(), from);
    return std::vector<std::shared_ptr<Node>>(at, children.end());
}

inline auto superviewOf = [](const platform::NSView& view) { return view.superview(); };
inline auto subviewsOf = [](const platform::NSView& view) { return view.subviews(); };
inline auto parentOf = [](const platform::NSViewController& controller) {
    return controller.parentViewController();
};
inline auto childrenOf = [](const platform::NSViewController& controller) {
    return controller.childViewControllers();
};

// The preceding siblings, nearest first, each searched below (not tested itself).
template <class T>
std::shared_ptr<T> previousSiblingContaining(const std::shared_ptr<platform::NSView>& from) {
    for (const auto& sibling : precedingSiblings(from, superviewOf, subviewsOf)) {
        if (auto found = firstDescendant<T>(sibling)) {
            return found;
        }
    }
    return nullptr;
}

// The nearest preceding sibling that is itself of type T (its descendants not searched).
template <class T, class Node, class ParentOf, class ChildrenOf>
std::shared_ptr<T> previousSibling(const std::shared_ptr<Node>& from, ParentOf parentOf,
                                   ChildrenOf childrenOf) {
    for (const auto& sibling : precedingSiblings(from, parentOf, childrenOf)) {
        if (auto found = as<T>(sibling)) {
            return found;
        }
    }
    return nullptr;
}
template <class T>
std::shared_ptr<T> previousSibling(const std::shared_ptr<platform::NSView>& from) {
    return previousSibling<T>(from, superviewOf, subviewsOf);
}

// The same towards the end of the superview's subviews, `from` itself included.
template <class T>
std::shared_ptr<T> nextSiblingContaining(const std::shared_ptr<platform::NSView>& from) {
    for (const auto& sibling : followingSiblings(from, superviewOf, subviewsOf)) {
        if (auto found = firstDescendant<T>(sibling)) {
            return found;
        }
    }
    return nullptr;
}
template <class T> std::shared_ptr<T> nextSibling(const std::shared_ptr<platform::NSView>& from) {
    for (const auto& sibling : followingSiblings(from, superviewOf, subviewsOf)) {
        if (auto found = as<T>(sibling)) {
            return found;
        }
    }
    return nullptr;
}

// Of the candidates under the root (each subview that is a T, else the first T below it),
// the one under the anchor's centre; a single candidate wins wherever it lies.
template <class T>
std::shared_ptr<T> descendantNearCenter(const std::shared_ptr<platform::NSView>& root,
                                        const std::shared_ptr<platform::NSView>& anchor) {
    if (!root || !anchor) {
        return nullptr;
    }
    std::vector<std::shared_ptr<T>> candidates;
    for (const auto& subview : root->subviews()) {
        if (auto found = as<T>(subview)) {
            candidates.push_back(std::move(found));
        } else if (auto below = firstDescendant<T>(subview)) {
            candidates.push_back(std::move(below));
        }
    }
    if (candidates.size() < 2) {
        return candidates.empty() ? nullptr : candidates.front();
    }
    const platform::CGPoint center{anchor->frame().size.width / 2, anchor->frame().size.height / 2};
    for (const auto& candidate : candidates) {
        const platform::CGPoint point = candidate->convertPoint(center, anchor.get());
        const platform::CGRect area{platform::CGPoint{}, candidate->frame().size};
        if (platform::CGRectContainsPoint(area, point)) {
            return candidate;
        }
    }
    return nullptr;
}

// Up the superviews: each one of type T wins, else the candidate under the starting view's
// centre within it.
template <class T>
std::shared_ptr<T> ancestorOrAncestorChild(const std::shared_ptr<platform::NSView>& from) {
    for (auto view = from ? from->superview() : nullptr; view; view = view->superview()) {
        if (auto found = as<T>(view)) {
            return found;
        }
        if (auto found = descendantNearCenter<T>(view, from)) {
            return found;
        }
    }
    return nullptr;
}

// Depth first among the child controllers; the controller itself last.
template <class T>
std::shared_ptr<T>
firstChildViewController(const std::shared_ptr<platform::NSViewController>& controller) {
    if (!controller) {
        return nullptr;
    }
    for (const auto& child : controller->childViewControllers()) {
        if (auto found = as<T>(child)) {
            return found;
        }
        if (auto found = firstChildViewController<T>(child)) {
            return found;
        }
    }
    return as<T>(controller);
}

template <class T>
std::shared_ptr<T>
previousSiblingViewControllerContaining(const std::shared_ptr<platform::NSViewController>& from) {
    for (const auto& sibling : precedingSiblings(from, parentOf, childrenOf)) {
        if (auto found = firstChildViewController<T>(sibling)) {
            return found;
        }
    }
    return nullptr;
}

template <class T>
std::shared_ptr<T>
previousSiblingViewController(const std::shared_ptr<platform::NSViewController>& from) {
    return previousSibling<T>(from, parentOf, childrenOf);
}

// The searches the modifiers use, from the marker; "the host" is its view-host ancestor.
template <class T>
std::shared_ptr<T> hostSiblingContaining(const std::shared_ptr<platform::NSView>& from) {
    const auto host = viewHostAncestor(from);
    return host ? previousSiblingContaining<T>(host) : nullptr;
}
template <class T>
std::shared_ptr<T> hostDirectSibling(const std::shared_ptr<platform::NSView>& from) {
    const auto host = viewHostAncestor(from);
    return host ? previousSibling<T>(host) : nullptr;
}
template <class T>
std::shared_ptr<T> hostSiblingOrAncestor(const std::shared_ptr<platform::NSView>& from) {
    if (auto found = hostSiblingContaining<T>(from)) {
        return found;
    }
    return ancestor<T>(from);
}
template <class T>
std::shared_ptr<T> hostSiblingOrAncestorChild(const std::shared_ptr<platform::NSView>& from) {
    if (auto found = hostSiblingContaining<T>(from)) {
        return found;
    }
    return ancestorOrAncestorChild<T>(from);
}
template <class T>
std::shared_ptr<T> hostDirectSiblingOrAncestor(const std::shared_ptr<platform::NSView>& from) {
    if (auto found = hostDirectSibling<T>(from)) {
        return found;
    }
    return ancestor<T>(from);
}
template <class T>
std::shared_ptr<T> ancestorOrHostSibling(const std::shared_ptr<platform::NSView>& from) {
    if (auto found = ancestor<T>(from)) {
        return found;
    }
    return hostSiblingContaining<T>(from);
}
template <class T>
std::shared_ptr<T> ancestorOrHostDirectSibling(const std::shared_ptr<platform::NSView>& from) {
    if (auto found = ancestor<T>(from)) {
        return found;
    }
    return hostDirectSibling<T>(from);
}

} // namespace ViewLookup

// The declarative view that carries the marker: making it makes a marker (no search yet);
// every update posts one search to the main queue, by when the framework has put the marker
// in the tree, and hands what it finds to `customize`, so that runs once per update.
template <class T> struct AppKitLookupView {
    std::function<std::shared_ptr<T>(const std::shared_ptr<LookupMarkerView>&)> selector;
    std::function<void(const std::shared_ptr<T>&)> customize;

    std::shared_ptr<LookupMarkerView> makeNSView() const {
        auto marker = std::make_shared<LookupMarkerView>();
        marker->setAccessibilityLabel("LookupMarkerView<" + unqualifiedTypeName(typeid(T)) + ">");
        return marker;
    }
    void updateNSView(const std::shared_ptr<LookupMarkerView>& marker) const {
        platform::DispatchQueue::main().async([marker, selector = selector, customize = customize] {
            if (auto found = selector ? selector(marker) : nullptr; found && customize) {
                customize(found);
            }
        });
    }
    platform::swiftui::View body(platform::swiftui::ViewContext& /*context*/) const {
        const AppKitLookupView self = *this;
        return platform::swiftui::ViewRepresentable(
            [self] { return std::static_pointer_cast<platform::NSView>(self.makeNSView()); },
            [self](platform::NSView& view) {
                self.updateNSView(
                    std::static_pointer_cast<LookupMarkerView>(view.shared_from_this()));
            });
    }
};

// Puts a zero-sized marker over `content`, inside its first visible node, and hands the view
// the selector finds to `customize` after each update.
platform::swiftui::View lookUpMarker(platform::swiftui::View content,
                                     platform::swiftui::View marker);

template <class T>
platform::swiftui::View
lookUp(platform::swiftui::View content,
       std::function<std::shared_ptr<T>(const std::shared_ptr<LookupMarkerView>&)> selector,
       std::function<void(const std::shared_ptr<T>&)> customize) {
    return lookUpMarker(
        std::move(content),
        platform::swiftui::View(AppKitLookupView<T>{std::move(selector), std::move(customize)})
            .modifier("frame", "width: 0, height: 0"));
}

// The ready-made searches by class.
template <class T> using Customize = std::function<void(const std::shared_ptr<T>&)>;
platform::swiftui::View lookUpNSTableView(platform::swiftui::View content,
                                          Customize<platform::NSTableView> customize);
platform::swiftui::View lookUpNSTableCellView(platform::swiftui::View content,
                                              Customize<platform::NSTableCellView> customize);
platform::swiftui::View lookUpNSScrollView(platform::swiftui::View content,
                                           Customize<platform::NSScrollView> customize);
platform::swiftui::View lookUpNSTextField(platform::swiftui::View content,
                                          Customize<platform::NSTextField> customize);
platform::swiftui::View lookUpNSTextView(platform::swiftui::View content,
                                         Customize<platform::NSTextView> customize);
platform::swiftui::View lookUpNSSlider(platform::swiftui::View content,
                                       Customize<platform::NSSlider> customize);
platform::swiftui::View lookUpNSStepper(platform::swiftui::View content,
                                        Customize<platform::NSStepper> customize);
platform::swiftui::View lookUpNSDatePicker(platform::swiftui::View content,
                                           Customize<platform::NSDatePicker> customize);
platform::swiftui::View lookUpNSSegmentedControl(platform::swiftui::View content,
                                                 Customize<platform::NSSegmentedControl> customize);
platform::swiftui::View lookUpNSTabView(platform::swiftui::View content,
                                        Customize<platform::NSTabView> customize);
platform::swiftui::View lookUpNSButton(platform::swiftui::View content,
                                       Customize<platform::NSButton> customize);
platform::swiftui::View lookUpNSColorWell(platform::swiftui::View content,
                                          Customize<platform::NSColorWell> customize);

} // namespace zestrel
