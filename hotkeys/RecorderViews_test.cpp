#include "hotkeys/RecorderViews.h"

#include "hotkeys/Hotkeys.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/ProcessInfo.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/EventSystem.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace zestrel::Hotkeys {
namespace {

namespace sui = platform::swiftui;
using platform::CGEventFlags;
using platform::NSApp;
using platform::NSWindow;
using Flags = platform::NSEvent::ModifierFlags;

constexpr CGEventFlags kCommand = platform::kCGEventFlagMaskCommand;
constexpr CGEventFlags kShift = platform::kCGEventFlagMaskShift;
constexpr CGEventFlags kOption = platform::kCGEventFlagMaskAlternate;

// A recorder view in a key window of this program, which is frontmost, so that the keys the
// desktop gets reach the control's event monitor.
class RecorderViewTest : public ::testing::Test {
protected:
    platform::testing::DesktopEnvironment env;
    std::shared_ptr<platform::ScriptedModalResponder> responder =
        platform::ScriptedModalResponder::install();
    std::shared_ptr<NSWindow> window;
    std::shared_ptr<sui::NSHostingView> hosting;
    std::vector<std::optional<Shortcut>> reported;

    RecorderViewTest() {
        NSApp().finishLaunching();
        env.desktop().activate(env.desktop().ownApplication()->processIdentifier());
        platform::HotKeySystem::current()->setSymbolicHotKeys(platform::noErr,
                                                              platform::Value::Array{});
    }
    ~RecorderViewTest() override { platform::NSProcessInfo::setOperatingSystemVersion({15, 1, 0}); }

    RecorderCocoa::OnChange reporter() {
        return [this](const std::optional<Shortcut>& shortcut) { reported.push_back(shortcut); };
    }
    void show(sui::View view) {
        window = std::make_shared<NSWindow>(platform::CGRect(0, 0, 400, 100),
                                            NSWindow::StyleMask::titled);
        hosting = sui::NSHostingView::make(std::move(view));
        window->setContentView(hosting);
        window->makeKeyAndOrderFront();
        env.runUntilIdle();
    }
    std::shared_ptr<RecorderCocoa> control() const {
        for (const auto& subview : hosting->representedViews()) {
            if (auto recorder = std::dynamic_pointer_cast<RecorderCocoa>(subview)) {
                return recorder;
            }
        }
        return nullptr;
    }
    void startRecording() {
        ASSERT_NE(control(), nullptr);
        ASSERT_TRUE(window->makeFirstResponder(control()));
        ASSERT_TRUE(control()->isRecording());
    }
    void press(std::uint16_t keyCode, CGEventFlags flags = {}) {
        for (auto type : {platform::CGEventType::keyDown, platform::CGEventType::keyUp}) {
            platform::EventSystem::current()->post(
                platform::kCGHIDEventTap,
                std::make_shared<platform::CGEvent>(type, keyCode, flags));
        }
        env.runUntilIdle();
    }
    std::string outline() const { return platform::render(platform::outline(*hosting)); }
    static std::shared_ptr<sui::Node> nodeWithImage(const sui::Nodes& nodes,
                                                    const std::string& systemImage) {
        for (const auto& node : nodes) {
            if (node->systemImage == systemImage) {
                return node;
            }
            if (auto found = nodeWithImage(node->children, systemImage)) {
                return found;
            }
        }
        return nullptr;
    }
    // A stored Option-only shortcut shows no warning, and another can be recorded.
    void expectOptionOnlyAcceptedWithoutWarning() {
        const auto name = Name::fromRawValue("toggle");
        storeShortcut(Shortcut(Key::k, Flags::option), name);
        show(Recorder(name));
        EXPECT_EQ(outline(), "hosting view\n"
                             "  search field \"⌥K\"\n")
            << "no warning, no stack around the control";

        startRecording();
        press(Key::j.rawValue, kOption | kShift);
        EXPECT_EQ(getShortcut(name), Shortcut(Key::j, Flags::option | Flags::shift));
        EXPECT_TRUE(platform::NSAlert::shownAlerts().empty());
    }
    static void sandbox() { setenv("APP_SANDBOX_CONTAINER_ID", "com.quorvik.Zestrel", 1); }
};

TEST_F(RecorderViewTest, RecordsAndClearsAShortcutThroughTheLabelledView) {
    const Name name("cut", Shortcut(Key::x, Flags::command));
    show(Recorder("Cut files", name, reporter()));
    EXPECT_EQ(outline(), "hosting view\n"
                         "  labeled content \"Cut files\"\n"
                         "  search field \"⌘X\"\n");
    EXPECT_EQ(control()->stringValue(), "⌘X");

    startRecording();
    press(Key::k.rawValue, kCommand | kShift);
    const Shortcut commandShiftK(Key::k, Flags::command | Flags::shift);
    EXPECT_EQ(getShortcut(name), commandShiftK);
    EXPECT_TRUE(isRegistered(commandShiftK));
    EXPECT_EQ(control()->stringValue(), "⇧⌘K");
    EXPECT_FALSE(control()->isRecording());

    startRecording();
    press(Key::delete_.rawValue);
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_FALSE(isRegistered(commandShiftK));
    EXPECT_EQ(control()->stringValue(), "");
    EXPECT_TRUE(control()->isRecording()) << "clearing keeps recording";
    EXPECT_EQ(reported, (std::vector<std::optional<Shortcut>>{commandShiftK, std::nullopt}));
}

TEST_F(RecorderViewTest, RefusesAShortcutOfTheMainMenuWithItsAlert) {
    auto mainMenu = std::make_shared<platform::NSMenu>("Main");
    auto appItem = std::make_shared<platform::NSMenuItem>("Zestrel");
    auto appMenu = std::make_shared<platform::NSMenu>("Zestrel");
    appMenu->addItem(std::make_shared<platform::NSMenuItem>("Quit Zestrel", nullptr, "q"));
    appItem->setSubmenu(appMenu);
    mainMenu->addItem(appItem);
    NSApp().setMainMenu(mainMenu);
    const auto name = Name::fromRawValue("toggle");
    show(Recorder(name, reporter()));
    startRecording();

    responder->enqueue(platform::ModalAnswer::key(platform::AlertKey::returnKey));
    press(Key::q.rawValue, kCommand);
    const auto alerts = platform::NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText,
              "This keyboard shortcut cannot be used as it's already used by the “Quit Zestrel” "
              "menu item.");
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(reported.empty());
    EXPECT_TRUE(control()->isRecording()) << "recording goes on after the alert";
}

TEST_F(RecorderViewTest, SandboxedOnMacOS15OptionOnlyIsRefusedAndAStoredOneWarned) {
    sandbox();
    const auto name = Name::fromRawValue("toggle");
    storeShortcut(Shortcut(Key::k, Flags::option), name);
    show(Recorder(name, reporter()));
    EXPECT_EQ(outline(), "hosting view\n"
                         "  hstack\n"
                         "    image [image: exclamationmark.triangle.fill, "
                         "foregroundStyle(.black, .orange)]\n"
                         "  search field \"⌥K\"\n");

    // The tooltip shows once the pointer has rested on the symbol.
    const auto symbol = nodeWithImage(hosting->host()->nodes(), kOptionOnlyWarningSymbol);
    ASSERT_TRUE(symbol && symbol->hoverAction);
    symbol->hoverAction(true);
    env.advance(std::chrono::milliseconds(400));
    EXPECT_NE(outline().find(std::string("text \"") + kOptionOnlyWarning + "\""), std::string::npos)
        << outline();

    startRecording();
    responder->enqueue(platform::ModalAnswer::key(platform::AlertKey::returnKey));
    press(Key::j.rawValue, kOption | kShift);
    const auto alerts = platform::NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Option modifier must be combined with Command or Control.");
    EXPECT_EQ(getShortcut(name), Shortcut(Key::k, Flags::option));

    // Clearing the refused shortcut takes the warning away.
    press(Key::delete_.rawValue);
    env.runUntilIdle();
    EXPECT_EQ(outline(), "hosting view\n"
                         "  hstack\n"
                         "  search field \"Press Shortcut\" [placeholder, editing]\n");
}

TEST_F(RecorderViewTest, SandboxedBeforeMacOS15OptionOnlyIsAcceptedWithoutWarning) {
    sandbox();
    platform::NSProcessInfo::setOperatingSystemVersion({14, 6, 1});
    expectOptionOnlyAcceptedWithoutWarning();
}

TEST_F(RecorderViewTest, OnMacOS15OutsideTheSandboxOptionOnlyIsAcceptedWithoutWarning) {
    expectOptionOnlyAcceptedWithoutWarning();
}

// A screen whose recorder shows the name its buttons chose.
struct NameChoosingScreen {
    sui::View body(sui::ViewContext& context) const {
        const auto chosen = context.state<std::string>("chosen", "first");
        return sui::VStack({
            sui::Button("First", [chosen] { chosen.set("first"); }),
            sui::Button("Second", [chosen] { chosen.set("second"); }),
            sui::View(Recorder("Shortcut for " + chosen.get(), Name::fromRawValue(chosen.get()))),
        });
    }
};

TEST_F(RecorderViewTest, AnotherNameReachesTheSameControl) {
    storeShortcut(Shortcut(Key::s, Flags::command | Flags::option), Name::fromRawValue("second"));
    show(NameChoosingScreen{});
    const auto made = control();
    EXPECT_EQ(made->stringValue(), "");
    made->setStringValue("typed");

    ASSERT_TRUE(hosting->host()->click("First"));
    env.runUntilIdle();
    EXPECT_EQ(control()->stringValue(), "typed") << "the same name leaves the text alone";

    ASSERT_TRUE(hosting->host()->click("Second"));
    env.runUntilIdle();
    EXPECT_EQ(control(), made);
    EXPECT_EQ(made->shortcutName().rawValue(), "second");
    EXPECT_EQ(made->stringValue(), "⌥⌘S");
    EXPECT_NE(outline().find("labeled content \"Shortcut for second\""), std::string::npos);
}

} // namespace
} // namespace zestrel::Hotkeys
