// The zestrel program: a simulated desktop driven by a script or from the terminal. The
// command line is the desktop's: `zestrel [--keep] [SCRIPT]`.
#include "console/Console.h"
#include "platform/Clock.h"
#include "platform/ProcessLocal.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage = "usage: zestrel [--keep] [SCRIPT]\n"
                                    "  SCRIPT  desktop commands, one a line; without it they "
                                    "are read from the terminal\n"
                                    "  --keep  keep the temporary folder ($TMP) at the end\n";

// The session's folder: $TMP for the commands, and the simulated machine's defaults
// database, so nothing is written into the user's own. Removed at the end unless kept.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "zestrel-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        root_ = pattern;
        fs::create_directories(files());
    }
    ~ScratchFolder() {
        if (keep_) {
            std::cerr << "zestrel: kept the temporary folder " << files().string() << "\n";
            return;
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    fs::path files() const { return root_ / "tmp"; }
    fs::path defaults() const { return root_ / "defaults"; }
    void keep() { keep_ = true; }

private:
    fs::path root_;
    bool keep_ = false;
};

} // namespace

int main(int argc, char** argv) {
    bool keep = false;
    std::optional<std::string> scriptPath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--keep") {
            keep = true;
        } else if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (!argument.starts_with("-") && !scriptPath) {
            scriptPath = std::string(argument);
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    std::ifstream script;
    if (scriptPath) {
        script.open(*scriptPath);
        if (!script) {
            std::cerr << "zestrel: cannot read " << *scriptPath << "\n";
            return 2;
        }
    }

    using namespace zestrel::platform;
    ScratchFolder scratch;
    if (keep) {
        scratch.keep();
    }
    setenv("XDG_CONFIG_HOME", scratch.defaults().c_str(), 1);
    if (scriptPath) {
        // Scripts run on a virtual clock starting now, so `wait` takes no real time.
        installClock(std::make_shared<VirtualClock>(RealClock().now()));
    }
    RunLoop::main(); // this thread is the main thread

    int status = 0;
    {
        zestrel::console::Console console(scratch.files(), std::cout, std::cerr);
        status =
            scriptPath ? console.runScript(script, *scriptPath) : console.runTerminal(std::cin);
    }
    UserDefaults::flushAll();
    resetProcess();
    installClock(nullptr);
    return status;
}
