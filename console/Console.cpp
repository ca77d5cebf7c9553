#include "console/Console.h"

#include "console/KeyChord.h"
#include "console/PropertyListLiteral.h"
#include "cut_engine/AppState.h"
#include "foundation/Logger.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/Bundle.h"
#include "platform/base/Error.h"
#include "platform/base/RunLoop.h"
#include "platform/data/FileSafety.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/desktop/InputSource.h"
#include "platform/system/SystemSound.h"
#include "platform/system/URLOpener.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <istream>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

namespace zestrel::console {

namespace fs = std::filesystem;
using namespace zestrel::platform;

namespace {

std::string bundleIdentifierOf(const std::string& name) {
    return applicationNamed(name).value_or(Bundle::main()->bundleIdentifier().value_or(""));
}

std::string nameOf(const NSRunningApplication& app) {
    return app.localizedName().value_or(app.bundleIdentifier().value_or("?"));
}

std::string withPid(const NSRunningApplication& app) {
    return nameOf(app) + " (pid " + std::to_string(app.processIdentifier()) + ")";
}

// The characters of one UTF-8 text, each as its own string.
std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> list;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        list.push_back(text.substr(i, length));
        i += length;
    }
    return list;
}

// The key of the current layout that types `character`, and whether it needs Shift.
std::optional<std::pair<std::uint16_t, bool>> keyTyping(const KeyboardLayout& layout,
                                                        const std::string& character) {
    constexpr std::uint16_t kReturn = 36;
    if (character == "\n") {
        return std::pair{kReturn, false};
    }
    for (const bool shift : {false, true}) {
        for (std::uint16_t code = 0; code < 128; ++code) {
            if (!KeyboardLayout::modifierFlag(code) &&
                layout.characters(code, shift) == character) {
                return std::pair{code, shift};
            }
        }
    }
    return std::nullopt;
}

void postKey(std::uint16_t keyCode, CGEventFlags flags) {
    // A person at the keyboard: the events enter the stream at the hardware's end, where
    // every tap sees them.
    for (const bool down : {true, false}) {
        auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, down);
        if (!event) {
            throw CommandError("the desktop made no key event");
        }
        CGEventSetFlags(event, flags);
        EventSystem::current()->post(kCGHIDEventTap, event);
    }
}

// A hot key's combination as `press` writes it ("cmd+x"), on the current layout.
std::string describeHotKey(const HotKeySystem::Registration& hotKey) {
    std::uint64_t flags = 0;
    flags |= (hotKey.modifiers & cmdKey) ? NSEvent::ModifierFlags::command.rawValue : 0;
    flags |= (hotKey.modifiers & shiftKey) ? NSEvent::ModifierFlags::shift.rawValue : 0;
    flags |= (hotKey.modifiers & optionKey) ? NSEvent::ModifierFlags::option.rawValue : 0;
    flags |= (hotKey.modifiers & controlKey) ? NSEvent::ModifierFlags::control.rawValue : 0;
    const auto keyCode = static_cast<std::uint16_t>(hotKey.keyCode);
    const auto characters =
        InputSources::current()->currentLayout()->characters(keyCode, false, false);
    return describeKey(keyCode, NSEvent::ModifierFlags{flags}, characters.value_or(""));
}

std::string fourCharacters(OSType code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += static_cast<char>((code >> shift) & 0xFF);
    }
    return text;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        out += i == 0 ? "" : std::string(separator);
        out += parts[i];
    }
    return out;
}

std::string describeMask(CGEventMask mask) {
    if (mask == kCGEventMaskForAllEvents) {
        return "all events";
    }
    const std::pair<CGEventType, const char*> names[] = {{CGEventType::keyDown, "key down"},
                                                         {CGEventType::keyUp, "key up"},
                                                         {CGEventType::flagsChanged, "flags"}};
    std::vector<std::string> parts;
    for (const auto& [type, name] : names) {
        if (mask & CGEventMaskBit(type)) {
            parts.emplace_back(name);
            mask &= ~CGEventMaskBit(type);
        }
    }
    if (mask != 0) {
        std::ostringstream rest;
        rest << "mask 0x" << std::hex << mask;
        parts.push_back(rest.str());
    }
    return parts.empty() ? "no events" : joined(parts, ", ");
}

// Text of a pasteboard representation: as written when it reads as text, else its size.
std::string describeData(const std::string& bytes) {
    const bool text = std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t';
    });
    return text ? bytes : "<" + std::to_string(bytes.size()) + " bytes>";
}

std::string messageOf(const std::exception& error) {
    if (const auto* platformError = dynamic_cast<const Error*>(&error)) {
        return platformError->localizedDescription();
    }
    return error.what();
}

// Every character below a space (and DEL) written as an escape, so that one line of output
// stays one line whatever a name holds.
std::string escapedControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

std::string counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Reads the terminal on a thread of its own, one line when asked, and hands it to the main
// run loop: the main thread never blocks on input, so timers fire between commands.
class LineReader {
public:
    using Deliver = std::function<void(std::optional<std::string>)>;

    explicit LineReader(std::istream& input)
        : state_(std::make_shared<State>(input)), thread_([state = state_] { read(*state); }) {}
    ~LineReader() {
        bool reading = false;
        {
            std::lock_guard lock(state_->mutex);
            state_->finished = true;
            reading = state_->reading;
        }
        state_->wake.notify_all();
        // A session ended by a signal may be waiting for a line that never comes: the thread
        // is left to end with the process, and delivers nothing.
        if (reading) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // `deliver` runs on `loop` with the next line, or with nothing at the end of input. The
    // loop must stay until then or until the reader goes.
    void request(RunLoop& loop, Deliver deliver) {
        {
            std::lock_guard lock(state_->mutex);
            state_->loop = &loop;
            state_->deliver = std::move(deliver);
        }
        state_->wake.notify_all();
    }

private:
    // Shared with the thread, which may outlive the reader.
    struct State {
        explicit State(std::istream& input) : input(input) {}
        std::istream& input;
        std::mutex mutex;
        std::condition_variable wake;
        bool finished = false; // guarded by mutex
        bool reading = false;  // guarded by mutex
        RunLoop* loop = nullptr;
        Deliver deliver;
    };

    static void read(State& state) {
        for (;;) {
            RunLoop* loop = nullptr;
            Deliver deliver;
            {
                std::unique_lock lock(state.mutex);
                state.wake.wait(lock, [&] { return state.finished || state.deliver; });
                if (state.finished) {
                    return;
                }
                loop = std::exchange(state.loop, nullptr);
                deliver = std::exchange(state.deliver, nullptr);
                state.reading = true;
            }
            std::string line;
            std::optional<std::string> got;
            if (std::getline(state.input, line)) {
                got = std::move(line);
            }
            std::lock_guard lock(state.mutex);
            state.reading = false;
            if (state.finished) {
                return;
            }
            loop->async([deliver = std::move(deliver), got = std::move(got)] { deliver(got); });
        }
    }

    std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace

Console::Console(fs::path temporaryFolder, std::ostream& out, std::ostream& errors)
    : temporaryFolder_(realPath(temporaryFolder)), out_(out), errors_(errors),
      desktop_(Desktop::make()), responder_(std::make_shared<ScriptedModalResponder>()) {
    if (!fs::is_directory(temporaryFolder_)) {
        throw CommandError(temporaryFolder.string() + " is not a folder");
    }
    Desktop::setCurrent(desktop_);
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
    interruption_.store(signal);
    std::lock_guard lock(loopMutex_);
    if (loop_ != nullptr) {
        loop_->stop();
    }
}

int Console::interruption() const {
    return interruption_.load();
}

void Console::setRunningLoop(RunLoop* loop) {
    std::lock_guard lock(loopMutex_);
    loop_ = loop;
}

Console::~Console() {
    Desktop::setCurrent(nullptr);
}

int Console::runScript(std::istream& script, std::string_view name) {
    struct Line {
        int number;
        std::string text;
        Command command;
    };
    std::vector<Line> lines;
    std::string text;
    for (int number = 1; std::getline(script, text); ++number) {
        if (number == 1 && text.starts_with(kByteOrderMark)) {
            text.erase(0, kByteOrderMark.size());
        }
        try {
            if (auto command = parseCommand(text)) {
                lines.push_back({number, text, std::move(*command)});
            }
        } catch (const CommandError& error) {
            errors_ << name << ":" << number << ": " << escapedControls(error.what()) << std::endl;
            return 1;
        }
    }
    if (script.bad()) {
        errors_ << name << ": the script could not be read to its end" << std::endl;
        return 1;
    }
    setRunningLoop(&RunLoop::main());
    for (const auto& line : lines) {
        if (interruption() != 0) {
            break;
        }
        if (line.command.kind != CommandKind::echo) {
            const auto start = line.text.find_first_not_of(" \t");
            const auto end = line.text.find_last_not_of(" \t\r");
            say("> " + line.text.substr(start, end - start + 1));
        }
        try {
            if (!run(line.command)) {
                break;
            }
            RunLoop::main().runUntilIdle();
            endIfTerminated();
        } catch (const std::exception& error) {
            setRunningLoop(nullptr);
            errors_ << name << ":" << line.number << ": "
                    << shown(escapedControls(messageOf(error))) << std::endl;
            return 1;
        }
    }
    setRunningLoop(nullptr);
    return interruption() != 0 ? 128 + interruption() : 0;
}

int Console::runTerminal(std::istream& input) {
    LineReader reader(input);
    Next next = Next::proceed;
    setRunningLoop(&RunLoop::main());
    std::function<void()> ask = [&] {
        out_ << "zestrel> " << std::flush;
        reader.request(RunLoop::main(), [&](std::optional<std::string> line) {
            if (!line) {
                out_ << std::endl;
                next = Next::end;
            } else {
                try {
                    if (auto command = parseCommand(*line)) {
                        next = perform(*command);
                    }
                } catch (const std::exception& error) {
                    failed(messageOf(error));
                }
            }
            if (interruption() != 0) {
                next = Next::end;
            }
            if (next == Next::proceed) {
                ask();
            } else {
                RunLoop::main().stop();
            }
        });
    };
    ask();
    for (;;) {
        if (interruption() == 0) {
            RunLoop::main().run();
        }
        if (interruption() != 0) {
            // The prompt waits on its line: the shell's own starts on the next.
            out_ << std::endl;
            setRunningLoop(nullptr);
            return 128 + interruption();
        }
        if (next == Next::end) {
            setRunningLoop(nullptr);
            return 0;
        }
        if (next == Next::relaunch || next == Next::quitOwn) {
            // Outside the loop's turn: ending the process ends its run loop.
            try {
                if (next == Next::relaunch) {
                    relaunch();
                } else {
                    quitOwn();
                }
            } catch (const std::exception& error) {
                failed(messageOf(error));
            }
            next = Next::proceed;
            ask();
        }
    }
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
    const auto& arguments = command.arguments;
    switch (command.kind) {
    case CommandKind::open: {
        const auto identifier = bundleIdentifierOf(arguments[0]);
        const auto folder = path(arguments[1]);
        const bool wasRunning = !desktop_->runningApplications(identifier).empty();
        const auto running = desktop_->launch(identifier, true);
        if (!wasRunning) {
            say("launched " + withPid(*running));
        }
        auto manager = std::dynamic_pointer_cast<FileManagerApplication>(
            desktop_->application(running->processIdentifier()));
        manager->openFolder(folder);
        say(nameOf(*running) + " shows " + manager->currentFolder().string());
        return Next::proceed;
    }
    case CommandKind::select: {
        const auto front = desktop_->frontmostApplication();
        auto manager = front ? std::dynamic_pointer_cast<FileManagerApplication>(
                                   desktop_->application(front->processIdentifier()))
                             : nullptr;
        if (!manager) {
            throw CommandError("the frontmost application" +
                               (front ? ", " + nameOf(*front) + "," : std::string()) +
                               " is not a file manager");
        }
        manager->select(arguments);
        say(nameOf(*front) + " selected " + joined(arguments, ", "));
        return Next::proceed;
    }
    case CommandKind::launch: {
        const auto identifier = bundleIdentifierOf(arguments[0]);
        const bool own = identifier == Bundle::main()->bundleIdentifier();
        const auto running = desktop_->runningApplications(identifier);
        if (own && !engineRunning_) {
            const auto launched =
                running.empty() ? desktop_->launchOwnApplication() : running.front();
            startEngine();
            say("launched " + withPid(*launched));
            return Next::proceed;
        }
        if (!running.empty()) {
            say(nameOf(*running.front()) + " already runs (pid " +
                std::to_string(running.front()->processIdentifier()) + ")");
            return Next::proceed;
        }
        if (!own && !desktop_->installedApplication(identifier)) {
            throw CommandError("“" + identifier + "” is not installed");
        }
        const auto launched =
            own ? desktop_->launchOwnApplication() : desktop_->launch(identifier, true);
        say("launched " + withPid(*launched));
        return Next::proceed;
    }
    case CommandKind::activate:
    case CommandKind::quitApp: {
        const auto identifier = bundleIdentifierOf(arguments[0]);
        const auto running = desktop_->runningApplications(identifier);
        if (running.empty()) {
            throw CommandError("“" + arguments[0] + "” is not running");
        }
        const auto& app = *running.front();
        if (command.kind == CommandKind::activate) {
            if (!desktop_->activate(app.processIdentifier())) {
                throw CommandError(nameOf(app) + " cannot come to the front");
            }
            say(nameOf(app) + " is frontmost");
        } else if (identifier == Bundle::main()->bundleIdentifier()) {
            return Next::quitOwn; // its process state ends too, outside the turn
        } else {
            desktop_->terminate(app.processIdentifier());
            say("quit " + withPid(app));
        }
        return Next::proceed;
    }
    case CommandKind::end:
        return Next::end;
    case CommandKind::press:
        press(arguments[0]);
        return Next::proceed;
    case CommandKind::type:
        type(arguments[0]);
        return Next::proceed;
    case CommandKind::layout: {
        const std::pair<std::string_view, const char*> layouts[] = {
            {"us", "com.apple.keylayout.US"},
            {"german", "com.apple.keylayout.German"},
            {"russian", "com.apple.keylayout.Russian"}};
        const auto* chosen =
            std::find_if(std::begin(layouts), std::end(layouts),
                         [&](const auto& layout) { return layout.first == arguments[0]; });
        if (InputSources::current()->select(chosen->second) != noErr) {
            throw CommandError("the layout “" + arguments[0] + "” is not enabled");
        }
        say("layout: " + InputSources::current()->currentLayout()->localizedName());
        return Next::proceed;
    }
    case CommandKind::wait:
        wait(parseSeconds(arguments[0]));
        return Next::proceed;
    case CommandKind::show:
        show(command);
        return Next::proceed;
    case CommandKind::mkdir: {
        const auto folder = path(arguments[0]);
        std::error_code error;
        fs::create_directories(folder, error);
        if (!error && !fs::is_directory(folder, error)) {
            error = std::make_error_code(std::errc::file_exists);
        }
        if (error) {
            throw CommandError("cannot make " + folder.string() + ": " + error.message());
        }
        say("made " + folder.string());
        return Next::proceed;
    }
    case CommandKind::write: {
        const auto file = path(arguments[0]);
        const std::string contents = arguments[1].empty() ? "" : arguments[1] + "\n";
        writeFile(file, contents);
        say("wrote " + file.string() + " (" + counted(contents.size(), "byte") + ")");
        return Next::proceed;
    }
    case CommandKind::echo:
        // The script's own text, line breaks and all.
        out_ << shown(expand(arguments[0])) << std::endl;
        return Next::proceed;
    case CommandKind::relaunch:
        return Next::relaunch;
    case CommandKind::defaults:
        defaults(command);
        return Next::proceed;
    case CommandKind::accessibility: {
        const bool trusted = arguments[0] == "trusted";
        Accessibility::current()->setTrusted(trusted);
        say(std::string("accessibility: ") + (trusted ? "trusted" : "not trusted"));
        return Next::proceed;
    }
    case CommandKind::latency: {
        const auto latency = parseSeconds(arguments[1]);
        const bool finder = arguments[0] == "finder";
        if (finder) {
            desktop_->setCopyLatency(kFinderBundleIdentifier, latency);
        } else {
            desktop_->setCopyLatency(kForkLiftBundleIdentifier, latency);
            desktop_->setCopyLatency(kForkLiftSetappBundleIdentifier, latency);
        }
        say(std::string(finder ? "the Finder" : "ForkLift") + " copies " + arguments[1] +
            " s after the key");
        return Next::proceed;
    }
    case CommandKind::answer:
        responder_->enqueue(ModalAnswer::button(arguments[0]));
        say("the next alert is answered " + quotedString(arguments[0]));
        return Next::proceed;
    case CommandKind::expect:
        expect(command);
        return Next::proceed;
    }
    return Next::proceed;
}

void Console::defaults(const Command& command) {
    const auto& arguments = command.arguments;
    const auto defaults = UserDefaults::standard();
    const auto& key = arguments[1];
    if (arguments[0] == "write") {
        const auto value = parsePropertyListLiteral(arguments[2]);
        defaults->set(value, key);
        say(key + " = " + propertyListLiteral(value));
    } else if (arguments[0] == "delete") {
        defaults->removeObject(key);
        say("deleted " + key);
    } else {
        const auto value = defaults->object(key);
        say(value.isAbsent() ? key + " is not set" : key + " = " + propertyListLiteral(value));
    }
}

void Console::expect(const Command& command) {
    const auto& arguments = command.arguments;
    const auto& what = arguments[0];
    const auto unmet = [](const std::string& message) {
        return CommandError("expectation not met: " + message);
    };
    if (what == "folder") {
        const auto folder = path(arguments[1]);
        if (!fs::is_directory(folder)) {
            throw unmet(folder.string() + " is not a folder");
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::vector<std::string> wanted(arguments.begin() + 2, arguments.end());
        std::sort(names.begin(), names.end());
        std::sort(wanted.begin(), wanted.end());
        if (names != wanted) {
            const auto list = [](const std::vector<std::string>& list) {
                return list.empty() ? std::string("nothing") : joined(list, ", ");
            };
            throw unmet(folder.string() + " should hold " + list(wanted) + "; it holds " +
                        list(names));
        }
        say("ok: " + folder.string() + " holds " +
            (names.empty() ? std::string("nothing") : joined(names, ", ")));
    } else if (what == "missing") {
        const auto item = path(arguments[1]);
        std::error_code error;
        const auto status = fs::symlink_status(item, error);
        if (fs::exists(status)) {
            throw unmet("there is a " + std::string(fs::is_directory(status) ? "folder" : "file") +
                        " at " + item.string());
        }
        say("ok: nothing at " + item.string());
    } else if (what == "pasteboard") {
        const auto pasteboard = desktop_->generalPasteboard();
        const auto items = pasteboard->pasteboardItems().size();
        const auto files = pasteboard->readFileURLs().size();
        const auto holds = counted(items, "item") + " (" + counted(files, "file") + ")";
        if (arguments[1] == "empty") {
            if (items != 0) {
                throw unmet("the pasteboard should be empty; it holds " + holds);
            }
            say("ok: the pasteboard is empty");
        } else {
            const auto wanted = static_cast<std::size_t>(std::stoul(arguments[2]));
            if (files != wanted) {
                throw unmet("the pasteboard should hold " + counted(wanted, "file") +
                            "; it holds " + holds);
            }
            say("ok: the pasteboard holds " + counted(files, "file"));
        }
    } else if (what == "log") {
        const auto& text = arguments[1];
        auto lines = desktop_->logLines();
        for (const auto& entry : logBuffer().entries()) {
            lines.push_back(entry);
        }
        const auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
        if (found == lines.end()) {
            throw unmet("no log line holds " + quotedString(text));
        }
        say("ok: logged " + found->substr(0, found->find("\n\t[")));
    } else if (what == "alert") {
        const auto& text = arguments[1];
        for (const auto& alert : shownAlerts()) {
            if (alert.messageText.find(text) != std::string::npos ||
                alert.informativeText.find(text) != std::string::npos) {
                say("ok: alert " + quotedString(alert.messageText));
                return;
            }
        }
        throw unmet("no alert shown holds " + quotedString(text));
    } else if (what == "opened") {
        const auto& text = arguments[1];
        for (const auto& url : openedURLs()) {
            if (url.absoluteString().find(text) != std::string::npos) {
                say("ok: opened " + url.absoluteString());
                return;
            }
        }
        throw unmet("no URL opened holds " + quotedString(text));
    } else if (what == "defaults") {
        const auto& key = arguments[1];
        const auto wanted = propertyListLiteral(parsePropertyListLiteral(arguments[2]));
        const auto value = UserDefaults::standard()->object(key);
        const auto actual = value.isAbsent() ? std::string("not set") : propertyListLiteral(value);
        if (actual != wanted) {
            throw unmet(key + " should be " + wanted + "; it is " + actual);
        }
        say("ok: " + key + " = " + actual);
    }
}

void Console::writeFile(const fs::path& file, const std::string& contents) {
    const auto fail = [&](int error) {
        return CommandError("cannot write " + file.string() + ": " + errnoText(error));
    };
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) {
        throw CommandError("cannot write " + file.string() + ": " + error.message());
    }
    // The path was resolved link by link: a link put in its place since is not followed.
    FileDescriptor fd(
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        throw fail(errno);
    }
    for (std::size_t written = 0; written < contents.size();) {
        const auto count = ::write(fd.get(), contents.data() + written, contents.size() - written);
        if (count < 0 && errno != EINTR) {
            throw fail(errno);
        }
        written += count < 0 ? 0 : static_cast<std::size_t>(count);
    }
    if (!fd.close()) {
        throw fail(errno);
    }
}

void Console::relaunch() {
    // The engine's taps belong to the process that ends, and so does its main run loop.
    std::unique_lock lock(loopMutex_);
    const bool running = loop_ != nullptr;
    loop_ = nullptr;
    lock.unlock();
    const auto relaunched = desktop_->relaunchOwnApplication();
    if (running) {
        setRunningLoop(&RunLoop::main());
    }
    setUpProcess();
    if (engineRunning_) {
        startEngine();
    }
    say(nameOf(*relaunched) + " relaunched (pid " +
        std::to_string(relaunched->processIdentifier()) + ")");
}

void Console::startEngine() {
    AppState::shared();
    engineRunning_ = true;
}

void Console::endIfTerminated() {
    if (engineRunning_ && NSApp().isTerminated() && desktop_->ownApplication()) {
        // What it showed and opened on its way out stays for the script to check.
        for (auto& alert : NSAlert::shownAlerts()) {
            endedAlerts_.push_back(std::move(alert));
        }
        for (auto& url : URLOpener::openedURLs()) {
            endedOpenedURLs_.push_back(std::move(url));
        }
        quitOwn();
    }
}

std::vector<NSAlert::Record> Console::shownAlerts() const {
    auto alerts = endedAlerts_;
    for (auto& alert : NSAlert::shownAlerts()) {
        alerts.push_back(std::move(alert));
    }
    return alerts;
}

std::vector<URL> Console::openedURLs() const {
    auto urls = endedOpenedURLs_;
    for (auto& url : URLOpener::openedURLs()) {
        urls.push_back(std::move(url));
    }
    return urls;
}

void Console::quitOwn() {
    const auto own = desktop_->ownApplication();
    if (!own) {
        throw CommandError("Zestrel is not running");
    }
    const auto ended = withPid(*own);
    engineRunning_ = false;
    std::unique_lock lock(loopMutex_);
    const bool running = loop_ != nullptr;
    loop_ = nullptr;
    lock.unlock();
    desktop_->quitOwnApplication();
    if (running) {
        setRunningLoop(&RunLoop::main());
    }
    setUpProcess();
    say("quit " + ended);
}

void Console::press(const std::string& text) {
    const KeyChord chord = parseKeyChord(text);
    const int pid = desktop_->keyboardFocusProcessIdentifier();
    const auto target = desktop_->runningApplication(pid);
    const auto app = desktop_->application(pid);
    const std::size_t before = app ? app->receivedEvents().size() : 0;
    const std::uint64_t logged = logBuffer().mark();
    const auto hotKeys = HotKeySystem::current();
    const auto consumedBefore = hotKeys->consumedCount();
    postKey(chord.keyCode, chord.flags);
    // What the app logged about the key, so a person sees what it made of it at once.
    const auto printLog = [&] {
        for (const auto& entry : logBuffer().entriesSince(logged)) {
            // The message, without the location and date the buffer adds.
            std::istringstream lines(entry.substr(0, entry.find("\n\t[")));
            for (std::string line; std::getline(lines, line);) {
                say("  log: " + line);
            }
        }
    };
    if (hotKeys->consumedCount() != consumedBefore) {
        const auto hotKey = hotKeys->lastConsumed();
        const auto owner = desktop_->runningApplication(hotKey->ownerProcessIdentifier);
        say(text + " → taken by the hot key of " +
            (owner ? withPid(*owner) : "pid " + std::to_string(hotKey->ownerProcessIdentifier)));
        printLog();
        return;
    }
    if (!target) {
        say(text + " → no application has keyboard focus");
        printLog();
        return;
    }
    if (!app) {
        say(text + " → " + nameOf(*target));
        printLog();
        return;
    }
    const auto& received = app->receivedEvents();
    std::vector<std::string> keys;
    for (std::size_t i = before; i < received.size(); ++i) {
        keys.push_back(
            describeKey(received[i].keyCode, received[i].modifierFlags, received[i].characters));
    }
    say(text + " → " + nameOf(*target) +
        (keys.empty() ? " received nothing" : " received " + joined(keys, ", ")));
    printLog();
}

void Console::type(const std::string& text) {
    const auto layout = InputSources::current()->currentLayout();
    std::vector<std::pair<std::uint16_t, bool>> keys;
    for (const auto& character : characters(text)) {
        const auto key = keyTyping(*layout, character);
        if (!key) {
            throw CommandError("“" + character + "” cannot be typed on the " +
                               layout->localizedName() + " layout");
        }
        keys.push_back(*key);
    }
    const int pid = desktop_->keyboardFocusProcessIdentifier();
    const auto target = desktop_->runningApplication(pid);
    const auto app = desktop_->application(pid);
    const std::size_t before = app ? app->receivedEvents().size() : 0;
    for (const auto& [code, shift] : keys) {
        postKey(code, shift ? CGEventFlags::maskShift : CGEventFlags{});
    }
    if (!target) {
        say(quotedString(text) + " → no application has keyboard focus");
        return;
    }
    std::string received;
    if (app) {
        for (std::size_t i = before; i < app->receivedEvents().size(); ++i) {
            received += app->receivedEvents()[i].characters;
        }
    }
    say(quotedString(text) + " → " + nameOf(*target) +
        (app ? " received " + quotedString(received) : ""));
}

void Console::wait(Nanoseconds duration) {
    // On the virtual clock the nested run moves the clock on through each deadline; on the
    // real one it sleeps until then, serving the main queue and timers.
    RunLoop::main().runInMode(
        RunLoopMode::defaultMode, [] { return false; }, duration);
}

void Console::show(const Command& command) {
    const auto& what = command.arguments[0];
    if (what == "folder") {
        const auto folder = path(command.arguments[1]);
        if (!fs::is_directory(folder)) {
            throw CommandError(folder.string() + " is not a folder");
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
        }
        std::sort(names.begin(), names.end());
        say(folder.string() + (names.empty() ? ": empty" : ":"));
        for (const auto& name : names) {
            say("  " + name);
        }
    } else if (what == "pasteboard") {
        const auto pasteboard = desktop_->generalPasteboard();
        const auto items = pasteboard->pasteboardItems();
        say("pasteboard (change count " + std::to_string(pasteboard->changeCount()) +
            "): " + (items.empty() ? "empty" : counted(items.size(), "item")));
        for (std::size_t i = 0; i < items.size(); ++i) {
            say("  item " + std::to_string(i + 1));
            for (const auto& type : items[i]->types()) {
                say("    " + type.rawValue + ": " +
                    describeData(items[i]->stringForType(type).value_or("")));
            }
        }
    } else if (what == "apps") {
        const auto front = desktop_->frontmostApplication();
        say("running applications:");
        for (const auto& app : desktop_->runningApplications()) {
            std::string line = "  " + std::to_string(app->processIdentifier()) + " " +
                               nameOf(*app) + " (" + app->bundleIdentifier().value_or("") + ")";
            if (app->activationPolicy() == NSApplicationActivationPolicy::accessory) {
                line += " accessory";
            }
            if (app == front) {
                line += " frontmost";
            }
            say(line);
        }
    } else if (what == "frontmost") {
        const auto front = desktop_->frontmostApplication();
        say("frontmost: " + (front ? withPid(*front) : std::string("none")));
    } else if (what == "taps") {
        std::uint32_t count = 0;
        CGGetEventTapList(0, nullptr, &count);
        std::vector<CGEventTapInformation> taps(count);
        CGGetEventTapList(count, taps.data(), &count);
        taps.resize(count);
        say(taps.empty() ? "event taps: none" : "event taps:");
        const auto process = [this](int pid) {
            auto app = desktop_->runningApplication(pid);
            return app ? withPid(*app) : "pid " + std::to_string(pid);
        };
        for (const auto& tap : taps) {
            const char* locations[] = {"HID", "session", "annotated session"};
            std::string line = "  " + std::to_string(tap.eventTapID) + ". ";
            line += tap.processBeingTapped != 0
                        ? "on " + process(tap.processBeingTapped)
                        : std::string("at the ") +
                              locations[std::min<std::uint32_t>(
                                  static_cast<std::uint32_t>(tap.tapPoint), 2)] +
                              " location";
            line += ", by " + process(tap.tappingProcess);
            line += tap.options == kCGEventTapOptionDefault ? ", filter" : ", listener";
            line += ", " + describeMask(tap.eventsOfInterest);
            line += tap.enabled ? "" : ", disabled";
            say(line);
        }
    } else if (what == "hotkeys") {
        const auto hotKeys = HotKeySystem::current()->registrations();
        say(hotKeys.empty() ? "hot keys: none" : "hot keys, first registered first:");
        for (const auto& hotKey : hotKeys) {
            const auto owner = desktop_->runningApplication(hotKey.ownerProcessIdentifier);
            say("  " + describeHotKey(hotKey) + " by " +
                (owner ? withPid(*owner) : "pid " + std::to_string(hotKey.ownerProcessIdentifier)) +
                ", id " + fourCharacters(hotKey.hotKeyID.signature) + " " +
                std::to_string(hotKey.hotKeyID.id) +
                (hotKey.heard ? ", enabled" : ", not listened to"));
        }
    } else if (what == "windows") {
        say("windows, front to back:");
        for (const auto& window : desktop_->windowServer().windows()) {
            if (!window.isOnScreen) {
                continue;
            }
            std::ostringstream line;
            line << "  " << window.number << " " << window.ownerName;
            if (window.name) {
                line << " " << quotedString(*window.name);
            }
            line << " layer " << window.layer << " at " << window.bounds.origin.x << ","
                 << window.bounds.origin.y << " size " << window.bounds.size.width << "x"
                 << window.bounds.size.height;
            say(line.str());
        }
    } else if (what == "log") {
        const auto desktopLines = desktop_->logLines();
        say(desktopLines.empty() ? "desktop log: empty" : "desktop log:");
        for (const auto& line : desktopLines) {
            say("  " + line);
        }
        const auto entries = logBuffer().entries();
        say(entries.empty() ? "app log: empty" : "app log:");
        for (const auto& entry : entries) {
            // The message, without the location and date the buffer adds.
            std::istringstream lines(entry.substr(0, entry.find("\n\t[")));
            for (std::string line; std::getline(lines, line);) {
                say("  " + line);
            }
        }
    } else if (what == "defaults") {
        const auto defaults = UserDefaults::standard();
        const auto domain =
            defaults->persistentDomain(defaults->domainName()).value_or(Value::Dictionary{});
        say("defaults of " + defaults->domainName() + (domain.empty() ? ": empty" : ":"));
        for (const auto& [key, value] : domain) {
            say("  " + key + " = " + propertyListLiteral(value));
        }
    } else if (what == "alerts") {
        const auto alerts = shownAlerts();
        say(alerts.empty() ? "alerts: none" : "alerts:");
        const char* styles[] = {"warning", "informational", "critical"};
        for (std::size_t i = 0; i < alerts.size(); ++i) {
            const auto& alert = alerts[i];
            std::string line =
                "  " + std::to_string(i + 1) + ". " +
                styles[std::min<std::size_t>(static_cast<std::size_t>(alert.style), 2)] + " " +
                quotedString(alert.messageText);
            if (!alert.informativeText.empty()) {
                line += " " + quotedString(alert.informativeText);
            }
            std::vector<std::string> buttons;
            for (const auto& button : alert.buttons) {
                buttons.push_back(quotedString(button));
            }
            line += " buttons " + (buttons.empty() ? std::string("none") : joined(buttons, ", "));
            if (alert.unattended) {
                line += ", nobody answered";
            } else if (!alert.response) {
                line += ", showing";
            } else {
                const auto index = *alert.response - NSAlertFirstButtonReturn;
                line += index >= 0 && static_cast<std::size_t>(index) < alert.buttons.size()
                            ? ", answered " + quotedString(alert.buttons[index])
                            : ", ended with response " + std::to_string(*alert.response);
            }
            say(line);
        }
    } else if (what == "sounds") {
        say("sounds: " + counted(SystemSoundServer::plays().size(), "play") + ", " +
            counted(SystemSoundServer::registeredSounds().size(), "sound") + " held");
    } else if (what == "opened") {
        const auto urls = openedURLs();
        say(urls.empty() ? "opened: none" : "opened:");
        for (const auto& url : urls) {
            say("  " + url.absoluteString());
        }
    } else if (what == "keys") {
        const auto identifier = bundleIdentifierOf(command.arguments[1]);
        const auto running = desktop_->runningApplications(identifier);
        if (running.empty()) {
            throw CommandError("“" + command.arguments[1] + "” is not running");
        }
        const auto app = desktop_->application(running.front()->processIdentifier());
        if (!app) {
            throw CommandError(nameOf(*running.front()) + " keeps no record of its keys");
        }
        std::vector<std::string> keys;
        for (const auto& event : app->receivedEvents()) {
            keys.push_back(describeKey(event.keyCode, event.modifierFlags, event.characters));
        }
        say(app->name() + " received " +
            (keys.empty() ? std::string("no keys") : joined(keys, ", ")));
        if (auto editor = std::dynamic_pointer_cast<TextEditorApplication>(app)) {
            say(app->name() + "'s text: " + quotedString(editor->text()));
        }
    }
}

std::string Console::expand(const std::string& argument) const {
    std::string out = argument;
    const std::string folder = temporaryFolder_.string();
    for (auto at = out.find("$TMP"); at != std::string::npos; at = out.find("$TMP", at)) {
        out.replace(at, 4, folder);
        at += folder.size();
    }
    return out;
}

fs::path Console::path(const std::string& argument) const {
    if (!isSessionPath(argument)) {
        throw CommandError("“" + argument + "” is not in $TMP: paths start with $TMP/");
    }
    const auto written =
        fs::path(temporaryFolder_.string() + argument.substr(kSessionFolder.size()));
    auto real = realPath(written);
    if (!isWithin(real, temporaryFolder_)) {
        throw CommandError("“" + argument + "” leads outside $TMP");
    }
    return real;
}

std::string Console::shown(std::string text) const {
    // Paths in the session's folder read as they were written.
    const std::string folder = temporaryFolder_.string();
    for (auto at = text.find(folder); at != std::string::npos; at = text.find(folder, at)) {
        text.replace(at, folder.size(), "$TMP");
    }
    return text;
}

void Console::say(const std::string& text) {
    out_ << shown(escapedControls(text)) << std::endl;
}

void Console::failed(const std::string& message) {
    errors_ << "error: " << shown(escapedControls(message)) << std::endl;
}

} // namespace zestrel::console
