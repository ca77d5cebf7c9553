#pragma once

#include "console/LineReader.h"
#include "console/ScriptCommand.h"
#include "platform/appkit/MailComposeService.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSSharingServicePicker.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Clock.h"
#include "platform/base/UnifiedLog.h"
#include "platform/data/FolderWalk.h"
#include "platform/desktop/SimulatedApplication.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zestrel::platform {
class Desktop;
class RunLoop;
} // namespace zestrel::platform

namespace zestrel::console {

class ConsoleResponder;
struct KeyChord;

// What a command that needs the app's process says while it does not run.
inline constexpr const char* kAppNotRunning =
    "Zestrel is not running: launch it first (launch zestrel)";
// Said of an application that does not run; this program's own says how to start it.
CommandError notRunning(const std::string& named, const std::string& identifier);

// Runs the app's own code (building, showing or running its views) as the machine calls into
// its process (`ProcessTeardown::callIn`). Throws `CommandError`, as for an app that does not
// run, when its process has ended, before the call or in it.
void runAppCode(const std::function<void()>& code);

// The real path of the HOME the app runs with (where its data, caches and Trash lie), when
// it has one. Throws as `platform::realPath` does.
std::optional<std::filesystem::path> appHome();

// What the app shows of `shown` (a window, an alert, a menu, the Dock tile), as its views
// build it: run as the app's code.
template <class Shown> platform::OutlineNode outlineOf(Shown& shown) {
    platform::OutlineNode node;
    runAppCode([&] { node = outline(shown); }); // found beside the shown type
    return node;
}

// The simulated desktop driven by commands: it makes a standard desktop (the Finder
// frontmost, this program running), makes it current, and runs commands on it, writing
// each one's result as text (control characters escaped, so a name is one line). `$TMP` in
// a command stands for the session's folder, and paths in the output are written back
// with it (and those in the app's home with `$HOME`).
//
// Nothing outside that folder is reachable: every path a command names must lead into it
// after `..` and symbolic links are followed, or the command fails and changes nothing;
// the file managers start in it and are confined to it (see `FileManagerApplication`).
//
// Time is the process clock's: on a virtual clock (scripts) `wait` moves it on, on the real
// clock (the terminal) `wait` sleeps with the main run loop running.
class Console {
public:
    // `temporaryFolder` is the session's folder, `$TMP`; it must exist. Throws when it is not
    // a folder. The app's home is the HOME it runs with, written `$HOME` in the output.
    Console(std::filesystem::path temporaryFolder, std::ostream& out, std::ostream& errors);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    platform::Desktop& desktop() { return *desktop_; }

    // How many of the keys an application received `show keys` shows: the last ones, as the
    // app's log keeps its last 10,000 lines.
    static constexpr std::size_t kKeptKeys = 10'000;

    // Runs a whole script: every line is parsed first, so a script with a mistake runs
    // nothing; then each command is written ("> press cmd+x") and run, with what falls
    // due run after it. Stops at the first failing command, at `quit` or when interrupted.
    // A UTF-8 byte-order mark at the start is skipped. Answers the exit status: 0, 1 after
    // an error (written as "NAME:LINE: message"), or 128 + the signal when interrupted.
    int runScript(std::istream& script, std::string_view name);

    // Where the prompt's lines come from: typed at a terminal, or read from a standard input
    // that is none (a pipe, a file), where nobody sees an error as it comes.
    enum class Input { terminal, notTerminal };

    // Reads commands from the terminal after the prompt "zestrel> " until `quit`, the end
    // of input or an interruption, with the main run loop running between them so timers
    // fire. Errors are written and the session goes on. An alert that no `answer` was
    // queued for is shown with its buttons, and the next line typed that names one of them
    // presses it; any other line is run as a command while the alert waits (for `answer`,
    // `click`, or a later line), also while the app waits on it. Answers 0, or 128 + the
    // signal when interrupted. From an input that is no terminal, each error names the
    // input's line ("stdin:LINE: message"), and the answer is 1 when any command failed. A
    // UTF-8 byte-order mark at the very start of the input is skipped. An input that cannot
    // be read on (its stream buffer throws) ends the session there, saying why, and the
    // answer is 2, as for a script that cannot be read.
    int runTerminal(std::istream& input, Input from = Input::terminal);

    // Ends the session as `quit` does, from any thread (the program's signal watch): the
    // app's process, when its code waits under the command running (in an alert), ends
    // there; a `wait` or the prompt ends at once, a script runs no further command. The
    // first signal is the one that ended it; later ones change nothing.
    void interrupt(int signal);
    // The signal that interrupted the session, or 0.
    int interruption() const;

    // Runs one parsed command, as the drivers do (a relaunch here happens at once, so call
    // it from outside a run-loop turn). Throws `CommandError` or a platform error when it
    // fails; answers false for `quit`.
    bool run(const Command& command);

private:
    // After a command: go on, relaunch or quit the own process, wind up the process the app
    // ended itself, or end the session.
    enum class Next { proceed, relaunch, quitOwn, appEnded, end };
    // The terminal's session (Console.cpp): its reader, and what runs now.
    struct Terminal;

    // The driver (Console.cpp): runs each command through the family that owns it, and
    // keeps the own process, the session's paths and the output.
    Next perform(const Command& command);
    Next dispatch(const Command& command);
    // `show X` goes to the family that owns X.
    void show(const Command& command);
    void confineFileManagers();
    void setRunningLoop(platform::RunLoop* loop);
    void relaunch();
    void quitOwn();
    // Before the own process ends: what it showed and handed on stays listed, and what it
    // logged stays in the log.
    void keepWhatTheProcessShowed();
    // The app's log as `show log` and `expect log` see it, oldest first: the lines of the
    // processes that ended, then the current one's, the last as many as one process keeps.
    std::vector<platform::LoggedLine> appLog() const;
    // Makes the app's controller, as the app's entry does; its launch runs once the main run
    // loop turns.
    void startEngine();
    // The app ended itself (it quit when refused access): its process state ends too.
    void endIfTerminated();
    void setUpProcess();
    void wait(platform::Nanoseconds duration);
    std::string expand(const std::string& argument) const;
    // The real path a `$TMP/...` word leads to after `..` and links are followed; throws
    // `CommandError` when it leads outside the session's folder.
    std::filesystem::path path(const std::string& argument) const;
    // The path a `$TMP/...` word names, as written (nothing followed); throws `CommandError`
    // when the word does not start with `$TMP`.
    std::filesystem::path writtenPath(const std::string& argument) const;
    // The same for the folder the path names its last item in, and that item's name as
    // written: what is there, a link too, is the item itself.
    std::filesystem::path entryPath(const std::string& argument) const;
    // The session's folder and the app's home written by name.
    std::string shown(std::string text) const;
    // As the output writes a text: its folders by name, then escaped.
    std::string readable(const std::string& text) const;
    void say(const std::string& text);
    // Ends the session when the output can no longer be written.
    void noticeClosedOutput();
    void failed(const std::string& message);
    // `help`: every command's syntax, or one command's with what it does.
    void help(const Command& command);

    // The terminal (Console.cpp): asks for the next line unless one is asked for already,
    // and takes it as a button of the waiting alert or as a command.
    void ask();
    void takeLine(LineReader::Line line);
    // Runs a command's work as a line's command runs (what it sets off included, its failure
    // said and named by its line), then `afterCommand`.
    void runCommand(const std::function<void()>& work);
    // The rest of a command that was handed on (keys a `type` hands on past an alert's
    // answer): at the terminal run as `runCommand` runs its line's; in a script, at once.
    void goOnWithCommand(const std::function<void()>& work);
    // After a command, or its rest: the end it met is acted on, or the next line is asked for
    // once nothing else runs (or an alert waits under what does).
    void afterCommand();
    // The first `next` that is not `proceed` stands until the driver acts on it.
    void settle(Next next);
    // An alert appeared with no answer queued: the terminal shows it, and asks for a line
    // when the app waits on it.
    void alertWaiting(const platform::NSAlert& alert);
    // Presses the waiting alert's button titled so; false when no alert waits or it has no
    // such button.
    bool pressWaitingButton(const std::string& title);
    // The message for an answer that names a button `alert` does not have.
    static std::string noSuchButton(const platform::NSAlert& alert, const std::string& title);
    // A script's answer that met an alert without its button fails the command that showed
    // the alert.
    void failIfAnswerMismatched();
    // A script's alerts that ended because nobody answered them, or whose app ended before
    // anyone did, each said once; when the script ends, also those still showing unanswered.
    void reportUnansweredAlerts(bool scriptEnds = false);

    // What the app wrote to standard output (its heart line, the event-tap dump, the DEINIT
    // lines) is held and written here, each line marked as the app's, after the reply of the
    // command that set it off.
    void holdAppPrints(std::string_view text);
    void writeAppPrints();

    // Desktop and files (ConsoleDesktop.cpp): open, select, launch, activate and quit of
    // applications, mkdir, write, echo; `show` of what the desktop holds.
    Next performDesktop(const Command& command);
    void showDesktop(const Command& command);
    void writeFile(const std::filesystem::path& file, const std::string& contents);
    // The items of `folder`, a folder of the session read from `$TMP` one name at a time;
    // throws, after `failure`, why it cannot be read.
    std::vector<platform::FolderEntry> itemsOf(const std::filesystem::path& folder,
                                               const std::string& failure = "") const;

    // Keys (ConsoleKeys.cpp): press, type, layout, `show keys`.
    void performKeys(const Command& command);
    // Run after every command, so a long session keeps its memory: what the applications
    // recorded of the keys they received moves into `receivedKeys_`, and what the desktop
    // recorded of posted events, which nothing here shows, is forgotten.
    void keepRecordsBounded();
    void press(const std::string& chord);
    void type(const std::string& text);
    // Who has the keyboard, what one key came to, and the typing of one `type`.
    struct KeyTarget;
    struct KeyOutcome;
    struct Typing;
    KeyTarget keyTarget() const;
    // A key pressed and let go as a person does, through every tap, with `target` the
    // keyboard's.
    KeyOutcome pressKey(const KeyChord& chord, const KeyTarget& target);
    // Types the typing's keys from the next one on, each once the one before is handled.
    void typeOn(const std::shared_ptr<Typing>& typing);
    // What the keys came to, those that came to the same together, as the reply says it.
    static std::string describeTyping(const std::vector<KeyOutcome>& parts);
    void showKeys(const std::string& application);

    // The app's defaults and alerts (ConsoleDefaultsAndAlerts.cpp): defaults,
    // accessibility, latency, answer; `show defaults|alerts|sounds|opened`.
    void performDefaultsAndAlerts(const Command& command);
    void showDefaultsAndAlerts(const std::string& what);
    // Of this process and of the processes that ended, in order.
    std::vector<platform::NSAlert::Record> shownAlerts() const;
    // How many that is, and the one at `index` of them, without copying the others.
    std::size_t shownAlertCount() const;
    platform::NSAlert::Record shownAlert(std::size_t index) const;
    // The alert `shownAlerts()[index]` showed unanswered in a process that has ended.
    bool goneWithItsApp(std::size_t index, const platform::NSAlert::Record& alert) const;
    std::vector<platform::URL> openedURLs() const;
    std::vector<platform::ComposedEmail> composedMessages() const;
    std::vector<platform::NSSharingServicePicker::Showing> shareShowings() const;
    // One thing the app handed on, as `show opened` writes it, and the texts `expect
    // opened` looks in.
    struct HandedOn {
        std::string line;
        std::vector<std::string> texts;
    };
    static HandedOn handedOnOf(const platform::URL& url);
    static HandedOn handedOnOf(const platform::ComposedEmail& message);
    static HandedOn handedOnOf(const platform::NSSharingServicePicker::Showing& showing);
    // The URLs the app opened, the messages it gave Mail's compose service (recipients,
    // subject, body, attachments) and the items it gave share pickers, each in order.
    std::vector<HandedOn> handedOn() const;
    // The most recent of the URLs that `matches`, else of the messages, else of the share
    // pickers' items; taken one at a time, so a look copies only what it passes.
    std::optional<HandedOn> lastHandedOn(const std::function<bool(const HandedOn&)>& matches) const;

    // Menus and windows (ConsoleMenusAndWindows.cpp): `click`, `toggle`, `pick`, `record
    // shortcut`; `show menu|window|dock`. The menu is the app's menu-bar menu as a person sees it;
    // the windows are the app's own, front to back.
    void performMenusAndWindows(const Command& command);
    void showMenusAndWindows(const Command& command);
    // A window with the shortcut recorder for the hotkey, recording.
    void recordShortcut(const std::string& name);
    // The app's code of it: the recorder made, shown and started.
    void startRecording(const std::string& name);
    platform::OutlineNode menuOutline() const;
    // `open debug window`: the user debug window, as launching with Shift+Control+Option
    // held opens it.
    void openDebugWindow();
    std::vector<std::shared_ptr<platform::NSWindow>> appWindows() const;
    // The window titled so, or the frontmost one; fails naming the windows there are.
    std::shared_ptr<platform::NSWindow> appWindow(const std::optional<std::string>& title) const;
    // `close window [TITLE]`.
    void closeWindow(const std::optional<std::string>& title);
    // What stands over a window of the app while an alert shows: a person reaches nothing
    // it covers, only the alert. An app-modal run (an alert's or a dialog's) covers every
    // other window of the app; an alert or confirmation dialog shown as a sheet or presented
    // by a view covers its window. Nothing for a window nothing covers, or an alert's own.
    struct Cover {
        std::shared_ptr<platform::NSAlert> alert; // none for a dialog that is no alert
        platform::OutlineNode node;               // what can be reached instead
        std::string name;                         // as messages name it
        bool modal = false;
    };
    std::optional<Cover> coverOf(platform::NSWindow& window) const;
    // What an app-modal run holds beyond the windows: the app's menu-bar menu and every way
    // into its windows (a reopen, the debug window, the shortcut recorder). It is named by its
    // alert, also when that is a sheet over the window the run is for. None without such a run.
    std::optional<Cover> modalCover() const;
    // The window the alert shows over, as a sheet or presented by a view: a click at the alert
    // is in that window. None for an app-modal alert or one not on screen.
    std::shared_ptr<platform::NSWindow> windowUnder(const platform::NSAlert& alert) const;
    // Throws naming the alert while an app-modal run holds the app.
    void requireAppInReach() const;
    // A click in a window of the app makes it key and brings it to the front of the app's
    // windows (its sheet takes the keyboard over it); while the app is in the back, the app
    // comes forward first with that window key. Without a window, the click is at the alert
    // the person answers.
    void comeForwardForClick(std::shared_ptr<platform::NSWindow> window = nullptr);
    // The alert that takes the app's keys now: the one that is or covers the key window while
    // the app has the keyboard; none otherwise.
    std::shared_ptr<platform::NSAlert> alertTakingKeys() const;

    // Expectations (ConsoleExpectations.cpp). Fails with `CommandError` when the
    // expectation is not met.
    void expect(const Command& command);

    std::filesystem::path temporaryFolder_;
    // What killed writes left in the folders `write` writes in, each looked at once.
    platform::StaleTemporaryFiles staleTemporaries_;
    // Real paths the output writes by name (`$TMP`, `$HOME`), the longest first.
    std::vector<std::pair<std::string, std::string>> namedFolders_;
    std::ostream& out_;
    std::ostream& errors_;
    std::shared_ptr<platform::Desktop> desktop_;
    // Whether the app's engine runs in the current process: `launch zestrel` starts it, a
    // relaunch starts it again, a quit ends it with the process.
    bool engineRunning_ = false;
    // The keys each running application received, its last `kKeptKeys`, oldest first.
    std::map<int, std::deque<platform::ReceivedKeyEvent>> receivedKeys_;
    std::vector<platform::NSAlert::Record> endedAlerts_;
    std::vector<platform::URL> endedOpenedURLs_;
    std::vector<platform::ComposedEmail> endedMessages_;
    std::vector<platform::NSSharingServicePicker::Showing> endedShowings_;
    // The last lines the ended processes logged, as many as `appLog` shows.
    std::deque<platform::LoggedLine> endedLog_;
    // Stands in for the user at alerts: `answer` queues what it presses.
    std::shared_ptr<ConsoleResponder> responder_;
    std::optional<std::string> mismatch_;
    // The line of the script running now; 0 at the prompt.
    int scriptLine_ = 0;
    std::set<std::size_t> reportedUnanswered_;
    // How many of `shownAlerts()` were looked at for those nobody answered, and of those the
    // ones that may still have to be said (not answered, not said): only these and the alerts
    // shown since can change what a look finds.
    std::size_t alertsLookedAt_ = 0;
    std::vector<std::size_t> alertsStillOpen_;
    // While the terminal runs.
    Terminal* terminal_ = nullptr;
    // The `type`s whose keys wait to be pressed until the modal runs they ended have returned:
    // their commands have not finished, and no line is read.
    std::size_t keysHandedOn_ = 0;
    std::mutex printsMutex_;
    std::string appPrints_;        // guarded by printsMutex_
    bool showingAtPrompt_ = false; // guarded by printsMutex_: a showing is on its way
    // The terminal waits at its prompt: what the app prints meanwhile is written at once.
    std::atomic<bool> atPrompt_{false};
    std::atomic<int> interruption_{0};
    std::mutex loopMutex_;
    platform::RunLoop* loop_ = nullptr; // guarded by loopMutex_: the loop a driver runs
    // Lives as long as the console: what `interrupt` posts to the loop does nothing after.
    std::shared_ptr<void> session_ = std::make_shared<int>(); // guarded by loopMutex_
};

} // namespace zestrel::console
