#include "platform/swiftui/Scene.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/RunLoop.h"
#include "platform/concurrency/ObservationRegistrar.h"
#include "platform/desktop/InputSource.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform::swiftui {
namespace {

// An observable application model as the app writes one.
class AppModel {
public:
    bool iconVisible() const {
        registrar_.access("iconVisible");
        return iconVisible_;
    }
    void setIconVisible(bool value) {
        registrar_.withMutation("iconVisible", [&] { iconVisible_ = value; });
    }

private:
    ObservationRegistrar registrar_;
    bool iconVisible_ = true;
};

// A settings screen whose switch is kept in a shared flag and which can dismiss itself.
struct SettingsScreen {
    std::shared_ptr<bool> sound;
    View body(ViewContext& context) const {
        const auto dismiss = context.environment().dismiss;
        return Form({Toggle("Sound",
                            Binding<bool>([sound = sound] { return *sound; },
                                          [sound = sound](const bool& on) { *sound = on; })),
                     Button("Done", dismiss)})
            .modifier("frame", "width: 320");
    }
};

class SceneHostTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
    AppModel model;
    std::shared_ptr<bool> sound = std::make_shared<bool>(false);
    std::vector<std::string> log;

    std::shared_ptr<SceneHost> launch() {
        return SceneHost::make(
            [this] {
                const bool visible = model.iconVisible();
                return std::vector<Scene>{
                    MenuBarExtra{
                        "Zestrel", "command", Binding<bool>::constant(visible),
                        Group({Button("About", [this] { log.push_back("about"); }), Divider(),
                               Button("Settings…", [this] { log.push_back("settings"); })
                                   .keyboardShortcut({","}),
                               Menu("More", {Link("Help", *URL::parse("https://e.com/h")),
                                             Divider(), Button("Copy", {}).disabled(true)}),
                               Divider(),
                               Button("Quit Zestrel", [this] { log.push_back("quit"); })
                                   .keyboardShortcut({"q"})})},
                    Settings{SettingsScreen{sound}}};
            },
            "Zestrel");
    }
};

TEST_F(SceneHostTest, MenuBarExtraMenuMirrorsTheContentWithShortcutsSeparatorsAndSubmenus) {
    auto host = launch();
    ASSERT_NE(host->menuBarItem(), nullptr);
    EXPECT_EQ(host->menuBarItem()->menu(), host->menuBarMenu());
    EXPECT_EQ(host->menuBarItem()->button()->image()->name(), "command");
    EXPECT_EQ(render(outline(*host->menuBarMenu())), "menu \"Zestrel\"\n"
                                                     "  item \"About\"\n"
                                                     "  separator\n"
                                                     "  item \"Settings…\" [⌘,]\n"
                                                     "  item \"More\"\n"
                                                     "    menu \"More\"\n"
                                                     "      item \"Help\"\n"
                                                     "      separator\n"
                                                     "      item \"Copy\" [disabled]\n"
                                                     "  separator\n"
                                                     "  item \"Quit Zestrel\" [⌘q]\n");
    host->menuBarMenu()->performActionForItem(0);
    env.runUntilIdle();
    EXPECT_EQ(log, std::vector<std::string>{"about"});
}

TEST_F(SceneHostTest, MenuBarItemFollowsTheObservedModelWithoutARelaunch) {
    auto host = launch();
    const auto evaluations = host->bodyEvaluations();
    model.setIconVisible(false);
    env.runUntilIdle();
    EXPECT_EQ(host->bodyEvaluations(), evaluations + 1);
    EXPECT_EQ(host->menuBarItem(), nullptr);
    EXPECT_TRUE(NSStatusBar::system()->items().empty());
    // The scenes follow also while a main-queue block waits on an alert.
    std::optional<bool> followedDuringTheAlert;
    DispatchQueue::main().async([&] {
        model.setIconVisible(true);
        followedDuringTheAlert = RunLoop::main().runModal(
            RunLoopMode::modalPanel, [&] { return host->menuBarItem() != nullptr; });
    });
    env.runUntilIdle();
    EXPECT_EQ(followedDuringTheAlert, true);
    EXPECT_EQ(NSStatusBar::system()->items().size(), 1u);
}

TEST_F(SceneHostTest, SettingsOpensFromTheApplicationMenuShortcutOnceAndDismissesItself) {
    auto host = launch();
    EXPECT_EQ(host->settingsWindow(), nullptr);
    NSApp().sendEvent(
        std::make_shared<NSEvent>(CGEvent(CGEventType::keyDown, 43, kCGEventFlagMaskCommand), // ⌘,
                                  InputSources::current()->currentLayout()));
    env.runUntilIdle();
    const auto window = host->settingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(render(outline(*window)), "window \"Zestrel Settings\" [key]\n"
                                        "  hosting view\n"
                                        "    form [frame(width: 320)]\n"
                                        "      toggle \"Sound\" [off]\n"
                                        "      button \"Done\"\n");

    const OutlineNode shown = outline(*window);
    EXPECT_TRUE(click(shown, "Sound"));
    EXPECT_TRUE(*sound);
    EXPECT_TRUE(click(shown, "Done"));
    EXPECT_FALSE(window->isVisible());

    host->showSettings();
    EXPECT_EQ(host->settingsWindow(), window); // the same window, shown again
    EXPECT_TRUE(window->isVisible());
}

TEST_F(SceneHostTest, WindowScenesOpenByIdentifierAndComeForwardWhenAskedAgain) {
    auto host = SceneHost::make(
        [] {
            return std::vector<Scene>{Window{"Share", "share", Text("Link")}};
        },
        "Zestrel");
    EXPECT_EQ(host->menuBarItem(), nullptr);
    EXPECT_EQ(host->openWindow("nothing"), nullptr);
    const auto first = host->openWindow("share");
    ASSERT_NE(first, nullptr);
    first->orderOut();
    EXPECT_EQ(host->openWindow("share"), first);
    EXPECT_TRUE(first->isKeyWindow());
    EXPECT_EQ(NSApp().mainMenu(), nullptr); // no Settings scene, no application menu
}

// Counts its clicks in its own state: what a menu must not forget.
struct Counter {
    View body(ViewContext& context) const {
        const State<int> clicks = context.state<int>("clicks", 0);
        return Button("Clicked " + std::to_string(clicks.get()),
                      [clicks] { clicks.set(clicks.get() + 1); });
    }
};

TEST_F(SceneHostTest, MenuContentKeepsItsStateWhenTheScenesAreEvaluatedAgain) {
    int rebuilds = 0;
    auto host = SceneHost::make(
        [this, &rebuilds] {
            ++rebuilds;
            (void)model.iconVisible(); // read, so a change evaluates the scenes again
            return std::vector<Scene>{
                MenuBarExtra{"Zestrel", "command", Binding<bool>::constant(true), Counter{}}};
        },
        "Zestrel");
    host->menuBarMenu()->performActionForItem(0);
    env.runUntilIdle();
    ASSERT_EQ(host->menuBarMenu()->item(0)->title(), "Clicked 1");
    const auto item = host->menuBarItem();
    model.setIconVisible(false); // the scenes again; the item stays inserted
    env.runUntilIdle();
    EXPECT_EQ(rebuilds, 2);
    EXPECT_EQ(host->menuBarItem(), item);
    EXPECT_EQ(host->menuBarMenu()->item(0)->title(), "Clicked 1");
    // The bar shows the symbol and names the item by the title.
    EXPECT_EQ(item->button()->title(), "Zestrel");
    EXPECT_EQ(item->button()->imagePosition(), NSButton::ImagePosition::imageOnly);
}

TEST_F(SceneHostTest, TheApplicationMenuLeadsAMainMenuSetBeforeTheScenes) {
    auto debug = std::make_shared<NSMenu>("Main Menu");
    auto debugItem = std::make_shared<NSMenuItem>("Debug");
    debugItem->setSubmenu(std::make_shared<NSMenu>("Debug"));
    debug->addItem(debugItem);
    NSApp().setMainMenu(debug);
    auto host = launch();
    const auto mainMenu = NSApp().mainMenu();
    ASSERT_EQ(mainMenu, debug);
    ASSERT_EQ(mainMenu->numberOfItems(), 3);
    EXPECT_EQ(mainMenu->item(1)->title(), "File");
    EXPECT_EQ(mainMenu->item(2)->title(), "Debug");
    ASSERT_NE(mainMenu->item(0)->submenu(), nullptr);
    EXPECT_NE(mainMenu->item(0)->submenu()->itemWithTitle("Settings…"), nullptr);
    // Evaluating the scenes again adds no second application menu.
    model.setIconVisible(false);
    env.runUntilIdle();
    EXPECT_EQ(mainMenu->numberOfItems(), 3);
}

TEST_F(SceneHostTest, WindowsTakeTheSizeTheirContentAsksFor) {
    auto host = launch();
    host->showSettings();
    const auto window = host->settingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->contentRectForFrameRect(window->frame()).size.width, 320);
    // Without a frame: the default width, as tall as the rows.
    auto plain = SceneHost::make(
        [] {
            return std::vector<Scene>{Window{"Rows", "rows", Group({Text("a"), Text("b")})}};
        },
        "Zestrel");
    const auto rows = plain->openWindow("rows");
    const auto size = rows->contentRectForFrameRect(rows->frame()).size;
    EXPECT_EQ(size.width, 400);
    EXPECT_LT(size.height, 300);
}

} // namespace
} // namespace zestrel::platform::swiftui
