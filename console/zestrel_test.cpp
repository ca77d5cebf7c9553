// The program as a person runs it: the built `zestrel`, in a child process whose temporary
// folder (TMPDIR) and HOME are the test's own.
#include "platform/testing/CannotRunHere.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zestrel::console {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZESTREL_THREAD_SANITIZED
#endif
#endif

// Every signal that ends a session: Ctrl+C, a kill, the terminal closed, Ctrl+\ at the
// keyboard, and those whose default action would end the program where it stands.
const std::vector<std::pair<int, std::string>> kEndingSignals = [] {
    std::vector<std::pair<int, std::string>> signals = {
        {SIGINT, "SIGINT"},       {SIGTERM, "SIGTERM"},         {SIGHUP, "SIGHUP"},
        {SIGQUIT, "SIGQUIT"},     {SIGUSR1, "SIGUSR1"},         {SIGUSR2, "SIGUSR2"},
        {SIGALRM, "SIGALRM"},     {SIGVTALRM, "SIGVTALRM"},     {SIGPROF, "SIGPROF"},
        {SIGXCPU, "SIGXCPU"},     {SIGPWR, "SIGPWR"},           {SIGIO, "SIGIO"},
        {SIGSTKFLT, "SIGSTKFLT"}, {SIGRTMIN + 1, "SIGRTMIN+1"}, {SIGRTMAX - 1, "SIGRTMAX-1"}};
#ifndef ZESTREL_THREAD_SANITIZED
    // A program error's signal, sent by another. ThreadSanitizer runs its handler at once,
    // even inside its own runtime, where the handler then waits on the runtime's lock.
    signals.insert(signals.end(), {{SIGSEGV, "SIGSEGV"},
                                   {SIGABRT, "SIGABRT"},
                                   {SIGILL, "SIGILL"},
                                   {SIGTRAP, "SIGTRAP"},
                                   {SIGBUS, "SIGBUS"},
                                   {SIGFPE, "SIGFPE"},
                                   {SIGSYS, "SIGSYS"}});
#endif
    return signals;
}();

// Signals whose default action ends nothing: a resized terminal, a child's end, a continue,
// urgent data on a socket.
constexpr int kHarmlessSignals[] = {SIGWINCH, SIGCHLD, SIGCONT, SIGURG};

// Where the program's standard output or error goes instead of a pipe to the test, and the
// largest file it may write, as `ulimit -f` in the shell that starts it sets it: for the
// program alone, the test's own limit stays as it is. The standard streams closed for it, as
// `<&-` does; and whether permission bits bind it, as a root without its powers.
struct Surroundings {
    // What the standard input reads instead of a pipe from the test, opened with these flags.
    std::optional<std::pair<fs::path, int>> input = {};
    std::optional<fs::path> output = {};
    std::optional<fs::path> errors = {};
    std::optional<rlim_t> fileSizeLimit = {};
    std::vector<int> closed = {};
    bool boundByPermissions = false;
    // Stopped at its first instruction, for `ProgramRun::traceUntil`; with pipes only.
    bool traced = false;
};

// The exit status of a program that could not be traced.
constexpr int kUntraceable = 126;

// One run of the program, in `folder`, with pipes for its standard streams.
class ProgramRun {
public:
    ProgramRun(const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment, const fs::path& folder,
               const Surroundings& surroundings = {}) {
        std::vector<std::string> words;
        if (surroundings.fileSizeLimit) {
            // Sets the limit in the child, which then runs the program in its place.
            words = {"/usr/bin/prlimit", "--fsize=" + std::to_string(*surroundings.fileSizeLimit),
                     "--"};
        }
        if (surroundings.boundByPermissions && ::geteuid() == 0) {
            words.insert(words.end(),
                         {"/usr/bin/setpriv", "--inh-caps=-all", "--bounding-set=-all", "--"});
        }
        words.push_back(ZESTREL_PROGRAM);
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<std::string> variables;
        for (char** at = environ; *at != nullptr; ++at) {
            const std::string variable = *at;
            if (!environment.contains(variable.substr(0, variable.find('=')))) {
                variables.push_back(variable);
            }
        }
        for (const auto& [name, value] : environment) {
            variables.push_back(name + "=" + value);
        }
        int in[2], out[2], err[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC) | ::pipe2(out, O_CLOEXEC) | ::pipe2(err, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        if (surroundings.input) {
            posix_spawn_file_actions_addopen(&actions, 0, surroundings.input->first.c_str(),
                                             surroundings.input->second, 0600);
        }
        for (const auto& [fd, path] :
             {std::pair{1, &surroundings.output}, std::pair{2, &surroundings.errors}}) {
            if (*path) {
                posix_spawn_file_actions_addopen(&actions, fd, (*path)->c_str(),
                                                 O_WRONLY | O_CREAT | O_TRUNC, 0600);
                done_[fd - 1] = true;
            }
        }
        for (const int fd : surroundings.closed) {
            posix_spawn_file_actions_addclose(&actions, fd);
            if (fd > 0) {
                done_[fd - 1] = true;
            }
        }
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        const auto argv = pointers(words);
        const auto envp = pointers(variables);
        // The program catches the signals the tests send only where it was not started
        // with them ignored: it starts with their default handling, however the suite runs.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const auto& [signal, name] : kEndingSignals) {
            sigaddset(&defaults, signal);
        }
        for (const int signal : kHarmlessSignals) {
            sigaddset(&defaults, signal);
        }
        sigaddset(&defaults, SIGXFSZ);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        if (surroundings.traced) {
            // As posix_spawn does it, with nothing blocked, then traced from the first
            // instruction on.
            pid_ = ::fork();
            if (pid_ == 0) {
                ::dup2(in[0], 0);
                ::dup2(out[1], 1);
                ::dup2(err[1], 2);
                struct sigaction byDefault = {};
                byDefault.sa_handler = SIG_DFL;
                for (int signal = 1; signal < NSIG; ++signal) {
                    if (sigismember(&defaults, signal) == 1) {
                        sigaction(signal, &byDefault, nullptr);
                    }
                }
                sigset_t none;
                sigemptyset(&none);
                if (::chdir(folder.c_str()) != 0 || sigprocmask(SIG_SETMASK, &none, nullptr) != 0 ||
                    ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
                    ::_exit(kUntraceable);
                }
                ::execve(words[0].c_str(), argv.data(), envp.data());
                ::_exit(127);
            }
        } else {
            EXPECT_EQ(posix_spawn(&pid_, words[0].c_str(), &actions, &attributes, argv.data(),
                                  envp.data()),
                      0);
        }
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        input_ = in[1];
        output_ = out[0];
        errors_ = err[0];
    }
    ~ProgramRun() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            finish();
        }
    }

    void write(const std::string& text) {
        ASSERT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // A program started `traced` runs with its main thread stopped at each system call it
    // enters until `stopHere` answers true for one (looking at the program as it stands
    // there), then on, no longer traced. False when the program ended first, or when it could
    // not be traced (the exit status says so).
    bool traceUntil(const std::function<bool(const __ptrace_syscall_info&)>& stopHere) {
        int signal = 0;
        for (bool started = false;; started = true) {
            if (started && ::ptrace(PTRACE_SYSCALL, pid_, nullptr, signal) != 0) {
                return false;
            }
            int status = 0;
            if (::waitpid(pid_, &status, 0) != pid_ || !WIFSTOPPED(status)) {
                ended_ = status;
                return false;
            }
            signal = 0;
            if (!started) {
                // Stopped by its exec.
                ::ptrace(PTRACE_SETOPTIONS, pid_, nullptr,
                         PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
            } else if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
                signal = WSTOPSIG(status); // the program's own, delivered on
            } else if (__ptrace_syscall_info call = {};
                       ::ptrace(PTRACE_GET_SYSCALL_INFO, pid_, sizeof call, &call) > 0 &&
                       call.op == PTRACE_SYSCALL_INFO_ENTRY && stopHere(call)) {
                return ::ptrace(PTRACE_DETACH, pid_, nullptr, 0) == 0;
            }
        }
    }
    pid_t pid() const { return pid_; }
    // Reads until the standard output (or error) holds `text`, or the program ends, or a long
    // while.
    bool awaitOutput(const std::string& text) { return await(out, text); }
    bool awaitErrors(const std::string& text) { return await(err, text); }
    void signal(int number) { ::kill(pid_, number); }
    // Waits, reading nothing, until the output pipe is full: the program waits on its reader.
    // Full means the pipe holds its size only when every write filled its pages to the end.
    bool awaitFullOutput() {
        const int size = ::fcntl(output_, F_GETPIPE_SZ);
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        for (int held = 0; ::ioctl(output_, FIONREAD, &held) == 0 && held < size;) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }
    // Whether the program ends within `limit`, without anything read.
    bool endsWithin(std::chrono::milliseconds limit) {
        const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        pollfd ended = {process, POLLIN, 0};
        const bool ends = ::poll(&ended, 1, static_cast<int>(limit.count())) == 1;
        ::close(process);
        return ends;
    }
    // Sends `number` again and again, as a key held down does, until the program ends.
    void flood(int number) {
        while (!endsWithin(0ms)) {
            signal(number);
        }
    }
    // The reader goes away, as `head` does once it has its lines.
    void closeOutput() {
        ::close(std::exchange(output_, -1));
        done_[0] = true;
    }
    // Ends the input (or, when the program is to end by itself, waits for that first), reads
    // everything and answers the exit status (minus the signal when one ended the program
    // unhandled).
    int finish(bool endInput = true) {
        if (endInput && input_ >= 0) {
            ::close(std::exchange(input_, -1));
        }
        while (readSome()) {
        }
        if (input_ >= 0) {
            ::close(std::exchange(input_, -1));
        }
        int status = ended_.value_or(0);
        if (!ended_) {
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        if (output_ >= 0) {
            ::close(output_);
        }
        ::close(errors_);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

    std::string out;
    std::string err;

private:
    static std::vector<char*> pointers(std::vector<std::string>& words) {
        std::vector<char*> list;
        for (auto& word : words) {
            list.push_back(word.data());
        }
        list.push_back(nullptr);
        return list;
    }
    bool await(const std::string& stream, const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (stream.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !readSome()) {
                return false;
            }
        }
        return true;
    }
    // False once both outputs have ended.
    bool readSome() {
        pollfd fds[] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
        std::string* into[] = {&out, &err};
        if (done_[0] && done_[1]) {
            return false;
        }
        if (::poll(fds, 2, 60'000) <= 0) {
            return false;
        }
        for (int i = 0; i < 2; ++i) {
            if (!done_[i] && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[4096];
                const auto count = ::read(fds[i].fd, buffer, sizeof buffer);
                if (count > 0) {
                    into[i]->append(buffer, static_cast<std::size_t>(count));
                } else if (count == 0 || errno != EINTR) {
                    done_[i] = true;
                    fds[i].fd = -1;
                }
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    // The status of a program that ended while traced.
    std::optional<int> ended_;
    int input_ = -1;
    int output_ = -1;
    int errors_ = -1;
    bool done_[2] = {false, false};
};

class ZestrelProgramTest : public ::testing::Test {
protected:
    ZestrelProgramTest()
        : temporary_(made(env_.home() / "temporary")), neighbour_(made(env_.home() / "mine")) {
        std::ofstream(neighbour_ / "letter.txt") << "Dear Sir";
    }

    static fs::path made(const fs::path& folder) {
        fs::create_directories(folder);
        return folder;
    }

    fs::path script(const std::string& text) {
        const auto path = env_.home() / "script.zestrel";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Run in the test's home, where nothing but the test's own files should lie.
    std::unique_ptr<ProgramRun> start(const std::vector<std::string>& arguments,
                                      std::map<std::string, std::string> environment = {},
                                      const Surroundings& surroundings = {}) {
        environment.emplace("TMPDIR", temporary_.string());
        environment.emplace("HOME", neighbour_.string());
        return std::make_unique<ProgramRun>(arguments, environment, env_.home(), surroundings);
    }

    int run(const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment = {},
            const Surroundings& surroundings = {}) {
        run_ = start(arguments, environment, surroundings);
        return run_->finish();
    }

    // Whether `signal` is blocked for the program's main thread.
    static bool blocked(pid_t pid, int signal) { return inSignalSet(pid, "SigBlk:", signal); }
    // Whether `signal` was sent to the program and no thread of it has taken it yet.
    static bool pending(pid_t pid, int signal) { return inSignalSet(pid, "ShdPnd:", signal); }
    // Whether the set of signals `field` in the main thread's status holds `signal`.
    static bool inSignalSet(pid_t pid, std::string_view field, int signal) {
        const auto main = std::to_string(pid);
        std::ifstream status("/proc/" + main + "/task/" + main + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with(field)) {
                return (std::stoull(line.substr(field.size()), nullptr, 16) >> (signal - 1) & 1) !=
                       0;
            }
        }
        return false;
    }

    // The text at `address` in the program's memory.
    static std::string textIn(pid_t pid, std::uint64_t address) {
        char text[256] = {};
        const int memory = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
        [[maybe_unused]] const auto read =
            ::pread(memory, text, sizeof text - 1, static_cast<off_t>(address));
        ::close(memory);
        return text;
    }

    // A signal the program did not catch dumps its core here.
    bool coreDumped() const {
        for (const auto& entry : fs::directory_iterator(env_.home())) {
            if (entry.path().filename().string().starts_with("core")) {
                return true;
            }
        }
        return false;
    }

    std::vector<std::string> namesIn(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            names.push_back(fs::relative(entry.path(), folder).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    platform::testing::TestEnvironment env_;
    fs::path temporary_;
    fs::path neighbour_;
    std::unique_ptr<ProgramRun> run_;
};

TEST_F(ZestrelProgramTest, TheTemporaryFolderGoesAtTheEndUnlessKept) {
    const auto path = script("write $TMP/a.txt x\nselect letter.txt\n");
    EXPECT_EQ(run({path.string()}), 1);
    EXPECT_THAT(run_->err, HasSubstr("“letter.txt” is not in “$TMP”"));
    EXPECT_THAT(namesIn(temporary_), IsEmpty());

    // Reached through a link, the kept folders are named by their real paths all the same.
    const auto link = env_.home() / "link";
    fs::create_directory_symlink(temporary_, link);
    EXPECT_EQ(run({"--keep", path.string()}, {{"TMPDIR", link.string()}}), 1);
    // Where $TMP really is comes first, before the output that writes it as $TMP.
    const auto named = "zestrel: $TMP is " + fs::canonical(temporary_).string() + "/zestrel-";
    ASSERT_TRUE(run_->err.starts_with(named)) << run_->err;
    const auto firstLine = run_->err.substr(0, run_->err.find('\n'));
    const auto folder = fs::path(firstLine.substr(firstLine.find('/'))).parent_path().string();
    // At the end, everything kept: the app's home and defaults as well as $TMP.
    EXPECT_THAT(run_->err, HasSubstr("zestrel: kept the session's folder " + folder +
                                     ", which holds\n  $TMP: " + folder +
                                     "/tmp\n  the app's home ($HOME): " + folder +
                                     "/home\n  the app's defaults: " + folder + "/defaults\n"));
    for (const auto* part : {"tmp", "home", "defaults"}) {
        EXPECT_TRUE(fs::is_directory(fs::path(folder) / part)) << part;
    }
    const auto kept = namesIn(temporary_);
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(),
                            [](const std::string& name) { return name.ends_with("/tmp/a.txt"); }),
              1);
    EXPECT_EQ(namesIn(neighbour_), std::vector<std::string>{"letter.txt"});
}

TEST_F(ZestrelProgramTest, ASessionFolderThatCannotBeRemovedIsSaid) {
    auto program = start({}, {}, {.boundByPermissions = true});
    program->write("mkdir $TMP/locked\nwrite $TMP/locked/a.txt x\n");
    ASSERT_TRUE(program->awaitOutput("wrote $TMP/locked/a.txt")) << program->err;
    const auto folder = fs::canonical(fs::directory_iterator(temporary_)->path());
    const auto locked = folder / "tmp" / "locked";
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(program->finish(), 1);
    EXPECT_EQ(program->err, "zestrel: cannot remove the session's folder " + folder.string() +
                                ": Permission denied\n");
    EXPECT_TRUE(fs::exists(locked / "a.txt"));
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(ZestrelProgramTest, ANamedRootIsUsedAndLeftAsItIs) {
    const auto root = made(env_.home() / "work");
    EXPECT_EQ(
        run({"--root", root.string(), script("write $TMP/a.txt x\nshow folder $TMP\n").string()}),
        0);
    EXPECT_THAT(run_->out, HasSubstr("wrote $TMP/a.txt (2 bytes)\n> show folder $TMP\n$TMP:\n"));
    EXPECT_EQ(namesIn(root), std::vector<std::string>{"a.txt"});
    // A path that leaves it is refused before anything runs.
    EXPECT_EQ(run({"--root", root.string(),
                   script("write $TMP/b.txt x\nwrite $TMP/../mine/letter.txt x\n").string()}),
              1);
    EXPECT_EQ(run_->out, "");
    EXPECT_THAT(run_->err, HasSubstr(":2: “$TMP/../mine/letter.txt” leads outside $TMP"));
    EXPECT_EQ(namesIn(root), std::vector<std::string>{"a.txt"});
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
    EXPECT_EQ(namesIn(neighbour_), std::vector<std::string>{"letter.txt"});

    EXPECT_EQ(run({"--root", (root / "a.txt").string(), script("echo hi\n").string()}), 2);
    EXPECT_THAT(run_->err, HasSubstr("is not a folder"));
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_THAT(run_->out, HasSubstr("--root DIR"));
}

TEST_F(ZestrelProgramTest, TheAppsOwnFoldersLieInTheSessionNotInThePersonsHome) {
    // The person's own folders, each of them set: none is where the app writes.
    const std::map<std::string, std::string> persons = {
        {"XDG_CONFIG_HOME", (neighbour_ / ".config").string()},
        {"XDG_DATA_HOME", (neighbour_ / ".local" / "share").string()},
        {"XDG_CACHE_HOME", (neighbour_ / ".cache").string()}};
    // A default is stored; the cut sound's temporary item goes among the caches; the Files
    // page makes the app's folders; "Delete App Data" moves them to the Trash.
    EXPECT_EQ(run({script("launch zestrel\ndefaults write aKey \"a value\"\n"
                          "mkdir $TMP/Inbox\nwrite $TMP/Inbox/a.txt A\nopen finder $TMP/Inbox\n"
                          "select a.txt\npress cmd+x\nwait 1\nexpect sounds 1\n"
                          "open debug window\nclick \"Show Debug Screen\"\n"
                          "click Files\nexpect window Empty\nclick Settings\n"
                          "click \"Delete App Data\"\n")
                       .string()},
                  persons),
              0)
        << run_->err;
    EXPECT_EQ(namesIn(neighbour_), std::vector<std::string>{"letter.txt"});
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
}

TEST_F(ZestrelProgramTest, TheAppsHomeReadsAsHomeInsideANamedRoot) {
    // The app's home lies in the program's own TMPDIR, named here as $TMP: of the two names
    // that fit its path, the longer one is meant.
    EXPECT_EQ(run({"--root", temporary_.string(),
                   script("launch zestrel\nopen debug window\nshow window\n").string()}),
              0)
        << run_->err;
    EXPECT_THAT(run_->out, HasSubstr("fileDialogDefaultDirectory(\"$HOME/Downloads\")"));
    EXPECT_THAT(run_->out, Not(HasSubstr("$TMP/zestrel-")));
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
}

TEST_F(ZestrelProgramTest, AnInputThatIsNoScriptIsAnErrorAndABomIsNot) {
    EXPECT_EQ(run({env_.home().string()}), 2);
    EXPECT_THAT(run_->err, HasSubstr("is a folder, not a script"));
    EXPECT_EQ(run({"/proc/self/mem"}), 2);
    EXPECT_THAT(run_->err, HasSubstr("cannot read /proc/self/mem: Input/output error"));
    EXPECT_EQ(run({script("\xEF\xBB\xBF"
                          "echo hello\n")
                       .string()}),
              0);
    EXPECT_EQ(run_->out, "hello\n");
    // Piped, as a script is.
    auto piped = start({});
    piped->write("\xEF\xBB\xBF"
                 "echo hello\n");
    EXPECT_EQ(piped->finish(), 0);
    EXPECT_EQ(piped->out, "zestrel> hello\nzestrel> \n");
    // A standard input that is no script, or cannot be read, is refused as a script is.
    EXPECT_EQ(run({}, {}, {.input = std::pair{env_.home(), O_RDONLY}}), 2);
    EXPECT_EQ(run_->err, "zestrel: the standard input is a folder, not a script\n");
    EXPECT_EQ(run_->out, "");
    EXPECT_EQ(run({}, {}, {.input = std::pair{env_.home() / "written", O_WRONLY | O_CREAT}}), 2);
    EXPECT_EQ(run_->err, "stdin:1: cannot read the standard input: Bad file descriptor\n");
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
}

TEST_F(ZestrelProgramTest, WhatIsNoFileIsRefusedWithoutWaitingOnIt) {
    const auto pipe = env_.home() / "f.zestrel";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    run_ = start({pipe.string()});
    if (!run_->awaitErrors("\n")) {
        // Still waiting for a writer: one that comes and goes lets the program end.
        ADD_FAILURE() << "the program waits on a named pipe";
        ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_EQ(run_->finish(), 2);
    EXPECT_EQ(run_->err, "zestrel: " + pipe.string() + " is a named pipe, not a script\n");

    EXPECT_EQ(run({"/dev/null"}), 2);
    EXPECT_EQ(run_->err, "zestrel: /dev/null is a device, not a script\n");
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
}

TEST_F(ZestrelProgramTest, SignalsEndTheSessionAsQuitDoes) {
    for (const auto& [signal, name] : kEndingSignals) {
        auto program = start({});
        program->write("write $TMP/a.txt x\n");
        ASSERT_TRUE(program->awaitOutput("wrote $TMP/a.txt")) << program->err;
        program->signal(signal);
        EXPECT_EQ(program->finish(false), 128 + signal) << name;
        EXPECT_THAT(program->err, HasSubstr("zestrel: ended by " + name + "\n"));
        EXPECT_THAT(namesIn(temporary_), IsEmpty()) << name;
        EXPECT_FALSE(coreDumped()) << name;
    }
}

TEST_F(ZestrelProgramTest, ASignalThatEndsNothingLeavesTheSessionGoingOn) {
    auto program = start({});
    // Once the program is up: before `main`, these take their default action, which ends nothing.
    ASSERT_TRUE(program->awaitOutput("zestrel> ")) << program->err;
    for (const int signal : kHarmlessSignals) {
        program->signal(signal);
        const auto reply = "after " + std::to_string(signal);
        program->write("echo " + reply + "\n");
        ASSERT_TRUE(program->awaitOutput(reply + "\n")) << signal << program->err;
    }
    program->write("quit\n");
    EXPECT_EQ(program->finish(false), 0);
    EXPECT_EQ(program->err, "");
}

TEST_F(ZestrelProgramTest, ASignalBeforeTheHandlersAreInPlaceWaitsForThem) {
    // Looked at as the program installs SIGTERM's handler: held since main's first line.
    auto program = start({}, {}, {.traced = true});
    std::optional<bool> held;
    program->traceUntil([&](const __ptrace_syscall_info& call) {
        if (call.entry.nr != SYS_rt_sigaction || call.entry.args[0] != SIGTERM ||
            call.entry.args[1] == 0) {
            return false;
        }
        held = blocked(program->pid(), SIGTERM);
        return true;
    });
    const int status = program->finish();
    if (status == kUntraceable) {
        return platform::testing::cannotRunHere("the program cannot be traced here");
    }
    ASSERT_TRUE(held.has_value()) << "no handler for SIGTERM";
    EXPECT_TRUE(*held);
    EXPECT_EQ(status, 0) << program->err;
}

TEST_F(ZestrelProgramTest, ASignalWhileTheSessionsFolderIsRemovedIsTheStatus) {
    auto program = start({script("write $TMP/marker.txt x\n").string()}, {}, {.traced = true});
    bool sent = false;
    program->traceUntil([&](const __ptrace_syscall_info& call) {
        // The session's folder is removed one name at a time, from the folder it lies in.
        if (call.entry.nr != SYS_unlinkat ||
            !textIn(program->pid(), call.entry.args[1]).ends_with("marker.txt")) {
            return false;
        }
        // To the thread that removes it: handled as soon as it goes on.
        sent = ::syscall(SYS_tgkill, program->pid(), program->pid(), SIGTERM) == 0;
        return true;
    });
    const int status = program->finish(false);
    if (status == kUntraceable) {
        return platform::testing::cannotRunHere("the program cannot be traced here");
    }
    ASSERT_TRUE(sent) << program->err;
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_THAT(program->err, HasSubstr("zestrel: ended by SIGTERM\n"));
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
    EXPECT_FALSE(coreDumped());
}

TEST_F(ZestrelProgramTest, ASignalEndsAScriptWhileItRuns) {
    // More output than a pipe holds: once the first line is read, the script waits on the
    // reader, still running, until the signal has come.
    std::string text = "write $TMP/a.txt x\n";
    for (int line = 0; line < 20'000; ++line) {
        text += "echo a line of output that fills the pipe to the reader\n";
    }
    text += "echo the end\n";
    const auto path = script(text);
    for (const auto& [signal, name] : kEndingSignals) {
        auto program = start({path.string()});
        ASSERT_TRUE(program->awaitOutput("a line of output")) << program->err;
        program->signal(signal);
        EXPECT_EQ(program->finish(false), 128 + signal) << name;
        EXPECT_THAT(program->out, Not(HasSubstr("the end")));
        EXPECT_THAT(program->err, HasSubstr("zestrel: ended by " + name + "\n"));
        EXPECT_THAT(namesIn(temporary_), IsEmpty()) << name;
        EXPECT_FALSE(coreDumped()) << name;
    }
}

TEST_F(ZestrelProgramTest, ASignalEndsASessionWhoseOutputNobodyReads) {
    // Each line a pipe's page, so a full pipe holds exactly its size.
    std::string text;
    for (int line = 0; line < 1'000; ++line) {
        text += "echo " + std::string(PIPE_BUF - 1, 'x') + "\n";
    }
    const auto path = script(text);
    for (const int signal : {SIGINT, SIGTERM}) {
        auto program = start({path.string()});
        ASSERT_TRUE(program->awaitFullOutput());
        program->signal(signal);
        EXPECT_TRUE(program->endsWithin(10s)) << signal;
        EXPECT_EQ(program->finish(false), 128 + signal);
        EXPECT_THAT(program->err, HasSubstr("zestrel: ended by "));
        EXPECT_THAT(namesIn(temporary_), IsEmpty()) << signal;
        EXPECT_FALSE(coreDumped()) << signal;
    }
}

TEST_F(ZestrelProgramTest, AFloodOfSignalsEndsWithTheFirstOnesStatusAndNoCore) {
    // Ctrl+\ or Ctrl+C held down: signals come on while the session ends, and after.
    for (const auto& [signal, name] :
         {std::pair{SIGQUIT, "SIGQUIT"}, std::pair{SIGINT, "SIGINT"}}) {
        auto program = start({});
        ASSERT_TRUE(program->awaitOutput("zestrel> ")) << program->err;
        program->flood(signal);
        EXPECT_EQ(program->finish(false), 128 + signal) << name;
        EXPECT_THAT(program->err, HasSubstr(std::string("zestrel: ended by ") + name + "\n"));
        EXPECT_THAT(namesIn(temporary_), IsEmpty()) << name;
        EXPECT_FALSE(coreDumped()) << name;
    }
}

// Both sent while the program is stopped, so they wait for it together, in either order: the
// system hands over the lower-numbered first, and that one is the status. At the prompt, where
// the app's threads wait too.
TEST_F(ZestrelProgramTest, OfTwoSignalsThatComeTogetherTheLowerNumberedIsTheStatus) {
    for (const auto& [first, second] : {std::pair{SIGINT, SIGQUIT}, std::pair{SIGQUIT, SIGINT}}) {
        auto program = start({});
        program->write("launch zestrel\necho launched\n");
        ASSERT_TRUE(program->awaitOutput("launched\nzestrel> ")) << program->err;
        program->signal(SIGSTOP);
        int stopped = 0;
        ASSERT_EQ(::waitpid(program->pid(), &stopped, WUNTRACED), program->pid());
        ASSERT_TRUE(WIFSTOPPED(stopped));
        program->signal(first);
        program->signal(second);
        EXPECT_TRUE(pending(program->pid(), first) && pending(program->pid(), second)) << first;
        program->signal(SIGCONT);
        EXPECT_EQ(program->finish(false), 128 + SIGINT) << first;
        EXPECT_EQ(program->err, "zestrel: ended by SIGINT\n") << first;
        EXPECT_THAT(namesIn(temporary_), IsEmpty()) << first;
        EXPECT_FALSE(coreDumped()) << first;
    }
}

TEST_F(ZestrelProgramTest, AFileOverTheSizeLimitFailsItsWriteAndLeavesNothingBehind) {
    const auto root = made(env_.home() / "work");
    const auto path = script("write $TMP/small.txt x\nwrite $TMP/big.txt " +
                             std::string(200 * 1024, 'x') + "\necho never\n");
    EXPECT_EQ(run({"--root", root.string(), path.string()}, {}, {.fileSizeLimit = 100 * 1024}), 1);
    EXPECT_THAT(run_->err, HasSubstr(":2: cannot write $TMP/big.txt: File too large\n"));
    EXPECT_THAT(run_->out, Not(HasSubstr("never")));
    EXPECT_EQ(namesIn(root), std::vector<std::string>{"small.txt"});
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
    EXPECT_FALSE(coreDumped());
}

TEST_F(ZestrelProgramTest, AnOutputNobodyReadsEndsTheSessionAndItsFolderGoes) {
    auto program = start({});
    program->write("echo one\n");
    ASSERT_TRUE(program->awaitOutput("one")) << program->err;
    program->closeOutput();
    program->write("echo two\n");
    EXPECT_EQ(program->finish(false), 128 + SIGPIPE);
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
}

TEST_F(ZestrelProgramTest, AnOutputThatFailsEndsTheSessionWithStatusOneAndSaysWhy) {
    const auto written = env_.home() / "written.txt";
    const auto lines = script("echo " + std::string(600, 'x') + "\nwrite $TMP/a.txt x\necho " +
                              std::string(600, 'y') + "\necho never\n");
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::string input;
        Surroundings surroundings;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"a full disk",
         {lines.string()},
         "",
         {.output = "/dev/full"},
         "zestrel: cannot write the standard output: No space left on device\n"},
        {"a file over the size limit",
         {lines.string()},
         "",
         {.output = written, .fileSizeLimit = 1024},
         "zestrel: cannot write the standard output: File too large\n"},
        {"the prompt's output on a full disk",
         {},
         "echo never\nquit\n",
         {.output = "/dev/full"},
         "zestrel: cannot write the standard output: No space left on device\n"},
        // Where the reason cannot be written, the status still tells.
        {"the errors on a full disk", {}, "bogus\necho never\nquit\n", {.errors = "/dev/full"}, ""},
    };
    for (const auto& [what, arguments, input, surroundings, said] : cases) {
        auto program = start(arguments, {}, surroundings);
        program->write(input);
        EXPECT_EQ(program->finish(), 1) << what;
        EXPECT_EQ(program->err, said) << what;
        EXPECT_THAT(program->out, Not(HasSubstr("never"))) << what;
        EXPECT_THAT(namesIn(temporary_), IsEmpty()) << what;
    }
    std::ifstream file(written);
    const std::string kept((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(kept.size(), 1024u);
    EXPECT_THAT(kept, Not(HasSubstr("never")));
}

TEST_F(ZestrelProgramTest, AClosedStandardStreamIsAnEndOfInputOrAnOutputThatFails) {
    const auto path = script("echo hello\nselect nothing\n").string();
    const std::string unwritable =
        "zestrel: cannot write the standard output: Bad file descriptor\n";
    // Those closed, whether the script runs (or the prompt), the status and what is said.
    const std::vector<std::tuple<std::vector<int>, bool, int, std::string>> cases = {
        {{0}, false, 0, ""},
        {{1}, true, 1, unwritable},
        {{2}, true, 1, ""},
        {{0, 1}, false, 1, unwritable}};
    for (const auto& [closed, scripted, status, said] : cases) {
        auto program = start(scripted ? std::vector{path} : std::vector<std::string>{}, {},
                             {.closed = closed});
        if (!program->endsWithin(30s)) {
            ADD_FAILURE() << "the program waits, " << closed.back() << " closed";
            program->signal(SIGKILL);
        }
        EXPECT_EQ(program->finish(false), status) << closed.back();
        EXPECT_EQ(program->err, said) << closed.back();
        EXPECT_THAT(namesIn(temporary_), IsEmpty());
    }
}

TEST_F(ZestrelProgramTest, AnAlertTheAppWaitsOnIsShownAndAnsweredFromTheTerminal) {
    auto program = start({});
    program->write("accessibility untrusted\nlaunch zestrel\n");
    ASSERT_TRUE(program->awaitOutput("alert \"Zestrel requires accessibility access.\""))
        << program->out << program->err;
    ASSERT_TRUE(program->awaitOutput(
        "  buttons \"Quit and Open System Settings\": type one to press it, or a command"));
    // A command runs while the app waits; the button's name then answers the alert.
    program->write("show alerts\n");
    ASSERT_TRUE(program->awaitOutput("buttons \"Quit and Open System Settings\", showing\n"));
    program->write("Quit and Open System Settings\n");
    ASSERT_TRUE(program->awaitOutput("quit Zestrel (pid "));
    program->write("show alerts\nquit\n");
    EXPECT_EQ(program->finish(false), 0) << program->err;
    EXPECT_THAT(program->out, HasSubstr(", answered \"Quit and Open System Settings\"\n"));

    // A signal still ends the session while the app waits on an alert.
    for (const int signal : {SIGINT, SIGHUP, SIGQUIT}) {
        auto waiting = start({});
        waiting->write("accessibility untrusted\nlaunch zestrel\n");
        ASSERT_TRUE(waiting->awaitOutput("type one to press it")) << waiting->err;
        waiting->signal(signal);
        EXPECT_EQ(waiting->finish(false), 128 + signal);
        EXPECT_THAT(namesIn(temporary_), IsEmpty());
        EXPECT_FALSE(coreDumped());
    }
}

TEST_F(ZestrelProgramTest, WhatIsWrongOnTheCommandLineIsSaidBeforeTheUsage) {
    const auto root = made(env_.home() / "work").string();
    const auto missing = (env_.home() / "nowhere").string();
    const auto file = script("echo hi\n").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option “--bogus”"},
        {{"a.zestrel", "b.zestrel"}, "one script at a time (“a.zestrel” and “b.zestrel”)"},
        {{"--root"}, "--root needs a folder"},
        {{"--root", "--keep", "a.zestrel"}, "--root needs a folder"},
        {{"--keep", "--root", root},
         "--keep and --root cannot go together: a folder you name is never removed"},
        {{"--root", root, "--keep"},
         "--keep and --root cannot go together: a folder you name is never removed"},
        {{"--root", root, "--root", "/elsewhere"},
         "one --root at a time (“" + root + "” and “/elsewhere”)"},
        {{"--root", missing, file}, "--root " + missing + " is not a folder"},
        {{"--root", file, file}, "--root " + file + " is not a folder"},
    };
    for (const auto& [arguments, reason] : cases) {
        EXPECT_EQ(run(arguments), 2) << reason;
        EXPECT_THAT(run_->err, ::testing::StartsWith("zestrel: " + reason + "\nusage: "));
        EXPECT_EQ(run_->out, "");
    }
    EXPECT_THAT(namesIn(temporary_), IsEmpty());
}

TEST_F(ZestrelProgramTest, EveryExampleChecksItselfAndPasses) {
    std::vector<fs::path> examples;
    for (const auto& entry : fs::directory_iterator(ZESTREL_EXAMPLES_DIR)) {
        if (entry.path().extension() == ".zestrel") {
            examples.push_back(entry.path());
        }
    }
    ASSERT_FALSE(examples.empty());
    for (const auto& example : examples) {
        EXPECT_EQ(run({example.string()}), 0) << example << "\n" << run_->err;
        EXPECT_THAT(run_->out, HasSubstr("> expect ")) << example << " checks nothing";
    }
}

TEST_F(ZestrelProgramTest, WhatTheAppPrintsAsTheSessionEndsIsMarkedAsItsOwn) {
    EXPECT_EQ(run({script("launch zestrel\necho last\n").string()}), 0) << run_->err;
    EXPECT_TRUE(run_->out.ends_with("\nlast\n  app prints: DEINIT - AppEventTap\n")) << run_->out;
}

TEST_F(ZestrelProgramTest, AnExpectationNotMetEndsTheProgramWithStatusOne) {
    EXPECT_EQ(run({script("mkdir $TMP/a\nexpect folder $TMP/a b.txt\necho never\n").string()}), 1);
    EXPECT_THAT(run_->err,
                HasSubstr(":2: expectation not met: $TMP/a should hold b.txt; it holds nothing"));
    EXPECT_THAT(run_->out, Not(HasSubstr("never")));
    // Read from a pipe, the session goes on as at the prompt and its status tells of it.
    auto piped = start({});
    piped->write("mkdir $TMP/a\nexpect folder $TMP/a b.txt\necho after\n");
    EXPECT_EQ(piped->finish(), 1);
    EXPECT_EQ(piped->err,
              "stdin:2: expectation not met: $TMP/a should hold b.txt; it holds nothing\n");
    EXPECT_THAT(piped->out, HasSubstr("zestrel> after\n"));
}

} // namespace
} // namespace zestrel::console
