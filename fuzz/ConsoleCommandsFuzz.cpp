// Scripts of console commands run on the simulated desktop inside a fresh folder, with the
// app's own folders set up as the program sets them up: whatever they say, nothing outside
// those changes. A sentinel file and a person's home folder with a file of its own (where
// the file managers would once start) sit around them, and the names in the working folder
// (where a relative path would once land) are there too; all are compared after every input.
#include "console/AppEnvironment.h"
#include "console/Console.h"
#include "fuzz/FuzzInput.h"
#include "platform/base/Clock.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

using namespace zestrel;
namespace fs = std::filesystem;

namespace {

class Surroundings {
public:
    Surroundings() {
        std::string pattern = (fs::temp_directory_path() / "zestrel-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        base_ = fs::canonical(pattern);
        fs::create_directories(base_ / "home" / "Documents");
        std::ofstream(base_ / "sentinel.txt") << "beside the folder";
        std::ofstream(base_ / "home" / "notes.txt") << "in the home folder";
        expected_ = snapshot();
    }
    // Made once per process, and removed as the process ends.
    ~Surroundings() {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }
    Surroundings(const Surroundings&) = delete;
    Surroundings& operator=(const Surroundings&) = delete;

    fs::path folder() const { return base_ / "tmp"; }
    // The app's home and defaults are the program's own, not what is guarded.
    fs::path appFolders() const { return base_ / "app"; }

    // Every item around the session's folder, with what the files hold.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> items;
        for (auto at = fs::recursive_directory_iterator(base_);
             at != fs::recursive_directory_iterator(); ++at) {
            if (at->path() == folder() || at->path() == appFolders()) {
                at.disable_recursion_pending();
                continue;
            }
            std::string contents;
            if (at->is_regular_file()) {
                std::ifstream in(at->path(), std::ios::binary);
                contents.assign(std::istreambuf_iterator<char>(in), {});
            }
            items[at->path().string()] = contents;
        }
        for (const auto& entry : fs::directory_iterator(fs::current_path())) {
            items[entry.path().string()];
        }
        return items;
    }

    void check() const {
        if (snapshot() != expected_) {
            std::fprintf(stderr, "a command changed something outside its folder (%s)\n",
                         base_.c_str());
            std::abort();
        }
    }

private:
    fs::path base_;
    std::map<std::string, std::string> expected_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Surroundings surroundings;
    fs::remove_all(surroundings.folder());
    fs::create_directory(surroundings.folder());
    // Each script starts as the program does, with nothing the one before left the app.
    fs::remove_all(surroundings.appFolders());
    console::installAppEnvironment(surroundings.appFolders());

    // A fixed virtual clock, as scripts run, so `wait` takes no real time.
    platform::installClock(std::make_shared<platform::VirtualClock>(
        platform::Date::fromTimeIntervalSince1970(1768471200.0)));
    platform::RunLoop::main();
    {
        std::ostringstream out;
        std::ostringstream errors;
        console::Console console(surroundings.folder(), out, errors);
        std::istringstream script{std::string(fuzz::text(data, size))};
        console.runScript(script, "fuzz");
    }
    platform::resetProcess();
    platform::RunLoop::resetMain(); // each script runs on a machine of its own
    platform::installClock(nullptr);
    surroundings.check();
    return 0;
}
