#include "services/InstalledApp.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <unordered_set>

namespace zestrel {
namespace {

namespace pf = platform;

class InstalledAppTest : public ::testing::Test {
protected:
    void installSafari() {
        env.desktop().install({"com.apple.Safari",
                               "Safari",
                               pf::URL::fileURL("/Applications/Safari.app", true),
                               pf::NSApplicationActivationPolicy::regular,
                               {"http", "https"},
                               {}});
    }
    const pf::NSWorkspace& workspace() { return *pf::NSWorkspace::shared(); }

    pf::testing::DesktopEnvironment env;
};

TEST_F(InstalledAppTest, LookupsFindInstalledApplicationsByBundleIdentifier) {
    EXPECT_EQ(urlForApplication(workspace(), pf::kForkLiftBundleIdentifier),
              pf::URL::fileURL("/Applications/ForkLift.app", true));
    EXPECT_EQ(appName(workspace(), pf::kForkLiftBundleIdentifier), "ForkLift");
    EXPECT_EQ(appName(workspace(), pf::kFinderBundleIdentifier), "Finder");
    EXPECT_EQ(urlForApplication(workspace(), "com.example.Missing"), std::nullopt);
}

TEST_F(InstalledAppTest, AnswersAreKeptForOneSecondNotFoundIncluded) {
    EXPECT_EQ(appName(workspace(), "com.apple.Safari"), std::nullopt);
    EXPECT_EQ(urlForApplication(workspace(), "com.apple.Safari"), std::nullopt);
    installSafari();
    env.advance(std::chrono::milliseconds(900));
    EXPECT_EQ(appName(workspace(), "com.apple.Safari"), std::nullopt);
    EXPECT_EQ(urlForApplication(workspace(), "com.apple.Safari"), std::nullopt);
    env.advance(std::chrono::milliseconds(200));
    EXPECT_EQ(appName(workspace(), "com.apple.Safari"), "Safari");
    EXPECT_EQ(urlForApplication(workspace(), "com.apple.Safari"),
              pf::URL::fileURL("/Applications/Safari.app", true));
}

TEST_F(InstalledAppTest, DefaultEmailAppIsTheMailtoHandlerElseMail) {
    EXPECT_EQ(defaultEmailAppURL(workspace()),
              pf::URL::fileURL("/System/Applications/Mail.app", true));
    EXPECT_EQ(defaultEmailAppBundleIdentifier(workspace()), "com.apple.mail");

    env.desktop().install({"com.example.Spark",
                           "Spark",
                           pf::URL::fileURL("/Applications/Spark.app", true),
                           pf::NSApplicationActivationPolicy::regular,
                           {"mailto"},
                           {}});
    EXPECT_EQ(defaultEmailAppBundleIdentifier(workspace()), "com.apple.mail");
    // A desktop without Mail uses the other handler.
    auto withoutMail = pf::Desktop::makeEmpty();
    withoutMail->install(*env.desktop().installedApplication("com.example.Spark"));
    pf::Desktop::setCurrent(withoutMail);
    EXPECT_EQ(defaultEmailAppURL(workspace()), pf::URL::fileURL("/Applications/Spark.app", true));
    EXPECT_EQ(defaultEmailAppBundleIdentifier(workspace()), "com.example.Spark");

    pf::Desktop::setCurrent(pf::Desktop::makeEmpty());
    EXPECT_EQ(defaultEmailAppURL(workspace()), pf::URL::fileURL("/Applications/Mail.app", true));
    EXPECT_EQ(defaultEmailAppBundleIdentifier(workspace()), "com.apple.mail");
    pf::Desktop::setCurrent(env.desktopPointer());
}

TEST_F(InstalledAppTest, BrowserFlagIsComputedOnceAndSharedByCopies) {
    installSafari();
    InstalledApp safari("com.apple.Safari", "Safari", "17.2", "19617",
                        pf::URL::fileURL("/Applications/Safari.app"));
    InstalledApp finder("com.apple.finder", "Finder", "14.2", "1671",
                        pf::URL::fileURL("/System/Library/CoreServices/Finder.app", true));
    const InstalledApp copy = safari;
    EXPECT_TRUE(safari.isBrowser());
    EXPECT_FALSE(finder.isBrowser());

    // Kept once computed, by every copy.
    pf::Desktop::setCurrent(pf::Desktop::makeEmpty());
    EXPECT_TRUE(copy.isBrowser());
    pf::Desktop::setCurrent(env.desktopPointer());
}

TEST_F(InstalledAppTest, EqualOnlyAsCopiesOfOneValue) {
    const auto url = pf::URL::fileURL("/Applications/Safari.app", true);
    InstalledApp safari("com.apple.Safari", "Safari", "17.2", "19617", url);
    InstalledApp namesake("com.apple.Safari", "Safari", "17.2", "19617", url);
    InstalledApp copy = safari;
    EXPECT_EQ(safari, copy);
    EXPECT_NE(safari, namesake);
    EXPECT_EQ(safari.id(), namesake.id());
    copy.build = "19618";
    EXPECT_NE(safari, copy);

    std::unordered_set<InstalledApp> set{safari, InstalledApp(safari), namesake};
    EXPECT_EQ(set.size(), 2u);
}

} // namespace
} // namespace zestrel
