#include "cut_engine/CGKeyCodeUtilities.h"

#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace zestrel {
namespace {

using platform::CGEventFlags;
using platform::NSEvent;
namespace Keys = CGKeyCodeUtilities;

constexpr auto kCommand = NSEvent::ModifierFlags::command;
constexpr auto kOption = NSEvent::ModifierFlags::option;

class CGKeyCodeUtilitiesTest : public ::testing::Test {
protected:
    void selectLayout(std::string_view identifier) {
        ASSERT_EQ(platform::InputSources::current()->select(identifier), platform::noErr);
        env.runUntilIdle(); // the rebuild runs on the main queue
    }

    static std::shared_ptr<NSEvent> keyDown(std::uint16_t keyCode,
                                            NSEvent::ModifierFlags flags = {}) {
        const auto event = platform::CGEventCreateKeyboardEvent(nullptr, keyCode, true);
        event->setFlags(CGEventFlags{flags.rawValue});
        return NSEvent::eventWithCGEvent(event);
    }

    std::size_t tableLogCount() const {
        const auto lines = env.logLines();
        return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.starts_with("\"Initializers.shared.characterKeys\"");
        });
    }

    platform::testing::TestEnvironment env;
};

TEST_F(CGKeyCodeUtilitiesTest, USLayoutKeysAndTheKeypadWins) {
    EXPECT_EQ(Keys::keyCode("x"), 7);
    EXPECT_EQ(Keys::keyCode("c"), 8);
    EXPECT_EQ(Keys::keyCode("v"), 9);
    // The keypad comes later in the scan, so its keys win.
    const std::vector<std::pair<std::string, Keys::CGKeyCode>> keypad{
        {"1", 83}, {"0", 82}, {"9", 92}, {"-", 78}, {"=", 81},
        {"*", 67}, {"+", 69}, {"/", 75}, {".", 65}};
    for (const auto& [character, code] : keypad) {
        EXPECT_EQ(Keys::keyCode(character), code) << character;
    }
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(CGKeyCodeUtilitiesTest, SpecialAndModifierKeysHaveTheirOwnTables) {
    const auto tables = Keys::Initializers::shared();
    EXPECT_EQ(tables->specialKeys.at(NSEvent::SpecialKey::upArrow), 126);
    EXPECT_EQ(tables->specialKeys.at(NSEvent::SpecialKey::f1), 122);
    EXPECT_EQ(tables->modifierFlagKeys.at(kCommand), 55);
    EXPECT_EQ(tables->modifierFlagKeys.at(NSEvent::ModifierFlags::shift), 60); // right Shift
    EXPECT_FALSE(tables->modifierFlagKeys.contains(NSEvent::ModifierFlags::numericPad));
    // Return and the function keys type no character of their own.
    EXPECT_FALSE(tables->characterKeys.contains("\r"));
    EXPECT_FALSE(tables->characterKeys.contains("\x10"));
    EXPECT_EQ(tableLogCount(), 1u);
}

TEST_F(CGKeyCodeUtilitiesTest, AChangedInputSourceRebuildsTheTables) {
    EXPECT_EQ(Keys::keyCode("z"), 6);
    const auto before = Keys::Initializers::shared();
    selectLayout("com.apple.keylayout.German");
    EXPECT_EQ(Keys::keyCode("z"), 16); // the German layout swaps Y and Z
    EXPECT_EQ(Keys::keyCode("y"), 6);
    EXPECT_EQ(Keys::keyCode("x"), 7);
    // A reader that took the old set keeps it whole.
    EXPECT_EQ(before->characterKeys.at("z"), 6);
    EXPECT_EQ(tableLogCount(), 2u);
}

TEST_F(CGKeyCodeUtilitiesTest, EveryFallbackKeyTypesItsCharacterOnTheUSLayout) {
    for (const auto& [character, code] : Keys::ansiKeyCodes()) {
        EXPECT_EQ(keyDown(code)->charactersIgnoringModifiers(), std::string(character))
            << character << " " << code;
    }
}

TEST_F(CGKeyCodeUtilitiesTest, LettersALayoutLacksFallBackToTheKeysThatTypeThemOnUS) {
    selectLayout("com.apple.keylayout.Russian");
    EXPECT_FALSE(Keys::Initializers::shared()->characterKeys.contains("x"));
    EXPECT_EQ(Keys::keyCode("v"), 9); // Command+V still pastes
    std::vector<std::pair<std::string, Keys::CGKeyCode>> fallbacks;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const std::string character(1, letter);
        fallbacks.emplace_back(character, Keys::keyCode(character));
    }
    EXPECT_TRUE(env.reports().empty());

    selectLayout("com.apple.keylayout.US");
    for (const auto& [character, code] : fallbacks) {
        EXPECT_EQ(keyDown(code)->charactersIgnoringModifiers(), character);
    }
}

TEST_F(CGKeyCodeUtilitiesTest, ACharacterNoKeyTypesIsReportedAndGivesZero) {
    EXPECT_EQ(Keys::keyCode("☃"), 0);
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].localizedDescription(), "Could not get key code for character: ☃");
    EXPECT_THAT(reports[0].as<platform::NSError>()->userInfo().at("fileLine").describe(),
                ::testing::StartsWith("Utilities:"));
}

TEST(CGEventFlagsTest, OnlyTheSevenModifierFlagsCarryOver) {
    EXPECT_EQ(cgEventFlags(kCommand | kOption).rawValue, 0x180000u);
    EXPECT_EQ(cgEventFlags(kCommand | kOption | NSEvent::ModifierFlags::help).rawValue, 0x180000u);
    EXPECT_EQ(cgEventFlags(NSEvent::ModifierFlags{0xFF0000 | 0x1FF}).rawValue, 0xBF0000u);
    EXPECT_EQ(cgEventFlags({}).rawValue, 0u);
}

TEST_F(CGKeyCodeUtilitiesTest, RewritesChangeTheKeyOrTheFlagsOfACopy) {
    const auto commandX = keyDown(7, kCommand | NSEvent::ModifierFlags::capsLock);
    const auto commandC = settingKeyCode(commandX, "c");
    EXPECT_EQ(commandC->keyCode(), 8);
    EXPECT_EQ(commandC->eventModifierFlags(), commandX->eventModifierFlags());
    EXPECT_EQ(commandC->charactersIgnoringModifiers(), "c");
    EXPECT_EQ(commandX->keyCode(), 7);

    const auto plainC = settingKeyCode(commandX, "c", NSEvent::ModifierFlags{});
    EXPECT_EQ(plainC->eventModifierFlags(), NSEvent::ModifierFlags{});

    const auto move = settingFlags(keyDown(9, kCommand), kCommand | kOption);
    EXPECT_EQ(move->keyCode(), 9);
    EXPECT_EQ(move->eventModifierFlags(), kCommand | kOption);
}

TEST_F(CGKeyCodeUtilitiesTest, AnEventThatCannotBeConvertedComesBackItself) {
    const auto commandV = keyDown(9, kCommand);
    auto faults = platform::EventSystem::current()->faults();
    faults.cgEventFromNSEvent = true;
    platform::EventSystem::current()->setFaults(faults);
    EXPECT_EQ(settingFlags(commandV, kCommand | kOption), commandV);
    faults = {};
    faults.nsEventFromCGEvent = true;
    platform::EventSystem::current()->setFaults(faults);
    EXPECT_EQ(settingKeyCode(commandV, "c"), commandV);
}

} // namespace
} // namespace zestrel
