#include "literal_derive.h"

#include "ansi_code.h"

#include <array>
#include <optional>

namespace tessivo::testing {

namespace {

// A slot of the piece table: nothing, the number 0, or text.
using Piece = std::optional<std::u32string>;

std::u32string decimal(int value)
{
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

} // namespace

std::u32string LiteralDerive(std::u32string_view seed, std::u32string_view key, int length,
                             derivation::Mode mode)
{
    std::array<int, 7> keyCodes{};
    for (std::size_t position = 1; position <= key.size() && position <= 6; ++position) {
        keyCodes[position] = derivation::AnsiCode(key[position - 1]);
    }
    int total = 0;
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        total += keyCodes[slot];
    }
    const auto S = static_cast<double>(total);

    std::array<Piece, 15> pieces{};
    auto g = static_cast<long long>(S);
    int i = 0;
    int pass = 0;
    const auto L = static_cast<long long>(seed.size());
    while (pass <= length - 1) {
        if (g >= L) {
            g -= L;
            continue;
        }
        ++i;
        if (g == 0) {
            pieces[static_cast<std::size_t>(i)].emplace(1, U'0');
        } else if (mode == derivation::Mode::Alphabet) {
            pieces[static_cast<std::size_t>(i)] =
                std::u32string(1, seed[static_cast<std::size_t>(g - 1)]);
        } else {
            pieces[static_cast<std::size_t>(i)] =
                decimal(derivation::AnsiCode(seed[static_cast<std::size_t>(g - 1)]));
        }
        g = static_cast<long long>(static_cast<double>(i + 1) * S);
        ++pass;
    }

    std::u32string joined;
    for (std::size_t slot = 1; slot <= 14; ++slot) {
        if (pieces[slot]) {
            joined += *pieces[slot];
        }
    }
    if (mode == derivation::Mode::Alphabet) {
        return joined;
    }
    return joined.size() <= 2 ? std::u32string()
                              : joined.substr(2, static_cast<std::size_t>(length));
}

} // namespace tessivo::testing
