#include "app/FeedbackEmail.h"

#include "foundation/EmailAddress.h"
#include "platform/appkit/MailComposeService.h"
#include "platform/base/Bundle.h"
#include "platform/base/Error.h"
#include "platform/desktop/Desktop.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;

const std::string kReport = "# Report\n\nLine & more";
const std::string kHyphens(30, '-');

class FeedbackEmailTest : public ::testing::Test {
protected:
    pf::testing::DesktopEnvironment env;

    // The user's e-mail app becomes another one than Mail.
    void useAnotherEmailApp() {
        env.desktop().uninstall(pf::kMailBundleIdentifier);
        env.desktop().install({"com.example.Letters",
                               "Letters",
                               pf::URL::fileURL("/Applications/Letters.app", true),
                               pf::NSApplicationActivationPolicy::regular,
                               {"mailto"},
                               {}});
    }
    static std::vector<pf::URL> opened() { return pf::URLOpener::openedURLs(); }
};

TEST_F(FeedbackEmailTest, MailtoDropsRepeatedRecipientsAndEncodesAllButTheUnreserved) {
    EXPECT_EQ(mailto({"ann@example.com", "bob@example.com", "ann@example.com"},
                     "Hello World & more", std::nullopt)
                  .absoluteString(),
              "mailto:ann@example.com,bob@example.com?subject=Hello%20World%20%26%20more");
    EXPECT_EQ(mailto({"ann@example.com"}, "Café ~_-. +=@,?#%/", "a\nb").absoluteString(),
              "mailto:ann@example.com?body=a%0Ab"
              "&subject=Caf%C3%A9%20~_-.%20%2B%3D%40%2C%3F%23%25%2F");
}

TEST_F(FeedbackEmailTest, MailtoAddsEveryGivenItemAndOnlyThose) {
    EXPECT_EQ(mailto({"ann@example.com"}, "", std::nullopt).absoluteString(),
              "mailto:ann@example.com?subject=")
        << "an empty subject is still an item";
    EXPECT_EQ(mailto({"ann@example.com"}, std::nullopt, std::nullopt, {}, {}).absoluteString(),
              "mailto:ann@example.com");
    EXPECT_EQ(mailto({}, std::nullopt, "", {"cy@example.com", "cy@example.com", "di@example.com"},
                     {"ed@example.com"})
                  .absoluteString(),
              "mailto:?bcc=ed%40example.com&body=&cc=cy%40example.com%2Cdi%40example.com");
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(FeedbackEmailTest, AURLThatCannotBeMadeIsReportedAndAnEmptyOneOpened) {
    const auto url = mailto({"//ann@example.com"}, "Hi", std::nullopt);
    EXPECT_EQ(url.absoluteString(), "mailto:");
    const auto reports = env.reports();
    ASSERT_EQ(reports.size(), 1u);
    const auto* reported = reports[0].as<pf::NSError>();
    ASSERT_NE(reported, nullptr);
    EXPECT_NE(reports[0].localizedDescription().find("Could not create `mailto:` URL"),
              std::string::npos)
        << reports[0].localizedDescription();
    const auto& userInfo = reported->userInfo();
    ASSERT_TRUE(userInfo.contains("components"));
    EXPECT_EQ(userInfo.at("components").describe(),
              "scheme: mailto path: //ann@example.com query: subject=Hi");
}

TEST_F(FeedbackEmailTest, WithMailTheReportIsAnAttachmentOfANewMessage) {
    sendEmail({"support@example.com"}, "Zestrel — Debug info", std::nullopt, "debug-info.txt",
              kReport);
    const auto messages = pf::MailComposeService::composedMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].recipients, std::vector<std::string>{"support@example.com"});
    EXPECT_EQ(messages[0].subject, "Zestrel — Debug info");
    ASSERT_EQ(messages[0].items.size(), 1u) << "nothing but the attachment without a body";
    const pf::URL* file = messages[0].items[0].asURL();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->lastPathComponent(), "debug-info.txt");
    EXPECT_EQ(pf::testing::DesktopEnvironment::readFile(file->path()), kReport);
    EXPECT_TRUE(opened().empty());
    EXPECT_EQ(env.standardOutput(), "");

    sendEmail({"support@example.com"}, "Hi", "Please look.", "notes.txt", "n");
    const auto withBody = pf::MailComposeService::composedMessages().at(1).items;
    ASSERT_EQ(withBody.size(), 2u);
    EXPECT_EQ(withBody[0], pf::Value("Please look.\n\n"));
    EXPECT_EQ(withBody[1].asURL()->lastPathComponent(), "notes.txt");
}

TEST_F(FeedbackEmailTest, AnotherEmailAppGetsTheReportInTheBodyOfAMailtoURL) {
    useAnotherEmailApp();
    sendEmail({"support@example.com"}, "Debug", std::nullopt, "debug-info.txt", kReport);
    EXPECT_TRUE(pf::MailComposeService::composedMessages().empty());

    const std::string expected = "mailto:support@example.com?body=%0A%0A%0A%0Adebug-info.txt%0A" +
                                 kHyphens +
                                 "%0A%0A%23%20Report%0A%0ALine%20%26%20more&subject=Debug";
    ASSERT_EQ(opened().size(), 1u);
    EXPECT_EQ(opened()[0].absoluteString(), expected);
    EXPECT_EQ(env.standardOutput(), "URL " + expected + "\n");
    EXPECT_TRUE(env.reports().empty());
}

TEST_F(FeedbackEmailTest, WithoutAServiceThatTakesTheItemsTheFallbackOpens) {
    struct Case {
        const char* why;
        bool available;
        bool accepts;
        std::string attachmentName;
    };
    const std::vector<Case> cases{
        {"no compose service", false, true, "debug-info.txt"},
        {"the service refuses the items", true, false, "debug-info.txt"},
        {"the attachment cannot be written", true, true, "missing/debug-info.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        pf::MailComposeService::setAvailable(c.available);
        pf::MailComposeService::setAcceptsItems(c.accepts);
        const auto before = opened().size();
        sendEmail({"support@example.com"}, "Debug", "Hello", c.attachmentName, "report");
        ASSERT_EQ(opened().size(), before + 1);
        EXPECT_EQ(opened().back().absoluteString(),
                  "mailto:support@example.com?body=Hello%0A%0A%0A%0A" +
                      pf::percentEncode(c.attachmentName) + "%0A" + kHyphens +
                      "%0A%0Areport&subject=Debug");
    }
    EXPECT_TRUE(pf::MailComposeService::composedMessages().empty());
    EXPECT_TRUE(env.reports().empty()) << "none of these is reported";
}

TEST_F(FeedbackEmailTest, TheDebugReportGoesToSupport) {
    pf::Bundle::setMainForTesting(std::make_shared<pf::Bundle>(
        pf::Value::Dictionary{{pf::kCFBundleIdentifierKey, "com.quorvik.Zestrel"},
                              {pf::kCFBundleNameKey, "Zestrel"},
                              {pf::kCFBundleShortVersionStringKey, "1.4"},
                              {pf::kCFBundleVersionKey, "58"}},
        pf::URL::fileURL("/Applications/Zestrel.app", true), ""));
    sendDebugInfoToDeveloper();
    pf::Bundle::setMainForTesting(nullptr);

    const auto messages = pf::MailComposeService::composedMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].recipients, std::vector<std::string>{EmailAddress::support().rawValue});
    EXPECT_EQ(messages[0].subject, "Zestrel — Debug info");
    ASSERT_EQ(messages[0].items.size(), 1u);
    const auto report =
        pf::testing::DesktopEnvironment::readFile(messages[0].items[0].asURL()->path());
    EXPECT_EQ(report.rfind("# Zestrel 1.4 (58)\n", 0), 0u) << report;
}

} // namespace
} // namespace zestrel
