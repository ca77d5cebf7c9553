#include "hotkeys/Shortcut.h"

#include "platform/appkit/NSMenu.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/InputSource.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel::Hotkeys {
namespace {

using platform::InputSources;
using platform::KeyboardLayout;
using platform::NSMenu;
using platform::NSMenuItem;
using platform::Value;
using Flags = platform::NSEvent::ModifierFlags;

constexpr std::int64_t kCommand = 256;
constexpr std::int64_t kShift = 512;
constexpr std::int64_t kOption = 2048;
constexpr std::int64_t kControl = 4096;

class ShortcutTextTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::shared_ptr<InputSources> sources = InputSources::current();

    // A layout that types `text` on the X key and is otherwise the US one.
    void selectLayoutTypingOnX(const std::string& text) {
        KeyboardLayout::CharacterKeys keys;
        keys[7] = KeyboardLayout::CharacterKey{text, text};
        const std::string identifier = "test.layout." + text;
        sources->install(std::make_shared<KeyboardLayout>(identifier, "Test", true, keys));
        ASSERT_EQ(sources->setEnabled(identifier, true), platform::noErr);
        ASSERT_EQ(sources->select(identifier), platform::noErr);
    }

    static Value hotKey(bool enabled, std::int64_t code, std::int64_t modifiers) {
        return Value(Value::Dictionary{{"kHISymbolicHotKeyEnabled", Value(enabled)},
                                       {"kHISymbolicHotKeyCode", Value(code)},
                                       {"kHISymbolicHotKeyModifiers", Value(modifiers)}});
    }
    static void setSystemHotKeys(Value::Array hotKeys) {
        platform::HotKeySystem::current()->setSymbolicHotKeys(platform::noErr,
                                                              Value(std::move(hotKeys)));
    }
};

TEST_F(ShortcutTextTest, DescriptionsOnTheUSLayout) {
    EXPECT_EQ(Shortcut(Key::x, Flags::command).description(), "⌘X");
    EXPECT_EQ(Shortcut(7, kCommand | kShift | kOption | kControl).description(), "⌃⌥⇧⌘X");
    EXPECT_EQ(Shortcut(Key::space, Flags::control | Flags::option).description(), "⌃⌥Space");
    EXPECT_EQ(Shortcut(Key::f5, {}).description(), "F5");
    EXPECT_EQ(Shortcut(Key::slash, Flags::option).description(), "⌥/");
}

TEST_F(ShortcutTextTest, KeysWithoutCharactersShowTheirGlyphs) {
    EXPECT_EQ(Shortcut(Key::returnKey, Flags::command).description(), "⌘↩");
    EXPECT_EQ(Shortcut(Key::leftArrow, Flags::command).description(), "⌘←");
    EXPECT_EQ(Shortcut(Key::help, {}).description(), "?\u20DD");
    EXPECT_EQ(Shortcut(Key::keypad7, Flags::command).description(), "⌘7\u20E3");
    EXPECT_EQ(Shortcut(Key::keypadEnter, {}).description(), "\u21A9\u20E3");
    // Codes that no key of the layout has, or that cannot be a key code at all.
    EXPECT_EQ(Shortcut(127, kCommand).description(), "⌘\uFFFD");
    EXPECT_EQ(Shortcut(70000, 0).description(), "\uFFFD");
    EXPECT_EQ(Shortcut(-1, kShift).description(), "⇧\uFFFD");
}

TEST_F(ShortcutTextTest, DescriptionsFollowTheLayoutInUse) {
    ASSERT_EQ(sources->select("com.apple.keylayout.German"), platform::noErr);
    EXPECT_EQ(Shortcut(Key::z, Flags::command).description(), "⌘Y");
    EXPECT_EQ(Shortcut(Key::y, Flags::command).description(), "⌘Z");
    EXPECT_EQ(Shortcut(Key::semicolon, Flags::control).description(), "⌃Ö");
    EXPECT_EQ(Shortcut(Key::equal, Flags::option).description(), "⌥´");

    // A Russian user types shortcuts on the Latin layout selected last.
    ASSERT_EQ(sources->select("com.apple.keylayout.Russian"), platform::noErr);
    EXPECT_EQ(Shortcut(Key::z, Flags::command).description(), "⌘Y");
    EXPECT_EQ(Shortcut::keyToCharacter(Key::x.rawValue), "x");
}

TEST_F(ShortcutTextTest, EveryWordOfALayoutTextIsCapitalized) {
    selectLayoutTypingOnX("xY z"); // as many units as the translation has room for
    EXPECT_EQ(Shortcut(Key::x, Flags::command).description(), "⌘Xy Z");
}

TEST_F(ShortcutTextTest, ModifierGlyphsComeInTheirFixedOrder) {
    EXPECT_EQ(Shortcut::modifierSymbols({}), "");
    EXPECT_EQ(Shortcut::modifierSymbols(Flags::command | Flags::control), "⌃⌘");
    EXPECT_EQ(Shortcut::modifierSymbols(Flags::function | Flags::shift | Flags::capsLock),
              "⇧\U0001F310\uFE0E");
}

TEST_F(ShortcutTextTest, AFailingLayoutStepLeavesTheKeyWithoutText) {
    const Shortcut commandX(Key::x, Flags::command);
    const Shortcut f5(Key::f5, Flags::command);
    const auto expectNoLayoutText = [&] {
        EXPECT_EQ(Shortcut::keyToCharacter(Key::x.rawValue), std::nullopt);
        EXPECT_EQ(commandX.description(), "⌘\uFFFD");
        EXPECT_EQ(commandX.keyEquivalent(), "");
        // The fixed texts do not need the layout.
        EXPECT_EQ(f5.description(), "⌘F5");
    };

    sources->setASCIICapableSourceMissing(true);
    expectNoLayoutText();
    sources->setASCIICapableSourceMissing(false);

    sources->setLayoutDataMissing(true);
    expectNoLayoutText();
    sources->setLayoutDataMissing(false);

    sources->setTranslationFailure(platform::paramErr);
    expectNoLayoutText();
    sources->setTranslationFailure(platform::noErr);

    EXPECT_EQ(commandX.description(), "⌘X");
}

TEST_F(ShortcutTextTest, KeyEquivalents) {
    EXPECT_EQ(Shortcut(Key::x, Flags::command).keyEquivalent(), "x");
    EXPECT_EQ(Shortcut(Key::space, Flags::command).keyEquivalent(), " ");
    EXPECT_EQ(Shortcut(Key::f13, {}).keyEquivalent(), "\uF710");
    EXPECT_EQ(Shortcut(Key::f20, {}).keyEquivalent(), "\uF717");
    EXPECT_EQ(Shortcut(Key::returnKey, Flags::command).keyEquivalent(), "↩");
    EXPECT_EQ(Shortcut(Key::keypad3, {}).keyEquivalent(), "3\u20E3"); // one character
    EXPECT_EQ(Shortcut(127, kCommand).keyEquivalent(), "");
    ASSERT_EQ(sources->select("com.apple.keylayout.German"), platform::noErr);
    EXPECT_EQ(Shortcut(Key::z, Flags::command).keyEquivalent(), "y");
}

TEST_F(ShortcutTextTest, KeyEquivalentsCountCharactersNotUnits) {
    selectLayoutTypingOnX("e\u0301"); // one character of two code points
    EXPECT_EQ(Shortcut(Key::x, Flags::command).keyEquivalent(), "e\u0301");
    selectLayoutTypingOnX("ch");
    EXPECT_EQ(Shortcut(Key::x, Flags::command).keyEquivalent(), "");
    EXPECT_EQ(Shortcut(Key::x, Flags::command).description(), "⌘Ch");
}

TEST_F(ShortcutTextTest, SystemShortcutsAreReadAnewAndOnlyTheEnabledKept) {
    const auto system = Shortcut::system();
    EXPECT_NE(std::find(system.begin(), system.end(), Shortcut(Key::space, Flags::command)),
              system.end());

    const Value::Dictionary malformed{{"kHISymbolicHotKeyEnabled", Value(true)},
                                      {"kHISymbolicHotKeyCode", Value("7")},
                                      {"kHISymbolicHotKeyModifiers", Value(kCommand)}};
    setSystemHotKeys({hotKey(false, 7, kCommand), hotKey(true, 9, kCommand | kShift | 65536),
                      Value(malformed), hotKey(true, 122, 0)});
    EXPECT_EQ(Shortcut::system(),
              (std::vector<Shortcut>{Shortcut(9, kCommand | kShift), Shortcut(122, 0)}));

    // One entry that is no dictionary spoils the whole list.
    setSystemHotKeys({hotKey(true, 9, kCommand), Value("text")});
    EXPECT_TRUE(Shortcut::system().empty());
    platform::HotKeySystem::current()->setSymbolicHotKeys(platform::noErr, Value("not a list"));
    EXPECT_TRUE(Shortcut::system().empty());
    platform::HotKeySystem::current()->setSymbolicHotKeys(
        -1, Value(Value::Array{hotKey(true, 9, kCommand)}));
    EXPECT_TRUE(Shortcut::system().empty());
}

class MainMenuTest : public ShortcutTextTest {
protected:
    std::shared_ptr<NSMenu> menu = std::make_shared<NSMenu>("Main");

    static std::shared_ptr<NSMenuItem> item(const std::shared_ptr<NSMenu>& in, std::string title,
                                            std::string key, Flags mask = Flags::command) {
        auto added = in->addItem(std::move(title), {}, std::move(key));
        added->setKeyEquivalentModifierMask(mask);
        return added;
    }
    static std::shared_ptr<NSMenu> submenu(const std::shared_ptr<NSMenu>& in, std::string title) {
        auto holder = in->addItem(title, {}, "");
        auto sub = std::make_shared<NSMenu>(title);
        holder->setSubmenu(sub);
        return sub;
    }
    std::string takenBy(const Shortcut& shortcut) const {
        const auto found = Shortcut::takenByMainMenu(*menu, shortcut);
        return found ? found->title() : "";
    }
};

TEST_F(MainMenuTest, CaseOfTheKeyEquivalentAndTheWholeMaskMustMatch) {
    item(menu, "Cut", "x");
    item(menu, "Export", "X"); // upper case stands for Shift
    item(menu, "Globe", "g", Flags::command | Flags::function);
    EXPECT_EQ(takenBy(Shortcut(Key::x, Flags::command)), "Cut");
    EXPECT_EQ(takenBy(Shortcut(Key::x, Flags::command | Flags::shift)), "Export");
    EXPECT_EQ(takenBy(Shortcut(Key::x, Flags::option)), "");
    EXPECT_EQ(takenBy(Shortcut(Key::g, Flags::command)), "");
}

TEST_F(MainMenuTest, ItemsWithoutKeyEquivalentsAreNotTakenByKeysWithoutText) {
    item(menu, "About", "");
    EXPECT_EQ(takenBy(Shortcut(127, kCommand)), "");
    sources->setTranslationFailure(platform::paramErr);
    EXPECT_EQ(takenBy(Shortcut(Key::x, Flags::command)), "");
}

TEST_F(MainMenuTest, SubmenusAreSearchedDepthFirstInMenuOrder) {
    auto file = submenu(menu, "File");
    auto recent = submenu(file, "Recent");
    auto deep = submenu(recent, "Deep");
    item(deep, "Deep Item", "k", Flags::command | Flags::option);
    item(menu, "Later", "k", Flags::command | Flags::option);
    EXPECT_EQ(takenBy(Shortcut(Key::k, Flags::command | Flags::option)), "Deep Item");

    // An item is looked at before its own submenu.
    auto edit = menu->addItem("Edit", {}, "j");
    auto editMenu = std::make_shared<NSMenu>("Edit");
    edit->setSubmenu(editMenu);
    item(editMenu, "Inside", "j");
    EXPECT_EQ(takenBy(Shortcut(Key::j, Flags::command)), "Edit");
}

TEST_F(MainMenuTest, KeyEquivalentsAreComparedWithTheLayoutText) {
    item(menu, "Undo", "z");
    ASSERT_EQ(sources->select("com.apple.keylayout.German"), platform::noErr);
    // Key code 16 types z on the German layout.
    EXPECT_EQ(takenBy(Shortcut(Key::y, Flags::command)), "Undo");
    EXPECT_EQ(takenBy(Shortcut(Key::z, Flags::command)), "");
}

} // namespace
} // namespace zestrel::Hotkeys
