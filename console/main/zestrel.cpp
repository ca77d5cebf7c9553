// The zestrel program: a simulated desktop driven by a script or from the terminal. The
// command line is the desktop's: `zestrel [--keep | --root DIR] [SCRIPT]`.
#include "console/AppEnvironment.h"
#include "console/Console.h"
#include "console/DescriptorInput.h"
#include "console/InterruptibleOutput.h"
#include "console/ScratchFolder.h"
#include "console/ScriptFile.h"
#include "console/TerminationSignals.h"
#include "platform/base/Clock.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/concurrency/Executor.h"
#include "platform/data/UserDefaults.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: zestrel [--keep | --root DIR] [SCRIPT]\n"
    "  SCRIPT      desktop commands, one a line; without it they are read from the terminal\n"
    "  --keep      keep the session's folder at the end: $TMP, the app's home and defaults\n"
    "  --root DIR  use the existing folder DIR as $TMP instead of a temporary one; nothing\n"
    "              is removed at the end\n"
    "Commands reach only what is inside $TMP. Ctrl+C or Ctrl+\\ ends the session as `quit`\n"
    "does, and so does closing the terminal.\n";

struct Options {
    bool keep = false;
    std::optional<fs::path> root;
    std::optional<std::string> scriptPath;
    // Closed by whoever started the program: the end of input.
    bool inputClosed = false;
};

// Why the program could not run; the exit status.
int cannotRun(const std::exception& error) {
    std::cerr << "zestrel: " << error.what() << "\n";
    return 2;
}

// What is wrong with the command line, then how the program is called; the exit status.
int refuse(const std::string& reason) {
    std::cerr << "zestrel: " << reason << "\n" << kUsage;
    return 2;
}

std::string both(std::string_view first, std::string_view second) {
    return "(“" + std::string(first) + "” and “" + std::string(second) + "”)";
}

// The options, or an exit status when the program ends here.
std::optional<int> parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (argument == "--keep") {
            options.keep = true;
        } else if (argument == "--root") {
            // An option is not taken for the folder: a folder named "-x" is written "./-x".
            if (i + 1 == argc || std::string_view(argv[i + 1]).starts_with("-")) {
                return refuse("--root needs a folder");
            }
            const std::string_view folder = argv[++i];
            if (options.root) {
                return refuse("one --root at a time " + both(options.root->string(), folder));
            }
            options.root = folder;
        } else if (argument.starts_with("-")) {
            return refuse("unknown option “" + std::string(argument) + "”");
        } else if (options.scriptPath) {
            return refuse("one script at a time " + both(*options.scriptPath, argument));
        } else {
            options.scriptPath = std::string(argument);
        }
    }
    if (options.keep && options.root) {
        return refuse("--keep and --root cannot go together: a folder you name is never removed");
    }
    if (std::error_code error; options.root && !fs::is_directory(*options.root, error)) {
        return refuse("--root " + options.root->string() + " is not a folder");
    }
    return std::nullopt;
}

// Points a standard stream at `buffer` while it lives; the stream's own comes back at the end.
class RedirectedStream {
public:
    RedirectedStream(std::ostream& stream, std::streambuf& buffer)
        : stream_(stream), previous_(stream.rdbuf(&buffer)) {}
    ~RedirectedStream() {
        stream_.flush();
        stream_.rdbuf(previous_);
    }
    RedirectedStream(const RedirectedStream&) = delete;
    RedirectedStream& operator=(const RedirectedStream&) = delete;

private:
    std::ostream& stream_;
    std::streambuf* previous_;
};

// The standard input as the console reads it: as it comes, where a read that fails is told
// from the end of input; a closed input is the end of input. The reader may be left waiting
// for a line when a signal ends the session, and still be reading as the program exits, so
// the stream is never destroyed, as `std::cin` is not.
std::istream& standardInput(bool closed) {
    if (closed) {
        static auto* const none = new std::istringstream;
        return *none;
    }
    static auto* const buffer = new zestrel::console::DescriptorInput(STDIN_FILENO);
    static auto* const input = new std::istream(buffer);
    return *input;
}

int run(const Options& options, zestrel::console::TerminationSignals& signals) {
    using namespace zestrel::platform;
    std::istringstream script;
    if (options.scriptPath) {
        script.str(zestrel::console::readScriptFile(*options.scriptPath));
    } else if (!options.inputClosed) {
        zestrel::console::refuseFolderInput(STDIN_FILENO);
    }
    std::optional<fs::path> root;
    if (options.root) {
        root = fs::canonical(*options.root);
    }
    zestrel::console::ScratchFolder scratch;
    zestrel::console::installAppEnvironment(scratch.root());
    if (options.keep) {
        // Named as the app's environment names them, so the list cannot drift from it.
        scratch.keep({{"$TMP", scratch.files()},
                      {"the app's home ($HOME)", std::getenv("HOME")},
                      {"the app's defaults", std::getenv("XDG_CONFIG_HOME")}});
        // The output writes it as $TMP: where to find it afterwards is said first.
        std::cerr << "zestrel: $TMP is " << fs::canonical(scratch.files()).string() << "\n";
    }
    if (options.scriptPath) {
        // Scripts run on a virtual clock starting now, so `wait` takes no real time, and their
        // tasks run on the main run loop in order, so a script runs the same way every time.
        installClock(std::make_shared<VirtualClock>(RealClock().now()));
        setGlobalExecutorMode(GlobalExecutorMode::mainRunLoop);
    }
    RunLoop::main(); // this thread is the main thread

    int status = 0;
    {
        zestrel::console::Console console(root.value_or(scratch.files()), std::cout, std::cerr);
        signals.onSignal([&console](int signal) { console.interrupt(signal); });
        // The console goes first whichever way this scope ends.
        const std::shared_ptr<void> forwarding(nullptr,
                                               [&signals](void*) { signals.onSignal(nullptr); });
        using Input = zestrel::console::Console::Input;
        status = options.scriptPath
                     ? console.runScript(script, *options.scriptPath)
                     : console.runTerminal(standardInput(options.inputClosed),
                                           ::isatty(STDIN_FILENO) == 1 ? Input::terminal
                                                                       : Input::notTerminal);
    }
    UserDefaults::flushAll();
    resetProcess();
    installClock(nullptr);
    if (!scratch.end() && status == 0) {
        status = 1;
    }
    return status;
}

// The command line's session, with its exit status.
int session(int argc, char** argv, bool inputClosed,
            zestrel::console::TerminationSignals& signals) {
    Options options;
    options.inputClosed = inputClosed;
    if (const auto status = parseOptions(argc, argv, options)) {
        return *status;
    }
    try {
        return run(options, signals);
    } catch (const std::exception& error) {
        return cannotRun(error);
    }
}

// A standard stream closed by whoever started the program keeps its number taken by a
// descriptor that behaves as closed (/dev/null opened the other way: a read or a write fails),
// so no descriptor of the program's own (the signal watch's pipe) ever takes it and is read or
// written as that stream. A closed input is then an end of input, and a closed output one that
// fails, as any other. Answers whether the input was closed. Throws `std::system_error` when
// one cannot be held.
bool holdClosedStandardStreams() {
    bool inputClosed = false;
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        inputClosed = inputClosed || fd == STDIN_FILENO;
        // Those below are open by now, so this number is the lowest free one.
        const int held = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (held < 0 || (held != fd && (::dup2(held, fd) != fd || ::close(held) != 0))) {
            throw std::system_error(errno, std::generic_category(),
                                    "cannot hold the closed standard stream " + std::to_string(fd) +
                                        " with /dev/null");
        }
    }
    return inputClosed;
}

// The status once everything is written: an output whose reader went away ends the program as
// a broken pipe does (128 + SIGPIPE); one that failed otherwise (a full disk, a file over
// `ulimit -f`) is an error, said on standard error when that can still be written.
int statusOnceWritten(int status, const zestrel::console::InterruptibleOutput& output,
                      const zestrel::console::InterruptibleOutput& errors) {
    std::cout.flush();
    std::cerr.flush();
    for (const auto& [stream, name] :
         {std::pair{&output, "standard output"}, std::pair{&errors, "standard error"}}) {
        if (const int failure = stream->failure(); failure == EPIPE) {
            return 128 + SIGPIPE;
        } else if (failure != 0) {
            std::cerr << "zestrel: cannot write the " << name << ": " << std::strerror(failure)
                      << std::endl;
            return 1;
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // From main's first line (before it, while the loader runs, a signal takes its default
    // action): a signal before the handlers are in place waits for them.
    zestrel::console::TerminationSignals::hold();
    bool inputClosed = false;
    try {
        inputClosed = holdClosedStandardStreams();
    } catch (const std::exception& error) {
        return cannotRun(error);
    }
    // A closed output is seen as a failed write, which ends the session with its folders
    // removed (status 128 + SIGPIPE); the signal would end the program where it stands.
    std::signal(SIGPIPE, SIG_IGN);
    // So is a file over the size limit (`ulimit -f`): the command writing it fails, and what
    // it began is removed.
    std::signal(SIGXFSZ, SIG_IGN);
    // From the start: a signal before the session runs ends it before its first command.
    // To the end: one while the session's folders are being removed waits for that, and one
    // after that is the status still.
    std::optional<zestrel::console::TerminationSignals> signals;
    try {
        signals.emplace();
    } catch (const std::exception& error) {
        return cannotRun(error);
    }
    // A reader that stops reading holds the session only until a signal ends it.
    zestrel::console::InterruptibleOutput output(STDOUT_FILENO, signals->signalledDescriptor());
    zestrel::console::InterruptibleOutput errors(STDERR_FILENO, signals->signalledDescriptor());
    int status = 0;
    {
        const RedirectedStream toOutput(std::cout, output);
        const RedirectedStream toErrors(std::cerr, errors);
        status = statusOnceWritten(session(argc, argv, inputClosed, *signals), output, errors);
    }
    // Also one that came while the session was ending on its own, on whichever thread: the
    // caller asked for it. One from now on ends the program at once, with its own status.
    if (const int signal = signals->settle(); signal != 0) {
        return 128 + signal;
    }
    return status;
}
