// Every match of a regular expression over texts of 1k to 100k characters, one match per
// character: the cost per character stays flat. Each match once converted the whole text
// again, made a new character iterator and kept its own copy of the text (10k characters took
// 0.55 s and 104 MB, 40k took 7.8 s and 1.5 GB). "per_character_vs_1k" is the cost per
// character against the 1k text's, measured in the same run; flat means within 2.
#include "bench/Baseline.h"
#include "foundation/QVRegex.h"

#include <cstdint>
#include <string>

namespace {

using zestrel::QVRegex;
using zestrel::bench::Baselines;
using zestrel::bench::LoopTimer;

// Ten characters of the kinds a text holds: letters, a German one, an accented one written
// with a combining mark, a space, an emoji and punctuation.
constexpr std::string_view kTenCharacters = "Gru\xC3\x9F"
                                            "e\xCC\x81 \xF0\x9F\x98\x80,ok";

std::string textOf(std::int64_t characters) {
    std::string text;
    for (std::int64_t i = 0; i < characters / 10; ++i) {
        text += kTenCharacters;
    }
    return text;
}

void BM_AllMatchesOnePerCharacter(benchmark::State& state) {
    const std::int64_t characters = state.range(0);
    const std::string text = textOf(characters);
    const QVRegex anyCharacter("\\X");
    std::size_t found = 0;
    const LoopTimer timer;
    for (auto _ : state) {
        const auto matches = anyCharacter.allMatches(text);
        found = matches.size();
        benchmark::DoNotOptimize(matches.data());
    }
    const double perCharacter =
        timer.nanosecondsPerIteration(state) / static_cast<double>(characters);
    state.counters["matches"] = static_cast<double>(found);
    state.counters["ns_per_character"] = perCharacter;
    if (characters == 1000) {
        Baselines::record("regexAllMatches1k", perCharacter);
    }
    Baselines::reportRatio(state, "regexAllMatches1k", "per_character_vs_1k", perCharacter);
}
BENCHMARK(BM_AllMatchesOnePerCharacter)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(40000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

} // namespace
