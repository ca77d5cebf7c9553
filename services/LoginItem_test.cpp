#include "services/LoginItem.h"

#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/system/SMAppService.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;
using pf::SMAppService;
using pf::swiftui::ViewHost;
using ::testing::HasSubstr;

class LoginItemTest : public ::testing::Test {
protected:
    LoginItemTest() : responder(pf::ScriptedModalResponder::install()) {}

    static std::filesystem::path entry() {
        return SMAppService::mainAppService().autostartEntryPath();
    }
    static std::string entryText() {
        std::ifstream in(entry());
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    pf::testing::TestEnvironment env;
    std::shared_ptr<pf::ScriptedModalResponder> responder;
};

TEST_F(LoginItemTest, TheSwitchWritesAndRemovesTheLoginItemAndFollowsIt) {
    auto host = ViewHost::make(LoginItemToggle("Launch at login"));
    EXPECT_EQ(host->outline(), "toggle \"Launch at login\" [off]\n");
    std::vector<bool> stateWhenAnnounced;
    auto subscription = QVApp::LoginItemObservable::shared()->objectWillChange().sink(
        [&](const auto&) { stateWhenAnnounced.push_back(std::filesystem::exists(entry())); });

    ASSERT_TRUE(host->toggle("Launch at login"));
    env.runUntilIdle();
    EXPECT_THAT(entryText(), HasSubstr("[Desktop Entry]"));
    EXPECT_EQ(host->outline(), "toggle \"Launch at login\" [on]\n");

    ASSERT_TRUE(host->toggle("Launch at login"));
    env.runUntilIdle();
    EXPECT_FALSE(std::filesystem::exists(entry()));
    EXPECT_EQ(host->outline(), "toggle \"Launch at login\" [off]\n");
    EXPECT_EQ(stateWhenAnnounced, (std::vector<bool>{false, true})) << "announced before";
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(LoginItemTest, SwitchingOnWhenOnRegistersAfresh) {
    SMAppService::mainAppService().registerAndReturnError();
    std::ofstream(entry()) << "[Desktop Entry]\nExec=/old/place/zestrel\n";
    QVApp::LoginItemObservable::shared()->setEnabled(true);
    EXPECT_TRUE(QVApp::LoginItemObservable::shared()->isEnabled());
    EXPECT_THAT(entryText(), ::testing::Not(HasSubstr("/old/place")));
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(LoginItemTest, AFailureToRegisterIsReportedShownAndTheSwitchShowsOff) {
    auto host = ViewHost::make(LoginItemToggle([] { return pf::swiftui::Text("Start at login"); }));
    SMAppService::failNext(SMAppService::Operation::registering,
                           pf::NSError::make(pf::SMAppServiceErrorDomain, 1));
    responder->enqueue(pf::ModalAnswer::button("OK", std::chrono::seconds(1)));
    ASSERT_TRUE(host->toggle("Start at login"));
    env.advance(std::chrono::seconds(2));

    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].as<pf::NSError>()->userInfo().at("newValue"), pf::Value(true));
    ASSERT_EQ(pf::NSAlert::shownAlerts().size(), 1u);
    EXPECT_THAT(env.logLines().back(), HasSubstr("[presentAsModalLegacy() in ErrorPresentation:"));
    EXPECT_EQ(host->outline(), "toggle \"Start at login\" [off]\n");
}

TEST_F(LoginItemTest, AFailureToUnregisterReportsOffAndTheSwitchStaysOn) {
    SMAppService::mainAppService().registerAndReturnError();
    auto host = ViewHost::make(LoginItemToggle("Launch at login"));
    SMAppService::failNext(SMAppService::Operation::unregistering,
                           pf::NSError::make(pf::SMAppServiceErrorDomain, 1));
    ASSERT_TRUE(host->toggle("Launch at login"));
    env.advance(pf::kUnattendedLimit + std::chrono::seconds(1));
    ASSERT_EQ(env.reports().size(), 1u);
    EXPECT_EQ(env.reports()[0].as<pf::NSError>()->userInfo().at("newValue"), pf::Value(false));
    EXPECT_EQ(host->outline(), "toggle \"Launch at login\" [on]\n");
}

} // namespace
} // namespace zestrel
