// A fuzz target that does what its input says, for the seed runner's own test: "abort" fails
// at once and "abort at exit" as the process ends; "leave" leaves a file in the temporary
// folder at once and "leave at exit" as the process ends; "exit" ends the process with
// success before the inputs after it have run; anything else passes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace {

void leaveFile(const char* name) {
    std::ofstream(std::filesystem::temp_directory_path() / name) << "left behind\n";
}

// Acts from a static destructor: the runner must look after every such one has run.
struct AtExit {
    bool abort = false;
    bool leave = false;
    ~AtExit() {
        if (leave) {
            leaveFile("left-at-exit");
        }
        if (abort) {
            std::abort();
        }
    }
} atExit;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input == "abort") {
        std::abort();
    }
    if (input == "exit") {
        std::exit(0);
    }
    if (input == "leave") {
        leaveFile("left-by-input");
    }
    atExit.abort = atExit.abort || input == "abort at exit";
    atExit.leave = atExit.leave || input == "leave at exit";
    return 0;
}
