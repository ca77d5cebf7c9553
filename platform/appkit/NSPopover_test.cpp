#include "platform/appkit/NSPopover.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/appkit/TextOutline.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

TEST(NSPopoverTest, ShowsItsContentBesideTheViewAndTellsWhenItCloses) {
    testing::TestEnvironment env;
    auto item = NSStatusBar::system()->statusItem(NSVariableStatusItemLength);
    auto popover = std::make_shared<NSPopover>();
    auto controller = std::make_shared<NSViewController>();
    auto content = std::make_shared<NSView>(CGRect(0, 0, 100, 40));
    content->addSubview(NSTextField::labelWithString("Hello"));
    controller->setView(content);
    popover->setContentViewController(controller);

    std::vector<std::string> heard;
    auto center = NotificationCenter::defaultCenter();
    auto token = center->addObserver(std::nullopt, Value(), [&](const Notification& note) {
        if (note.object.asObject() == popover) {
            heard.push_back(note.name);
        }
    });

    popover->showRelativeToRect(item->button()->bounds(), item->button(), NSRectEdge::minY);
    ASSERT_TRUE(popover->isShown());
    const auto screen = render(outlineOfScreen());
    EXPECT_NE(screen.find("popover [level 101]\n    view\n      text \"Hello\""), std::string::npos)
        << screen;
    const CGRect anchor = item->button()->window()->frame();
    EXPECT_LT(popover->popoverWindow()->frame().origin.y, anchor.origin.y) << "below the item";

    std::weak_ptr<NSPopover> weak = popover;
    auto shown = popover.get();
    popover.reset();
    EXPECT_FALSE(weak.expired()) << "a shown popover is kept alive by its window";
    popover = weak.lock();
    popover->close();
    center->removeObserver(token);
    EXPECT_FALSE(popover->isShown());
    popover.reset();
    EXPECT_TRUE(weak.expired()) << static_cast<const void*>(shown);
    EXPECT_EQ(heard, (std::vector<std::string>{
                         NSPopoverWillShowNotification, NSPopoverDidShowNotification,
                         NSPopoverWillCloseNotification, NSPopoverDidCloseNotification}));
}

TEST(NSPopoverTest, ViewOutsideAnyWindowShowsNothing) {
    testing::TestEnvironment env;
    auto popover = std::make_shared<NSPopover>();
    popover->showRelativeToRect({}, std::make_shared<NSView>(), NSRectEdge::minY);
    EXPECT_FALSE(popover->isShown());
    popover->close(); // nothing to close
}

} // namespace
} // namespace zestrel::platform
