#include "platform/swiftui/Presentation.h"

#include "platform/appkit/NSAlert.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace zestrel::platform::swiftui {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// A screen with an alert and a confirmation dialog, each raised by a button.
struct Confirming {
    std::shared_ptr<std::vector<std::string>> log;
    View body(ViewContext& context) const {
        const State<bool> warned = context.state<bool>("warned", false);
        const State<bool> asked = context.state<bool>("asked", false);
        const auto log = this->log;
        View content = VStack({Button("Warn", [warned] { warned.set(true); }),
                               Button("Ask", [asked] { asked.set(true); })})
                           .alert("Disk almost full", warned.binding(),
                                  {Button("Clean Up", [log] { log->push_back("clean"); }),
                                   Button("Later", [log] { log->push_back("later"); })},
                                  "12 MB left.");
        return confirmationDialog(content, "Delete everything?", asked.binding(),
                                  {Button("Delete", [log] { log->push_back("delete"); })});
    }
};

class PresentationTest : public ::testing::Test {
protected:
    PresentationTest()
        : responder(ScriptedModalResponder::install()),
          log(std::make_shared<std::vector<std::string>>()), host(ViewHost::make(Confirming{log})) {
    }

    testing::TestEnvironment env;
    std::shared_ptr<ScriptedModalResponder> responder;
    std::shared_ptr<std::vector<std::string>> log;
    std::shared_ptr<ViewHost> host;
};

TEST_F(PresentationTest, AViewsAlertIsAnAlertTheResponderAnswers) {
    responder->enqueue(ModalAnswer::button("Later"));
    ASSERT_TRUE(host->click("Warn"));
    env.runUntilIdle();
    EXPECT_THAT(*log, ElementsAre("later"));
    EXPECT_EQ(host->find("Disk almost full"), nullptr) << "the answer dismissed the view's alert";
    const auto alerts = NSAlert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Disk almost full");
    EXPECT_EQ(alerts[0].informativeText, "12 MB left.");
    EXPECT_THAT(alerts[0].buttons, ElementsAre("Clean Up", "Later"));
    EXPECT_EQ(alerts[0].response, NSAlertSecondButtonReturn);
    EXPECT_TRUE(NSAlert::showingAlerts().empty());
}

TEST_F(PresentationTest, ClickingTheViewsButtonAnswersTheAlertAndNothingGivesUp) {
    ASSERT_TRUE(host->click("Ask"));
    env.runUntilIdle();
    // Nothing waits on a view's alert, so on the virtual clock it stays until answered.
    env.advance(kUnattendedLimit + 1min);
    ASSERT_EQ(NSAlert::showingAlerts().size(), 1u);
    EXPECT_THAT(NSAlert::shownAlerts()[0].buttons, ElementsAre("Delete", "Cancel"));
    EXPECT_FALSE(NSAlert::shownAlerts()[0].response.has_value());

    ASSERT_TRUE(host->click("Delete"));
    env.runUntilIdle();
    EXPECT_THAT(*log, ElementsAre("delete"));
    EXPECT_TRUE(NSAlert::showingAlerts().empty());
    EXPECT_EQ(NSAlert::shownAlerts()[0].response, NSAlertFirstButtonReturn);
    EXPECT_FALSE(NSAlert::shownAlerts()[0].unattended);

    // Presented again, it is a new alert.
    ASSERT_TRUE(host->click("Ask"));
    env.runUntilIdle();
    ASSERT_TRUE(host->click("Cancel"));
    env.runUntilIdle();
    ASSERT_EQ(NSAlert::shownAlerts().size(), 2u);
    EXPECT_EQ(NSAlert::shownAlerts()[1].response, NSAlertSecondButtonReturn);
    EXPECT_THAT(*log, ElementsAre("delete"));
}

TEST_F(PresentationTest, AnAlertEndsWithTheViewThatPresentsIt) {
    ASSERT_TRUE(host->click("Warn"));
    env.runUntilIdle();
    ASSERT_EQ(NSAlert::showingAlerts().size(), 1u);
    host->setRootView(Text("Something else"));
    env.runUntilIdle();
    EXPECT_TRUE(NSAlert::showingAlerts().empty());
    EXPECT_EQ(NSAlert::shownAlerts()[0].response, NSModalResponseAbort);
    EXPECT_TRUE(log->empty());
}

} // namespace
} // namespace zestrel::platform::swiftui
