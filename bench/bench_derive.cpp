#include "engine.h"
#include "literal_derive.h"

#include <benchmark/benchmark.h>
#include <string>
#include <string_view>

namespace {

using tessivo::derivation::Derive;
using tessivo::derivation::KeySum;
using tessivo::derivation::Mode;
using tessivo::testing::LiteralDerive;

struct Case {
    std::u32string_view seed;
    std::u32string_view key;
    int length;
    Mode mode;
};

// A one-character seed under the largest sum a key the key box accepts can have: the literal
// form subtracts the seed length 78,750 times here, more than for any other such input.
constexpr Case WorstAlphabet{U"a", U"}}}}}}", 14, Mode::Alphabet};
constexpr Case WorstNumber{U"a", U"}}}}}}", 14, Mode::Number};
constexpr Case TypicalAlphabet{U"google.itmario", U"Ab3$", 14, Mode::Alphabet};
constexpr Case TypicalNumber{U"google.itmario", U"Ab3$", 14, Mode::Number};

// Timing two forms that disagree would compare different work: stop before measuring.
bool formsAgree(benchmark::State& state, const Case& c)
{
    if (Derive(c.seed, KeySum(c.key), c.length, c.mode) !=
        LiteralDerive(c.seed, c.key, c.length, c.mode)) {
        state.SkipWithError("Derive and LiteralDerive give different passwords for this case");
        return false;
    }
    return true;
}

// The key goes in as text on both sides, so both pay for turning it into a number.
void Fast(benchmark::State& state, const Case& c)
{
    if (!formsAgree(state, c)) {
        return;
    }
    const std::u32string seed(c.seed);
    const std::u32string key(c.key);
    for (auto _ : state) {
        std::u32string password = Derive(seed, KeySum(key), c.length, c.mode);
        benchmark::DoNotOptimize(password);
    }
}

void Literal(benchmark::State& state, const Case& c)
{
    if (!formsAgree(state, c)) {
        return;
    }
    const std::u32string seed(c.seed);
    const std::u32string key(c.key);
    for (auto _ : state) {
        std::u32string password = LiteralDerive(seed, key, c.length, c.mode);
        benchmark::DoNotOptimize(password);
    }
}

} // namespace

BENCHMARK_CAPTURE(Fast, worst_alphabet, WorstAlphabet);
BENCHMARK_CAPTURE(Literal, worst_alphabet, WorstAlphabet);
BENCHMARK_CAPTURE(Fast, worst_number, WorstNumber);
BENCHMARK_CAPTURE(Literal, worst_number, WorstNumber);
BENCHMARK_CAPTURE(Fast, typical_alphabet, TypicalAlphabet);
BENCHMARK_CAPTURE(Literal, typical_alphabet, TypicalAlphabet);
BENCHMARK_CAPTURE(Fast, typical_number, TypicalNumber);
BENCHMARK_CAPTURE(Literal, typical_number, TypicalNumber);

BENCHMARK_MAIN();
