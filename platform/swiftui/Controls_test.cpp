#include "platform/swiftui/Controls.h"

#include "platform/appkit/QRCode.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::platform::swiftui {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    testing::TestEnvironment env;
};

// A settings-like form: a picker over its own state, a link, a button that is disabled
// while the picker shows "b", and an alert the button raises.
struct SettingsForm {
    std::shared_ptr<std::vector<std::string>> log;
    View body(ViewContext& context) const {
        const State<std::string> method = context.state<std::string>("method", "a");
        const State<bool> alerting = context.state<bool>("alerting", false);
        const auto log = this->log;
        return Form({Section({Picker("Method", method.binding(), {{"a", "Taps"}, {"b", "Hotkeys"}}),
                              Button("Apply", [alerting] { alerting.set(true); })
                                  .disabled(method.get() == "b")
                                  .alert("Applied", alerting.binding(),
                                         {Button("Undo", [log] { log->push_back("undo"); })},
                                         "It is done."),
                              Link("Help", *URL::parse("https://example.com/help#faq"))},
                             "Main", Text("Footer note")),
                     Divider()})
            .modifier("formStyle", "grouped")
            .modifier("frame", "width: 320");
    }
};

TEST_F(ControlsTest, FormOutlineShowsSectionsRowsFooterAndModifiers) {
    auto log = std::make_shared<std::vector<std::string>>();
    auto host = ViewHost::make(SettingsForm{log});
    EXPECT_EQ(host->outline(), "form [formStyle(grouped), frame(width: 320)]\n"
                               "  section \"Main\"\n"
                               "    picker \"Method\"\n"
                               "      option \"Taps\" [selected]\n"
                               "      option \"Hotkeys\"\n"
                               "    button \"Apply\"\n"
                               "    link \"Help\" [https://example.com/help#faq]\n"
                               "    footer\n"
                               "      text \"Footer note\"\n"
                               "  divider\n");
}

TEST_F(ControlsTest, PickingAnOptionStoresItsTagAndDisablesWhatDependsOnIt) {
    auto host = ViewHost::make(SettingsForm{std::make_shared<std::vector<std::string>>()});
    EXPECT_FALSE(host->pick("Method", "Nothing"));
    EXPECT_FALSE(host->pick("Apply", "Taps")); // not a picker
    EXPECT_TRUE(host->pick("Method", "Hotkeys"));
    env.runUntilIdle();
    EXPECT_NE(host->outline().find("option \"Hotkeys\" [selected]"), std::string::npos);
    EXPECT_NE(host->outline().find("button \"Apply\" [disabled]"), std::string::npos);
    EXPECT_FALSE(host->click("Apply"));
    EXPECT_TRUE(host->click("Taps")); // an option is chosen by clicking it too
    env.runUntilIdle();
    EXPECT_TRUE(host->click("Apply"));
}

TEST_F(ControlsTest, AlertShowsWhilePresentedAndAnyButtonDismissesItAfterItsAction) {
    auto log = std::make_shared<std::vector<std::string>>();
    auto host = ViewHost::make(SettingsForm{log});
    host->click("Apply");
    env.runUntilIdle();
    EXPECT_NE(host->outline().find("    alert \"Applied\"\n"
                                   "      text \"It is done.\"\n"
                                   "      button \"Undo\"\n"),
              std::string::npos);
    EXPECT_TRUE(host->click("Undo"));
    env.runUntilIdle();
    EXPECT_EQ(*log, std::vector<std::string>{"undo"});
    EXPECT_EQ(host->find("Applied"), nullptr);

    bool shown = true;
    auto plain = ViewHost::make(Text("Body").alert(
        "Plain", Binding<bool>([&] { return shown; }, [&](const bool& value) { shown = value; })));
    EXPECT_TRUE(plain->click("OK")); // the default button of an alert without buttons
    EXPECT_FALSE(shown);
}

TEST_F(ControlsTest, LinksOpenThroughTheEnvironmentOrTheWorkspace) {
    auto host = ViewHost::make(Link("Site", *URL::parse("https://example.com/")));
    const auto before = URLOpener::openedURLs().size();
    host->click("Site");
    ASSERT_EQ(URLOpener::openedURLs().size(), before + 1);
    EXPECT_EQ(URLOpener::openedURLs().back().absoluteString(), "https://example.com/");

    std::vector<std::string> opened;
    auto routed = ViewHost::make(
        Link("Site", *URL::parse("https://example.com/")).environment([&](EnvironmentValues& v) {
            v.openURL = [&](const URL& url) { opened.push_back(url.absoluteString()); };
        }));
    routed->click("Site");
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.com/"});
    EXPECT_EQ(URLOpener::openedURLs().size(), before + 1);
}

TEST_F(ControlsTest, OnAppearRunsOnceWhileTheViewStaysAndAgainWhenItComesBack) {
    struct Appearing {
        std::shared_ptr<int> appearances;
        View body(ViewContext& context) const {
            const State<bool> shown = context.state<bool>("shown", true);
            const State<int> ticks = context.state<int>("ticks", 0);
            View row = View();
            if (shown.get()) {
                row = Text("Row").onAppear([appearances = appearances] { ++*appearances; });
            }
            return Group({Toggle("Shown", shown.binding()),
                          Button("Tick " + std::to_string(ticks.get()),
                                 [ticks] { ticks.set(ticks.get() + 1); }),
                          row});
        }
    };
    auto appearances = std::make_shared<int>(0);
    auto host = ViewHost::make(Appearing{appearances});
    EXPECT_EQ(*appearances, 1);
    host->click("Tick 0");
    env.runUntilIdle();
    EXPECT_EQ(*appearances, 1);
    host->toggle("Shown");
    env.runUntilIdle();
    host->toggle("Shown");
    env.runUntilIdle();
    EXPECT_EQ(*appearances, 2);
}

TEST_F(ControlsTest, QRCodeImageShowsItsMessageAndModuleCountAndAnswersATripleTap) {
    int taps = 0;
    auto host = ViewHost::make(
        Image(QRCode::encode("https://example.com/app", "M")->nsImage()).onTapGesture(3, [&] {
            ++taps;
        }));
    EXPECT_EQ(host->outline(), "image \"https://example.com/app\" [QR code, 25×25 modules]\n");
    EXPECT_FALSE(host->tap("https://example.com/app", 1));
    EXPECT_FALSE(host->tap("https://example.com/app", 2));
    EXPECT_TRUE(host->tap("https://example.com/app", 3));
    EXPECT_EQ(taps, 1);
}

TEST_F(ControlsTest, TapGestureAnswersOnlyItsClickCountAndShortcutsShowOnTheButton) {
    int taps = 0;
    auto host = ViewHost::make(
        Group({Image("qrcode").modifier("help", "code").onTapGesture(3, [&] { ++taps; }),
               Button("Quit", {}).keyboardShortcut({"q"})}));
    EXPECT_FALSE(host->tap("", 1)); // an image has no label: found by none
    const auto image = visibleNodes(host->nodes()).front();
    EXPECT_EQ(image->tapCount, 3);
    image->tapAction();
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(host->outline(), "image [image: qrcode, help(code)]\n"
                               "button \"Quit\" [⌘q]\n");
    EXPECT_EQ(host->find("Quit")->shortcut->text(), "⌘q");
}

} // namespace
} // namespace zestrel::platform::swiftui
