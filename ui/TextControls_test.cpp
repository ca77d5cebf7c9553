#include "ui/TextControls.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSWindow.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/NSHostingView.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <limits>

namespace zestrel {
namespace {

using namespace platform;
using namespace std::chrono_literals;
using Flags = NSEvent::ModifierFlags;

constexpr std::uint16_t kA = 0, kZ = 6, kX = 7, kC = 8, kSpace = 49, kDown = 125, kUp = 126;

std::shared_ptr<NSEvent> keyDown(std::uint16_t keyCode, Flags flags = {}) {
    auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, true);
    CGEventSetFlags(event, CGEventFlags{flags.rawValue});
    return NSEvent::eventWithCGEvent(event);
}

class EditShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        installEditShortcuts();
        window->setContentView(std::make_shared<NSView>());
        window->contentView()->addSubview(textView);
        window->makeKeyAndOrderFront();
        ASSERT_TRUE(window->makeFirstResponder(textView));
        textView->setString("hello");
        textView->setAllowsUndo(true);
    }
    void TearDown() override { NSTextView::setKeyEquivalentHook(nullptr); }
    void press(std::uint16_t keyCode, Flags flags) { window->sendEvent(*keyDown(keyCode, flags)); }

    testing::DesktopEnvironment env;
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(100, 100, 300, 200), NSWindow::StyleMask::titled);
    std::shared_ptr<NSTextView> textView = std::make_shared<NSTextView>();
};

TEST_F(EditShortcutsTest, AccessoryAppEditsTextWithTheCommandKeys) {
    NSApp().setActivationPolicy(NSApplicationActivationPolicy::accessory);
    press(kA, Flags::command | Flags::capsLock); // Caps Lock does not matter
    EXPECT_EQ(textView->selectedRange(), (NSTextView::Range{0, 5}));
    press(kC, Flags::command);
    EXPECT_EQ(NSPasteboard::general()->stringForType(NSPasteboardType::string), "hello");
    press(kX, Flags::command);
    EXPECT_EQ(textView->string(), "");
    press(kZ, Flags::command);
    EXPECT_EQ(textView->string(), "hello");
    press(kZ, Flags::command | Flags::shift);
    EXPECT_EQ(textView->string(), "");
    press(kSpace, Flags::control | Flags::command);
    EXPECT_EQ(NSApp().characterPaletteOrders(), 1);
    press(kA, Flags::command | Flags::option); // not exactly Command
    EXPECT_EQ(textView->selectedRange(), (NSTextView::Range{0, 0}));
}

TEST_F(EditShortcutsTest, RegularAppLeavesTheTextViewToItsStandardHandling) {
    NSApp().setActivationPolicy(NSApplicationActivationPolicy::regular);
    press(kA, Flags::command);
    press(kX, Flags::command);
    EXPECT_EQ(textView->string(), "hello");
    press(kSpace, Flags::control | Flags::command);
    EXPECT_EQ(NSApp().characterPaletteOrders(), 0);
}

TEST_F(EditShortcutsTest, TargetWithoutUndoRefusesItAndOtherKeysAreNotTaken) {
    auto button = NSButton::withTitle("OK");
    EXPECT_EQ(handleEditShortcut(*keyDown(kZ, Flags::command), button, nullptr), false);
    EXPECT_EQ(handleEditShortcut(*keyDown(kZ, Flags::command | Flags::shift), button, nullptr),
              false);
    EXPECT_EQ(handleEditShortcut(*keyDown(kA, Flags::command), button, nullptr), std::nullopt)
        << "a target that cannot select all leaves the key to the standard handling";
    EXPECT_EQ(handleEditShortcut(*keyDown(kC, {}), nullptr, nullptr), std::nullopt);
    EXPECT_EQ(handleEditShortcut(*keyDown(kA, Flags::command), textView, nullptr), true);
}

class IntTextFieldTest : public ::testing::Test {
protected:
    std::string step(const std::string& text, std::uint16_t key, Flags flags = {}) {
        field->setStringValue(text);
        EXPECT_TRUE(field->performKeyEquivalent(*keyDown(key, flags)));
        return field->stringValue();
    }

    testing::DesktopEnvironment env;
    std::shared_ptr<IntTextField> field = IntTextField::make();
};

TEST_F(IntTextFieldTest, ArrowsStepTheNumberReadingUnreadableTextAsZero) {
    std::vector<std::int64_t> reported;
    field->onValueChange = [&](std::int64_t value) { reported.push_back(value); };
    EXPECT_EQ(step("41", kUp), "42");
    EXPECT_EQ(step("41", kUp, Flags::option), "51");
    EXPECT_EQ(step("+7", kDown, Flags::option | Flags::capsLock), "-3");
    EXPECT_EQ(step("", kDown), "-1");
    EXPECT_EQ(step("abc", kUp), "1");
    EXPECT_EQ(step("4x", kUp), "1");
    EXPECT_EQ(reported, (std::vector<std::int64_t>{42, 51, -3, -1, 1, 1}));

    field->setStringValue("5");
    EXPECT_FALSE(field->performKeyEquivalent(*keyDown(kA)));
    EXPECT_EQ(field->stringValue(), "5");
}

TEST_F(IntTextFieldTest, SteppingPastTheIntegerLimitsStopsAtThem) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(step(std::to_string(kMax - 3), kUp, Flags::option), std::to_string(kMax));
    EXPECT_EQ(step(std::to_string(kMin + 1), kDown), std::to_string(kMin));
    field->delta = kMin;
    EXPECT_EQ(step("1", kDown), std::to_string(kMax));
}

TEST_F(IntTextFieldTest, ArrowsBelongToTheFieldOnlyWhileItIsEdited) {
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    window->setContentView(std::make_shared<NSView>());
    auto other = std::make_shared<NSTextView>();
    window->contentView()->addSubview(field);
    window->contentView()->addSubview(other);
    window->makeFirstResponder(other);
    field->setStringValue("3");
    EXPECT_FALSE(field->performKeyEquivalent(*keyDown(kUp)));
    window->makeFirstResponder(field);
    EXPECT_TRUE(field->performKeyEquivalent(*keyDown(kUp)));
    EXPECT_EQ(field->stringValue(), "4");
}

TEST_F(IntTextFieldTest, RangeWaitsForTheDigitsAndShakesWhenLeftOutside) {
    field->minMax = std::pair<std::int64_t, std::int64_t>{10, 20};
    std::vector<std::int64_t> changes;
    std::vector<std::int64_t> blurs;
    field->onValueChange = [&](std::int64_t value) { changes.push_back(value); };
    field->onBlur = [&](std::int64_t value) { blurs.push_back(value); };

    field->userTypes("1");
    EXPECT_TRUE(changes.empty()) << "still typing the digits of 1x";
    field->userTypes("12");
    field->userTypes("");
    EXPECT_EQ(changes, (std::vector<std::int64_t>{12}));
    EXPECT_FALSE(field->wantsLayer()) << "nothing shook yet";

    field->userTypes("25");
    EXPECT_EQ(changes, (std::vector<std::int64_t>{12, 25}));
    EXPECT_EQ(field->layer()->addedAnimations().size(), 1u);

    field->userTypes("5");
    field->userEndsEditing();
    EXPECT_EQ(blurs, (std::vector<std::int64_t>{5}));
    EXPECT_EQ(field->layer()->addedAnimations().size(), 2u);
}

TEST(NativeTextFieldCoordinatorTest, TypingReachesTheBindingButAStrayNotificationDoesNot) {
    testing::TestEnvironment env;
    std::string text = "kept";
    auto coordinator = std::make_shared<NativeTextFieldCoordinator>(swiftui::Binding<std::string>(
        [&] { return text; }, [&](const std::string& v) { text = v; }));
    coordinator->controlTextDidChange(
        Notification{NSControlTextDidChangeNotification, Value(), {}});
    EXPECT_EQ(text, "kept");

    auto field = std::make_shared<NSTextField>();
    field->setDelegate(coordinator);
    field->userTypes("");
    EXPECT_EQ(text, "");
    field->userTypes("new");
    EXPECT_EQ(text, "new");
}

TEST(NativeTextFieldCoordinatorTest, FocusesTheFieldOnceOnly) {
    testing::TestEnvironment env;
    auto coordinator =
        std::make_shared<NativeTextFieldCoordinator>(swiftui::Binding<std::string>::constant(""));
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    window->setContentView(std::make_shared<NSView>());
    auto field = std::make_shared<NSTextField>();
    auto elsewhere = std::make_shared<NSTextField>();
    window->contentView()->addSubview(field);
    window->contentView()->addSubview(elsewhere);

    coordinator->focusIfNeeded(field, true);
    EXPECT_EQ(window->firstResponder(), nullptr) << "focused on the next pass, not inline";
    env.runUntilIdle();
    EXPECT_EQ(window->firstResponder(), field);

    window->makeFirstResponder(elsewhere); // the user clicks elsewhere
    coordinator->focusIfNeeded(field, true);
    env.runUntilIdle();
    EXPECT_EQ(window->firstResponder(), elsewhere);
}

TEST(AutoselectOnFocusTextFieldTest, GainingTheFocusSelectsAllTextOnTheNextPass) {
    testing::TestEnvironment env;
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    window->setContentView(std::make_shared<NSView>());
    auto field = std::make_shared<AutoselectOnFocusTextField>();
    field->setStringValue("hello");
    auto plain = std::make_shared<NSTextField>();
    plain->setStringValue("world!");
    window->contentView()->addSubview(field);
    window->contentView()->addSubview(plain);

    // A timer of no delay still waits the shortest interval timers have.
    ASSERT_TRUE(window->makeFirstResponder(field));
    auto editor = field->currentEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor, window->fieldEditor(false));
    EXPECT_EQ(editor->string(), "hello");
    EXPECT_EQ(editor->selectedRange(), (NSTextView::Range{5, 0})) << "not before the next pass";
    env.advance(1ms);
    EXPECT_EQ(editor->selectedRange(), (NSTextView::Range{0, 5}));

    // An ordinary field keeps the insertion point at the end; the one before lets go.
    ASSERT_TRUE(window->makeFirstResponder(plain));
    EXPECT_EQ(field->currentEditor(), nullptr);
    EXPECT_EQ(plain->currentEditor(), editor);
    env.advance(1ms);
    EXPECT_EQ(editor->selectedRange(), (NSTextView::Range{6, 0}));

    // Focus that moves on before the pass leaves the next field's text alone.
    window->makeFirstResponder(field);
    window->makeFirstResponder(plain);
    env.advance(1ms);
    EXPECT_EQ(editor->string(), "world!");
    EXPECT_EQ(editor->selectedRange(), (NSTextView::Range{6, 0}));
}

TEST(SmallControlsTest, LabelDimsWhenDisabledAndButtonStateReadsAsBool) {
    testing::TestEnvironment env;
    auto label = CocoaLabel::make();
    label->setEnabled(false);
    EXPECT_EQ(label->textColorName(), "secondaryLabelColor");
    label->setEnabled(true);
    EXPECT_EQ(label->textColorName(), "labelColor");

    auto button = buttonWithTitle("Go");
    EXPECT_FALSE(boolValue(*button));
    setBoolValue(*button, true);
    EXPECT_TRUE(boolValue(*button));
    EXPECT_EQ(button->state(), NSControlStateValue::on);

    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 200, 100), NSWindow::StyleMask::titled);
    window->setContentView(std::make_shared<NSView>());
    auto autofocused = std::make_shared<AutofocusedTextField>();
    window->contentView()->addSubview(autofocused);
    EXPECT_EQ(window->firstResponder(), autofocused);
}

// A form with a name field bound to its state, a label showing the name, and a button
// that changes other state so that the form is updated without a new name.
struct NameForm {
    bool focus = true;
    swiftui::View body(swiftui::ViewContext& context) const {
        const auto name = context.state<std::string>("name", "Ann");
        const auto count = context.state<int>("count", 0);
        NativeTextFieldOptions options;
        options.placeholder = "Name";
        options.isFirstResponder = focus;
        return swiftui::VStack({swiftui::Text("Hello " + name.get()),
                                swiftui::Button("Bump", [count] { count.set(count.get() + 1); }),
                                NativeTextField(name.binding(), options)});
    }
};

class NativeTextFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        window->setContentView(std::make_shared<NSView>());
        window->contentView()->addSubview(other);
        window->contentView()->addSubview(hosting);
        window->makeKeyAndOrderFront();
    }
    std::shared_ptr<NativeTextFieldControl> field() const {
        for (const auto& view : hosting->representedViews()) {
            if (auto found = std::dynamic_pointer_cast<NativeTextFieldControl>(view)) {
                return found;
            }
        }
        return nullptr;
    }

    testing::DesktopEnvironment env;
    std::shared_ptr<NSWindow> window =
        std::make_shared<NSWindow>(CGRect(0, 0, 400, 300), NSWindow::StyleMask::titled);
    std::shared_ptr<NSTextField> other = std::make_shared<NSTextField>();
    std::shared_ptr<swiftui::NSHostingView> hosting = swiftui::NSHostingView::make(NameForm{});
};

TEST_F(NativeTextFieldTest, TypingReachesTheBindingAndTheFieldFollowsIt) {
    env.runUntilIdle();
    ASSERT_NE(field(), nullptr);
    EXPECT_EQ(field()->stringValue(), "Ann");
    EXPECT_EQ(field()->placeholderString(), "Name");
    EXPECT_TRUE(field()->usesSingleLineMode);
    EXPECT_EQ(field()->maximumNumberOfLines, 1);

    const auto made = field();
    made->userTypes("Bob");
    env.runUntilIdle();
    EXPECT_NE(hosting->host()->find("Hello Bob"), nullptr);
    EXPECT_EQ(field(), made) << "an update keeps the field it made";
    EXPECT_EQ(field()->stringValue(), "Bob");
}

TEST_F(NativeTextFieldTest, FocusesItselfOnceAndDoesNotPullFocusBack) {
    env.runUntilIdle();
    EXPECT_EQ(window->firstResponder(), field());

    window->makeFirstResponder(other);
    hosting->host()->click("Bump");
    env.runUntilIdle();
    EXPECT_EQ(window->firstResponder(), other);
}

} // namespace
} // namespace zestrel
