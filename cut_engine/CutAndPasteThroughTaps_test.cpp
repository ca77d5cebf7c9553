// The whole road of a cut on real files: a per-process tap on the simulated Finder whose
// handler turns Command+X into Command+C and, while the pasteboard still holds that copy,
// Command+V into Command+Option+V, so the Finder moves the files.
#include "cut_engine/AppEventTap.h"
#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/CGKeyCodeUtilities.h"
#include "platform/base/DispatchQueue.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::NSEvent;
using platform::NSPasteboard;
using platform::ReceivedKeyEvent;
using platform::testing::kVKC;
using platform::testing::kVKV;
using platform::testing::kVKX;

constexpr auto kCommand = NSEvent::ModifierFlags::command;
constexpr auto kOption = NSEvent::ModifierFlags::option;

class CutAndPasteThroughTapsTest : public ::testing::Test {
protected:
    CutAndPasteThroughTapsTest() {
        const auto scene = env.makeCutScene();
        source = scene.source;
        target = scene.target;
        finder = scene.finder;
        taps = AppEventTap::make(
            {ServedApplications::finder}, {platform::CGEventType::keyDown},
            platform::kCGHeadInsertEventTap, platform::kCGEventTapOptionDefault,
            [this](const std::shared_ptr<NSEvent>& event) { return handle(event); });
    }

    // The cut remembers the pasteboard as it stands once the Finder's copy has landed.
    std::shared_ptr<NSEvent> handle(const std::shared_ptr<NSEvent>& event) {
        if (event->eventModifierFlags() != kCommand) {
            return event;
        }
        const auto key = event->charactersIgnoringModifiers();
        if (key == "x") {
            pendingChangeCount.reset();
            platform::DispatchQueue::main().asyncAfter(
                200ms, [this] { pendingChangeCount = NSPasteboard::general()->changeCount(); });
            return settingKeyCode(event, "c");
        }
        if (key == "v") {
            const auto pasteboard = NSPasteboard::general();
            const auto types = pasteboard->types();
            const bool holdsCut = pendingChangeCount == pasteboard->changeCount() && types &&
                                  std::find(types->begin(), types->end(),
                                            platform::NSPasteboardType::fileURL) != types->end();
            pendingChangeCount.reset();
            return holdsCut ? settingFlags(event, kCommand | kOption) : event;
        }
        return event;
    }

    void press(std::uint16_t keyCode) {
        const auto event = platform::CGEventCreateKeyboardEvent(nullptr, keyCode, true);
        event->setFlags(platform::CGEventFlags{kCommand.rawValue});
        platform::EventSystem::current()->post(platform::kCGHIDEventTap, event);
    }

    platform::testing::DesktopEnvironment env;
    fs::path source;
    fs::path target;
    std::shared_ptr<platform::FileManagerApplication> finder;
    std::shared_ptr<AppEventTap> taps;
    std::optional<std::int64_t> pendingChangeCount;
};

TEST_F(CutAndPasteThroughTapsTest, CutThenPasteMovesTheFiles) {
    press(kVKX);
    env.advance(600ms);
    EXPECT_EQ(NSPasteboard::general()->readFileURLs(),
              (std::vector<platform::URL>{platform::URL::fileURL((source / "a.txt").string()),
                                          platform::URL::fileURL((source / "b.txt").string())}));

    finder->openFolder(target);
    press(kVKV);
    env.runUntilIdle();

    EXPECT_EQ(
        finder->receivedEvents(),
        (std::vector<ReceivedKeyEvent>{{kVKC, kCommand, "c"}, {kVKV, kCommand | kOption, "v"}}));
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_FALSE(fs::exists(source / "b.txt"));
    EXPECT_EQ(platform::testing::DesktopEnvironment::readFile(target / "a.txt"), "alpha");
    EXPECT_EQ(platform::testing::DesktopEnvironment::readFile(target / "b.txt"), "beta");
}

TEST_F(CutAndPasteThroughTapsTest, APasteboardChangedSinceTheCutGivesAPlainCopy) {
    press(kVKX);
    env.advance(600ms);
    NSPasteboard::general()->clearContents();
    finder->select({"a.txt"});
    press(kVKC);
    env.advance(600ms);

    finder->openFolder(target);
    press(kVKV);
    env.runUntilIdle();
    EXPECT_EQ(finder->receivedEvents().back(), (ReceivedKeyEvent{kVKV, kCommand, "v"}));
    EXPECT_TRUE(fs::exists(source / "a.txt"));
    EXPECT_TRUE(fs::exists(target / "a.txt"));
    EXPECT_FALSE(fs::exists(target / "b.txt"));
}

} // namespace
} // namespace zestrel
