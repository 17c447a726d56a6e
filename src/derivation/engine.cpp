#include "engine.h"

#include "ansi_code.h"
#include "secret.h"

#include <algorithm>
#include <stdexcept>

namespace tessivo::derivation {

namespace {

// Number mode always drops the first two digits of the joined pieces.
constexpr std::size_t DroppedDigits = 2;

// `code` is a Windows-1252 code, 0..255: no sign, no leading zeros, at most three digits.
// Written out by hand because std::to_string's allocation dominated Number mode.
void appendDecimal(std::u32string& out, int code)
{
    const auto digit = [](int value) {
        return static_cast<char32_t>(U'0' + static_cast<char32_t>(value));
    };
    if (code >= 100) {
        out.push_back(digit(code / 100));
    }
    if (code >= 10) {
        out.push_back(digit(code / 10 % 10));
    }
    out.push_back(digit(code % 10));
}

} // namespace

int KeySum(std::u32string_view key) noexcept
{
    const auto used = key.substr(0, std::min<std::size_t>(key.size(), MaxKeyLength));
    int sum = 0;
    for (const char32_t c : used) {
        sum += AnsiCode(c);
    }
    return sum;
}

std::u32string Derive(std::u32string_view seed, int keySum, int length, Mode mode)
{
    if (seed.empty()) {
        throw std::invalid_argument("Derive: the seed text is empty");
    }
    if (length < 0 || length > MaxPasswordLength) {
        throw std::invalid_argument("Derive: the length is outside 0..14");
    }
    if (keySum < 0 || keySum > MaxKeySum) {
        throw std::invalid_argument("Derive: the key sum is outside 0..1530");
    }

    const auto seedLength = static_cast<int>(seed.size());
    std::u32string joined;
    joined.reserve(static_cast<std::size_t>(length) * 3);
    for (int k = 1; k <= length; ++k) {
        // Piece k comes from k * S reduced modulo L, recomputed from S each time. Position 0
        // stands for no character, which is why the seed's last character never appears.
        const int position = (k * keySum) % seedLength;
        if (position == 0) {
            joined.push_back(U'0');
        } else if (mode == Mode::Alphabet) {
            joined.push_back(seed[static_cast<std::size_t>(position - 1)]);
        } else {
            appendDecimal(joined, AnsiCode(seed[static_cast<std::size_t>(position - 1)]));
        }
    }

    if (mode == Mode::Alphabet) {
        return joined;
    }
    std::u32string password;
    if (joined.size() > DroppedDigits) {
        password = joined.substr(DroppedDigits, static_cast<std::size_t>(length));
    }
    Wipe(joined); // it holds the password's digits too
    return password;
}

WeakKey ClassifyKeySum(int keySum, int seedLength) noexcept
{
    if (seedLength < 1) {
        return WeakKey::None; // no seed, no password to judge
    }
    const int step = keySum % seedLength;
    if (step == 0) {
        return WeakKey::OnlyZeros;
    }
    // Checked before the reversed walk: with two characters both describe the same password,
    // and "in order" is the plainer way to say it.
    if (step == 1) {
        return WeakKey::NamesInOrder;
    }
    if (step == seedLength - 1) {
        return WeakKey::NamesReversed;
    }
    return WeakKey::None;
}

std::string_view WeakKeyReason(WeakKey weakness) noexcept
{
    switch (weakness) {
    case WeakKey::OnlyZeros:
        return "it is made of zeros only";
    case WeakKey::NamesInOrder:
        return "it spells out the site and user name in order";
    case WeakKey::NamesReversed:
        return "it spells out the site and user name backwards";
    case WeakKey::None:
        break;
    }
    return {};
}

} // namespace tessivo::derivation
