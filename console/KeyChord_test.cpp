#include "console/KeyChord.h"

#include "console/ScriptCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::console {
namespace {

using platform::CGEventFlags;
using Flags = platform::NSEvent::ModifierFlags;
using ::testing::HasSubstr;

std::string errorOf(std::string_view chord) {
    try {
        parseKeyChord(chord);
    } catch (const CommandError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error for: " << chord;
    return {};
}

TEST(KeyChord, ModifiersAndKeysByTheirUSCaps) {
    const auto cmd = CGEventFlags::maskCommand;
    const auto opt = CGEventFlags::maskAlternate;
    const std::pair<const char*, KeyChord> cases[] = {
        {"cmd+x", {7, cmd}},
        {"cmd+c", {8, cmd}},
        {"cmd+opt+v", {9, cmd | opt}},
        {"option+command+v", {9, cmd | opt}},
        {"shift+cmd+x", {7, cmd | CGEventFlags::maskShift}},
        {"ctrl+c", {8, CGEventFlags::maskControl}},
        {"CMD+X", {7, cmd}},
        {"esc", {53, {}}},
        {"f1", {122, {}}},
        {"f12", {111, {}}},
        {"fn+left", {123, CGEventFlags::maskSecondaryFn}},
        {"caps+cmd+x", {7, cmd | CGEventFlags::maskAlphaShift}},
        {"y", {16, {}}},
        {"1", {18, {}}},
        {"cmd+=", {24, cmd}},
        {"cmd++", {69, cmd}}, // the keypad's plus key
        {"return", {36, {}}},
        {"space", {49, {}}},
        {"cmd+code:7", {7, cmd}},
        {"code:0", {0, {}}},
        {"caps+CODE:127", {127, CGEventFlags::maskAlphaShift}},
    };
    for (const auto& [text, chord] : cases) {
        EXPECT_EQ(parseKeyChord(text), chord) << text;
    }
}

TEST(KeyChord, WhatIsNotAKeyIsAnError) {
    EXPECT_THAT(errorOf(""), HasSubstr("a key is missing"));
    EXPECT_THAT(errorOf("cmd+"), HasSubstr("a key is missing"));
    EXPECT_THAT(errorOf("cmd+nope"), HasSubstr("unknown key “nope”"));
    EXPECT_THAT(errorOf("super+x"), HasSubstr("unknown modifier “super”"));
    // A shifted character is not a cap of its own: the chord names the key and Shift.
    EXPECT_THAT(errorOf("cmd+!"), HasSubstr("“!” is not a key cap"));
    EXPECT_THAT(errorOf("ü"), HasSubstr("is not a key cap"));
    EXPECT_THAT(errorOf("f21"), HasSubstr("unknown key"));
}

TEST(KeyChord, DescribedInThePlatformsModifierOrder) {
    EXPECT_EQ(describeKey(9, Flags::command | Flags::option, "v"), "opt+cmd+v");
    EXPECT_EQ(describeKey(8, Flags::command | Flags::control | Flags::shift, "C"),
              "ctrl+shift+cmd+C");
    EXPECT_EQ(describeKey(53, {}, "\x1b"), "esc");
    EXPECT_EQ(describeKey(122, Flags::function, "\uF704"), "fn+f1");
    EXPECT_EQ(describeKey(7, Flags::command, "ч"), "cmd+ч");
    // Caps Lock and the numeric pad are states, not part of the chord.
    EXPECT_EQ(describeKey(7, Flags::command | Flags::capsLock, "x"), "cmd+x");
    EXPECT_EQ(describeKey(93, {}, ""), "key 93");
}

} // namespace
} // namespace zestrel::console
