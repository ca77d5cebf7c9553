#include "platform/appkit/NSView.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

class FlippedView : public NSView {
public:
    using NSView::NSView;
    bool isFlipped() const override { return true; }
};

TEST(NSViewGeometryTest, FlippedViewsCountDownFromTheirTop) {
    testing::TestEnvironment env;
    auto content = std::make_shared<NSView>(CGRect{0, 0, 200, 100});
    auto flipped = std::make_shared<FlippedView>(CGRect{20, 10, 100, 50});
    auto child = std::make_shared<NSView>(CGRect{5, 5, 10, 10});
    content->addSubview(flipped);
    flipped->addSubview(child);

    EXPECT_EQ(flipped->convertPointFromWindow({20, 60}), CGPoint({0, 0})) << "its top left";
    // The child stands 5 below the flipped view's top (60): its bottom at 45.
    EXPECT_EQ(child->convertPointToWindow({0, 0}), CGPoint({25, 45}));
    EXPECT_EQ(child->convertPointFromWindow({25, 45}), CGPoint({0, 0}));
    EXPECT_EQ(child->convertPoint({0, 0}, flipped.get()), CGPoint({-5, 15}))
        << "the flipped view's top left, 5 above the child's top";
    EXPECT_EQ(content->convertRect(child->bounds(), child.get()), CGRect(25, 45, 10, 10));
}

TEST(NSViewGeometryTest, ScrollPositionMovesTheDocumentUnderItsScrollView) {
    testing::TestEnvironment env;
    auto scrollView = std::make_shared<NSScrollView>(CGRect{0, 0, 100, 50});
    auto document = std::make_shared<FlippedView>(CGRect{0, 0, 100, 200});
    auto inner = std::make_shared<NSView>(CGRect{0, 100, 10, 10});
    scrollView->setDocumentView(document);
    document->addSubview(inner);
    EXPECT_EQ(inner->enclosingScrollView(), scrollView);

    EXPECT_EQ(scrollView->documentVisibleRect(), CGRect(0, 0, 100, 50));
    EXPECT_EQ(document->visibleRect(), CGRect(0, 0, 100, 50));
    EXPECT_EQ(document->convertPointFromWindow({10, 50}), CGPoint({10, 0})) << "the top shows";
    EXPECT_EQ(inner->visibleRect(), CGRect()) << "further down than shows";

    scrollView->scrollTo({0, 30});
    EXPECT_EQ(document->convertPointFromWindow({10, 50}), CGPoint({10, 30}));
    EXPECT_EQ(document->visibleRect(), CGRect(0, 30, 100, 50));
    scrollView->scrollTo({0, 70});
    EXPECT_EQ(inner->visibleRect(), CGRect(0, 0, 10, 10));
    scrollView->scrollTo({-5, 500});
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 150})) << "kept within the document";

    // As little as brings it into sight: up to its top, or down to its bottom.
    EXPECT_TRUE(document->scrollRectToVisible({0, 10, 100, 10}));
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 10}));
    EXPECT_TRUE(document->scrollRectToVisible({0, 120, 100, 10}));
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 80}));
    EXPECT_FALSE(document->scrollRectToVisible({0, 100, 100, 10})) << "already in sight";
    scrollView->scrollTo({0, 0});
    EXPECT_TRUE(inner->scrollRectToVisible(inner->bounds())) << "from a view inside";
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 60}));

    // The point goes to the origin of what shows: the inner view's bottom is at 110.
    inner->scroll({0, 0});
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 110}));
    document->scroll({0, 60});
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 60}));
}

TEST(NSViewGeometryTest, UnflippedDocumentScrollsFromItsBottom) {
    testing::TestEnvironment env;
    auto scrollView = std::make_shared<NSScrollView>(CGRect{0, 0, 100, 50});
    auto document = std::make_shared<NSView>(CGRect{0, 0, 100, 200});
    scrollView->setDocumentView(document);
    EXPECT_EQ(document->convertPointFromWindow({10, 0}), CGPoint({10, 0}));
    EXPECT_TRUE(document->scrollRectToVisible({0, 150, 100, 100}));
    EXPECT_EQ(scrollView->scrollPosition(), CGPoint({0, 150}))
        << "too tall to show whole: its top shows";
}

} // namespace
} // namespace zestrel::platform
