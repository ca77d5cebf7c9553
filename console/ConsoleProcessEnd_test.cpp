// Every way the app's process ends, with either cut method and whatever is in front: once it
// has ended, nothing of it is registered or runs, and the keys reach the applications as if
// it had never run, or reach the process that replaced it.

#include "console/Console.h"
#include "console/ProcessEnd_test.h"

#include "platform/desktop/Desktop.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace zestrel::console {
namespace {

enum class Method { eventTaps, hotkeys };
enum class Front { zestrel, finder, other };

struct Ending {
    const char* name;
    // After the launch, before the application in front is chosen.
    const char* prepare;
    // The commands that end the process.
    const char* end;
    // Whether a new process takes its place.
    bool relaunches;
    // Whether the end comes at launch, which it then includes.
    bool atLaunch = false;
};

const std::array<Ending, 7> kEndings{{
    {"Quit Zestrel in the menu", "", "click menu \"Quit Zestrel\"\n", false},
    {"quit zestrel", "", "quit zestrel\n", false},
    {"the method switched in Settings", "click menu Settings…\n",
     "toggle \"Use more reliable way of handling Command+X\"\n", true},
    {"Quit and Open System Settings", "",
     "answer \"Quit and Open System Settings\"\nlaunch zestrel\naccessibility trusted\n", false,
     true},
    {"Delete Data & Settings", "open debug window\n",
     "click \"Delete Data & Settings\"\nclick \"Delete\"\n", true},
    {"Feedback & Support", "open debug window\n", "click \"Feedback & Support\"\n", false},
    {"an AppKit switch of the debug screens",
     "open debug window\nclick \"Show Debug Screen\"\n"
     "click Settings\n",
     "toggle \"Log AppKit Events\"\n", true},
}};

const char* frontCommand(Front front) {
    switch (front) {
    case Front::zestrel:
        return "activate zestrel\n";
    case Front::finder:
        return "activate finder\n";
    case Front::other:
        return "launch textedit\n";
    }
    return "";
}

// What a person does afterwards: switches applications and keyboard layouts, presses the
// editing keys in TextEdit, relaunches the Finder, and cuts and pastes a file in it.
constexpr const char* kAfterwards = "layout german\nlayout us\nlaunch textedit\n"
                                    "press cmd+a\npress cmd+c\npress cmd+x\npress cmd+v\nwait 2\n"
                                    "quit finder\nlaunch finder\nopen finder $TMP/A\n"
                                    "select f.txt\npress cmd+x\nwait 1\nopen finder $TMP/B\n"
                                    "press cmd+v\nwait 1\nactivate textedit\nwait 2\n";

void endAndCheck(const Ending& ending, Method method, Front front) {
    SCOPED_TRACE(std::string(method == Method::hotkeys ? "hotkeys" : "event taps") +
                 ", in front: " + frontCommand(front));
    Session session;
    std::string setUp = "mkdir $TMP/A\nmkdir $TMP/B\nwrite $TMP/A/f.txt hi\n"
                        "defaults write QV_App_runOnce__switchToNewMethod32425 true\n";
    setUp += method == Method::hotkeys ? "defaults write newMethod false\n"
                                       : "defaults write newMethod true\n";
    if (ending.atLaunch) {
        setUp += "accessibility untrusted\n";
    } else {
        setUp += std::string("launch zestrel\nwait 1\n") + ending.prepare;
    }
    setUp += frontCommand(front);
    ASSERT_EQ(session.run(setUp), 0) << session.errors.str();

    auto& desktop = session.console.desktop();
    // Where it is not launched yet, its process is started ahead of its code, which `launch
    // zestrel` runs in it, so the probe knows the process to watch.
    const int ended = desktop.launchOwnApplication()->processIdentifier();
    const ProcessProbe probe(desktop, ended);
    ASSERT_EQ(session.run(ending.end), 0) << session.errors.str();
    ASSERT_EQ(session.run(kAfterwards), 0) << session.errors.str();

    EXPECT_EQ(probe.callsAfterItsEnd(), 0);
    for (const int owner : registeredOwners()) {
        EXPECT_NE(owner, ended);
        EXPECT_TRUE(desktop.runningApplication(owner)) << "owner " << owner;
    }
    EXPECT_EQ(desktop.ownApplication() != nullptr, ending.relaunches);
    session.out.str("");
    ASSERT_EQ(session.run("show keys textedit\nshow keys finder\n"), 0);
    // TextEdit is never served: its keys come unchanged, from either process. In the Finder
    // the keys come unchanged, or the new process alone turned them into a copy and a move.
    const std::string finderKeys = ending.relaunches ? "cmd+c, opt+cmd+v" : "cmd+x, cmd+v";
    EXPECT_EQ(session.out.str(), "> show keys textedit\nTextEdit received cmd+a, cmd+c, cmd+x, "
                                 "cmd+v\nTextEdit's text: \"\"\n> show keys finder\n"
                                 "Finder received " +
                                     finderKeys + "\n");
    const std::vector<std::string> file{"f.txt"};
    EXPECT_EQ(session.namesIn("A"), ending.relaunches ? std::vector<std::string>{} : file);
    EXPECT_EQ(session.namesIn("B"), ending.relaunches ? file : std::vector<std::string>{});
}

void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

class EveryEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(EveryEnding, LeavesNothingOfTheProcessAndEveryKeyToWhoeverIsInFront) {
    for (const Method method : {Method::eventTaps, Method::hotkeys}) {
        for (const Front front : {Front::zestrel, Front::finder, Front::other}) {
            // Before its launch the app does not run, so it cannot be brought to the front.
            if (!(GetParam().atLaunch && front == Front::zestrel)) {
                endAndCheck(GetParam(), method, front);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WaysToEnd, EveryEnding, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<Ending>& info) {
                             std::string name;
                             for (const char c : std::string(info.param.name)) {
                                 if (std::isalnum(static_cast<unsigned char>(c))) {
                                     name += c;
                                 }
                             }
                             return name;
                         });

} // namespace
} // namespace zestrel::console
