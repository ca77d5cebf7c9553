#include "platform/appkit/NSAlert.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

struct AlertTest : ::testing::Test {
    AlertTest() : responder(ScriptedModalResponder::install()) {}

    std::shared_ptr<NSAlert> threeButtons() {
        auto alert = NSAlert::make();
        alert->setMessageText("Save changes?");
        alert->setInformativeText("They are lost otherwise.");
        alert->addButton("Save");
        alert->addButton("Cancel");
        alert->addButton("Don't Save");
        return alert;
    }

    testing::TestEnvironment env;
    std::shared_ptr<ScriptedModalResponder> responder;
};

TEST_F(AlertTest, ButtonsAnswerThousandPlusTheirIndexAndTheFirstAndCancelTakeKeys) {
    auto alert = threeButtons();
    const auto& buttons = alert->buttons();
    EXPECT_EQ(buttons[0]->keyEquivalent(), "\r");
    EXPECT_EQ(buttons[1]->keyEquivalent(), "\x1b");
    EXPECT_EQ(buttons[2]->keyEquivalent(), "");
    EXPECT_EQ(buttons[2]->tag(), 1002);

    responder->enqueue(ModalAnswer::button(2, 4s));
    responder->enqueue(ModalAnswer::key(AlertKey::escapeKey));
    responder->enqueue(ModalAnswer::key(AlertKey::returnKey));
    responder->enqueue(ModalAnswer::button("Save"));
    const auto before = env.clock().uptime();
    EXPECT_EQ(alert->runModal(), NSAlertThirdButtonReturn);
    EXPECT_EQ(env.clock().uptime() - before, 4s) << "answered after the responder's delay";
    EXPECT_EQ(alert->runModal(), NSAlertSecondButtonReturn);
    EXPECT_EQ(alert->runModal(), NSAlertFirstButtonReturn);
    EXPECT_EQ(alert->runModal(), NSAlertFirstButtonReturn);
    EXPECT_FALSE(alert->window()->isVisible());
}

TEST_F(AlertTest, ShownAlertsAreRecordedWithTheirAnswers) {
    auto alert = threeButtons();
    alert->setShowsSuppressionButton(true);
    alert->suppressionButton()->setTitle("Don't ask again");
    responder->enqueue(ModalAnswer::button("Cancel", 1s, true));
    alert->runModal();
    const auto records = NSAlert::shownAlerts();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].messageText, "Save changes?");
    EXPECT_EQ(records[0].informativeText, "They are lost otherwise.");
    EXPECT_THAT(records[0].buttons, ElementsAre("Save", "Cancel", "Don't Save"));
    EXPECT_EQ(records[0].suppressionTitle, "Don't ask again");
    EXPECT_EQ(records[0].response, NSAlertSecondButtonReturn);
    EXPECT_EQ(records[0].suppressed, true);
    EXPECT_FALSE(records[0].unattended);
}

TEST_F(AlertTest, AnUnansweredAlertGivesUpInsteadOfHanging) {
    auto alert = threeButtons();
    // A repeating common-mode timer would keep a modal run busy for ever.
    auto poll = Timer::make(1.0, true, [](Timer&) {});
    RunLoop::main().add(poll, RunLoopMode::common);
    const auto before = env.clock().uptime();
    EXPECT_EQ(alert->runModal(), NSModalResponseAbort);
    EXPECT_EQ(env.clock().uptime() - before, kUnattendedLimit);
    EXPECT_TRUE(NSAlert::shownAlerts().back().unattended);
    poll->invalidate();
}

TEST_F(AlertTest, AKeyNoButtonAnswersDoesNothing) {
    auto alert = NSAlert::make();
    alert->addButton("One");
    alert->addButton("Two");
    alert->buttons()[0]->setKeyEquivalent("");
    responder->enqueue(ModalAnswer::key(AlertKey::returnKey, 1s));
    EXPECT_EQ(alert->runModal(), NSModalResponseAbort);
    EXPECT_TRUE(NSAlert::shownAlerts().back().unattended);
}

TEST_F(AlertTest, AnAnswerBelongsToTheRunItWasGivenFor) {
    auto alert = threeButtons();
    responder->enqueue(ModalAnswer::button("Save", 10s));
    // Stopped from outside before the scripted click comes.
    DispatchQueue::main().asyncAfter(1s, [] { NSApp().stopModal(5); });
    EXPECT_EQ(alert->runModal(), 5);
    responder->enqueue(ModalAnswer::button("Cancel", 20s));
    const auto before = env.clock().uptime();
    EXPECT_EQ(alert->runModal(), NSAlertSecondButtonReturn)
        << "the first run's late answer does not end the second";
    EXPECT_EQ(env.clock().uptime() - before, 20s);
}

TEST_F(AlertTest, SheetsAnswerThroughTheirCompletion) {
    auto parent = std::make_shared<NSWindow>(CGRect(0, 0, 500, 400), NSWindow::StyleMask::titled);
    parent->makeKeyAndOrderFront();
    auto alert = threeButtons();
    responder->enqueue(ModalAnswer::button(0, 2s));
    std::vector<NSModalResponse> responses;
    alert->beginSheetModal(parent, [&](NSModalResponse r) { responses.push_back(r); });
    EXPECT_EQ(parent->attachedSheet(), alert->window());
    EXPECT_THAT(NSAlert::showingAlerts(), ElementsAre(alert));
    env.advance(2s);
    EXPECT_THAT(responses, ElementsAre(NSAlertFirstButtonReturn));
    EXPECT_TRUE(NSAlert::showingAlerts().empty());
    EXPECT_TRUE(NSAlert::shownAlerts().back().asSheet);
}

TEST_F(AlertTest, TheWindowUnderAnAlertIsKeyAgainWhenItEnds) {
    auto window = std::make_shared<NSWindow>(CGRect(0, 0, 500, 400), NSWindow::StyleMask::titled);
    window->makeKeyAndOrderFront();

    responder->enqueue(ModalAnswer::button(0, 1s));
    threeButtons()->runModal();
    EXPECT_EQ(NSApp().keyWindow(), window);
    EXPECT_EQ(NSApp().mainWindow(), window);

    responder->enqueue(ModalAnswer::button(0, 1s));
    const auto sheet = threeButtons();
    sheet->beginSheetModal(window, {});
    EXPECT_EQ(NSApp().keyWindow(), sheet->window());
    env.advance(1s);
    EXPECT_EQ(NSApp().keyWindow(), window);
}

TEST_F(AlertTest, DuringAModalRunASheetEndingGivesTheKeyboardToTheModalWindowOnly) {
    auto modal = std::make_shared<NSWindow>(CGRect(0, 0, 500, 400), NSWindow::StyleMask::titled);
    auto floating = std::make_shared<NSPanel>(CGRect(0, 0, 100, 100), NSWindow::StyleMask::titled);
    floating->setFloatingPanel(true);
    floating->orderFront();
    responder->enqueue(ModalAnswer::button(0, 1s));
    const auto alert = threeButtons();
    std::shared_ptr<NSWindow> keyAfterSheet;
    DispatchQueue::main().async([&] {
        alert->beginSheetModal(modal, [&](NSModalResponse) {
            keyAfterSheet = NSApp().keyWindow();
            NSApp().stopModal();
        });
    });
    NSApp().runModal(modal);
    EXPECT_EQ(keyAfterSheet, modal);
}

TEST_F(AlertTest, TheAccessoryViewWidensThePanel) {
    auto alert = threeButtons();
    alert->setAccessoryView(std::make_shared<NSView>(CGRect(0, 0, 600, 10)));
    alert->layout();
    EXPECT_EQ(alert->window()->frame().size.width, 640);
    auto narrow = threeButtons();
    narrow->setAccessoryView(std::make_shared<NSView>(CGRect(0, 0, 100, 10)));
    narrow->layout();
    EXPECT_EQ(narrow->window()->frame().size.width, NSAlert::kStandardWidth);
}

TEST_F(AlertTest, ErrorAlertsShowTheErrorsTexts) {
    const Error error =
        NSError::make("Domain", 4,
                      {{NSLocalizedDescriptionKey, "Could not save."},
                       {NSLocalizedFailureReasonErrorKey, "The disk is full."},
                       {NSLocalizedRecoverySuggestionErrorKey, "Free some space."},
                       {NSLocalizedRecoveryOptionsErrorKey, Value::Array{"Retry", "Give Up"}}});
    auto alert = NSAlert::withError(error);
    EXPECT_EQ(alert->messageText(), "Could not save.");
    EXPECT_EQ(alert->informativeText(), "The disk is full.\n\nFree some space.");
    ASSERT_EQ(alert->buttons().size(), 2u);
    EXPECT_EQ(alert->buttons()[1]->title(), "Give Up");

    auto plain = NSAlert::withError(NSError::make("Domain", 4));
    ASSERT_EQ(plain->buttons().size(), 1u);
    EXPECT_EQ(plain->buttons()[0]->title(), "OK");
}

// Records what it was asked to do.
class RecordingAttempter final : public NSObject, public NSErrorRecoveryAttempting {
public:
    bool attemptRecoveryFromError(const Error&, std::int64_t index) const override {
        syncCalls.push_back(index);
        return true;
    }
    void attemptRecoveryFromError(const Error&, std::int64_t index,
                                  const RecoveryDelegate& delegate,
                                  const Value& contextInfo) const override {
        delegateCalls.push_back(index);
        delegate(index == 0, contextInfo);
    }
    mutable std::vector<std::int64_t> syncCalls;
    mutable std::vector<std::int64_t> delegateCalls;
};

Error recoverableError(const std::shared_ptr<RecordingAttempter>& attempter) {
    return NSError::make("Domain", 4,
                         {{NSLocalizedDescriptionKey, "Failed."},
                          {NSLocalizedRecoveryOptionsErrorKey, Value::Array{"Fix", "Ignore"}},
                          {NSRecoveryAttempterErrorKey, Value(attempter)}});
}

TEST_F(AlertTest, PresentErrorRunsTheChosenRecoveryThroughTheDelegateForm) {
    auto attempter = std::make_shared<RecordingAttempter>();
    responder->enqueue(ModalAnswer::button("Fix"));
    EXPECT_TRUE(NSApp().presentError(recoverableError(attempter)));
    responder->enqueue(ModalAnswer::button("Ignore"));
    EXPECT_FALSE(NSApp().presentError(recoverableError(attempter)));
    EXPECT_THAT(attempter->delegateCalls, ElementsAre(0, 1));
    EXPECT_TRUE(attempter->syncCalls.empty());
}

TEST_F(AlertTest, PresentErrorAsASheetPassesTheRealResultAndTheRawContext) {
    auto attempter = std::make_shared<RecordingAttempter>();
    auto parent = std::make_shared<NSWindow>(CGRect(0, 0, 500, 400), NSWindow::StyleMask::titled);
    parent->makeKeyAndOrderFront();
    responder->enqueue(ModalAnswer::button("Fix", 1s));
    std::vector<std::pair<bool, Value>> heard;
    NSApp().presentError(
        recoverableError(attempter), parent,
        [&](bool recovered, const Value& context) { heard.emplace_back(recovered, context); },
        Value("context"));
    env.advance(1s);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_TRUE(heard[0].first);
    EXPECT_EQ(heard[0].second, Value("context"));

    responder->enqueue(ModalAnswer::button("OK", 1s));
    NSApp().presentError(
        NSError::make("Domain", 1), parent,
        [&](bool recovered, const Value& context) { heard.emplace_back(recovered, context); },
        Value(7));
    env.advance(1s);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_FALSE(heard[1].first);
    EXPECT_EQ(heard[1].second, Value(7));
}

} // namespace
} // namespace zestrel::platform
