// The zestrel program. Until the app runs on the simulated desktop, it shows the platform
// core at work: the app's identity, the logger and its buffer, the main run loop with the
// cut checks' delays, and the defaults database surviving a relaunch.
#include "foundation/Logger.h"
#include "foundation/QVApp.h"
#include "platform/DispatchQueue.h"
#include "platform/ProcessLocal.h"
#include "platform/RunLoop.h"
#include "platform/StandardStreams.h"
#include "platform/UserDefaults.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <string>

namespace {

using namespace std::chrono_literals;
using zestrel::platform::print;

// Keeps the demo's preferences in a folder of its own, not in the user's.
std::filesystem::path makeScratchConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zestrel-demo-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    return pattern;
}

void showIdentity() {
    namespace QVApp = zestrel::QVApp;
    print(fmt::format("{} {} — {}", QVApp::name(), QVApp::versionWithBuild(), QVApp::id()));
    print(
        fmt::format("safe launch: {}, sandboxed: {}", QVApp::isSafeLaunch(), QVApp::isSandboxed()));
}

void runTheCutChecks() {
    using zestrel::platform::DispatchQueue;
    using zestrel::platform::RunLoop;
    print("\nThe main run loop runs the three cut checks after 0.2, 0.4 and 0.6 seconds:");
    const auto start = std::chrono::steady_clock::now();
    for (const auto delay : {200ms, 400ms, 600ms}) {
        DispatchQueue::main().asyncAfter(delay, [delay, start] {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            zestrel::logMessage({"cut check", static_cast<int>(delay.count())},
                                zestrel::platform::OSLogType::defaultLevel, "checkCut()");
            print(fmt::format("  check due at {} ms ran at {} ms", delay.count(), elapsed.count()));
            if (delay == 600ms) {
                RunLoop::main().stop();
            }
        });
    }
    RunLoop::main().run();
}

void showLogBuffer() {
    print("\nThe in-memory log buffer:");
    for (const std::string& entry : zestrel::logBuffer().entries()) {
        zestrel::platform::writeStandardOutput(entry);
    }
}

void roundTripDefaults(const std::filesystem::path& configHome) {
    using zestrel::platform::UserDefaults;
    using zestrel::platform::Value;
    print("\nThe defaults database, written, then read back by a relaunched process:");
    auto defaults = UserDefaults::standard();
    defaults->set(Value(true), "playSoundEffects");
    defaults->set(Value(Value::Array{"com.apple.finder"}), "_ignoreList");
    defaults->synchronize();

    zestrel::platform::resetProcess(); // a relaunch: process state gone, files kept
    defaults = UserDefaults::standard();
    print(fmt::format("  playSoundEffects = {}",
                      defaults->object("playSoundEffects").debugDescribe()));
    print(fmt::format("  _ignoreList = {}", defaults->object("_ignoreList").debugDescribe()));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(configHome)) {
        if (entry.is_regular_file()) {
            print(
                fmt::format("  stored in {} ({} bytes)", entry.path().string(), entry.file_size()));
        }
    }
}

} // namespace

int main() {
    const std::filesystem::path configHome = makeScratchConfigHome();
    showIdentity();
    zestrel::logMessage({"Zestrel started", zestrel::QVApp::versionWithBuild()},
                        zestrel::platform::OSLogType::defaultLevel, "main()");
    runTheCutChecks();
    showLogBuffer();
    roundTripDefaults(configHome);
    zestrel::platform::UserDefaults::flushAll();
    std::filesystem::remove_all(configHome);
    return 0;
}
