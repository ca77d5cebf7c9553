// Runs a fuzz target once over each of its seed inputs, as a test of the normal build: a
// target that fails on its own seeds would stop every fuzzing run at once, so the suite
// catches it first. `<Target> PATH...` takes files, and folders whose files it runs in
// name order; arguments that start with "-" are libFuzzer's and are ignored.
//
// Like scripts/fuzz, it fails when the target leaves anything behind in the system's
// temporary folder. The inputs run in a child process with a fresh TMPDIR, which is
// checked once the child has ended, after its static destructors.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Optional in a target, as in libFuzzer.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

std::string program;

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), message.c_str());
    std::exit(2);
}

std::vector<fs::path> inputsIn(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        if (path.string().starts_with("-")) {
            continue;
        }
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(path)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (fs::is_regular_file(path, error)) {
            inputs.push_back(path);
        } else {
            fail("no input at " + path.string());
        }
    }
    if (inputs.empty()) {
        fail("no inputs: give the seed files or their folders");
    }
    return inputs;
}

// Runs in the child; `current` is shared with the parent, which names the input that failed.
int runInputs(int argc, char** argv, const std::vector<fs::path>& inputs,
              volatile std::int64_t* current) {
    if (LLVMFuzzerInitialize != nullptr) {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        *current = static_cast<std::int64_t>(i);
        std::ifstream in(inputs[i], std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        if (!in && !in.eof()) {
            fail("cannot read " + inputs[i].string());
        }
        // A buffer of exactly the input's size, so a read past its end is caught.
        const auto data = std::make_unique<std::uint8_t[]>(bytes.size());
        std::memcpy(data.get(), bytes.data(), bytes.size());
        LLVMFuzzerTestOneInput(data.get(), bytes.size());
    }
    *current = -1;
    return 0;
}

std::string howItEnded(int status) {
    if (WIFSIGNALED(status)) {
        return std::string("ended by signal ") + strsignal(WTERMSIG(status));
    }
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

} // namespace

int main(int argc, char** argv) {
    program = fs::path(argv[0]).filename().string();
    const auto inputs = inputsIn(argc, argv);

    std::string pattern = (fs::temp_directory_path() / (program + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        fail(std::string("cannot make a temporary folder: ") + std::strerror(errno));
    }
    const fs::path temporary = pattern;
    void* shared = mmap(nullptr, sizeof(std::int64_t), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        fail(std::string("cannot share memory with the runs: ") + std::strerror(errno));
    }
    auto* current = static_cast<volatile std::int64_t*>(shared);
    *current = -1;

    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        fail(std::string("cannot start the runs: ") + std::strerror(errno));
    }
    if (child == 0) {
        setenv("TMPDIR", temporary.c_str(), 1);
        return runInputs(argc, argv, inputs, current);
    }

    int status = 0;
    pid_t ended = 0;
    do {
        ended = waitpid(child, &status, 0);
    } while (ended < 0 && errno == EINTR);
    int result = 0;
    if (ended < 0) {
        // Without the child's status nothing is known of the runs. With SIGCHLD ignored by
        // whoever started us the kernel reaps the child itself, and this is ECHILD once it
        // has ended, so the temporary folder is still checked after it.
        std::fprintf(stderr, "%s: cannot wait for the runs: %s\n", program.c_str(),
                     std::strerror(errno));
        result = 1;
    } else if (status != 0 || *current >= 0) {
        // Also a run that ended in the middle of an input, however it ended: its inputs
        // were not all run.
        const auto failed = *current;
        std::fprintf(stderr, "%s: FAILED (%s) %s\n", program.c_str(), howItEnded(status).c_str(),
                     failed >= 0
                         ? ("on " + inputs[static_cast<std::size_t>(failed)].string()).c_str()
                         : "as the process ended, after every input");
        result = 1;
    }
    std::error_code ignored;
    if (!fs::is_empty(temporary, ignored)) {
        std::string names;
        for (const auto& entry : fs::directory_iterator(temporary, ignored)) {
            names += " " + entry.path().filename().string();
        }
        std::fprintf(stderr, "%s: left behind in the temporary folder:%s\n", program.c_str(),
                     names.c_str());
        result = 1;
    }
    fs::remove_all(temporary, ignored);
    if (result == 0) {
        std::printf("%s: %zu inputs, no findings\n", program.c_str(), inputs.size());
    }
    return result;
}
