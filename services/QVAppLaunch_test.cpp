#include "services/QVAppLaunch.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSEvent.h"
#include "platform/testing/TestEnvironment.h"
#include "services/RunningApps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace zestrel {
namespace {

using platform::UserDefaults;
using platform::Value;

class QVAppLaunchTest : public ::testing::Test {
protected:
    static std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standard(); }
    // Whether the app domain holds the key (registered defaults aside).
    static bool isStored(const std::string& key) {
        const auto domain = defaults()->persistentDomain(defaults()->domainName());
        return domain && domain->count(key) == 1;
    }

    platform::testing::TestEnvironment environment;
};

TEST_F(QVAppLaunchTest, FirstLaunchOnCleanDefaults) {
    QVApp::forceLaunchBookkeeping();
    EXPECT_EQ(QVApp::launchCount(), 1);
    EXPECT_TRUE(QVApp::isFirstLaunch());
    EXPECT_FALSE(QVApp::isSecondLaunch());
    EXPECT_EQ(QVApp::firstLaunchDate(), platform::currentDate());
    EXPECT_EQ(defaults()->object("QV_firstLaunchDate"), Value(platform::currentDate()));
    EXPECT_EQ(QVApp::previousVersion(), QVApp::version());
    EXPECT_EQ(defaults()->object("QV_previousLaunchedVersion"), Value(QVApp::version()));
    EXPECT_FALSE(QVApp::wasRelaunched());
}

TEST_F(QVAppLaunchTest, BookkeepingIsForcedInOrder) {
    std::vector<std::string> changed;
    for (const char* key : {"QV_launchCount", "QV_firstLaunchDate", "QV_previousLaunchedVersion",
                            "QVApp_wasRelaunched"}) {
        defaults()->addObserver(key, platform::NSKeyValueObservingOptionNew,
                                [&changed](const platform::KeyValueNotification& notification) {
                                    // Registering a key's default is a change of its own.
                                    if (changed.empty() || changed.back() != notification.keyPath) {
                                        changed.push_back(notification.keyPath);
                                    }
                                });
    }
    defaults()->setObject(Value(true), "QVApp_wasRelaunched");
    changed.clear();
    QVApp::forceLaunchBookkeeping();
    EXPECT_EQ(changed,
              (std::vector<std::string>{"QV_launchCount", "QV_firstLaunchDate",
                                        "QV_previousLaunchedVersion", "QVApp_wasRelaunched"}));
}

TEST_F(QVAppLaunchTest, SafeLaunchLeavesTheBookkeepingAlone) {
    platform::NSEvent::setHeldModifierFlags(platform::NSEvent::ModifierFlags::shift |
                                            platform::NSEvent::ModifierFlags::option);
    defaults()->setObject(Value(true), "QVApp_wasRelaunched");
    QVApp::forceLaunchBookkeeping();
    EXPECT_FALSE(isStored("QV_launchCount"));
    EXPECT_FALSE(isStored("QV_firstLaunchDate"));
    EXPECT_FALSE(isStored("QV_previousLaunchedVersion"));
    EXPECT_EQ(defaults()->object("QVApp_wasRelaunched"), Value(true));
}

TEST_F(QVAppLaunchTest, LaunchHistoryAcrossRelaunches) {
    defaults()->setObject(Value("41"), "QV_launchCount");
    defaults()->setObject(Value("0.9"), "QV_previousLaunchedVersion");
    defaults()->setObject(Value(true), "QVApp_wasRelaunched");
    QVApp::forceLaunchBookkeeping();
    EXPECT_EQ(QVApp::launchCount(), 42);
    EXPECT_EQ(QVApp::previousVersion(), "0.9");
    EXPECT_TRUE(QVApp::wasRelaunched());
    EXPECT_TRUE(QVApp::wasRelaunched()); // constant within the process
    EXPECT_FALSE(isStored("QVApp_wasRelaunched"));
    const platform::Date first = QVApp::firstLaunchDate();

    platform::resetProcess();
    environment.advance(std::chrono::hours(1));
    QVApp::forceLaunchBookkeeping();
    EXPECT_EQ(QVApp::launchCount(), 43);
    EXPECT_EQ(QVApp::previousVersion(), QVApp::version());
    EXPECT_FALSE(QVApp::wasRelaunched());
    EXPECT_EQ(QVApp::firstLaunchDate(), first);
    EXPECT_NE(QVApp::launchDate(), first);

    platform::resetProcess();
    defaults()->setObject(Value(platform::currentDate()), "QV_launchCount");
    EXPECT_EQ(QVApp::launchCount(), 1);
}

TEST_F(QVAppLaunchTest, ACountAtTheLimitStaysThereInsteadOfStoppingEveryLaunch) {
    const auto max = std::numeric_limits<std::int64_t>::max();
    defaults()->setObject(Value(max), "QV_launchCount");
    EXPECT_EQ(QVApp::launchCount(), max);
    EXPECT_FALSE(QVApp::isFirstLaunch());
    platform::resetProcess();
    EXPECT_EQ(QVApp::launchCount(), max);
    EXPECT_EQ(defaults()->object("QV_launchCount"), Value(max));
}

TEST_F(QVAppLaunchTest, LoginItemLaunchNeedsOpenApplicationWithLoginItemData) {
    const auto desktop = platform::Desktop::current();
    QVApp::initializeAppStatics();
    ASSERT_TRUE(QVApp::launchAppleEvent()); // opened from the Finder
    EXPECT_EQ(QVApp::launchAppleEvent()->eventID(), platform::kAEOpenApplication);
    EXPECT_FALSE(QVApp::wasLaunchedAsLoginItem());

    platform::OwnLaunch asLoginItem;
    asLoginItem.asLoginItem = true;
    desktop->relaunchOwnApplication(asLoginItem);
    QVApp::initializeAppStatics();
    EXPECT_TRUE(QVApp::wasLaunchedAsLoginItem());
    EXPECT_EQ(QVApp::launchingApplication()->bundleIdentifier(), "com.apple.finder");
}

TEST_F(QVAppLaunchTest, TheLaunchingApplicationStaysKnownAfterItQuits) {
    QVApp::initializeAppStatics();
    const auto launcher = QVApp::launchingProcessID();
    ASSERT_TRUE(launcher);
    ASSERT_TRUE(platform::Desktop::current()->terminate(*launcher));
    const auto application = QVApp::launchingApplication();
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(application->processIdentifier(), *launcher);
    EXPECT_EQ(application->bundleIdentifier(), "com.apple.finder");
}

TEST_F(QVAppLaunchTest, SettingsReappearOnceAfterARelaunch) {
    int shown = 0;
    auto applicationMenu = std::make_shared<platform::NSMenu>();
    applicationMenu->addItem(
        "Settings…", [&](platform::NSMenuItem&) { ++shown; }, ",");
    auto mainMenu = std::make_shared<platform::NSMenu>();
    mainMenu->addItem("Zestrel", {}, "")->setSubmenu(applicationMenu);
    platform::NSApp().setMainMenu(mainMenu);
    QVApp::showSettingsIfRelaunched();
    environment.runUntilIdle();
    EXPECT_EQ(shown, 0);

    defaults()->setObject(Value(true), "QV_isShowingSettingsAfterRelaunch");
    QVApp::showSettingsIfRelaunched();
    EXPECT_EQ(shown, 0); // posted, not run inline
    EXPECT_FALSE(isStored("QV_isShowingSettingsAfterRelaunch"));
    environment.runUntilIdle();
    EXPECT_EQ(shown, 1);
}

TEST_F(QVAppLaunchTest, RegistriesAndLaunchHandlers) {
    QVApp::debugInfoValues().set("cutMethod", Value("new"));
    QVApp::debugInfoValueProviders().set("finderPID", [] { return Value(42); });
    QVApp::debugInfoProviders().append([] { return Value::Dictionary{{"extra", Value(1)}}; });
    EXPECT_EQ(QVApp::debugInfoValues().value("cutMethod"), Value("new"));
    EXPECT_EQ((*QVApp::debugInfoValueProviders().value("finderPID"))(), Value(42));
    EXPECT_EQ(QVApp::debugInfoProviders().count(), 1u);

    std::vector<int> ran;
    QVApp::didFinishLaunchingHandlers().push_back([&] { ran.push_back(1); });
    QVApp::didFinishLaunchingHandlers().push_back([&] { ran.push_back(2); });
    QVApp::runDidFinishLaunchingHandlers();
    QVApp::runDidFinishLaunchingHandlers();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));

    platform::resetProcess();
    EXPECT_EQ(QVApp::debugInfoValues().count(), 0u);
}

} // namespace
} // namespace zestrel
