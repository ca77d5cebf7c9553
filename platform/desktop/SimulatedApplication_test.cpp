#include "platform/desktop/SimulatedApplication.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::DesktopEnvironment;
using testing::kVKC;
using testing::kVKV;
using testing::kVKX;

constexpr std::uint16_t kVKA = 0;
constexpr std::uint16_t kVKL = 37;
constexpr std::uint16_t kVK1 = 18;
constexpr std::uint16_t kVKDelete = 51;

// Keys pressed at the keyboard: through the whole pipeline to the application in front,
// with the characters of the layout selected now.
class KeyboardTest : public ::testing::Test {
protected:
    void press(std::uint16_t keyCode, CGEventFlags flags = {}) {
        for (const bool down : {true, false}) {
            auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, down);
            CGEventSetFlags(event, flags);
            EventSystem::current()->post(kCGHIDEventTap, event);
        }
    }
    void type(std::initializer_list<std::uint16_t> keys) {
        for (const auto key : keys) {
            press(key);
        }
    }
    void selectLayout(const char* identifier) {
        ASSERT_EQ(InputSources::current()->select(identifier), noErr);
    }
    std::shared_ptr<TextEditorApplication> frontEditor() {
        return env.launch<TextEditorApplication>(kTextEditBundleIdentifier, true);
    }

    DesktopEnvironment env;
    std::shared_ptr<NSPasteboard> pasteboard = env.desktop().generalPasteboard();
};

TEST_F(KeyboardTest, TheTextEditorSelectsCopiesCutsAndPastesItsText) {
    auto editor = frontEditor();
    type({4, 34}); // "hi"
    const auto count = pasteboard->changeCount();

    press(kVKC, kCGEventFlagMaskCommand); // nothing selected: nothing to copy
    EXPECT_EQ(pasteboard->changeCount(), count);

    press(kVKA, kCGEventFlagMaskCommand);
    EXPECT_TRUE(editor->isAllSelected());
    press(kVKC, kCGEventFlagMaskCommand);
    EXPECT_EQ(pasteboard->changeCount(), count + 1);
    EXPECT_EQ(pasteboard->types(), std::vector<NSPasteboardType>{NSPasteboardType::string});
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "hi");
    EXPECT_TRUE(pasteboard->readFileURLs().empty());

    press(kVKX, kCGEventFlagMaskCommand);
    EXPECT_EQ(editor->text(), "");
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "hi");

    press(kVKV, kCGEventFlagMaskCommand);
    press(kVKV, kCGEventFlagMaskCommand);
    EXPECT_EQ(editor->text(), "hihi");

    // Typing over the whole selection replaces it; Delete removes it.
    press(kVKA, kCGEventFlagMaskCommand);
    type({kVKA});
    EXPECT_EQ(editor->text(), "a");
    press(kVKA, kCGEventFlagMaskCommand);
    press(kVKDelete);
    EXPECT_EQ(editor->text(), "");
    // Other shortcuts type nothing.
    press(kVKA, kCGEventFlagMaskControl);
    press(kVKA, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);
    EXPECT_EQ(editor->text(), "");
}

TEST_F(KeyboardTest, ACopyInTheTextEditorReplacesTheFilesOnThePasteboard) {
    const auto folder = env.makeFolder("Files");
    env.writeFile(folder / "a.txt", "alpha");
    auto finder = env.finder();
    finder->openFolder(folder);
    finder->select({"a.txt"});
    press(kVKC, kCGEventFlagMaskCommand);
    env.advance(finder->copyLatency());
    ASSERT_EQ(pasteboard->readFileURLs().size(), 1u);

    auto editor = frontEditor();
    type({kVKA});
    press(kVKA, kCGEventFlagMaskCommand);
    press(kVKC, kCGEventFlagMaskCommand);
    EXPECT_TRUE(pasteboard->readFileURLs().empty());
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "a");
}

TEST_F(KeyboardTest, ShortcutsOnALayoutWithoutLatinLettersUseTheUSKeyPositions) {
    const auto folder = env.makeFolder("Files");
    env.writeFile(folder / "a.txt", "alpha");
    auto finder = env.finder();
    finder->openFolder(folder);
    finder->select({"a.txt"});

    selectLayout("com.apple.keylayout.Russian");
    press(kVKC, kCGEventFlagMaskCommand); // the key types "с" here
    EXPECT_EQ(finder->receivedEvents().back().characters, "с");
    env.advance(finder->copyLatency());
    ASSERT_EQ(pasteboard->readFileURLs().size(), 1u);

    const auto target = env.makeFolder("Target");
    finder->openFolder(target);
    press(kVKV, kCGEventFlagMaskCommand | kCGEventFlagMaskAlternate);
    EXPECT_TRUE(fs::exists(target / "a.txt"));
    EXPECT_FALSE(fs::exists(folder / "a.txt"));

    auto editor = frontEditor();
    type({kVKA, kVKX});
    EXPECT_EQ(editor->text(), "фч");
    press(kVKA, kCGEventFlagMaskCommand);
    press(kVKX, kCGEventFlagMaskCommand);
    EXPECT_EQ(editor->text(), "");
    EXPECT_EQ(pasteboard->stringForType(NSPasteboardType::string), "фч");
}

TEST_F(KeyboardTest, ALatinLayoutsShortcutsFollowItsOwnKeys) {
    auto editor = frontEditor();
    type({kVKA});
    selectLayout("com.apple.keylayout.German");
    // The German layout's Y and Z trade places with the U.S. ones, but A, C, V and X are
    // where they are: a key that types another letter is another shortcut.
    press(16, kCGEventFlagMaskCommand); // "z" here: no select-all
    EXPECT_FALSE(editor->isAllSelected());
    press(kVKA, kCGEventFlagMaskCommand);
    EXPECT_TRUE(editor->isAllSelected());
}

TEST_F(KeyboardTest, CapsLockAndOptionChangeWhatKeysTypeThroughTheLayout) {
    auto editor = frontEditor();
    press(kVKA, kCGEventFlagMaskAlphaShift);
    press(kVK1, kCGEventFlagMaskAlphaShift); // Caps Lock shifts letters only
    press(kVKA, kCGEventFlagMaskAlternate);
    press(kVKA, kCGEventFlagMaskAlternate | kCGEventFlagMaskAlphaShift);
    press(kVKA, kCGEventFlagMaskAlternate | kCGEventFlagMaskShift);
    EXPECT_EQ(editor->text(), "A1åÅÅ");

    selectLayout("com.apple.keylayout.German");
    press(kVKL, kCGEventFlagMaskAlternate);
    EXPECT_EQ(editor->text(), "A1åÅÅ@");
    // What the application is handed ignores both, as shortcuts need.
    EXPECT_EQ(editor->receivedEvents().back().characters, "l");
}

} // namespace
} // namespace zestrel::platform
