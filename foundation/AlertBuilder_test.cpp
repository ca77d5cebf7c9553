#include "foundation/AlertBuilder.h"

#include "foundation/AddedToSuperviewObserverView.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel {
namespace {

using namespace std::chrono_literals;
using platform::AlertKey;
using platform::ModalAnswer;
using platform::NSAlert;
using platform::NSApp;
using platform::NSModalResponseAbort;
using platform::NSScrollView;
using platform::NSTextView;
using ::testing::ElementsAre;

struct AlertBuilderTest : ::testing::Test {
    AlertBuilderTest() : responder(platform::ScriptedModalResponder::install()) {}

    static std::vector<std::string> returnKeys(const NSAlert& alert) {
        std::vector<std::string> keys;
        for (const auto& button : alert.buttons()) {
            keys.push_back(button->keyEquivalent() == "\r" ? "return" : "-");
        }
        return keys;
    }

    platform::testing::TestEnvironment env;
    std::shared_ptr<platform::ScriptedModalResponder> responder;
};

TEST_F(AlertBuilderTest, BuildsTheTextsStyleAndSuppressionBox) {
    const auto alert = makeAlert({.title = "Menu Bar Item Did Not Appear",
                                  .message = "Try quitting some apps.",
                                  .style = NSAlert::Style::critical,
                                  .showsSuppressionButton = true,
                                  .suppressionTitle = "Do not show this again",
                                  .buttonTitles = {"OK", "Open Settings"}});
    EXPECT_EQ(alert->messageText(), "Menu Bar Item Did Not Appear");
    EXPECT_EQ(alert->informativeText(), "Try quitting some apps.");
    EXPECT_EQ(alert->alertStyle(), NSAlert::Style::critical);
    EXPECT_EQ(alert->suppressionButton()->title(), "Do not show this again");
    EXPECT_EQ(alert->accessoryView(), nullptr);
    EXPECT_THAT(returnKeys(*alert), ElementsAre("return", "-"));

    const auto noBox = makeAlert({.title = "T", .suppressionTitle = "Ignored"});
    EXPECT_FALSE(noBox->showsSuppressionButton());
    EXPECT_EQ(noBox->suppressionButton()->title(), "Do not show this message again");
}

TEST_F(AlertBuilderTest, DefaultButtonRules) {
    const AlertOptions three{.title = "T", .buttonTitles = {"A", "B", "C"}};
    auto options = three;
    options.defaultButtonIndex = -1;
    EXPECT_THAT(returnKeys(*makeAlert(options)), ElementsAre("-", "-", "-"));
    options.defaultButtonIndex = 2;
    EXPECT_THAT(returnKeys(*makeAlert(options)), ElementsAre("-", "-", "return"));
    // An index outside the buttons is ignored: the platform's rule stays.
    options.defaultButtonIndex = 3;
    EXPECT_THAT(returnKeys(*makeAlert(options)), ElementsAre("return", "-", "-"));
    options.defaultButtonIndex = -2;
    EXPECT_THAT(returnKeys(*makeAlert(options)), ElementsAre("return", "-", "-"));
}

TEST_F(AlertBuilderTest, DestructiveButtonsNeverAnswerReturn) {
    const auto alert = makeAlert({.title = "Reset?",
                                  .buttonTitles = {"Reset", "Cancel"},
                                  .destructiveButtonIndices = {0, 5, -1}});
    EXPECT_TRUE(alert->buttons()[0]->hasDestructiveAction());
    EXPECT_FALSE(alert->buttons()[1]->hasDestructiveAction());
    EXPECT_THAT(returnKeys(*alert), ElementsAre("-", "-"));

    const auto chosenDefault = makeAlert({.title = "T",
                                          .buttonTitles = {"A", "B"},
                                          .defaultButtonIndex = 1,
                                          .destructiveButtonIndices = {1}});
    EXPECT_THAT(returnKeys(*chosenDefault), ElementsAre("-", "-"));
}

TEST_F(AlertBuilderTest, DetailTextTakesTheMessageFieldsWidthWhenShown) {
    const auto alert = makeAlert({.title = "Details", .detailText = "Line 1\nLine 2"});
    const auto scroll = std::dynamic_pointer_cast<NSScrollView>(alert->accessoryView());
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->frame(), platform::CGRect(0, 0, 300, 120));
    ASSERT_EQ(scroll->subviews().size(), 2u);
    const auto text = std::dynamic_pointer_cast<NSTextView>(scroll->documentView());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->string(), "Line 1\nLine 2");
    EXPECT_FALSE(text->isEditable());
    EXPECT_FALSE(text->drawsBackground());
    EXPECT_EQ(text->font().pointSize, 11);
    EXPECT_EQ(text->textColorName(), "secondaryLabelColor");

    double widthWhileShown = 0;
    platform::DispatchQueue::main().async([&] {
        widthWhileShown = scroll->frame().size.width;
        alert->respond(ModalAnswer::key(AlertKey::returnKey));
    });
    alert->runModal();
    const auto message = alert->window()->contentView()->subviews().front();
    EXPECT_EQ(widthWhileShown, message->frame().size.width);
    EXPECT_EQ(widthWhileShown, NSAlert::kStandardWidth - 2 * NSAlert::kMargin);
    EXPECT_EQ(scroll->frame().size.height, 120);
    EXPECT_EQ(scroll->subviews().size(), 1u) << "the observer acted once and left";
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(AlertBuilderTest, AMinimumWidthFixesTheDetailWidthOrMakesAnEmptyAccessory) {
    const auto detailed = makeAlert({.title = "T", .detailText = "D", .minimumWidth = 260.0});
    const auto scroll = detailed->accessoryView();
    EXPECT_EQ(scroll->frame(), platform::CGRect(0, 0, 260, 120));
    EXPECT_EQ(scroll->subviews().size(), 1u) << "no observer view";

    const auto plain = makeAlert({.title = "T", .minimumWidth = 260.0});
    ASSERT_NE(plain->accessoryView(), nullptr);
    EXPECT_EQ(plain->accessoryView()->frame(), platform::CGRect(0, 0, 260, 0));
    EXPECT_TRUE(plain->accessoryView()->subviews().empty());
}

TEST_F(AlertBuilderTest, AMissingMessageFieldIsReportedAndTheWidthStays) {
    const auto alert = makeAlert({.title = "T", .detailText = "D"});
    const auto scroll = alert->accessoryView();
    auto lonely = std::make_shared<platform::NSView>();
    lonely->addSubview(scroll);
    auto window = std::make_shared<platform::NSWindow>(platform::CGRect(0, 0, 10, 10),
                                                       platform::NSWindow::StyleMask::titled);
    window->setContentView(lonely);
    EXPECT_EQ(scroll->frame().size.width, 300);
    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].localizedDescription(),
              "Couldn't detect the message textfield view of the NSAlert panel");
}

TEST_F(AlertBuilderTest, TheSuppressionBindingGetsTheCheckBoxWhicheverButtonEnds) {
    std::vector<bool> bound;
    const AlertOptions options{
        .title = "T", .showsSuppressionButton = true, .buttonTitles = {"OK", "Open Settings"}};
    const AlertRunOptions run{.suppression = [&](bool on) { bound.push_back(on); }};
    responder->enqueue(ModalAnswer::button(1, 1s, true));
    responder->enqueue(ModalAnswer::button(0, 1s));
    EXPECT_EQ(runModal(options, run), platform::NSAlertSecondButtonReturn);
    EXPECT_EQ(runModal(options, run), platform::NSAlertFirstButtonReturn);
    EXPECT_THAT(bound, ElementsAre(true, false));
}

TEST_F(AlertBuilderTest, AConditionThatBecomesTrueAbortsWithinOnePollInterval) {
    bool hidden = true;
    int polls = 0;
    platform::DispatchQueue::main().asyncAfter(3500ms, [&] { hidden = false; });
    const auto before = env.clock().uptime();
    const auto response = runModal({.title = "T", .buttonTitles = {"OK"}}, {.shouldDismiss = [&] {
                                       ++polls;
                                       return !hidden;
                                   }});
    EXPECT_EQ(response, NSModalResponseAbort);
    EXPECT_EQ(env.clock().uptime() - before, 4s);
    EXPECT_EQ(polls, 4);
    env.advance(10s);
    EXPECT_EQ(polls, 4) << "the timer is invalidated when the run ends";
}

TEST_F(AlertBuilderTest, ThePollingTimerStopsWhenTheUserAnswersFirst) {
    int polls = 0;
    responder->enqueue(ModalAnswer::button(0, 2500ms));
    runModal({.title = "T"}, {.shouldDismiss = [&] {
                 ++polls;
                 return false;
             }});
    env.advance(10s);
    EXPECT_EQ(polls, 2);
}

TEST_F(AlertBuilderTest, ALatePollNeverAbortsTheNextAlert) {
    // The condition turns true at the tick the user answers, so its abort is posted after
    // the run has ended; it must not reach the next alert on the same window.
    auto window = std::make_shared<platform::NSWindow>(platform::CGRect(0, 0, 600, 400),
                                                       platform::NSWindow::StyleMask::titled);
    window->makeKeyAndOrderFront();
    responder->enqueue(ModalAnswer::button(0, 1s));
    responder->enqueue(ModalAnswer::button("Second", 5s));
    std::vector<platform::NSModalResponse> responses;
    platform::DispatchQueue::main().async([&] {
        responses.push_back(
            runModal({.title = "First"}, {.window = window, .shouldDismiss = [] { return true; }}));
        responses.push_back(
            runModal({.title = "T", .buttonTitles = {"First", "Second"}}, {.window = window}));
    });
    env.advance(10s);
    EXPECT_THAT(responses, ElementsAre(platform::NSAlertFirstButtonReturn,
                                       platform::NSAlertSecondButtonReturn));
}

TEST_F(AlertBuilderTest, ASheetRunWithAWindowEndsWithTheSheetsResponse) {
    auto window = std::make_shared<platform::NSWindow>(platform::CGRect(0, 0, 600, 400),
                                                       platform::NSWindow::StyleMask::titled);
    window->makeKeyAndOrderFront();
    responder->enqueue(ModalAnswer::button("Later", 2s));
    EXPECT_EQ(runModal({.title = "T", .buttonTitles = {"Now", "Later"}}, {.window = window}),
              platform::NSAlertSecondButtonReturn);
    EXPECT_EQ(window->attachedSheet(), nullptr);

    // Aborted by the condition: the sheet does not stay behind.
    EXPECT_EQ(runModal({.title = "T"}, {.window = window, .shouldDismiss = [] { return true; }}),
              NSModalResponseAbort);
    EXPECT_EQ(window->attachedSheet(), nullptr);
    EXPECT_TRUE(NSAlert::showingAlerts().empty());
}

TEST_F(AlertBuilderTest, AsynchronousRunAndShowOnMainQueue) {
    responder->enqueue(ModalAnswer::button(0, 1s));
    std::vector<platform::NSModalResponse> responses;
    run(makeAlert({.title = "Async"}), {}, Duration::seconds(1),
        [&](platform::NSModalResponse r) { responses.push_back(r); });
    EXPECT_TRUE(responses.empty()) << "runs from the main queue";
    env.advance(1s);
    EXPECT_THAT(responses, ElementsAre(platform::NSAlertFirstButtonReturn));

    responder->enqueue(ModalAnswer::button(0));
    showModalOnMainQueue({.title = "Posted"});
    EXPECT_EQ(NSAlert::shownAlerts().size(), 1u);
    env.runUntilIdle();
    EXPECT_EQ(NSAlert::shownAlerts().back().messageText, "Posted");
}

TEST_F(AlertBuilderTest, TheTransparentWindowHostsTheSheetAboveTheCentreAndCloses) {
    NSApp().setActivationPolicy(platform::NSApplication::ActivationPolicy::accessory);
    auto alert = makeAlert({.title = "Hosted"});
    bool dismiss = false;
    std::vector<platform::NSModalResponse> responses;
    runInTransparentWindow(
        alert, [&] { return dismiss; }, Duration::seconds(1),
        [&](platform::NSModalResponse r) { responses.push_back(r); });
    const auto host = alert->window()->sheetParent();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->level(), platform::NSWindow::Level::modalPanel);
    EXPECT_FALSE(host->isOpaque());
    const auto visible = platform::NSScreen::main()->visibleFrame();
    EXPECT_EQ(host->frame().origin.y, visible.origin.y + visible.size.height / 2 + 100);
    EXPECT_TRUE(NSApp().isActive());

    env.advance(3s);
    EXPECT_TRUE(responses.empty());
    dismiss = true;
    env.advance(1s);
    EXPECT_THAT(responses, ElementsAre(platform::NSModalResponseStop));
    EXPECT_FALSE(host->isVisible());
}

} // namespace
} // namespace zestrel
