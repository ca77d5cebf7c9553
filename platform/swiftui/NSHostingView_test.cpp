#include "platform/swiftui/NSHostingView.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSSharingServicePicker.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/InputSource.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Navigation.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform::swiftui {
namespace {

// Tells which window it is in each time that changes, as a window accessor does.
class WindowWatcher final : public NSView {
public:
    explicit WindowWatcher(std::shared_ptr<std::vector<std::string>> seen)
        : seen_(std::move(seen)) {}
    void viewDidMoveToWindow() override {
        const auto now = window();
        seen_->push_back(now ? now->title() : "none");
    }

private:
    std::shared_ptr<std::vector<std::string>> seen_;
};

// A screen that watches its window while its switch is on and offers its link to share.
struct WatchedScreen {
    std::shared_ptr<std::vector<std::string>> seen;
    std::shared_ptr<int> made;
    View body(ViewContext& context) const {
        const State<bool> watching = context.state<bool>("watching", true);
        View watcher = View();
        if (watching.get()) {
            watcher = ViewRepresentable([seen = seen, made = made] {
                ++*made;
                return std::make_shared<WindowWatcher>(seen);
            });
        }
        return VStack({Toggle("Watching", watching.binding()),
                       ShareLink("Share Link", *URL::parse("https://example.com/app"))})
            .background(watcher);
    }
};

class NSHostingViewTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
    std::shared_ptr<std::vector<std::string>> seen = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<int> made = std::make_shared<int>(0);
    std::shared_ptr<NSWindow> window = std::make_shared<NSWindow>(
        CGRect(0, 0, 200, 200), NSWindow::StyleMask::titled | NSWindow::StyleMask::closable);
};

TEST_F(NSHostingViewTest, RepresentedViewsFollowTheHostingViewIntoAndOutOfWindows) {
    window->setTitle("Share");
    auto controller = std::make_shared<NSHostingController>(WatchedScreen{seen, made});
    EXPECT_TRUE(seen->empty()); // not made before the controller's view is asked for
    window->setContentViewController(controller);
    EXPECT_EQ(*seen, std::vector<std::string>{"Share"});

    controller->hostingView()->host()->toggle("Watching");
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<std::string>{"Share", "none"}));
    EXPECT_TRUE(controller->hostingView()->subviews().empty());

    controller->hostingView()->host()->toggle("Watching");
    env.runUntilIdle();
    EXPECT_EQ(*seen, (std::vector<std::string>{"Share", "none", "Share"}));
    EXPECT_EQ(*made, 2); // a new place, a new view
}

TEST_F(NSHostingViewTest, AnUpdateKeepsTheRepresentedViewItMadeForThePlace) {
    struct Counter {
        std::shared_ptr<int> made;
        std::shared_ptr<std::vector<int>> updates;
        View body(ViewContext& context) const {
            const State<int> count = context.state<int>("count", 0);
            return Group({Button("Count", [count] { count.set(count.get() + 1); }),
                          ViewRepresentable(
                              [made = made] {
                                  ++*made;
                                  return std::make_shared<NSView>();
                              },
                              [updates = updates, value = count.get()](NSView&) {
                                  updates->push_back(value);
                              })});
        }
    };
    auto updates = std::make_shared<std::vector<int>>();
    auto view = NSHostingView::make(Counter{made, updates});
    view->host()->click("Count");
    env.runUntilIdle();
    EXPECT_EQ(*made, 1);
    EXPECT_EQ(*updates, (std::vector<int>{0, 1}));
    EXPECT_EQ(view->subviews().size(), 1u);
}

TEST_F(NSHostingViewTest, EachRepresentedViewLiesInAHostOfItsOwnInTheTreesOrder) {
    struct Pair {
        std::shared_ptr<NSView> first;
        std::shared_ptr<NSView> second;
        View body(ViewContext& context) const {
            const State<bool> both = context.state<bool>("both", false);
            View before = View();
            if (both.get()) {
                before = ViewRepresentable([first = first] { return first; });
            }
            return VStack({Toggle("Both", both.binding()), before,
                           ViewRepresentable([second = second] { return second; })});
        }
    };
    const auto first = std::make_shared<NSTextField>();
    const auto second = std::make_shared<NSView>(CGRect(10, 20, 30, 40));
    auto view = NSHostingView::make(Pair{first, second});
    view->setFrame(CGRect(0, 0, 20, 30)); // too small to show all of the second
    const std::string shown = render(outline(*view));

    view->host()->click("Both");
    env.runUntilIdle();
    const auto hosts = view->subviews();
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_EQ(first->superview(), hosts[0]) << "the one shown first comes first";
    EXPECT_EQ(second->superview(), hosts[1]);
    EXPECT_NE(hosts[1]->className().find("ViewHost"), std::string::npos);
    EXPECT_EQ(view->representedViews(), (std::vector<std::shared_ptr<NSView>>{first, second}));
    // A host covers the hosting view and shows nothing of its own.
    EXPECT_EQ(view->convertPoint(CGPoint{}, second.get()), (CGPoint{10, 20}));
    view->setFrame(CGRect(0, 0, 500, 100));
    EXPECT_EQ(second->visibleRect(), second->bounds());
    view->host()->click("Both");
    env.runUntilIdle();
    EXPECT_EQ(render(outline(*view)), shown);
}

TEST_F(NSHostingViewTest, ColourSchemeFollowsTheDesktopAppearanceUnlessSet) {
    struct Scheme {
        View body(ViewContext& context) const {
            return Text(context.environment().colorScheme == ColorScheme::dark ? "dark" : "light");
        }
    };
    EXPECT_NE(NSHostingView::make(Scheme{})->host()->find("light"), nullptr);
    Desktop::current()->setDarkAppearance(true);
    EXPECT_NE(NSHostingView::make(Scheme{})->host()->find("dark"), nullptr);
    const auto forced = NSHostingView::make(View(Scheme{}).environment(
        [](EnvironmentValues& values) { values.colorScheme = ColorScheme::light; }));
    EXPECT_NE(forced->host()->find("light"), nullptr);
}

TEST_F(NSHostingViewTest, ShareLinkShowsThePickerFromTheKeyWindow) {
    window->setTitle("Share App");
    window->setContentViewController(
        std::make_shared<NSHostingController>(WatchedScreen{seen, made}));
    window->makeKeyAndOrderFront();
    const OutlineNode shown = outline(*window);
    EXPECT_EQ(render(shown), "window \"Share App\" [key]\n"
                             "  hosting view\n"
                             "    vstack\n"
                             "      toggle \"Watching\" [on]\n"
                             "      share link \"Share Link\" [image: square.and.arrow.up]\n"
                             "    view\n");
    EXPECT_TRUE(click(shown, "Share Link"));
    EXPECT_EQ(NSSharingServicePicker::showings(), (std::vector<NSSharingServicePicker::Showing>{
                                                      {{"https://example.com/app"}, "Share App"}}));
}

TEST_F(NSHostingViewTest, AMinimumSizeWidensAndHeightensButNeverShrinks) {
    const auto sized = [](View view) {
        return NSHostingView::make(std::move(view))->fittingSize();
    };
    // Two rows want 88 points: the minimum wins where it is larger, the content elsewhere.
    const View rows = VStack({Text("One")});
    const CGSize small = sized(rows.modifier("frame", "minWidth: 800, minHeight: 400"));
    EXPECT_EQ(small.width, 800);
    EXPECT_EQ(small.height, 400);
    const CGSize large = sized(rows.modifier("frame", "minWidth: 100, minHeight: 50"));
    EXPECT_EQ(large.width, 400);
    EXPECT_EQ(large.height, 88);
    // "width" is not read from "minWidth", nor the other way round.
    const CGSize both = sized(rows.modifier("frame", "width: 300, minHeight: 20"));
    EXPECT_EQ(both.width, 300);
    EXPECT_EQ(both.height, 88);
}

// A sidebar titled "Pages" beside the page chosen by its switch.
struct TitledPages {
    View body(ViewContext& context) const {
        const State<bool> second = context.state<bool>("second", false);
        return NavigationSplitView(
            Toggle("Second", second.binding()).modifier("navigationTitle", "\"Pages\""),
            Text("Page").modifier("navigationTitle", second.get() ? "\"Two\"" : "\"One\""));
    }
};

TEST_F(NSHostingViewTest, TheWindowIsTitledWithTheNavigationTitleShown) {
    window->setTitle("Untitled");
    window->setContentViewController(std::make_shared<NSHostingController>(TitledPages{}));
    EXPECT_EQ(window->title(), "One");
    const auto view = std::static_pointer_cast<NSHostingView>(window->contentView());
    ASSERT_TRUE(view->host()->toggle("Second"));
    env.runUntilIdle();
    EXPECT_EQ(window->title(), "Two");
    // Content without a navigation title leaves the window's own title alone.
    auto plain = std::make_shared<NSWindow>(CGRect(0, 0, 200, 200), NSWindow::StyleMask::titled);
    plain->setTitle("Own");
    plain->setContentViewController(std::make_shared<NSHostingController>(Text("Plain")));
    EXPECT_EQ(plain->title(), "Own");
}

// Buttons with shortcuts: one enabled, one disabled and one offered only on a secondary click.
struct ShortcutScreen {
    std::shared_ptr<std::vector<std::string>> pressed;
    View body(ViewContext&) const {
        const auto log = pressed;
        return VStack(
            {Button("Settings…", [log] { log->push_back("settings"); }).keyboardShortcut({","}),
             Button("Quit", [log] { log->push_back("quit"); }).keyboardShortcut({"q", true, true}),
             Button("Save", [log] { log->push_back("save"); })
                 .keyboardShortcut({"s"})
                 .disabled(true),
             Text("Row").contextMenu(
                 {Button("Delete", [log] { log->push_back("delete"); }).keyboardShortcut({"d"})})});
    }
};

TEST_F(NSHostingViewTest, ButtonShortcutsAnswerWhileAnotherViewHasTheFocus) {
    constexpr std::uint16_t kComma = 43;
    constexpr std::uint16_t kS = 1;
    constexpr std::uint16_t kD = 2;
    constexpr std::uint16_t kQ = 12;
    const auto press = [](std::uint16_t keyCode, CGEventFlags flags) {
        NSApp().sendEvent(std::make_shared<NSEvent>(CGEvent(CGEventType::keyDown, keyCode, flags),
                                                    InputSources::current()->currentLayout()));
    };
    auto pressed = std::make_shared<std::vector<std::string>>();
    auto content = std::make_shared<NSView>();
    auto field = std::make_shared<NSTextView>();
    content->addSubview(field);
    content->addSubview(NSHostingView::make(ShortcutScreen{pressed}));
    window->setContentView(content);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(window->makeFirstResponder(field));

    press(kComma, kCGEventFlagMaskCommand);
    EXPECT_EQ(*pressed, std::vector<std::string>{"settings"});
    // Without its modifiers the key is typing, not the shortcut.
    press(kComma, CGEventFlags{});
    press(kQ, kCGEventFlagMaskCommand);
    EXPECT_EQ(pressed->size(), 1u);
    press(kQ, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);
    press(kS, kCGEventFlagMaskCommand);
    press(kD, kCGEventFlagMaskCommand);
    EXPECT_EQ(*pressed, (std::vector<std::string>{"settings", "quit"}));
}

} // namespace
} // namespace zestrel::platform::swiftui
