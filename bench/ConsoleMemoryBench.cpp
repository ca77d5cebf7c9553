// The zestrel program's memory over a long session: 100,000 key presses through its console
// (Command+X, a second, Command+C, in the Finder with the app's engine running), as the
// process's footprint after the first and the second 50,000. What the program keeps of the
// session (the keys each application received, the app's log) is bounded, so the second half
// adds nothing ("bytes_per_press" near 0).
#include "app/DebugInfo.h"
#include "bench/MemoryFigures.h"
#include "console/Console.h"
#include "console/ScriptCommand.h"
#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace {

namespace pf = zestrel::platform;

void BM_ConsoleMemoryOverKeyPresses(benchmark::State& state) {
    for (auto _ : state) {
        pf::testing::TestEnvironment env;
        const auto folder = env.home() / "tmp";
        std::filesystem::create_directories(folder);
        // Output is written and forgotten, as on a terminal.
        std::ostream nowhere(nullptr);
        zestrel::console::Console console(folder, nowhere, nowhere);
        // As a script runs each line: the command, then what it set off.
        const auto run = [&](const std::string& line) {
            console.run(*zestrel::console::parseCommand(line));
            pf::RunLoop::main().runUntilIdle();
        };
        // The app's sound keeps the name of a temporary file per cut until it quits, and the
        // stand-in records each sound it plays: neither is the program's to bound.
        run("defaults write playSoundEffects false");
        for (const auto* line : {"write $TMP/a.txt A", "open finder $TMP", "select a.txt",
                                 "launch zestrel", "wait 30"}) {
            run(line);
        }
        constexpr int kPresses = 100'000;
        std::optional<std::int64_t> afterHalf;
        for (int press = 1; press <= kPresses; press += 2) {
            run("press cmd+x");
            run("wait 1");
            run("press cmd+c"); // forgets the cut
            // The test environment's own captures (log records, reports) are not the program's.
            if ((press + 1) % 1000 == 0) {
                env.clearCaptures();
            }
            if (press + 1 == kPresses / 2) {
                afterHalf = zestrel::physicalMemoryFootprint();
            }
        }
        const auto afterAll = zestrel::physicalMemoryFootprint();
        zestrel::bench::reportFootprint(state, "MB_after_50000_presses", afterHalf);
        zestrel::bench::reportFootprint(state, "MB_after_100000_presses", afterAll);
        zestrel::bench::reportGrowth(state, "bytes_per_press", afterHalf, afterAll, kPresses / 2.0);
    }
}
BENCHMARK(BM_ConsoleMemoryOverKeyPresses)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
