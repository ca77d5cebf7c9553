#include "hotkeys/Shortcut.h"

#include "hotkeys/Hotkeys.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/CGEvent.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <unordered_map>

namespace zestrel::Hotkeys {
namespace {

using platform::NSEvent;
using platform::Value;

class ShortcutTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standard();

    std::optional<std::string> storedTextOf(const std::string& key) {
        return defaults->string(key);
    }
};

TEST_F(ShortcutTest, OnlyTheFourModifierBitsSurviveMaking) {
    EXPECT_EQ(Shortcut(7, 256 + 65536).carbonModifiers, 256);
    EXPECT_EQ(Shortcut(7, 256 + 512 + 2048 + 4096).carbonModifiers, 6912);
    EXPECT_EQ(Shortcut(7, 1024 /* Caps Lock */).carbonModifiers, 0);
    const auto flags = NSEvent::ModifierFlags::command | NSEvent::ModifierFlags::capsLock |
                       NSEvent::ModifierFlags::function | NSEvent::ModifierFlags::numericPad;
    EXPECT_EQ(Shortcut(Key::x, flags), Shortcut(7, 256));
    EXPECT_EQ(Shortcut(Key::v, NSEvent::ModifierFlags::option | NSEvent::ModifierFlags::control)
                  .modifiers(),
              NSEvent::ModifierFlags::option | NSEvent::ModifierFlags::control);
}

TEST_F(ShortcutTest, OnlyKeyEventsMakeShortcuts) {
    const auto make = [](platform::CGEventType type) {
        return NSEvent(platform::CGEvent(type, 7, platform::kCGEventFlagMaskCommand), nullptr);
    };
    EXPECT_EQ(Shortcut::fromEvent(make(platform::CGEventType::keyUp)), Shortcut(7, 256));
    EXPECT_EQ(Shortcut::fromEvent(make(platform::CGEventType::keyDown)), Shortcut(7, 256));
    EXPECT_FALSE(Shortcut::fromEvent(make(platform::CGEventType::flagsChanged)));
    EXPECT_FALSE(Shortcut::fromEvent(make(platform::CGEventType::leftMouseDown)));
}

TEST_F(ShortcutTest, SystemHotKeysNeedToBeEnabledAndWellFormed) {
    const auto entry = [](Value enabled, Value code, Value modifiers) {
        return Value::Dictionary{{"kHISymbolicHotKeyEnabled", enabled},
                                 {"kHISymbolicHotKeyCode", code},
                                 {"kHISymbolicHotKeyModifiers", modifiers}};
    };
    EXPECT_EQ(Shortcut::fromSystemHotKey(entry(true, 49, 256 + 131072)), Shortcut(49, 256));
    EXPECT_FALSE(Shortcut::fromSystemHotKey(entry(false, 49, 256)));
    EXPECT_FALSE(Shortcut::fromSystemHotKey(entry(1, 49, 256))) << "a number is not a Boolean";
    EXPECT_FALSE(Shortcut::fromSystemHotKey(entry(true, "49", 256)));
    EXPECT_FALSE(Shortcut::fromSystemHotKey(entry(true, 49, Value())));
}

TEST_F(ShortcutTest, TheStoredTextIsCompactJSONInMemberOrder) {
    storeShortcut(Shortcut(Key::x, NSEvent::ModifierFlags::command), Name::fromRawValue("cut"));
    EXPECT_EQ(storedTextOf("Hotkeys_cut"), R"({"carbonKeyCode":7,"carbonModifiers":256})");
}

TEST_F(ShortcutTest, ReadingAcceptsEitherOrderAndWhiteSpaceButNeedsBothMembers) {
    const auto name = Name::fromRawValue("n");
    const auto read = [&](Value stored) {
        defaults->set(stored, name.storageKey());
        return getShortcut(name);
    };
    EXPECT_EQ(read(R"({ "carbonModifiers" : 512,
                        "carbonKeyCode" : 9 })"),
              Shortcut(9, 512));
    EXPECT_FALSE(read(R"({"carbonKeyCode":9})"));
    EXPECT_FALSE(read(R"({"carbonKeyCode":9,"carbonModifiers":"512"})"));
    EXPECT_FALSE(read("not json"));
    EXPECT_FALSE(read(false));
    EXPECT_FALSE(read(12));
    EXPECT_FALSE(read(Value(platform::Data{'{', '}'})));
    defaults->removeObject(name.storageKey());
    EXPECT_FALSE(getShortcut(name));

    // Stored bits are read as they are, so they do not match a shortcut made normally.
    const auto odd = read(R"({"carbonKeyCode":7,"carbonModifiers":65792})");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->carbonModifiers, 65792);
    EXPECT_NE(*odd, Shortcut(7, 65792));
}

TEST_F(ShortcutTest, StoredShortcutsKeepTheOrderOfTheNamesAndSkipTheMissing) {
    const auto a = Name::fromRawValue("a");
    const auto b = Name::fromRawValue("b");
    const auto c = Name::fromRawValue("c");
    storeShortcut(Shortcut(1, 256), c);
    storeShortcut(Shortcut(2, 256), a);
    EXPECT_EQ(storedShortcuts({a, b, c}), (std::vector<Shortcut>{{2, 256}, {1, 256}}));
}

TEST_F(ShortcutTest, NamesAreTheSameByTheirTextAlone) {
    const auto plain = Name::fromRawValue("cut");
    const auto withDefault = Name::withoutEffects("cut", Shortcut(7, 256));
    EXPECT_EQ(plain, withDefault);
    std::unordered_map<Name, int> slots;
    slots[plain] = 1;
    slots[withDefault] = 2;
    EXPECT_EQ(slots.size(), 1u);
    EXPECT_EQ(slots.at(plain), 2);
}

TEST_F(ShortcutTest, ADefaultIsStoredOnceAndAClearSurvivesMakingTheNameAgain) {
    int changes = 0;
    auto token = platform::NotificationCenter::defaultCenter()->addObserver(
        shortcutByNameDidChange, Value(), [&](const platform::Notification&) { ++changes; });

    Name first("cut", Shortcut(7, 256));
    EXPECT_EQ(storedTextOf("Hotkeys_cut"), R"({"carbonKeyCode":7,"carbonModifiers":256})");
    EXPECT_EQ(changes, 1);
    Name again("cut", Shortcut(7, 256));
    EXPECT_EQ(changes, 1);

    first.setShortcut(std::nullopt);
    EXPECT_EQ(defaults->object("Hotkeys_cut"), Value(false));
    Name third("cut", Shortcut(7, 256));
    EXPECT_FALSE(third.shortcut());
    EXPECT_EQ(defaults->object("Hotkeys_cut"), Value(false));
    platform::NotificationCenter::defaultCenter()->removeObserver(token);
}

} // namespace
} // namespace zestrel::Hotkeys
