#include "foundation/ErrorPresentation.h"

#include "foundation/GeneralError.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace zestrel {
namespace {

using namespace std::chrono_literals;
using platform::Error;
using platform::ModalAnswer;
using platform::NSAlert;
using platform::NSApp;
using platform::NSError;
using platform::Value;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

Error wrapping(const std::string& domain, std::int64_t code, const Error& underlying) {
    return NSError::make(domain, code, {{platform::NSUnderlyingErrorKey, Value(underlying)}});
}

TEST(IsCancelledTest, EveryPlatformFormOfCancellation) {
    platform::testing::TestEnvironment env;
    EXPECT_TRUE(isCancelled(Error::make<platform::CancellationError>()));
    EXPECT_TRUE(isCancelled(NSError::make(platform::NSURLErrorDomain, -999)));
    EXPECT_TRUE(isCancelled(NSError::make(platform::NSURLErrorDomain, -1012)));
    EXPECT_FALSE(isCancelled(NSError::make(platform::NSURLErrorDomain, -1001)));
    EXPECT_TRUE(isCancelled(NSError::make(platform::NSCocoaErrorDomain, 3072)));
    EXPECT_TRUE(isCancelled(NSError::make(platform::NSPOSIXErrorDomain, ECANCELED)));
    if (ECANCELED != 89) {
        EXPECT_FALSE(isCancelled(NSError::make(platform::NSPOSIXErrorDomain, 89)))
            << "the host's number, not another system's";
    }
    EXPECT_TRUE(isCancelled(NSError::make(platform::NSOSStatusErrorDomain, -60006)));
    EXPECT_FALSE(isCancelled(NSError::make(platform::NSOSStatusErrorDomain, -60005)));
    EXPECT_FALSE(isCancelled(NSError::make("OtherDomain", -60006)));
    EXPECT_TRUE(isCancelled(NSError::make("SKErrorDomain", 2)));
    EXPECT_FALSE(isCancelled(NSError::make("SKErrorDomain", 3)));
    EXPECT_FALSE(isCancelled(GeneralError::make("Nope")));
}

TEST(IsCancelledTest, FollowsTheUnderlyingChainToItsEnd) {
    platform::testing::TestEnvironment env;
    const Error cancelled = NSError::make(platform::NSURLErrorDomain, -999);
    EXPECT_TRUE(isCancelled(wrapping(platform::NSCocoaErrorDomain, 4, cancelled)));
    EXPECT_FALSE(isCancelled(NSError::make(platform::NSCocoaErrorDomain, 4)));
    const Error deep = wrapping(
        "A", 1, wrapping("B", 2, wrapping("C", 3, Error::make<platform::CancellationError>())));
    EXPECT_TRUE(isCancelled(deep));
    EXPECT_FALSE(isCancelled(wrapping("A", 1, wrapping("B", 2, NSError::make("C", 3)))));

    const std::variant<int, Error> success = 4;
    const std::variant<int, Error> failure = deep;
    EXPECT_FALSE(isCancelled(success));
    EXPECT_TRUE(isCancelled(failure));
}

struct PresentationTest : ::testing::Test {
    PresentationTest() : responder(platform::ScriptedModalResponder::install()) {
        window = std::make_shared<platform::NSWindow>(platform::CGRect(0, 0, 500, 400),
                                                      platform::NSWindow::StyleMask::titled);
        window->makeKeyAndOrderFront();
    }
    const Error error = GeneralError::make("The file could not be saved.");
    platform::testing::TestEnvironment env;
    std::shared_ptr<platform::ScriptedModalResponder> responder;
    std::shared_ptr<platform::NSWindow> window;
};

TEST_F(PresentationTest, SheetContinuesExactlyOnceAfterDismissal) {
    responder->enqueue(ModalAnswer::button("OK", 2s));
    int continued = 0;
    presentAsSheet(error, window, [&] { ++continued; });
    EXPECT_TRUE(NSAlert::shownAlerts().empty()) << "presented from the main queue";
    env.runUntilIdle();
    EXPECT_EQ(window->attachedSheet(), NSAlert::showingAlerts().at(0)->window());
    EXPECT_EQ(continued, 0);
    env.advance(2s);
    env.advance(10s);
    EXPECT_EQ(continued, 1);
    EXPECT_EQ(NSAlert::shownAlerts().back().messageText, "The file could not be saved.");
    ASSERT_EQ(env.logLines().size(), 1u);
    EXPECT_THAT(env.logLines()[0], HasSubstr("\"PRESENTED ERROR:\""));
    EXPECT_THAT(env.logLines()[0], HasSubstr("[presentAsSheet(for:) in ErrorPresentation:"));
}

TEST_F(PresentationTest, PresentWithoutAWindowIsApplicationModalAndActivates) {
    NSApp().setActivationPolicy(platform::NSApplication::ActivationPolicy::accessory);
    responder->enqueue(ModalAnswer::button("OK", 1s));
    bool continued = false;
    present(error, nullptr, [&] { continued = true; });
    env.advance(1s);
    EXPECT_TRUE(continued);
    EXPECT_TRUE(NSApp().isActive());
    EXPECT_FALSE(NSAlert::shownAlerts().back().asSheet);
    ASSERT_EQ(env.logLines().size(), 1u);
    EXPECT_THAT(env.logLines()[0], HasSubstr("[presentAsModalAsync() in ErrorPresentation:"));
}

TEST_F(PresentationTest, ModalWithoutAWindowIsTheLegacyForm) {
    responder->enqueue(ModalAnswer::button("OK", 1s));
    presentAsModal(error);
    env.advance(1s);
    ASSERT_EQ(NSAlert::shownAlerts().size(), 1u);
    EXPECT_EQ(NSAlert::shownAlerts()[0].response, platform::NSAlertFirstButtonReturn);
    ASSERT_EQ(env.logLines().size(), 1u);
    EXPECT_THAT(env.logLines()[0], HasSubstr("[presentAsModalLegacy() in ErrorPresentation:"));
}

TEST_F(PresentationTest, ModalWithAWindowRunsAModalLoopUntilTheSheetEnds) {
    responder->enqueue(ModalAnswer::button("OK", 3s));
    std::shared_ptr<platform::NSWindow> modalDuringSheet;
    platform::RunLoop::main().machineAsyncAt(platform::clock().uptime() + 1s,
                                             [&] { modalDuringSheet = NSApp().modalWindow(); });
    presentAsModal(error, window);
    env.advance(5s);
    EXPECT_EQ(modalDuringSheet, window);
    EXPECT_EQ(NSApp().modalWindow(), nullptr);
    EXPECT_EQ(window->attachedSheet(), nullptr);
    EXPECT_TRUE(NSAlert::shownAlerts().back().asSheet);
    EXPECT_TRUE(env.logLines().empty()) << "this form writes no log line";
}

TEST_F(PresentationTest, TheChosenRecoveryOptionRunsAndReportsARealResult) {
    std::vector<std::string> ran;
    const Error recoverable =
        GeneralError::make("Could not start.", {.recoverySuggestion = "Try again.",
                                                .recoveryOptions = {{"Retry",
                                                                     [&] {
                                                                         ran.push_back("Retry");
                                                                         return true;
                                                                     }},
                                                                    {"Quit", [&] {
                                                                         ran.push_back("Quit");
                                                                         return false;
                                                                     }}}});
    responder->enqueue(ModalAnswer::button("Quit", 1s));
    EXPECT_FALSE(NSApp().presentError(recoverable));
    responder->enqueue(ModalAnswer::button("Retry", 1s));
    EXPECT_TRUE(NSApp().presentError(recoverable));
    EXPECT_THAT(ran, ElementsAre("Quit", "Retry"));
    EXPECT_THAT(NSAlert::shownAlerts()[0].buttons, ElementsAre("Retry", "Quit"));
    EXPECT_EQ(NSAlert::shownAlerts()[0].informativeText, "Try again.");
}

} // namespace
} // namespace zestrel
