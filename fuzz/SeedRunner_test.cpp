// The seed runner as the suite sees it: run over a probe target (SeedRunnerProbe.cpp) that
// fails, or leaves files behind, when its input says so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

struct Outcome {
    int status = 0;
    std::string output; // standard output and error together
};

// What exec takes: pointers into `strings`, which must outlive them, ending in null.
std::vector<char*> pointersInto(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& string : strings) {
        pointers.push_back(string.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

std::string readToEnd(int file) {
    std::string text;
    std::array<char, 4096> buffer{};
    ssize_t count = 0;
    while ((count = read(file, buffer.data(), buffer.size())) != 0) {
        if (count > 0) {
            text.append(buffer.data(), static_cast<std::size_t>(count));
        } else if (errno != EINTR) {
            break;
        }
    }
    return text;
}

class SeedRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "SeedRunnerTest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        fs::create_directories(seeds());
        fs::create_directories(temporary());
    }

    void TearDown() override {
        // The runner removes its own temporary folder, whatever it found.
        EXPECT_TRUE(fs::is_empty(temporary()));
        fs::remove_all(scratch);
    }

    fs::path seeds() const { return scratch / "seeds"; }
    // The runner's TMPDIR, in which it makes the folder its runs get as theirs.
    fs::path temporary() const { return scratch / "tmp"; }

    fs::path seed(const std::string& name, std::string_view text) {
        const auto path = seeds() / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Runs the probe with the seed runner as its main. With `ignoreChildSignals` the runner
    // starts with SIGCHLD ignored, which it inherits across exec.
    Outcome runProbe(const std::vector<std::string>& arguments, bool ignoreChildSignals = false) {
        std::vector<std::string> command{ZESTREL_SEED_RUNNER_PROBE};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::vector<std::string> environment{"TMPDIR=" + temporary().string()};
        for (char** variable = environ; *variable != nullptr; ++variable) {
            if (!std::string_view(*variable).starts_with("TMPDIR=")) {
                environment.emplace_back(*variable);
            }
        }
        // Made before the fork: the child of a threaded process should only exec.
        const auto argv = pointersInto(command);
        const auto envp = pointersInto(environment);

        std::array<int, 2> pipeEnds{};
        if (pipe(pipeEnds.data()) != 0) {
            ADD_FAILURE() << "pipe: " << std::strerror(errno);
            return {};
        }
        const pid_t runner = fork();
        if (runner < 0) {
            ADD_FAILURE() << "fork: " << std::strerror(errno);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            return {};
        }
        if (runner == 0) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            dup2(pipeEnds[1], STDERR_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            // The probe aborts on purpose; no core files from it.
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            if (ignoreChildSignals) {
                signal(SIGCHLD, SIG_IGN);
            }
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        Outcome run;
        run.output = readToEnd(pipeEnds[0]);
        close(pipeEnds[0]);
        EXPECT_EQ(waitpid(runner, &run.status, 0), runner);
        return run;
    }

    fs::path scratch;
};

bool exitedCleanly(const Outcome& run) {
    return WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
}

TEST_F(SeedRunnerTest, CleanSeedsFromFoldersAndFilesPassWithNoFindings) {
    seed("one", "fine");
    seed("two", "");
    const auto file = seed("three", "also fine");

    // libFuzzer's own flags are accepted and ignored.
    const auto run = runProbe({seeds().string(), file.string(), "-runs=1"});

    EXPECT_TRUE(exitedCleanly(run)) << run.output;
    EXPECT_EQ(run.output, "SeedRunnerProbe: 4 inputs, no findings\n");
}

TEST_F(SeedRunnerTest, EveryFindingFailsAndSaysWhatItWas) {
    // Between two clean seeds, so that naming the first or the last would be wrong.
    const auto failing = seeds() / "b";
    struct Finding {
        std::string input;
        std::vector<std::string> said;
    };
    const std::vector<Finding> findings{
        {"abort", {"SeedRunnerProbe: FAILED (", ") on " + failing.string() + "\n"}},
        {"exit", {"SeedRunnerProbe: FAILED (exit status 0) on " + failing.string() + "\n"}},
        {"abort at exit",
         {"SeedRunnerProbe: FAILED (", ") as the process ended, after every input\n"}},
        {"leave", {"SeedRunnerProbe: left behind in the temporary folder: left-by-input\n"}},
        {"leave at exit", {"SeedRunnerProbe: left behind in the temporary folder: left-at-exit\n"}},
    };
    for (const auto& finding : findings) {
        SCOPED_TRACE(finding.input);
        fs::remove_all(seeds());
        fs::create_directories(seeds());
        seed("a", "fine");
        seed(failing.filename().string(), finding.input);
        seed("c", "fine");

        const auto run = runProbe({seeds().string()});

        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) != 0) << run.output;
        for (const auto& said : finding.said) {
            EXPECT_THAT(run.output, HasSubstr(said));
        }
        EXPECT_THAT(run.output, Not(HasSubstr("no findings")));
        EXPECT_TRUE(fs::is_empty(temporary()));
    }
}

TEST_F(SeedRunnerTest, NoInputsIsAnError) {
    const auto run = runProbe({seeds().string()});

    EXPECT_FALSE(exitedCleanly(run));
    EXPECT_EQ(run.output, "SeedRunnerProbe: no inputs: give the seed files or their folders\n");
}

TEST_F(SeedRunnerTest, RunsItCannotWaitForFail) {
    seed("one", "fine");

    const auto run = runProbe({seeds().string()}, /*ignoreChildSignals=*/true);

    EXPECT_FALSE(exitedCleanly(run));
    EXPECT_THAT(run.output, HasSubstr("SeedRunnerProbe: cannot wait for the runs: " +
                                      std::string(std::strerror(ECHILD)) + "\n"));
    EXPECT_THAT(run.output, Not(HasSubstr("no findings")));
}

} // namespace
