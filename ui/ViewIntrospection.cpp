#include "ui/ViewIntrospection.h"

#include <cxxabi.h>

#include <cstdlib>

namespace zestrel {

namespace pf = platform;
using pf::swiftui::Nodes;
using pf::swiftui::View;
using pf::swiftui::ViewContext;

LookupMarkerView::LookupMarkerView() : NSView(pf::CGRect{}) {
    setHidden(true);
}

std::shared_ptr<pf::NSView> LookupMarkerView::hitTest(pf::CGPoint /*point*/) {
    return nullptr;
}

void LookupMarkerView::describeOutline(pf::OutlineNode& node) const {
    node.kind = "lookup marker";
}

std::string unqualifiedTypeName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    if (const auto colons = name.rfind("::"); colons != std::string::npos) {
        name.erase(0, colons + 2);
    }
    return name;
}

namespace ViewLookup {

namespace {

std::shared_ptr<pf::NSView> ancestorNamed(const std::shared_ptr<pf::NSView>& from,
                                          std::string_view part) {
    for (auto view = from ? from->superview() : nullptr; view; view = view->superview()) {
        if (view->className().find(part) != std::string::npos) {
            return view;
        }
    }
    return nullptr;
}

} // namespace

std::shared_ptr<pf::NSView> viewHostAncestor(const std::shared_ptr<pf::NSView>& from) {
    return ancestorNamed(from, "ViewHost");
}

std::shared_ptr<pf::NSView> hostingViewAncestor(const std::shared_ptr<pf::NSView>& from) {
    return ancestorNamed(from, "HostingView");
}

} // namespace ViewLookup

View lookUpMarker(View content, View marker) {
    return View(View::Build([content = std::move(content),
                             marker = std::move(marker)](ViewContext& context, Nodes& into) {
        Nodes built;
        content.build(context, built);
        Nodes markers;
        ViewContext markerContext = context.child("lookUp");
        marker.build(markerContext, markers);
        // An overlay belongs to the view it lies over.
        const Nodes visible = pf::swiftui::visibleNodes(built);
        auto& holder = visible.empty() ? built : visible.front()->children;
        holder.insert(holder.end(), markers.begin(), markers.end());
        into.insert(into.end(), built.begin(), built.end());
    }));
}

namespace {

template <class T> using Selector = std::shared_ptr<T> (*)(const std::shared_ptr<pf::NSView>&);

template <class T> View lookUpWith(View content, Selector<T> search, Customize<T> customize) {
    return lookUp<T>(
        std::move(content),
        [search](const std::shared_ptr<LookupMarkerView>& marker) { return search(marker); },
        std::move(customize));
}

} // namespace

View lookUpNSTableView(View content, Customize<pf::NSTableView> customize) {
    return lookUpWith<pf::NSTableView>(std::move(content),
                                       &ViewLookup::ancestorOrHostSibling<pf::NSTableView>,
                                       std::move(customize));
}

View lookUpNSTableCellView(View content, Customize<pf::NSTableCellView> customize) {
    return lookUpWith<pf::NSTableCellView>(std::move(content),
                                           &ViewLookup::ancestorOrHostSibling<pf::NSTableCellView>,
                                           std::move(customize));
}

View lookUpNSScrollView(View content, Customize<pf::NSScrollView> customize) {
    return lookUpWith<pf::NSScrollView>(std::move(content),
                                        &ViewLookup::hostDirectSiblingOrAncestor<pf::NSScrollView>,
                                        std::move(customize));
}

View lookUpNSTextView(View content, Customize<pf::NSTextView> customize) {
    return lookUpWith<pf::NSTextView>(std::move(content),
                                      &ViewLookup::hostSiblingOrAncestorChild<pf::NSTextView>,
                                      std::move(customize));
}

View lookUpNSTextField(View content, Customize<pf::NSTextField> customize) {
    return lookUpWith<pf::NSTextField>(std::move(content),
                                       &ViewLookup::hostSiblingContaining<pf::NSTextField>,
                                       std::move(customize));
}

View lookUpNSSlider(View content, Customize<pf::NSSlider> customize) {
    return lookUpWith<pf::NSSlider>(
        std::move(content), &ViewLookup::hostSiblingContaining<pf::NSSlider>, std::move(customize));
}

View lookUpNSStepper(View content, Customize<pf::NSStepper> customize) {
    return lookUpWith<pf::NSStepper>(std::move(content),
                                     &ViewLookup::hostSiblingContaining<pf::NSStepper>,
                                     std::move(customize));
}

View lookUpNSDatePicker(View content, Customize<pf::NSDatePicker> customize) {
    return lookUpWith<pf::NSDatePicker>(std::move(content),
                                        &ViewLookup::hostSiblingContaining<pf::NSDatePicker>,
                                        std::move(customize));
}

View lookUpNSSegmentedControl(View content, Customize<pf::NSSegmentedControl> customize) {
    return lookUpWith<pf::NSSegmentedControl>(
        std::move(content), &ViewLookup::hostSiblingContaining<pf::NSSegmentedControl>,
        std::move(customize));
}

View lookUpNSTabView(View content, Customize<pf::NSTabView> customize) {
    return lookUpWith<pf::NSTabView>(std::move(content),
                                     &ViewLookup::hostSiblingContaining<pf::NSTabView>,
                                     std::move(customize));
}

View lookUpNSButton(View content, Customize<pf::NSButton> customize) {
    return lookUpWith<pf::NSButton>(
        std::move(content), &ViewLookup::hostSiblingContaining<pf::NSButton>, std::move(customize));
}

View lookUpNSColorWell(View content, Customize<pf::NSColorWell> customize) {
    return lookUpWith<pf::NSColorWell>(std::move(content),
                                       &ViewLookup::hostSiblingContaining<pf::NSColorWell>,
                                       std::move(customize));
}

} // namespace zestrel
