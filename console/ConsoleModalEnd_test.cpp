// Every modal run the app can wait in, crossed with the ways its process ends while it waits,
// typed at the prompt under the alert and, where a script goes on under it, in a script. The
// end stops the process where it stands: nothing its code would do after the alert is done,
// nothing of it appears afterwards, none of its timers or blocks runs, the program answers the
// next command, and the next process cuts and pastes.

#include "console/Console.h"
#include "console/ConsoleFixture_test.h"
#include "console/ProcessEnd_test.h"

#include "platform/appkit/NSAlert.h"
#include "platform/base/Bundle.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/Value.h"
#include "platform/data/PropertyList.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/system/URLOpener.h"
#include "platform/testing/FileContents.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
namespace pf = platform;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using namespace std::chrono_literals;

// What the machine holds that the app's process could still change unseen by the replies:
// its defaults, every file and folder under its home, its temporary items among them (the
// session's folder aside, and the defaults' own file, written when the process's state goes),
// and the log lines and reports so far.
struct Traces {
    pf::Value defaults;
    std::map<std::string, std::string> files;
    std::vector<std::string> logLines;
    std::size_t reports = 0;
};

// The app's defaults as its process holds them, written or not.
pf::Value heldDefaults() {
    const auto domain = pf::UserDefaults::standard()->persistentDomain(
        pf::Bundle::main()->bundleIdentifier().value_or(""));
    return domain ? pf::Value(*domain) : pf::Value(pf::Value::Dictionary{});
}

Traces tracesOf(const pf::testing::TestEnvironment& env, pf::Value defaults) {
    Traces traces{std::move(defaults), {}, env.logLines(), env.reports().size()};
    const fs::path preferences = env.configHome() / "zestrel" / "Preferences";
    for (auto it = fs::recursive_directory_iterator(env.home());
         it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == env.home() / "tmp" || it->path() == preferences) {
            it.disable_recursion_pending();
        } else if (it->is_directory()) {
            traces.files.emplace(fs::relative(it->path(), env.home()).string() + "/", "");
        } else if (it->is_regular_file()) {
            traces.files[fs::relative(it->path(), env.home()).string()] =
                pf::testing::contentsOf(it->path());
        }
    }
    return traces;
}

// The defaults the process wrote, once its state has gone.
pf::Value writtenDefaults(const pf::testing::TestEnvironment& env) {
    pf::UserDefaults::flushAll();
    const std::string bytes =
        pf::testing::contentsOf(env.configHome() / "zestrel" / "Preferences" /
                                (pf::Bundle::main()->bundleIdentifier().value_or("") + ".plist"));
    return bytes.empty() ? pf::Value(pf::Value::Dictionary{})
                         : pf::PropertyList::decode(pf::Data(bytes.begin(), bytes.end()));
}

// Runs its work when the process's state goes: process-locals go in reverse order of their
// making, so one made first goes last, and one made at the end goes first.
struct Sentinel {
    ~Sentinel() {
        if (goes) {
            goes();
        }
    }
    std::function<void()> goes;
};

pf::ProcessLocal<Sentinel>& firstSentinel() {
    static auto* const sentinel = new pf::ProcessLocal<Sentinel>();
    return *sentinel;
}

pf::ProcessLocal<Sentinel>& lastSentinel() {
    static auto* const sentinel = new pf::ProcessLocal<Sentinel>();
    return *sentinel;
}

// The moments around an end, from the machine's side: the end itself (the first entry of
// the process's teardown list runs last, once everything else it held has gone), the start
// of the reset of its state, and the reset done (its defaults written), after which the next
// process launches. Nothing of the process may appear in between: not after its end while
// its state is held, nor as its objects go.
class EndWatch {
public:
    explicit EndWatch(const pf::testing::TestEnvironment& env)
        : state_(std::make_shared<State>(env)) {
        pf::ProcessTeardown::add([state = state_] {
            state->atEnd = tracesOf(state->env, heldDefaults());
            lastSentinel()->goes = [state] {
                state->asItsStateGoes = tracesOf(state->env, heldDefaults());
            };
        });
        firstSentinel()->goes = [state = state_] {
            state->onceItsStateWent = tracesOf(state->env, writtenDefaults(state->env));
        };
    }

    void expectNothingAfterTheEnd() const {
        ASSERT_TRUE(state_->atEnd) << "the process did not end";
        ASSERT_TRUE(state_->asItsStateGoes && state_->onceItsStateWent)
            << "the process's state was not reset";
        {
            SCOPED_TRACE("after its end, while its state was held");
            expectSame(*state_->atEnd, *state_->asItsStateGoes);
        }
        // Its objects go here, and what their destructors do is its code's too.
        SCOPED_TRACE("as its state went");
        expectSame(*state_->asItsStateGoes, *state_->onceItsStateWent);
    }

private:
    struct State {
        explicit State(const pf::testing::TestEnvironment& env) : env(env) {}
        const pf::testing::TestEnvironment& env;
        std::optional<Traces> atEnd;
        std::optional<Traces> asItsStateGoes;
        std::optional<Traces> onceItsStateWent;
    };

    static void expectSame(const Traces& earlier, const Traces& later) {
        EXPECT_TRUE(earlier.defaults == later.defaults)
            << "defaults before: " << earlier.defaults.debugDescribe()
            << "\nafter: " << later.defaults.debugDescribe();
        EXPECT_EQ(earlier.files, later.files);
        EXPECT_EQ(earlier.logLines, later.logLines);
        EXPECT_EQ(earlier.reports, later.reports);
    }

    std::shared_ptr<State> state_;
};

// A modal run the app waits in, and how to bring it about.
struct Modal {
    const char* name;
    // Script lines before it: the method, the Accessibility permission.
    const char* before = "";
    // The commands that launch the app and show the alert.
    const char* show;
    // Text of the alert that waits (the last one, when they are stacked).
    const char* alert;
    // The alert's own button that ends the app.
    const char* quitButton = nullptr;
    // After another alert, which a script's queued answer meets first.
    bool stacked = false;
    // Shown over a window, which nothing waits on: a script goes on under it.
    bool overWindow = false;
    // Another app's floating panel over the Finder.
    bool panel = false;
    // A folder the file browser cannot delete, in the app's support folder.
    bool lockedFolder = false;
};

const std::vector<Modal> kModals{
    {.name = "TheWarningThatItDidNotCut",
     .before = kHotkeyMethod.c_str(),
     .show = "launch zestrel\nopen finder $TMP/A\nselect f.txt\nlaunch panel\npress cmd+x\n",
     .alert = "Did not cut because Finder was not frontmost",
     .panel = true},
    {.name = "TheAccessibilityAlert",
     .before = "accessibility untrusted\n",
     .show = "launch zestrel\n",
     .alert = "requires accessibility access.",
     .quitButton = "Quit and Open System Settings"},
    {.name = "TheResetOfferAtLaunch",
     .show = "launch zestrel holding shift+ctrl+opt+cmd\n",
     .alert = "Are you sure you want to delete the settings and data for Zestrel?"},
    {.name = "TheHidingAlert",
     .show = "launch zestrel\nclick menu Settings…\ntoggle \"Show menu bar icon\"\n",
     .alert = "If you need to access the menu bar icon",
     .overWindow = true},
    {.name = "TheRecordersRefusal",
     .before = kHotkeyMethod.c_str(),
     .show = "launch zestrel\nrecord shortcut cut\npress cmd+q\n",
     .alert = "This keyboard shortcut cannot be used"},
    {.name = "DebugInfoCopied",
     .show = "launch zestrel\nclick menu \"Share App\" holding ctrl+opt\n",
     .alert = "Debug info copied to the clipboard"},
    {.name = "AnErrorPresentedInAWindow",
     .show = "launch zestrel\nopen debug window\nclick \"Show Debug Screen\"\nclick Files\n"
             "click Delete #1\n",
     .alert = "couldn’t be removed because you don’t have permission",
     .overWindow = true,
     .lockedFolder = true},
    // The launch waits on the offer: the Accessibility check comes once it is answered.
    {.name = "TheAccessibilityAlertAfterTheResetOffer",
     .before = "accessibility untrusted\n",
     .show = "launch zestrel holding shift+ctrl+opt+cmd\nanswer Cancel\n",
     .alert = "requires accessibility access.",
     .quitButton = "Quit and Open System Settings",
     .stacked = true},
};

enum class End { quitZestrel, relaunch, itsOwnQuit };

std::string endingCommand(const Modal& modal, End end) {
    switch (end) {
    case End::quitZestrel:
        return "quit zestrel\n";
    case End::relaunch:
        return "relaunch\n";
    case End::itsOwnQuit:
        return std::string(modal.quitButton) + "\n";
    }
    return "";
}

// What a person types right after the stacked alerts' own Quit, and the error it meets.
constexpr const char* kNotRunning = "error: Zestrel is not running: launch it first (launch "
                                    "zestrel)\n";
const std::vector<std::pair<const char*, const char*>> kAfterTheStackedQuit{
    {"show apps\n", ""},
    {"click menu Settings…\n", kNotRunning},
    {"record shortcut cut\n", kNotRunning},
    {"open debug window\n", kNotRunning}};

// TextEdit in front with its text selected, where a key the ended process posted would land.
constexpr const char* kTextEditInFront = "launch textedit\ntype hello\npress cmd+a\n";

// What the applications received and hold, and what the app showed and handed on, between
// echoed marks; the first part no end may change.
std::string state(const Modal& modal) {
    return std::string("echo [state\nshow keys textedit\nshow keys finder\n") +
           (modal.panel ? "show keys panel\n" : "") +
           "show pasteboard\nshow sounds\nshow windows\necho state|\nshow alerts\nshow opened\n"
           "echo state]\n";
}

struct State {
    std::string kept;  // keys, pasteboard, sounds and the other applications' windows
    std::string shown; // alerts and URLs
    std::vector<std::string> appWindows;
};

// The states in the order the output shows them, the prompt, the commands echoed by a script,
// the app's prints and the console's word that the app quit itself (said once the line
// typed after its alert has run) left out, and the app's own windows set apart.
std::vector<State> statesIn(const std::string& output) {
    std::vector<State> states;
    std::istringstream lines(output);
    std::string* into = nullptr;
    for (std::string line; std::getline(lines, line);) {
        while (line.starts_with("zestrel> ")) {
            line.erase(0, 9);
        }
        if (line == "[state") {
            states.emplace_back();
            into = &states.back().kept;
        } else if (line == "state|" && into) {
            into = &states.back().shown;
        } else if (line == "state]") {
            into = nullptr;
        } else if (!into || line.empty() || line.starts_with("> ") ||
                   line.starts_with("quit Zestrel (pid ") ||
                   line.find("app prints: ") != std::string::npos) {
            continue;
        } else if (line.starts_with("  Zestrel ")) {
            states.back().appWindows.push_back(line);
        } else {
            *into += line + "\n";
        }
    }
    return states;
}

std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The next process cuts and pastes in the Finder: after a quit a new one launches with the
// event taps, after a relaunch the one that replaced it cuts with its method.
std::string nextProcessCutsAndPastes(const Modal& modal, bool relaunched) {
    std::string script = modal.panel ? "quit panel\n" : "";
    script += "accessibility trusted\n";
    if (!relaunched) {
        script += "defaults write newMethod true\nlaunch zestrel\nwait 1\nshow taps\n";
    }
    return script + "open finder $TMP/A\nselect f.txt\npress cmd+x\nwait 1\nopen finder $TMP/B\n"
                    "press cmd+v\nwait 1\nexpect folder $TMP/B f.txt\nexpect folder $TMP/A\n";
}

void endWhileItWaits(const Modal& modal, End end, bool atThePrompt, const char* next = "",
                     const char* error = "") {
    // The end, and what a person types right after it.
    const std::string ending = endingCommand(modal, end) + next;
    SCOPED_TRACE(std::string(atThePrompt ? "at the prompt, " : "in a script, ") + "ended by " +
                 ending);
    Session session;
    ASSERT_EQ(session.run(std::string("mkdir $TMP/A\nmkdir $TMP/B\nwrite $TMP/A/f.txt hi\n") +
                          modal.before),
              0)
        << session.errors.str();
    std::shared_ptr<void> unlock;
    if (modal.lockedFolder) {
        const fs::path locked = session.env.home() / ".local/share/com.quorvik.Zestrel/locked";
        fs::create_directories(locked);
        std::ofstream(locked / "kept.txt") << "kept";
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        // Deletable again when the row ends, so the test's folder goes.
        unlock.reset(static_cast<void*>(nullptr), [locked](void*) {
            std::error_code ignored;
            fs::permissions(locked, fs::perms::owner_all, ignored);
        });
    }
    auto& desktop = session.console.desktop();
    // Where it is not launched yet, its process is started ahead of its code, which `launch
    // zestrel` runs in it, so the probe knows the process to watch.
    const int ended = desktop.launchOwnApplication()->processIdentifier();
    const EndWatch watch(session.env);
    const bool relaunches = end == End::relaunch;
    // The state right before the end and right after it; at the prompt the lines are typed
    // while the alert waits. A script's answer ends the app as its alert shows.
    const bool typedUnderTheAlert = atThePrompt || modal.overWindow;
    const std::string lines = typedUnderTheAlert
                                  ? modal.show + std::string(kTextEditInFront) +
                                        (modal.quitButton ? "accessibility trusted\n" : "") +
                                        state(modal) + ending + state(modal)
                                  : kTextEditInFront + state(modal) + "answer \"" +
                                        modal.quitButton + "\"\n" + modal.show + state(modal);
    // Then once more when its end has surely come, before the next process acts.
    const std::string settle = "wait 3\n" + state(modal);
    std::optional<ProcessProbe> probe;
    if (atThePrompt) {
        {
            // On the real clock, as a terminal runs, so that the alert waits for the lines.
            const auto realClock = onTheRealClock(session.env);
            probe.emplace(desktop, ended, 10ms);
            std::istringstream in(lines + "show apps\nwait 0.1\n");
            EXPECT_EQ(session.console.runTerminal(in), 0);
        }
        ASSERT_EQ(session.run(settle), 0) << session.errors.str();
    } else {
        probe.emplace(desktop, ended, 10ms);
        ASSERT_EQ(session.run(lines + settle), 0) << session.errors.str();
    }
    EXPECT_EQ(session.errors.str(), error);
    watch.expectNothingAfterTheEnd();
    const std::string output = session.out.str();
    if (*next) {
        // The end was finished before the next line ran: the first listing comes after it.
        const auto listed = output.find("running applications:");
        EXPECT_LT(output.find("quit Zestrel (pid "), listed);
        EXPECT_THAT(output.substr(listed, output.find("[state", listed) - listed),
                    Not(HasSubstr(" Zestrel (")));
    }
    // The end was said, and the program answered the commands after it: at the prompt the
    // applications it lists are those left running.
    EXPECT_THAT(output, HasSubstr(relaunches ? "relaunched (pid " : "quit Zestrel (pid "));
    if (atThePrompt) {
        const auto listed = output.substr(output.rfind("running applications:"));
        EXPECT_THAT(listed, Not(HasSubstr("  " + std::to_string(ended) + " Zestrel")));
        EXPECT_EQ(occurrences(listed, " Zestrel ("), relaunches ? 1u : 0u) << listed;
    }
    EXPECT_FALSE(desktop.runningApplication(ended));
    EXPECT_EQ(desktop.ownApplication() != nullptr, relaunches);
    for (const int owner : registeredOwners()) {
        EXPECT_NE(owner, ended);
    }

    const auto states = statesIn(output);
    ASSERT_EQ(states.size(), 3u) << output;
    const State& before = states[0];
    // It waited when the end came.
    if (typedUnderTheAlert) {
        EXPECT_THAT(before.shown, HasSubstr(std::string(modal.alert)));
        EXPECT_THAT(before.shown, HasSubstr(", showing\n"));
    }
    // What the applications received and hold changed not at all; the app's windows went.
    EXPECT_EQ(states[1].kept, before.kept);
    EXPECT_EQ(states[2].kept, before.kept);
    EXPECT_THAT(before.kept, HasSubstr("TextEdit's text: \"hello\""));
    // Its alerts are gone with it, and nothing more was shown or handed on; the alert's own
    // Quit opened System Settings once, before the end.
    EXPECT_EQ(states[2].shown, states[1].shown);
    if (end == End::itsOwnQuit) {
        EXPECT_EQ(occurrences(states[1].shown, "Privacy_Accessibility"), 1u) << states[1].shown;
        EXPECT_THAT(states[1].shown, HasSubstr("answered \"" + std::string(modal.quitButton)));
    } else {
        EXPECT_EQ(states[1].shown,
                  replacedAll(before.shown, ", showing\n", ", gone with its app\n"));
    }
    // Its windows went with it; a new one is the new process's.
    for (const State& after : {states[1], states[2]}) {
        for (const auto& window : before.appWindows) {
            EXPECT_THAT(after.appWindows, Not(Contains(window)));
        }
        if (!relaunches) {
            EXPECT_THAT(after.appWindows, IsEmpty());
        }
    }

    ASSERT_EQ(session.run(nextProcessCutsAndPastes(modal, relaunches)), 0)
        << session.errors.str() << session.out.str();
    EXPECT_EQ(probe->callsAfterItsEnd(), 0);
}

void PrintTo(const Modal& modal, std::ostream* out) {
    *out << modal.name;
}

class EveryModalRun : public ::testing::TestWithParam<Modal> {};

TEST_P(EveryModalRun, StopsWhereItStandsWhenTheProcessEnds) {
    const Modal& modal = GetParam();
    std::vector<End> ends{End::quitZestrel, End::relaunch};
    if (modal.quitButton) {
        ends.push_back(End::itsOwnQuit);
    }
    for (const End end : ends) {
        endWhileItWaits(modal, end, true);
        const bool scriptGoesOn = modal.overWindow && end != End::itsOwnQuit;
        // The alert's own Quit, answered as the alert shows, is the end a script can give an
        // app-modal alert; after the offer the answer would meet the offer first.
        const bool answered = end == End::itsOwnQuit && !modal.stacked;
        if (scriptGoesOn || answered) {
            endWhileItWaits(modal, end, false);
        }
    }
    if (modal.stacked) {
        for (const auto& [next, error] : kAfterTheStackedQuit) {
            endWhileItWaits(modal, End::itsOwnQuit, true, next, error);
        }
    }
}

// Ended while its cut's sound still plays: the sound's temporary item stays in its home as its
// objects go, until the machine clears it.
TEST(ConsoleModalEnd, AnEndRightAfterACutLeavesTheSoundsTemporaryItem) {
    for (const char* end : {"relaunch\n", "quit zestrel\n"}) {
        SCOPED_TRACE(end);
        Session session;
        const EndWatch watch(session.env);
        ASSERT_EQ(session.run(std::string("mkdir $TMP/A\nwrite $TMP/A/f.txt hi\nlaunch zestrel\n"
                                          "open finder $TMP/A\nselect f.txt\npress cmd+x\n"
                                          "show sounds\n") +
                              end),
                  0)
            << session.errors.str();
        EXPECT_THAT(session.out.str(), HasSubstr("1 sound held"));
        watch.expectNothingAfterTheEnd();
    }
}

INSTANTIATE_TEST_SUITE_P(ConsoleModalEnd, EveryModalRun, ::testing::ValuesIn(kModals),
                         [](const ::testing::TestParamInfo<Modal>& info) {
                             return std::string(info.param.name);
                         });

// The session ending while the app waits on its app-modal alert, by the end of input, `quit`
// or a signal (which comes on a thread of its own, the program's signal watch), ends the
// process there: what its code does after the alert is not done. The Accessibility check opens
// no System Settings, and the warning that it did not cut posts no Command+X.
TEST(SessionEnd, WhileAnAppModalAlertWaitsEndsTheProcessThere) {
    enum class End { endOfInput, quit, signal };
    const char* const endNames[] = {"the end of input", "quit", "a signal"};
    constexpr std::int64_t kKeyX = 7;
    for (const Modal& modal : kModals) {
        if (!modal.quitButton && !modal.panel) {
            continue; // nothing its code does after these alerts would show
        }
        for (const End end : {End::endOfInput, End::quit, End::signal}) {
            SCOPED_TRACE(std::string(modal.name) + ", ended by " + endNames[static_cast<int>(end)]);
            Session session;
            ASSERT_EQ(
                session.run(std::string("mkdir $TMP/A\nwrite $TMP/A/f.txt hi\n") + modal.before), 0)
                << session.errors.str();
            // Every Command+X that enters the key pipeline: the person's, and any the app posts.
            auto commandXs = std::make_shared<int>(0);
            pf::EventSystem::current()->addForeignTap(
                {.tappingProcess = 900,
                 .location = pf::kCGHIDEventTap,
                 .eventsOfInterest = pf::CGEventMaskBit(pf::CGEventType::keyDown),
                 .callback = [commandXs](pf::CGEventTapProxy, pf::CGEventType,
                                         const pf::CGEventRef& event, void*) {
                     if (pf::CGEventGetIntegerValueField(event, pf::kCGKeyboardEventKeycode) ==
                             kKeyX &&
                         pf::CGEventGetFlags(event).contains(pf::kCGEventFlagMaskCommand)) {
                         ++*commandXs;
                     }
                     return event;
                 }});
            const std::string lines = modal.show + std::string(end == End::quit ? "quit\n" : "");
            int status = -1;
            {
                // On the real clock, as a terminal runs, so that the alert waits.
                const auto realClock = onTheRealClock(session.env);
                if (end == End::signal) {
                    // Asked for the line after those, the reader's thread sends the signal
                    // while the alert waits. Neither terminal nor stream is ever destroyed:
                    // the reader may still be finishing with them.
                    auto* terminal = new SilentTerminal(
                        lines, [&console = session.console] { console.interrupt(SIGTERM); });
                    static auto* const kept = new std::vector<std::istream*>();
                    kept->push_back(new std::istream(terminal));
                    status = session.console.runTerminal(*kept->back());
                    terminal->letGo();
                } else {
                    std::istringstream in(lines);
                    status = session.console.runTerminal(in);
                }
            }
            EXPECT_EQ(status, end == End::signal ? 128 + SIGTERM : 0);
            // Its alert waited unanswered when the end came.
            const auto alerts = pf::NSAlert::shownAlerts();
            ASSERT_FALSE(alerts.empty());
            EXPECT_THAT(alerts.back().messageText + alerts.back().informativeText,
                        HasSubstr(modal.alert));
            EXPECT_FALSE(alerts.back().response);
            EXPECT_EQ(pf::URLOpener::openedURLCount(), 0u);
            EXPECT_EQ(*commandXs, static_cast<int>(occurrences(modal.show, "press cmd+x")));
        }
    }
}

} // namespace
} // namespace zestrel::console
