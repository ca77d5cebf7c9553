#include "ui/ViewIntrospection.h"

#include "platform/appkit/TextOutline.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using namespace platform;
namespace lookup = ViewLookup;

// A view of a class the framework names, such as its hosts.
class NamedView : public NSView {
public:
    explicit NamedView(std::string name, CGRect frame = {})
        : NSView(frame), name_(std::move(name)) {}
    std::string className() const override { return name_; }

private:
    std::string name_;
};

template <class V, class... Args>
std::shared_ptr<V> under(const std::shared_ptr<NSView>& parent, Args&&... args) {
    auto view = std::make_shared<V>(std::forward<Args>(args)...);
    parent->addSubview(view);
    return view;
}

std::shared_ptr<LookupMarkerView> markerIn(const std::shared_ptr<NSView>& parent) {
    return under<LookupMarkerView>(parent);
}

TEST(ViewIntrospectionTest, MarkerIsHiddenTakesNoClickAndNamesWhatIsLookedFor) {
    testing::TestEnvironment env;
    const auto marker = AppKitLookupView<NSTableView>{}.makeNSView();
    EXPECT_EQ(marker->accessibilityLabel(), "LookupMarkerView<NSTableView>");
    EXPECT_TRUE(marker->isHidden());
    EXPECT_EQ(marker->frame(), CGRect());
    EXPECT_EQ(marker->hitTest({0, 0}), nullptr);
    EXPECT_EQ(unqualifiedTypeName(typeid(NSSegmentedControl)), "NSSegmentedControl");
}

TEST(ViewIntrospectionTest, HostIsTheNearestSuperviewNamedViewHostAnywhereInItsName) {
    testing::TestEnvironment env;
    for (const char* name : {"ViewHostRoot", "_NSViewHostFrame", "SwiftUI.PlatformViewHost"}) {
        auto outer = std::make_shared<NamedView>("NSViewHostOuter");
        auto host = under<NamedView>(outer, name);
        auto lower = under<NamedView>(host, "SwiftUI.viewhost"); // case counts
        auto hosting = under<NamedView>(lower, "SwiftUI.NSHostingView");
        auto marker = markerIn(hosting);
        EXPECT_EQ(lookup::viewHostAncestor(marker), host) << name;
        EXPECT_EQ(lookup::hostingViewAncestor(marker), hosting);
    }
    auto alone = std::make_shared<NSView>();
    EXPECT_EQ(lookup::viewHostAncestor(markerIn(alone)), nullptr);
}

TEST(ViewIntrospectionTest, TextFieldIsLookedForBelowTheHostsEarlierSiblingsNearestFirst) {
    testing::TestEnvironment env;
    auto container = std::make_shared<NSView>();
    under<NSTextField>(under<NSView>(container)); // farther from the host
    auto near = under<NSTextField>(under<NSView>(container));
    auto plain = under<NSTextField>(container); // a sibling that is itself a field
    auto host = under<NamedView>(container, "PlatformViewHost");
    auto marker = markerIn(host);
    EXPECT_EQ(lookup::hostSiblingContaining<NSTextField>(marker), near);
    EXPECT_EQ(lookup::previousSibling<NSTextField>(host), plain) << "the direct search does see it";

    // A host that comes first has nothing before it.
    auto first = std::make_shared<NSView>();
    auto firstHost = under<NamedView>(first, "PlatformViewHost");
    under<NSView>(first)->addSubview(std::make_shared<NSTextField>());
    EXPECT_EQ(lookup::hostSiblingContaining<NSTextField>(markerIn(firstHost)), nullptr);
}

TEST(ViewIntrospectionTest, ReadyMadeSearchesTakeAncestorsAndSiblingsInTheirOwnOrder) {
    testing::TestEnvironment env;
    // A table enclosing the marker wins over one beside the host.
    auto outerTable = std::make_shared<NSTableView>();
    auto besideTable = under<NSTableView>(under<NSView>(outerTable));
    auto host = under<NamedView>(outerTable, "PlatformViewHost");
    auto marker = markerIn(under<NSTableCellView>(host));
    EXPECT_EQ(lookup::ancestorOrHostSibling<NSTableView>(marker), outerTable);
    EXPECT_EQ(lookup::hostSiblingOrAncestor<NSTableView>(marker), besideTable);
    EXPECT_NE(lookup::ancestorOrHostSibling<NSTableCellView>(marker), nullptr);

    // A scroll view counts only as the host's own sibling, not below one; else an ancestor.
    auto outerScroll = std::make_shared<NSScrollView>();
    auto container = under<NSView>(outerScroll);
    auto sibling = under<NSScrollView>(container);
    under<NSScrollView>(under<NSView>(container));
    auto scrollHost = under<NamedView>(container, "PlatformViewHost");
    auto scrollMarker = markerIn(scrollHost);
    EXPECT_EQ(lookup::hostDirectSiblingOrAncestor<NSScrollView>(scrollMarker), sibling);
    sibling->removeFromSuperview();
    EXPECT_EQ(lookup::hostDirectSiblingOrAncestor<NSScrollView>(scrollMarker), outerScroll);
    EXPECT_EQ(lookup::ancestorOrHostDirectSibling<NSScrollView>(scrollMarker), outerScroll);
}

TEST(ViewIntrospectionTest, CandidateNearTheCentreWinsOnlyAmongSeveral) {
    testing::TestEnvironment env;
    auto root = std::make_shared<NSView>(CGRect{0, 0, 200, 100});
    auto left = under<NSTextView>(root, CGRect{0, 0, 100, 100});
    auto rightWrapper = under<NSView>(root, CGRect{100, 0, 100, 100});
    auto right = under<NSTextView>(rightWrapper, CGRect{0, 0, 100, 100});
    auto anchor = under<NSView>(rightWrapper, CGRect{40, 40, 20, 20});
    EXPECT_EQ(lookup::descendantNearCenter<NSTextView>(root, anchor), right);
    EXPECT_EQ(lookup::ancestorOrAncestorChild<NSTextView>(anchor), right)
        << "the anchor's own superview holds one candidate: it wins";

    auto elsewhere = under<NSView>(root, CGRect{300, 300, 10, 10});
    EXPECT_EQ(lookup::descendantNearCenter<NSTextView>(root, elsewhere), nullptr)
        << "of several, none holds the centre";
    right->removeFromSuperview();
    EXPECT_EQ(lookup::descendantNearCenter<NSTextView>(root, elsewhere), left)
        << "a single candidate wins wherever it lies";
}

TEST(ViewIntrospectionTest, NextSiblingSearchesStartAtTheViewItself) {
    testing::TestEnvironment env;
    auto container = std::make_shared<NSView>();
    under<NSButton>(container);
    auto start = under<NSView>(container);
    auto next = under<NSButton>(container);
    auto nested = under<NSButton>(under<NSView>(container));
    EXPECT_EQ(lookup::nextSibling<NSButton>(start), next);
    EXPECT_EQ(lookup::nextSibling<NSButton>(next), next);
    EXPECT_EQ(lookup::nextSiblingContaining<NSButton>(start), nested);
}

class SpecialController : public NSViewController {};

TEST(ViewIntrospectionTest, ViewControllerSearchesGoDepthFirstAndTestTheControllerLast) {
    testing::TestEnvironment env;
    auto parent = std::make_shared<NSViewController>();
    auto first = std::make_shared<NSViewController>();
    auto grandchild = std::make_shared<SpecialController>();
    auto second = std::make_shared<SpecialController>();
    auto third = std::make_shared<NSViewController>();
    parent->addChildViewController(first);
    first->addChildViewController(grandchild);
    parent->addChildViewController(second);
    parent->addChildViewController(third);

    EXPECT_EQ(lookup::firstChildViewController<SpecialController>(parent), grandchild);
    EXPECT_EQ(lookup::firstChildViewController<SpecialController>(second), second);
    EXPECT_EQ(lookup::previousSiblingViewController<SpecialController>(third), second);
    EXPECT_EQ(lookup::previousSiblingViewControllerContaining<SpecialController>(second),
              grandchild);
    EXPECT_EQ(lookup::previousSiblingViewController<SpecialController>(first), nullptr);

    parent->addChildViewController(grandchild);
    EXPECT_EQ(grandchild->parentViewController(), parent) << "moved from its old parent";
    EXPECT_TRUE(first->childViewControllers().empty());
}

// A list whose declarative rows look up the table they are shown in. What it found is not
// held: the table holds the row.
using Found = std::vector<std::weak_ptr<NSTableView>>;
struct Row {
    std::shared_ptr<Found> found;
    swiftui::View body(swiftui::ViewContext& context) const {
        const auto bumps = context.state<int>("bumps", 0);
        return swiftui::VStack(
            {lookUpNSTableView(swiftui::Text("Row"),
                               [found = found](const std::shared_ptr<NSTableView>& table) {
                                   found->push_back(table);
                               }),
             swiftui::Button("Bump", [bumps] { bumps.set(bumps.get() + 1); })});
    }
};

TEST(ViewIntrospectionTest, LookUpHandsTheFoundViewOverAfterEveryUpdate) {
    testing::TestEnvironment env;
    auto found = std::make_shared<Found>();
    auto hosting = swiftui::NSHostingView::make(Row{found});
    auto table = std::make_shared<NSTableView>();
    under<NSTableCellView>(table)->addSubview(hosting);
    EXPECT_TRUE(found->empty()) << "the search waits for the main queue";

    env.runUntilIdle();
    ASSERT_EQ(found->size(), 1U);
    EXPECT_EQ(found->front().lock(), table);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(hosting->host()->click("Bump"));
        env.runUntilIdle();
    }
    EXPECT_EQ(found->size(), 4U) << "once per update";
    EXPECT_EQ(render(outline(*hosting)),
              "hosting view\n  vstack\n    text \"Row\"\n    button \"Bump\"\n"
              "  lookup marker [hidden]\n");
}

// The ready-made lookups from a declarative view. The representable whose view holds the
// target comes right before the modified view; a decoy of the same class lies farther off,
// so only the nearest-first order finds the target.
using Report = std::function<void(const std::shared_ptr<NSView>&)>;
struct ReadyMadeLookUp {
    const char* name;
    std::function<swiftui::View(swiftui::View, Report)> lookUp;
    // The view a representable makes, and the target in it; none: the target encloses the
    // hosting view instead.
    std::function<std::pair<std::shared_ptr<NSView>, std::shared_ptr<NSView>>()> make;
};

template <class T>
std::function<swiftui::View(swiftui::View, Report)> by(swiftui::View (*modifier)(swiftui::View,
                                                                                 Customize<T>)) {
    return [modifier](swiftui::View content, Report found) {
        return modifier(std::move(content),
                        [found](const std::shared_ptr<T>& view) { found(view); });
    };
}

template <class T> std::pair<std::shared_ptr<NSView>, std::shared_ptr<NSView>> itself() {
    auto view = std::make_shared<T>();
    return {view, view};
}

template <class T> std::pair<std::shared_ptr<NSView>, std::shared_ptr<NSView>> scrolled() {
    auto scrollView = std::make_shared<NSScrollView>();
    auto document = std::make_shared<T>();
    scrollView->setDocumentView(document);
    return {scrollView, document};
}

swiftui::View representable(std::shared_ptr<NSView> view) {
    return swiftui::ViewRepresentable([view] { return view; });
}

TEST(ViewIntrospectionTest, EachReadyMadeLookUpFindsItsTargetFromADeclarativeView) {
    const ReadyMadeLookUp lookUps[] = {
        {"NSTableView", by(&lookUpNSTableView), &scrolled<NSTableView>},
        {"NSTableCellView", by(&lookUpNSTableCellView), &itself<NSTableCellView>},
        {"NSScrollView", by(&lookUpNSScrollView), {}},
        {"NSTextField", by(&lookUpNSTextField), &itself<NSTextField>},
        {"NSTextView", by(&lookUpNSTextView),
         [] {
             auto scrollView = NSTextView::scrollableTextView();
             return std::pair<std::shared_ptr<NSView>, std::shared_ptr<NSView>>{
                 scrollView, scrollView->documentView()};
         }},
        {"NSSlider", by(&lookUpNSSlider), &itself<NSSlider>},
        {"NSStepper", by(&lookUpNSStepper), &itself<NSStepper>},
        {"NSDatePicker", by(&lookUpNSDatePicker), &itself<NSDatePicker>},
        {"NSSegmentedControl", by(&lookUpNSSegmentedControl), &itself<NSSegmentedControl>},
        {"NSTabView", by(&lookUpNSTabView), &itself<NSTabView>},
        {"NSButton", by(&lookUpNSButton), &itself<NSButton>},
        {"NSColorWell", by(&lookUpNSColorWell), &itself<NSColorWell>},
    };
    for (const auto& lookUp : lookUps) {
        testing::TestEnvironment env;
        // Not held: a target enclosing the hosting view would hold it in turn.
        auto found = std::make_shared<std::vector<std::weak_ptr<NSView>>>();
        const Report report = [found](const std::shared_ptr<NSView>& view) {
            found->push_back(view);
        };
        std::shared_ptr<NSView> target;
        std::shared_ptr<swiftui::NSHostingView> hosting;
        if (lookUp.make) {
            const auto decoy = lookUp.make();
            const auto [made, inMade] = lookUp.make();
            target = inMade;
            hosting = swiftui::NSHostingView::make(
                swiftui::VStack({representable(decoy.first), swiftui::Text("Between"),
                                 lookUp.lookUp(representable(made), report)}));
        } else {
            // A declarative view shown inside a scroll view, as scrolling content is.
            hosting = swiftui::NSHostingView::make(
                swiftui::VStack({representable(std::make_shared<NSScrollView>()),
                                 lookUp.lookUp(swiftui::Text("Scrolled"), report)}));
            auto scrollView = std::make_shared<NSScrollView>();
            scrollView->setDocumentView(hosting);
            target = scrollView;
        }
        env.runUntilIdle();
        ASSERT_EQ(found->size(), 1U) << lookUp.name;
        EXPECT_EQ(found->front().lock(), target) << lookUp.name;
        EXPECT_EQ(target->className(), lookUp.name);
    }
}

} // namespace
} // namespace zestrel
