#include "hotkeys/Hotkeys.h"

#include "hotkeys/CarbonHotkeys.h"
#include "platform/concurrency/Task.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/EventSystem.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel::Hotkeys {
namespace {

using platform::Value;

const Shortcut kCommandX(7, 256);

class HotkeysTest : public ::testing::Test {
protected:
    platform::testing::DesktopEnvironment env;
    std::vector<std::string> ran;
    std::vector<std::string> changed;
    platform::ObserverToken token = platform::NotificationCenter::defaultCenter()->addObserver(
        shortcutByNameDidChange, Value(), [this](const platform::Notification& notification) {
            const auto name = nameFromNotification(notification);
            changed.push_back(name ? name->rawValue() : "?");
        });

    ~HotkeysTest() override {
        platform::NotificationCenter::defaultCenter()->removeObserver(token);
    }

    Handler record(std::string what) {
        return [this, what] { ran.push_back(what); };
    }

    // Command+X pressed and released in the Finder, and the run loop turned.
    void pressCommandX() {
        for (auto type : {platform::CGEventType::keyDown, platform::CGEventType::keyUp}) {
            platform::EventSystem::current()->post(
                platform::kCGHIDEventTap,
                std::make_shared<platform::CGEvent>(type, platform::testing::kVKX,
                                                    platform::kCGEventFlagMaskCommand));
        }
        env.runUntilIdle();
    }
    std::size_t finderKeys() { return env.finder()->receivedEvents().size(); }
};

TEST_F(HotkeysTest, AStoredShortcutRunsItsHandlersOnPressAndRelease) {
    const auto name = Name::fromRawValue("cut");
    onKeyDown(name, record("down"));
    onKeyUp(name, record("up"));
    EXPECT_TRUE(registeredShortcuts().empty()) << "nothing stored yet";

    storeShortcut(kCommandX, name);
    pressCommandX();

    EXPECT_EQ(ran, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(changed, (std::vector<std::string>{"cut"}));
    EXPECT_EQ(finderKeys(), 0u);
}

TEST_F(HotkeysTest, StoringTheSameShortcutAgainRegistersItAfreshAndPosts) {
    const auto name = Name::fromRawValue("cut");
    storeShortcut(kCommandX, name);
    const auto firstId = CarbonHotkeys::hotKeys().begin()->first;
    storeShortcut(kCommandX, name);

    ASSERT_EQ(CarbonHotkeys::hotKeys().size(), 1u);
    EXPECT_GT(CarbonHotkeys::hotKeys().begin()->first, firstId);
    EXPECT_EQ(changed.size(), 2u);
}

TEST_F(HotkeysTest, ClearingAndResetting) {
    // Nothing stored: nothing to clear, nothing posted.
    setShortcut(std::nullopt, Name::fromRawValue("plain"));
    EXPECT_TRUE(changed.empty());

    const Name cut("cut", kCommandX);
    setShortcut(std::nullopt, cut);
    EXPECT_EQ(platform::UserDefaults::standard()->object("Hotkeys_cut"), Value(false));
    EXPECT_FALSE(isRegistered(kCommandX));
    pressCommandX();
    EXPECT_EQ(finderKeys(), 1u);

    Name again("cut", kCommandX);
    EXPECT_FALSE(again.shortcut());

    changed.clear();
    reset({again});
    EXPECT_EQ(again.shortcut(), kCommandX);
    EXPECT_TRUE(isRegistered(kCommandX));
    EXPECT_EQ(changed, (std::vector<std::string>{"cut"}));

    // Without a default, reset removes the key.
    const auto plain = Name::fromRawValue("plain");
    storeShortcut(Shortcut(9, 256), plain);
    reset({plain});
    EXPECT_TRUE(platform::UserDefaults::standard()->object("Hotkeys_plain").isAbsent());
    EXPECT_FALSE(isRegistered(Shortcut(9, 256)));
}

TEST_F(HotkeysTest, TwoNamesSharingAShortcutBothRunAndClearingOneFreesTheKey) {
    const auto a = Name::fromRawValue("a");
    const auto b = Name::fromRawValue("b");
    storeShortcut(kCommandX, a);
    storeShortcut(kCommandX, b);
    onKeyDown(a, record("a"));
    onKeyDown(b, record("b"));

    pressCommandX();
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b"}));

    a.setShortcut(std::nullopt);
    pressCommandX();
    EXPECT_EQ(ran.size(), 2u);
    EXPECT_EQ(finderKeys(), 1u);
}

TEST_F(HotkeysTest, DisableAndEnableKeepTheHandlers) {
    const auto name = Name::fromRawValue("cut");
    storeShortcut(kCommandX, name);
    onKeyDown(name, record("down"));

    disable({name});
    pressCommandX();
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(finderKeys(), 1u);

    enable({name});
    enable({name});
    pressCommandX();
    EXPECT_EQ(ran, (std::vector<std::string>{"down"}));
    EXPECT_EQ(CarbonHotkeys::hotKeys().size(), 1u);
}

TEST_F(HotkeysTest, HandlersFollowTheNamesCurrentShortcut) {
    const auto name = Name::fromRawValue("cut");
    storeShortcut(Shortcut(9, 256), name);
    onKeyDown(name, record("down"));
    storeShortcut(kCommandX, name);

    pressCommandX();
    performKeyDown(name);
    EXPECT_EQ(ran, (std::vector<std::string>{"down", "down"}));
    EXPECT_FALSE(isRegistered(Shortcut(9, 256)));
}

TEST_F(HotkeysTest, NothingRunsWhilePaused) {
    const auto name = Name::fromRawValue("cut");
    storeShortcut(kCommandX, name);
    onKeyDown(name, record("down"));

    setPaused(true);
    pressCommandX();
    performKeyDown(name);
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(finderKeys(), 0u) << "the key is still the hot key's";

    setPaused(false);
    pressCommandX();
    EXPECT_EQ(ran.size(), 1u);
}

platform::Task<void> collect(platform::AsyncStream<EventType> stream, std::vector<EventType>& into,
                             std::size_t count) {
    while (into.size() < count) {
        auto next = co_await stream.next();
        if (!next) {
            co_return;
        }
        into.push_back(*next);
    }
}

TEST_F(HotkeysTest, StreamsDeliverPressesAndTheirEndFreesTheKey) {
    const auto name = Name::fromRawValue("cut");
    storeShortcut(kCommandX, name);
    disable({name});

    std::vector<EventType> seen;
    {
        auto stream = events(name);
        env.runUntilIdle(); // the stream's handlers are added on the next turn
        EXPECT_TRUE(isRegistered(kCommandX));
        pressCommandX();
        auto task = platform::Task<void>::runOnMain([&] { return collect(stream, seen, 2); });
        env.runUntilIdle();
        EXPECT_EQ(seen, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
    }
    env.runUntilIdle();

    EXPECT_FALSE(isRegistered(kCommandX));
    pressCommandX();
    EXPECT_EQ(finderKeys(), 1u);
}

TEST_F(HotkeysTest, AStreamOfOneTypeGivesOnlyThatType) {
    const auto name = Name::fromRawValue("cut");
    storeShortcut(kCommandX, name);
    std::vector<EventType> seen;
    auto stream = events(EventType::keyUp, name);
    env.runUntilIdle();
    pressCommandX();
    pressCommandX();
    auto task = platform::Task<void>::runOnMain([&] { return collect(stream, seen, 2); });
    env.runUntilIdle();
    EXPECT_EQ(seen, (std::vector<EventType>{EventType::keyUp, EventType::keyUp}));
}

TEST_F(HotkeysTest, AShortcutAnotherNameHoldsIsRegisteredWithTheSystemOnce) {
    storeShortcut(kCommandX, Name::fromRawValue("a"));
    storeShortcut(kCommandX, Name::fromRawValue("b"));
    EXPECT_EQ(CarbonHotkeys::hotKeys().size(), 1u);
    EXPECT_EQ(platform::HotKeySystem::current()->registrations().size(), 1u);
}

TEST_F(HotkeysTest, RemovingAllHandlersKeepsTheKeyOfANameWithAStream) {
    const auto streamed = Name::fromRawValue("streamed");
    const auto keyed = Name::fromRawValue("keyed");
    storeShortcut(kCommandX, streamed);
    storeShortcut(Shortcut(9, 256), keyed);
    onKeyDown(streamed, record("streamed"));
    onKeyDown(keyed, record("keyed"));
    auto stream = events(EventType::keyUp, streamed);
    env.runUntilIdle();

    removeAllHandlers();

    EXPECT_TRUE(isRegistered(kCommandX));
    EXPECT_FALSE(isRegistered(Shortcut(9, 256)));
    pressCommandX();
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(finderKeys(), 0u);
}

} // namespace
} // namespace zestrel::Hotkeys
