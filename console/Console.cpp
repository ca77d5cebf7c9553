#include "console/Console.h"

#include "app/AppMain.h"
#include "console/ConsoleResponder.h"
#include "console/ConsoleText.h"
#include "console/LineReader.h"
#include "console/PropertyListLiteral.h"
#include "console/ScriptFile.h"
#include "foundation/Logger.h"
#include "platform/appkit/MailComposeService.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSSharingServicePicker.h"
#include "platform/base/Error.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/base/StandardStreams.h"
#include "platform/data/FileSafety.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/system/URLOpener.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <istream>
#include <iterator>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <utility>
#include <vector>

namespace zestrel::console {

namespace fs = std::filesystem;
using namespace zestrel::platform;

namespace {

std::string messageOf(const std::exception& error) {
    if (const auto* platformError = dynamic_cast<const Error*>(&error)) {
        return platformError->localizedDescription();
    }
    if (const auto* commandError = dynamic_cast<const CommandError*>(&error)) {
        return commandError->message();
    }
    return error.what();
}

// An alert's buttons as messages list them.
std::string buttonsOf(const NSAlert& alert) {
    std::vector<std::string> titles;
    for (const auto& button : alert.buttons()) {
        titles.push_back(button->title());
    }
    return quotedList(titles);
}

// How the output writes the session's folder and the app's home (the HOME it runs with, where
// its data, caches and Trash lie), so a session reads the same on every run. The longer
// first: one folder may lie in the other. A folder whose name a file URL percent-encodes (a
// space, a tab, "%") is also known as that URL writes it. Texts are named before they are
// escaped, so no escaped form of a folder is needed.
std::vector<std::pair<std::string, std::string>> namedFolders(const fs::path& temporaryFolder) {
    std::vector<std::pair<std::string, std::string>> named;
    const auto name = [&named](const std::string& real, const std::string& as) {
        named.emplace_back(real, as);
        constexpr std::string_view kFileScheme = "file://";
        if (auto encoded = URL::fileURL(real).absoluteString().substr(kFileScheme.size());
            encoded != real) {
            named.emplace_back(std::move(encoded), as);
        }
    };
    // The root folder holds every path: named, every "/" of a text would read "$TMP".
    if (temporaryFolder != "/") {
        name(temporaryFolder.string(), "$TMP");
    }
    if (const auto home = appHome(); home && *home != "/") {
        name(home->string(), "$HOME");
    }
    std::stable_sort(named.begin(), named.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    return named;
}

// The app's log shows as many lines as one process's buffer holds, ended processes' too.
constexpr auto kKeptLogLines = static_cast<std::size_t>(LogBuffer::capacity);

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kPrompt = "zestrel> ";

} // namespace

Console::Console(fs::path temporaryFolder, std::ostream& out, std::ostream& errors)
    : temporaryFolder_(realPath(temporaryFolder)), namedFolders_(namedFolders(temporaryFolder_)),
      out_(out), errors_(errors), desktop_(Desktop::make(Desktop::OwnProcess::notLaunched)),
      responder_(std::make_shared<ConsoleResponder>()) {
    if (!fs::is_directory(temporaryFolder_)) {
        throw CommandError(temporaryFolder.string() + " is not a folder");
    }
    responder_->setOnWaiting([this](const NSAlert& alert) { alertWaiting(alert); });
    responder_->setOnAnswering([this] { comeForwardForClick(); });
    responder_->setOnMismatch([this](const NSAlert& alert, const std::string& title) {
        const auto message = noSuchButton(alert, title);
        // An answer did go before it: the alert is not one nobody answered. It is the one
        // recorded last, as it is put to the responder once recorded.
        reportedUnanswered_.insert(shownAlertCount() - 1);
        // At the prompt the alert waits for a better answer; a script fails once the command
        // that showed it ends.
        if (terminal_) {
            failed(message);
        } else if (!mismatch_) {
            mismatch_ = message;
        }
    });
    Desktop::setCurrent(desktop_);
    setStandardOutputWriter([this](std::string_view text) { holdAppPrints(text); });
    confineFileManagers();
    setUpProcess();
}

void Console::setUpProcess() {
    ModalResponder::setCurrent(responder_);
}

void Console::confineFileManagers() {
    // The running ones now, and every one launched later through its installed maker.
    for (const char* identifier :
         {kFinderBundleIdentifier, kForkLiftBundleIdentifier, kForkLiftSetappBundleIdentifier}) {
        auto installed = desktop_->installedApplication(identifier);
        if (installed && installed->makeApplication) {
            installed->makeApplication = [make = std::move(installed->makeApplication),
                                          root = temporaryFolder_] {
                auto app = make();
                if (auto manager = std::dynamic_pointer_cast<FileManagerApplication>(app)) {
                    manager->confine(root);
                }
                return app;
            };
            desktop_->install(std::move(*installed));
        }
        for (const auto& running : desktop_->runningApplications(identifier)) {
            if (auto manager = std::dynamic_pointer_cast<FileManagerApplication>(
                    desktop_->application(running->processIdentifier()))) {
                manager->confine(temporaryFolder_);
            }
        }
    }
}

void Console::interrupt(int signal) {
    // The first ends the session; one that comes while it ends changes nothing.
    int none = 0;
    interruption_.compare_exchange_strong(none, signal);
    std::lock_guard lock(loopMutex_);
    if (loop_ == nullptr) {
        return;
    }
    // The run to stop may be one the app's code waits in (an alert's): stopped, its code would
    // go on after the alert. So the process ends first, where it stands, as `quit` ends it
    // there; that is done on the loop's thread, from inside the innermost run, and then the
    // driver's run stops.
    loop_->machineAsync([this, session = std::weak_ptr<void>(session_)] {
        if (!session.lock()) {
            return; // the console has gone
        }
        {
            std::lock_guard stillRunning(loopMutex_);
            if (loop_ == nullptr) {
                return; // the driver has ended meanwhile: there is no run to stop
            }
        }
        if (ProcessTeardown::processFramesOnStack() && desktop_->ownApplication()) {
            desktop_->endOwnProcess();
        }
        RunLoop::main().stop();
    });
}

int Console::interruption() const {
    return interruption_.load();
}

void Console::setRunningLoop(RunLoop* loop) {
    std::lock_guard lock(loopMutex_);
    loop_ = loop;
}

Console::~Console() {
    {
        std::lock_guard lock(loopMutex_);
        session_.reset();
    }
    // The app's process ends with the session, so what it prints on its way out is shown as
    // its own too.
    try {
        desktop_->quitOwnApplication();
    } catch (const std::exception& error) {
        failed(messageOf(error));
    }
    writeAppPrints();
    setStandardOutputWriter({});
    Desktop::setCurrent(nullptr);
}

void Console::holdAppPrints(std::string_view text) {
    {
        std::lock_guard lock(printsMutex_);
        appPrints_.append(text);
        if (appPrints_.empty() || !atPrompt_.load() || std::exchange(showingAtPrompt_, true)) {
            return;
        }
    }
    RunLoop::main().machineAsync([this] {
        {
            std::lock_guard lock(printsMutex_);
            showingAtPrompt_ = false;
        }
        if (atPrompt_.load()) {
            // On lines of their own, and the prompt again after them.
            out_ << std::endl;
            writeAppPrints();
            out_ << kPrompt << std::flush;
        }
    });
}

void Console::writeAppPrints() {
    std::string text;
    {
        std::lock_guard lock(printsMutex_);
        text.swap(appPrints_);
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        say("  app prints: " + line);
    }
}

int Console::runScript(std::istream& script, std::string_view name) {
    // Every line is parsed before any runs, so a script with a mistake runs nothing. Only the
    // text is kept, and each line is parsed again when it runs, so a long script takes no
    // more memory than its text.
    std::string text;
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        if (number == 1 && line.starts_with(kByteOrderMark)) {
            line.erase(0, kByteOrderMark.size());
        }
        try {
            parseCommand(line);
        } catch (const CommandError& error) {
            errors_ << name << ":" << number << ": " << escapedControls(error.message())
                    << std::endl;
            return 1;
        }
        text += line;
        text += '\n';
    }
    if (script.bad()) {
        errors_ << name << ": the script could not be read to its end" << std::endl;
        return 1;
    }
    setRunningLoop(&RunLoop::main());
    // A session that failed before this script leaves it no mismatch and no answers.
    mismatch_.reset();
    responder_->clearAnswers();
    std::string_view rest = text;
    for (int number = 1; !rest.empty() && interruption() == 0; ++number) {
        const auto lineText = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(lineText.size() + 1);
        const auto command = parseCommand(lineText);
        if (!command) {
            continue;
        }
        if (command->kind != CommandKind::echo) {
            say("> " + std::string(trimmed(lineText)));
        }
        scriptLine_ = number;
        try {
            const bool goOn = run(*command);
            if (goOn) {
                RunLoop::main().runUntilIdle();
                endIfTerminated();
            }
            writeAppPrints();
            reportUnansweredAlerts();
            failIfAnswerMismatched();
            if (!goOn) {
                break;
            }
        } catch (const std::exception& error) {
            setRunningLoop(nullptr);
            scriptLine_ = 0;
            writeAppPrints();
            reportUnansweredAlerts(true);
            responder_->clearAnswers();
            errors_ << name << ":" << number << ": " << readable(messageOf(error)) << std::endl;
            return 1;
        }
    }
    setRunningLoop(nullptr);
    scriptLine_ = 0;
    if (interruption() != 0) {
        return 128 + interruption();
    }
    reportUnansweredAlerts(true);
    // An answer left over was meant for an alert that never came: the script is wrong.
    const auto leftOver = responder_->queuedAnswers();
    responder_->clearAnswers();
    if (!leftOver.empty()) {
        std::string message = "no alert took the answer " + quotedString(leftOver.front().button);
        for (std::size_t i = 1; i < leftOver.size(); ++i) {
            message += i == 1 ? "; nor " : ", ";
            message += quotedString(leftOver[i].button) + " (line " +
                       std::to_string(leftOver[i].line) + ")";
        }
        errors_ << name << ":" << leftOver.front().line << ": " << readable(message) << std::endl;
        return 1;
    }
    return 0;
}

struct Console::Terminal {
    // A line typed may be as long as a whole script, and no longer.
    Terminal(std::istream& input, Input from) : reader(input, kLargestScript), from(from) {}
    LineReader reader;
    const Input from;
    // The line taken last, which errors name.
    std::size_t line = 0;
    bool anyFailed = false;
    // The input could not be read on: the session ends as a script that cannot be read does.
    bool unreadable = false;
    bool asking = false; // a line is asked for
    // Commands running: more than one while the app waits on an alert and lines are read
    // under it.
    int running = 0;
    Next next = Next::proceed;
    // A line that came while an end was met and not yet finished: taken once it is.
    std::optional<LineReader::Line> held;
};

int Console::runTerminal(std::istream& input, Input from) {
    Terminal terminal(input, from);
    terminal_ = &terminal;
    // Gone before the reader is.
    const std::shared_ptr<void> leaving(nullptr, [this](void*) {
        terminal_ = nullptr;
        setRunningLoop(nullptr);
    });
    setRunningLoop(&RunLoop::main());
    ask();
    for (;;) {
        if (interruption() == 0) {
            RunLoop::main().run();
        }
        if (interruption() != 0) {
            atPrompt_.store(false);
            // The prompt waits on its line: the shell's own starts on the next.
            out_ << std::endl;
            return 128 + interruption();
        }
        const Next next = std::exchange(terminal.next, Next::proceed);
        if (next == Next::end) {
            if (terminal.unreadable) {
                return 2;
            }
            // Read from no terminal, the session goes on after a failure as at the prompt, but
            // whoever started it learns of the failure from its status, as from a script's.
            return terminal.from == Input::notTerminal && terminal.anyFailed ? 1 : 0;
        }
        if (next == Next::relaunch || next == Next::quitOwn || next == Next::appEnded) {
            // Outside the loop's turn: ending the process ends its run loop.
            try {
                if (next == Next::relaunch) {
                    relaunch();
                } else if (next == Next::appEnded) {
                    endIfTerminated();
                } else {
                    quitOwn();
                }
            } catch (const std::exception& error) {
                failed(messageOf(error));
            }
            if (auto held = std::exchange(terminal.held, std::nullopt)) {
                takeLine(std::move(*held));
            } else if (terminal.asking) {
                // Asked for under the alerts that went with the app: still wanted.
                out_ << kPrompt << std::flush;
            } else {
                ask();
            }
        }
    }
}

void Console::ask() {
    // A command is finished only once the keys it handed on are pressed: until then no line
    // is read, at whatever depth of alerts, so lines that come together run as at any pace.
    if (!terminal_ || terminal_->asking || keysHandedOn_ > 0) {
        return;
    }
    terminal_->asking = true;
    writeAppPrints();
    out_ << kPrompt << std::flush;
    atPrompt_.store(true);
    holdAppPrints({}); // what came in between
    terminal_->reader.request(RunLoop::main(),
                              [this](LineReader::Line line) { takeLine(std::move(line)); });
}

void Console::takeLine(LineReader::Line read) {
    if (!terminal_) {
        return;
    }
    Terminal& terminal = *terminal_;
    terminal.asking = false;
    atPrompt_.store(false);
    // The app has ended under an earlier line (however deep in its alerts) and is not yet
    // wound up: this line waits until the driver has finished that end, so it meets the
    // desktop without the app.
    if (terminal.next != Next::proceed || (engineRunning_ && NSApp().isTerminated())) {
        terminal.held = std::move(read);
        settle(Next::appEnded);
        RunLoop::main().stop();
        return;
    }
    terminal.line = read.number;
    auto& line = read.text;
    // An editor's mark at the very start of what is read, as of a script; a line pasted at the
    // terminal from such a file starts with it too, and nobody types it.
    if (read.number == 1 && line && line->starts_with(kByteOrderMark)) {
        line->erase(0, kByteOrderMark.size());
    }
    if (read.failure) {
        out_ << std::endl;
        terminal.unreadable = true;
        failed("cannot read the standard input: " + *read.failure);
        settle(Next::end);
    } else if (!line) {
        out_ << std::endl;
        settle(Next::end);
    } else if (read.tooLong != 0) {
        failed("the line “" + startOf(*line, 40) +
               "” is too long: " + counted(read.tooLong, "byte") + ", over the " +
               std::to_string(kLargestScript / (1024 * 1024)) + " MB a script may hold");
    } else {
        runCommand([&] {
            // A button's title as typed, quoted or not.
            auto typed = trimmed(*line);
            if (typed.size() >= 2 && typed.front() == '"' && typed.back() == '"') {
                typed = typed.substr(1, typed.size() - 2);
            }
            if (!pressWaitingButton(std::string(typed))) {
                if (auto command = parseCommand(*line)) {
                    settle(perform(*command));
                }
            }
        });
        return;
    }
    afterCommand();
}

void Console::runCommand(const std::function<void()>& work) {
    Terminal& terminal = *terminal_;
    ++terminal.running;
    try {
        work();
        // What the command set off, so an app that ends itself because of it (Quit, a
        // relaunch) ends before the next prompt.
        RunLoop::main().runUntilIdle();
        if (engineRunning_ && NSApp().isTerminated()) {
            settle(Next::appEnded);
        }
    } catch (const std::exception& error) {
        failed(messageOf(error));
    }
    --terminal.running;
    afterCommand();
}

void Console::goOnWithCommand(const std::function<void()>& work) {
    if (!terminal_) {
        work(); // a script's driver runs what falls due, and names its failure by its line
        return;
    }
    runCommand(work);
}

void Console::afterCommand() {
    Terminal& terminal = *terminal_;
    if (interruption() != 0) {
        settle(Next::end);
    }
    if (terminal.next != Next::proceed) {
        // The process ends now, where its code stands: a modal run it waits in stops as soon
        // as this line's work returns, so nothing its code would do after that run is done,
        // and its alerts stay unanswered. So it does when the session ends while its code
        // waits under this line; otherwise the session's owner ends it.
        const bool endsProcess =
            terminal.next == Next::relaunch || terminal.next == Next::quitOwn ||
            (terminal.next == Next::end && ProcessTeardown::processFramesOnStack());
        if (endsProcess && desktop_->ownApplication()) {
            desktop_->endOwnProcess();
        }
        // The driver's run ends, and the driver acts on it.
        RunLoop::main().stop();
    } else if (terminal.running == 0 || (NSApp().modalWindow() && responder_->waitingAlert())) {
        ask();
    }
}

void Console::settle(Next next) {
    if (terminal_ && terminal_->next == Next::proceed) {
        terminal_->next = next;
    }
}

void Console::alertWaiting(const NSAlert& alert) {
    if (!terminal_) {
        return; // a script's alert waits as it always has
    }
    say("alert " + quotedString(alert.messageText()) +
        (alert.informativeText().empty() ? "" : " " + quotedString(alert.informativeText())));
    say("  buttons " + buttonsOf(alert) +
        ": type one to press it, or a command (the alert waits for answer or click)");
    if (terminal_->asking) {
        out_ << kPrompt << std::flush;
        return;
    }
    // A modal alert holds the command that showed it: the lines are read under it.
    RunLoop::main().machineAsync([this] {
        if (terminal_ && NSApp().modalWindow() && responder_->waitingAlert()) {
            ask();
        }
    });
}

std::string Console::noSuchButton(const NSAlert& alert, const std::string& title) {
    return "the alert " + quotedString(alert.messageText()) + " has no button " +
           quotedString(title) + " (its buttons: " + buttonsOf(alert) + ")";
}

void Console::failIfAnswerMismatched() {
    if (auto message = std::exchange(mismatch_, std::nullopt)) {
        throw CommandError(*message);
    }
}

void Console::reportUnansweredAlerts(bool scriptEnds) {
    // An answered alert stays answered and one is said once, so a look goes through only the
    // alerts still open and those shown since: its cost does not grow with a long session.
    for (const auto count = shownAlertCount(); alertsLookedAt_ < count; ++alertsLookedAt_) {
        alertsStillOpen_.push_back(alertsLookedAt_);
    }
    std::vector<std::size_t> stillOpen;
    for (const auto i : alertsStillOpen_) {
        const auto alert = shownAlert(i);
        // One shown over a window never gives up, as nothing waits on it: it is said when its
        // app or the script ends.
        const bool unanswered =
            alert.unattended || goneWithItsApp(i, alert) || (scriptEnds && !alert.response);
        if (unanswered && reportedUnanswered_.insert(i).second) {
            say("nobody answered the alert " + quotedString(alert.messageText) + " (buttons " +
                quotedList(alert.buttons) +
                "): answer \"BUTTON\" goes before the command that shows it");
        }
        if (!alert.response && !reportedUnanswered_.contains(i)) {
            stillOpen.push_back(i);
        }
    }
    alertsStillOpen_ = std::move(stillOpen);
}

bool Console::pressWaitingButton(const std::string& title) {
    const auto alert = responder_->waitingAlert();
    if (!alert) {
        return false;
    }
    for (const auto& button : alert->buttons()) {
        if (button->title() == title) {
            comeForwardForClick();
            say("pressed " + quotedString(title) + " at the alert " +
                quotedString(alert->messageText()));
            alert->respond(ModalAnswer::button(title));
            return true;
        }
    }
    return false;
}

void Console::help(const Command& command) {
    if (command.arguments.empty()) {
        say("commands, one a line; words with spaces go in double quotes (help COMMAND tells "
            "what one does):");
        for (const auto& syntax : commandSyntaxes()) {
            say("  " + std::string(syntax.usage));
        }
        return;
    }
    const auto* syntax = commandSyntax(command.arguments[0]);
    say(std::string(syntax->usage));
    say("  " + std::string(syntax->summary));
}

bool Console::run(const Command& command) {
    const Next next = perform(command);
    if (next == Next::relaunch) {
        relaunch();
    } else if (next == Next::quitOwn) {
        quitOwn();
    }
    return next != Next::end;
}

Console::Next Console::perform(const Command& command) {
    const Next next = dispatch(command);
    keepRecordsBounded();
    noticeClosedOutput();
    failIfAnswerMismatched();
    return next;
}

Console::Next Console::dispatch(const Command& command) {
    switch (command.kind) {
    case CommandKind::open:
    case CommandKind::select:
    case CommandKind::launch:
    case CommandKind::reopen:
    case CommandKind::activate:
    case CommandKind::quitApp:
    case CommandKind::mkdir:
    case CommandKind::write:
    case CommandKind::echo:
        return performDesktop(command);
    case CommandKind::press:
    case CommandKind::type:
    case CommandKind::layout:
        performKeys(command);
        return Next::proceed;
    case CommandKind::defaults:
    case CommandKind::accessibility:
    case CommandKind::latency:
    case CommandKind::answer:
        performDefaultsAndAlerts(command);
        return Next::proceed;
    case CommandKind::show:
        show(command);
        return Next::proceed;
    case CommandKind::expect:
        expect(command);
        return Next::proceed;
    case CommandKind::wait:
        wait(parseSeconds(command.arguments[0]));
        return Next::proceed;
    case CommandKind::click:
    case CommandKind::toggle:
    case CommandKind::pick:
    case CommandKind::record:
    case CommandKind::close:
        performMenusAndWindows(command);
        return Next::proceed;
    case CommandKind::help:
        help(command);
        return Next::proceed;
    case CommandKind::relaunch:
        // With none of the app running there is nothing to restart, and none is started.
        if (!engineRunning_) {
            throw CommandError(kAppNotRunning);
        }
        return Next::relaunch;
    case CommandKind::end:
        return Next::end;
    }
    return Next::proceed;
}

void Console::show(const Command& command) {
    const auto& what = command.arguments[0];
    if (what == "keys") {
        showKeys(command.arguments[1]);
    } else if (what == "defaults" || what == "alerts" || what == "sounds" || what == "opened") {
        showDefaultsAndAlerts(what);
    } else if (what == "menu" || what == "window" || what == "dock") {
        showMenusAndWindows(command);
    } else {
        showDesktop(command);
    }
}

void Console::wait(Nanoseconds duration) {
    // On the virtual clock the nested run moves the clock on through each deadline; on the
    // real one it sleeps until then, serving the main queue and timers.
    RunLoop::main().runInMode(
        RunLoopMode::defaultMode, [] { return false; }, duration);
}

void Console::keepWhatTheProcessShowed() {
    if (!desktop_->ownApplication()) {
        return;
    }
    // Appended, not copied whole again: an end costs what its own process showed.
    const auto append = [](auto& kept, const auto& shown) {
        kept.insert(kept.end(), shown.begin(), shown.end());
    };
    append(endedAlerts_, NSAlert::shownAlerts());
    append(endedOpenedURLs_, URLOpener::openedURLs());
    append(endedMessages_, MailComposeService::composedMessages());
    append(endedShowings_, NSSharingServicePicker::showings());
    // As a system log keeps a process's lines after its end; an ended process logs nothing
    // more, so what it holds now is all it logged.
    for (auto& entry : logBuffer().orderedEntries()) {
        endedLog_.push_back(std::move(entry));
    }
    while (endedLog_.size() > kKeptLogLines) {
        endedLog_.pop_front();
    }
}

std::vector<LoggedLine> Console::appLog() const {
    auto current = logBuffer().orderedEntries();
    const auto fromEnded =
        std::min(endedLog_.size(), kKeptLogLines - std::min(kKeptLogLines, current.size()));
    std::vector<LoggedLine> lines(endedLog_.end() - static_cast<std::ptrdiff_t>(fromEnded),
                                  endedLog_.end());
    lines.insert(lines.end(), std::make_move_iterator(current.begin()),
                 std::make_move_iterator(current.end()));
    return lines;
}

void Console::relaunch() {
    keepWhatTheProcessShowed();
    const auto relaunched = desktop_->relaunchOwnApplication();
    setUpProcess();
    if (engineRunning_) {
        startEngine();
    }
    say(nameOf(*relaunched) + " relaunched (pid " +
        std::to_string(relaunched->processIdentifier()) + ")");
}

void Console::startEngine() {
    ProcessTeardown::callIn(launchApp);
    engineRunning_ = true;
}

void Console::endIfTerminated() {
    if (engineRunning_ && NSApp().isTerminated() && desktop_->ownApplication()) {
        // It asked the workspace for a new instance of itself before it ended (a relaunch):
        // the new one starts as from the Finder.
        if (desktop_->relaunchRequested()) {
            relaunch();
            RunLoop::main().runUntilIdle();
            endIfTerminated();
        } else {
            quitOwn();
        }
    }
}

void Console::quitOwn() {
    const auto own = desktop_->ownApplication();
    if (!own) {
        throw CommandError("Zestrel is not running");
    }
    const auto ended = withPid(*own);
    keepWhatTheProcessShowed();
    engineRunning_ = false;
    desktop_->quitOwnApplication();
    setUpProcess();
    say("quit " + ended);
}

std::string Console::expand(const std::string& argument) const {
    return withPathNamed(argument, kSessionFolder, temporaryFolder_.string());
}

std::optional<fs::path> appHome() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        return std::nullopt;
    }
    return realPath(home);
}

fs::path Console::writtenPath(const std::string& argument) const {
    checkSessionPath(argument);
    return temporaryFolder_.string() + argument.substr(kSessionFolder.size());
}

fs::path Console::path(const std::string& argument) const {
    auto real = realPath(writtenPath(argument));
    if (!isWithin(real, temporaryFolder_)) {
        throw CommandError("“" + argument + "” leads outside $TMP");
    }
    return real;
}

fs::path Console::entryPath(const std::string& argument) const {
    checkSessionPath(argument); // the name too, which no folder's check sees
    const auto slash = argument.rfind('/');
    const auto name = slash == std::string::npos ? std::string() : argument.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return path(argument);
    }
    return path(argument.substr(0, slash)) / name;
}

std::string Console::readable(const std::string& text) const {
    return escapedControls(shown(text));
}

std::string Console::shown(std::string text) const {
    for (const auto& [folder, name] : namedFolders_) {
        text = withPathNamed(std::move(text), folder, name);
    }
    return text;
}

void Console::say(const std::string& text) {
    out_ << readable(text) << std::endl;
    noticeClosedOutput();
}

void Console::noticeClosedOutput() {
    // Nobody reads on (a pipe closed early), or an output cannot be written (a full disk): the
    // session ends as a broken pipe ends a program, but the way `quit` ends it, so its folders
    // go too. The program then tells a reader gone from a write that failed.
    if ((!out_ || !errors_) && interruption() == 0) {
        interrupt(SIGPIPE);
    }
}

void Console::failed(const std::string& message) {
    if (terminal_ && terminal_->from == Input::notTerminal) {
        terminal_->anyFailed = true;
        errors_ << "stdin:" << terminal_->line << ": " << readable(message) << std::endl;
    } else {
        errors_ << "error: " << readable(message) << std::endl;
    }
    noticeClosedOutput();
}

} // namespace zestrel::console
