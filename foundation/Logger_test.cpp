#include "foundation/Logger.h"

#include "foundation/LaunchModes.h"
#include "foundation/QVApp.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/NSEvent.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

namespace zestrel {
namespace {

using platform::NSEvent;
using platform::OSLogType;
using platform::Value;
using Flags = NSEvent::ModifierFlags;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

constexpr const char* kFixedDate = "\t2026-01-15 10:00:00 +0000\n";

class LoggerTest : public ::testing::Test {
protected:
    LoggerTest() { NSEvent::setHeldModifierFlags({}); }
    ~LoggerTest() override { NSEvent::setHeldModifierFlags({}); }

    // A fresh process launched with `held` down.
    static void launchHolding(Flags held) {
        NSEvent::setHeldModifierFlags(held);
        platform::resetProcess();
    }

    platform::testing::TestEnvironment env;
};

TEST_F(LoggerTest, WritesTheLogTextAndTheDatedBufferEntry) {
    logMessage({"Event tap started"}, OSLogType::defaultLevel, "setUpListener()",
               "Zestrel/AppState.cpp", 360);

    const std::string text = "\"Event tap started\"\n\t[setUpListener() in AppState:360]\n";
    const auto records = env.logRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].subsystem, "com.quorvik.Zestrel");
    EXPECT_EQ(records[0].category, "general");
    EXPECT_EQ(records[0].type, OSLogType::defaultLevel);
    EXPECT_EQ(records[0].message, text);
    EXPECT_THAT(logBuffer().entries(), ElementsAre(text + kFixedDate));
}

TEST_F(LoggerTest, ItemsAreRenderedByTheirDebugFormAndJoinedByASpace) {
    env.clock().advance(std::chrono::milliseconds(61'500));
    logMessage(
        {"say \"hi\"\n", 42, -1.5, true, std::optional<int>(), std::optional<std::string>("x")},
        OSLogType::error, "f()", "Zestrel/Other.cpp", 7);

    const std::string text =
        "\"say \\\"hi\\\"\\n\" 42 -1.5 true nil Optional(\"x\")\n\t[f() in Other:7]\n";
    ASSERT_EQ(env.logRecords().size(), 1u);
    EXPECT_EQ(env.logRecords()[0].type, OSLogType::error);
    EXPECT_EQ(env.logLines()[0], text);
    EXPECT_THAT(logBuffer().entries(), ElementsAre(text + "\t2026-01-15 10:01:01 +0000\n"));
}

TEST_F(LoggerTest, NoItemsStartWithTheLocation) {
    logMessage({}, OSLogType::defaultLevel, "run()", "Zestrel/Main.cpp", 1);
    EXPECT_THAT(env.logLines(), ElementsAre("\n\t[run() in Main:1]\n"));
}

TEST_F(LoggerTest, CallSiteIsTheDefaultLocation) {
    const int line = __LINE__ + 1;
    logMessage({1});
    EXPECT_THAT(env.logLines(),
                ElementsAre("1\n\t[TestBody in Logger_test:" + std::to_string(line) + "]\n"));
}

TEST_F(LoggerTest, FileBaseNameDropsOnlyOurSourceExtensions) {
    const std::pair<const char*, const char*> cases[] = {
        {"Zestrel/AppState.cpp", "AppState"},
        {"Zestrel/QVKit.h", "QVKit"},
        {"/home/dev/zestrel/foundation/Logger.cpp", "Logger"},
        {"Zestrel/AppState.swift", "AppState.swift"},
        {"Zestrel/View.hpp", "View.hpp"},
        {"Zestrel/Tap.cc", "Tap.cc"},
        {"Zestrel/Old.cpp.orig", "Old.cpp.orig"},
        {"Zestrel/QVKit", "QVKit"},
        {"Plain.cpp", "Plain"},
        {"Zestrel/.h", ".h"},
        {"", ""},
    };
    for (const auto& [file, expected] : cases) {
        EXPECT_EQ(logFileBaseName(file), expected) << file;
    }
    logMessage({"x"}, OSLogType::defaultLevel, "g()", "/a/b/Zestrel/AppState.swift", 3);
    EXPECT_THAT(env.logLines(), ElementsAre("\"x\"\n\t[g() in AppState.swift:3]\n"));
}

TEST_F(LoggerTest, TheBufferKeepsTheNewestTenThousand) {
    for (int i = 1; i <= 10001; ++i) {
        logMessage({i}, OSLogType::defaultLevel, "f()", "F.cpp", 1);
    }
    const auto entries = logBuffer().entries();
    ASSERT_EQ(entries.size(), 10000u);
    EXPECT_EQ(entries.front(), std::string("2\n\t[f() in F:1]\n") + kFixedDate);
    EXPECT_EQ(entries.back(), std::string("10001\n\t[f() in F:1]\n") + kFixedDate);
    EXPECT_EQ(entries[4999], std::string("5001\n\t[f() in F:1]\n") + kFixedDate);
}

TEST_F(LoggerTest, ClearEmptiesTheBufferAndItFillsAgainInOrder) {
    for (int i = 0; i < 10005; ++i) {
        logBuffer().append(std::to_string(i));
    }
    logBuffer().clear();
    EXPECT_THAT(logBuffer().entries(), IsEmpty());
    logMessage({"next"}, OSLogType::defaultLevel, "f()", "F.cpp", 1);
    logBuffer().append("after");
    EXPECT_THAT(logBuffer().entries(),
                ElementsAre(std::string("\"next\"\n\t[f() in F:1]\n") + kFixedDate, "after"));
}

TEST_F(LoggerTest, EntriesSinceAMarkSurviveAFullRingAndAClear) {
    for (int i = 0; i < 10000; ++i) {
        logBuffer().append(std::to_string(i));
    }
    // A full ring no longer grows, yet what came after the mark is still told apart.
    const auto full = logBuffer().mark();
    logBuffer().append("a");
    logBuffer().append("b");
    EXPECT_THAT(logBuffer().entriesSince(full), ElementsAre("a", "b"));
    // More new entries than the ring holds: the newest ten thousand.
    const auto before = logBuffer().mark();
    for (int i = 0; i < 10003; ++i) {
        logBuffer().append("n" + std::to_string(i));
    }
    const auto since = logBuffer().entriesSince(before);
    ASSERT_EQ(since.size(), 10000u);
    EXPECT_EQ(since.front(), "n3");
    // A mark from before a clear counts only what came after it.
    const auto old = logBuffer().mark();
    logBuffer().clear();
    logBuffer().append("c");
    EXPECT_THAT(logBuffer().entriesSince(old), ElementsAre("c"));
    EXPECT_THAT(logBuffer().entriesSince(logBuffer().mark()), IsEmpty());
}

TEST_F(LoggerTest, ANewProcessStartsWithAnEmptyBuffer) {
    logBuffer().append("old");
    platform::resetProcess();
    EXPECT_THAT(logBuffer().entries(), IsEmpty());
}

TEST_F(LoggerTest, ConcurrentWritersKeepEachThreadsOrder) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < kPerThread; ++i) {
                    logBuffer().append(std::to_string(t) + ":" + std::to_string(i));
                }
            });
        }
    }
    const auto entries = logBuffer().entries();
    ASSERT_EQ(entries.size(), 10000u);
    // Only the oldest go, so what a thread still has is the unbroken tail of what it wrote.
    std::vector<int> last(kThreads, -1);
    for (const auto& entry : entries) {
        const auto colon = entry.find(':');
        const int thread = std::stoi(entry.substr(0, colon));
        const int index = std::stoi(entry.substr(colon + 1));
        if (last[thread] >= 0) {
            EXPECT_EQ(index, last[thread] + 1) << entry;
        }
        last[thread] = index;
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(last[t] == -1 || last[t] == kPerThread - 1) << t;
    }

    // A line is numbered only once its writer holds the buffer's lock, after any number taken
    // there: numbered on the way to the lock, it would come in the ring after a line that the
    // writer holding the lock numbered later.
    static std::uint64_t takenUnderTheLock = 0;
    LogBuffer::setLockedHookForTesting([] { takenUnderTheLock = platform::nextLogOrder(); });
    logBuffer().append("numbered under the lock");
    LogBuffer::setLockedHookForTesting(nullptr);
    const auto ordered = logBuffer().orderedEntries();
    EXPECT_GT(ordered.back().order, takenUnderTheLock);
    EXPECT_TRUE(std::is_sorted(ordered.begin(), ordered.end(),
                               [](const auto& a, const auto& b) { return a.order < b.order; }));
}

struct BreadcrumbCase {
    Flags held;
    bool written;
};

TEST_F(LoggerTest, BreadcrumbsOnlyInDebugModeOutsideSafeLaunch) {
    const BreadcrumbCase cases[] = {
        {{}, false},
        {Flags::shift, false},
        {Flags::shift | Flags::option, false},                  // safe launch
        {Flags::shift | Flags::control | Flags::option, false}, // neither
        {Flags::shift | Flags::control, true},
        {Flags::shift | Flags::control | Flags::capsLock, true},
    };
    for (const auto& breadcrumb : cases) {
        launchHolding(breadcrumb.held);
        env.clearCaptures();
        addBreadcrumb("has accessibility permission", Value::Dictionary{{"hasAccess", true}});
        if (!breadcrumb.written) {
            EXPECT_THAT(env.logLines(), IsEmpty()) << std::hex << breadcrumb.held.rawValue;
            EXPECT_THAT(logBuffer().entries(), IsEmpty());
            continue;
        }
        ASSERT_EQ(env.logLines().size(), 1u);
        const std::string line = env.logLines()[0];
        EXPECT_THAT(line, StartsWith("\"[BREADCRUMB]\" \"has accessibility permission\" "
                                     "Optional([\"hasAccess\": true])\n\t"
                                     "[addBreadcrumb(_:data:) in QVKit:"));
        EXPECT_THAT(line, ::testing::EndsWith("]\n"));
        EXPECT_EQ(logBuffer().entries().size(), 1u);
    }
}

TEST_F(LoggerTest, BreadcrumbWithoutDataPrintsNil) {
    launchHolding(Flags::shift | Flags::control);
    addBreadcrumb("tap");
    ASSERT_EQ(env.logLines().size(), 1u);
    EXPECT_THAT(env.logLines()[0], StartsWith("\"[BREADCRUMB]\" \"tap\" nil\n\t["));
}

TEST_F(LoggerTest, SafeLaunchSilencesBreadcrumbsEvenInDebugMode) {
    // The facts are read at different moments, so both can hold when the keys change in
    // between.
    launchHolding(Flags::shift | Flags::option);
    ASSERT_TRUE(QVApp::isSafeLaunch());
    NSEvent::setHeldModifierFlags(Flags::shift | Flags::control);
    ASSERT_TRUE(isDebugModeLaunch());
    addBreadcrumb("tap");
    EXPECT_THAT(env.logLines(), IsEmpty());
}

TEST_F(LoggerTest, DebugModeIsFixedForTheProcess) {
    launchHolding(Flags::shift | Flags::control);
    ASSERT_TRUE(isDebugModeLaunch()); // read at launch, as the app does
    NSEvent::setHeldModifierFlags({});
    addBreadcrumb("first");
    EXPECT_EQ(env.logLines().size(), 1u);
    platform::resetProcess();
    addBreadcrumb("second");
    EXPECT_EQ(env.logLines().size(), 1u);
}

} // namespace
} // namespace zestrel
