#include "foundation/QVApp.h"

#include "foundation/LaunchModes.h"
#include "platform/base/Bundle.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/NSEvent.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace zestrel {
namespace {

using platform::Bundle;
using platform::NSEvent;
using platform::URL;
using platform::Value;
using Flags = NSEvent::ModifierFlags;

class QVAppTest : public ::testing::Test {
protected:
    QVAppTest() { NSEvent::setHeldModifierFlags({}); }
    ~QVAppTest() override {
        NSEvent::setHeldModifierFlags({});
        Bundle::setMainForTesting(nullptr);
    }

    // Installs a main bundle and starts a fresh process on it.
    static void launchFrom(Value::Dictionary info,
                           const std::string& path = "/Applications/Zestrel.app") {
        Bundle::setMainForTesting(
            std::make_shared<const Bundle>(std::move(info), URL::fileURL(path, true), "/nowhere"));
        platform::resetProcess();
    }
    static Value::Dictionary info(std::string build) {
        return {{"CFBundleIdentifier", Value("com.example.App")},
                {"CFBundleName", Value("App")},
                {"CFBundleShortVersionString", Value("1.2")},
                {"CFBundleVersion", Value(std::move(build))}};
    }

    platform::testing::TestEnvironment env;
};

TEST_F(QVAppTest, IdentityOfTheOwnBundle) {
    EXPECT_EQ(QVApp::id(), "com.quorvik.Zestrel");
    EXPECT_EQ(QVApp::name(), "Zestrel");
    EXPECT_EQ(QVApp::versionWithBuild(),
              QVApp::version() + " (" + std::to_string(QVApp::build()) + ")");
    EXPECT_EQ(QVApp::url().lastPathComponent(), "Zestrel.app");
    EXPECT_FALSE(QVApp::isTranslocated());
    EXPECT_FALSE(QVApp::isiOSAppOnMac());
}

TEST_F(QVAppTest, IdentityComesFromTheMainBundle) {
    launchFrom(info("34"), "/Users/me/Apps/App.app");
    EXPECT_EQ(QVApp::id(), "com.example.App");
    EXPECT_EQ(QVApp::name(), "App");
    EXPECT_EQ(QVApp::version(), "1.2");
    EXPECT_EQ(QVApp::build(), 34);
    EXPECT_EQ(QVApp::versionWithBuild(), "1.2 (34)");
    EXPECT_EQ(QVApp::url().path().rfind("/Users/me/Apps/App.app", 0), 0u);
}

TEST_F(QVAppTest, FactsStayUntilTheNextProcess) {
    launchFrom(info("1"));
    EXPECT_EQ(QVApp::build(), 1);
    Bundle::setMainForTesting(
        std::make_shared<const Bundle>(info("2"), URL::fileURL("/x/App.app", true), "/nowhere"));
    EXPECT_EQ(QVApp::build(), 1);
    platform::resetProcess();
    EXPECT_EQ(QVApp::build(), 2);
}

TEST_F(QVAppTest, BuildNumberForms) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"34", 34},
        {"0042", 42},
        {"+5", 5},
        {"-3", -3},
        {"-0", 0},
        {"0", 0},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
    };
    for (const auto& [text, expected] : cases) {
        launchFrom(info(text));
        EXPECT_EQ(QVApp::build(), expected) << text;
    }
}

using QVAppDeathTest = QVAppTest;

TEST_F(QVAppDeathTest, MalformedBuildNumberStopsTheProcess) {
    for (const char* text : {"", "1.2", "+", "-", "+-5", "--5", " 5", "5 ", "1e3", "0x10", "٣",
                             "9223372036854775808", "-9223372036854775809"}) {
        launchFrom(info(text));
        EXPECT_DEATH(QVApp::build(), "CFBundleVersion .* is not a decimal integer") << text;
    }
}

TEST_F(QVAppDeathTest, MissingIdentityStopsTheProcess) {
    auto noIdentifier = info("1");
    noIdentifier.erase("CFBundleIdentifier");
    launchFrom(noIdentifier);
    EXPECT_DEATH(QVApp::id(), "no bundle identifier");

    auto noName = info("1");
    noName.erase("CFBundleName");
    launchFrom(noName);
    EXPECT_DEATH(QVApp::name(), "has no CFBundleName");

    auto numericVersion = info("1");
    numericVersion["CFBundleShortVersionString"] = Value(1.2);
    launchFrom(numericVersion);
    EXPECT_DEATH(QVApp::version(), "CFBundleShortVersionString is not a text");
}

TEST_F(QVAppTest, TranslocationIsACaseSensitiveMatchOfTheFolderName) {
    const std::pair<const char*, bool> cases[] = {
        {"/private/var/folders/ab/T/AppTranslocation/1234-ABCD/d/App.app", true},
        {"/private/var/folders/ab/T/apptranslocation/1234-ABCD/d/App.app", false},
        {"/private/var/folders/ab/T/APPTRANSLOCATION/1234-ABCD/d/App.app", false},
        {"/Applications/AppTranslocationNot/App.app", false},
        {"/Applications/App.app", false},
    };
    for (const auto& [path, expected] : cases) {
        launchFrom(info("1"), path);
        EXPECT_EQ(QVApp::isTranslocated(), expected) << path;
    }
}

TEST_F(QVAppTest, SandboxedWhenTheContainerVariableIsSetAtAll) {
    EXPECT_FALSE(QVApp::isSandboxed());
    setenv("APP_SANDBOX_CONTAINER_ID", "", 1);
    EXPECT_FALSE(QVApp::isSandboxed()) << "computed once per process";
    platform::resetProcess();
    EXPECT_TRUE(QVApp::isSandboxed());
}

struct LaunchGesture {
    Flags held;
    bool safe;
    bool debug;
};

TEST_F(QVAppTest, LaunchGesturesMatchExactlyAfterMasking) {
    const Flags ignored = Flags::capsLock | Flags::numericPad | Flags::function;
    const LaunchGesture cases[] = {
        {{}, false, false},
        {Flags::shift, false, false},
        {Flags::shift | Flags::option, true, false},
        {Flags::shift | Flags::option | Flags::capsLock, true, false},
        {Flags::shift | Flags::option | ignored | Flags{0x0102}, true,
         false}, // device-dependent bits
        {Flags::shift | Flags::option | Flags::control, false, false},
        {Flags::shift | Flags::option | Flags::command, false, false},
        {Flags::shift | Flags::option | Flags::help, false, false},
        {Flags::shift | Flags::control, false, true},
        {Flags::shift | Flags::control | ignored, false, true},
        {Flags::control, false, false},
        {Flags::shift | Flags::control | Flags::command, false, false},
    };
    for (const auto& gesture : cases) {
        NSEvent::setHeldModifierFlags(gesture.held);
        platform::resetProcess();
        EXPECT_EQ(QVApp::isSafeLaunch(), gesture.safe) << std::hex << gesture.held.rawValue;
        EXPECT_EQ(isDebugModeLaunch(), gesture.debug) << std::hex << gesture.held.rawValue;
    }
}

TEST_F(QVAppTest, LaunchGesturesDescribeTheKeysHeldAtFirstRead) {
    NSEvent::setHeldModifierFlags(Flags::shift | Flags::option);
    EXPECT_TRUE(QVApp::isSafeLaunch());
    NSEvent::setHeldModifierFlags({});
    EXPECT_TRUE(QVApp::isSafeLaunch());
    platform::resetProcess();
    EXPECT_FALSE(QVApp::isSafeLaunch());

    NSEvent::setHeldModifierFlags(Flags::shift | Flags::control);
    EXPECT_FALSE(QVApp::isSafeLaunch());
    EXPECT_TRUE(isDebugModeLaunch());
}

} // namespace
} // namespace zestrel
