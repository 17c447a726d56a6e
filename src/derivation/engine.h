#pragma once

#include <string>
#include <string_view>

// The password derivation. Every existing password depends on these functions giving the
// same output for the same input, bit for bit: change nothing here that alters a result.
namespace tessivo::derivation {

enum class Mode {
    Alphabet, // pieces are characters of the seed text
    Number,   // pieces are the decimal Windows-1252 codes of those characters
};

inline constexpr int MaxKeyLength = 6;
inline constexpr int MaxPasswordLength = 14;
inline constexpr int MaxKeySum = MaxKeyLength * 255;

// Sum of the Windows-1252 codes of the first six characters of `key`; characters past the
// sixth are ignored. Result: 0..MaxKeySum.
int KeySum(std::u32string_view key) noexcept;

// The password for `seed` (site text followed by user text), key sum `keySum` and length
// `length`. Alphabet mode gives exactly `length` characters; Number mode gives at most
// `length` digits and may give none. `length` 0 gives an empty password.
// Throws std::invalid_argument for an empty seed (no password exists), a length outside
// 0..MaxPasswordLength or a key sum outside 0..MaxKeySum.
std::u32string Derive(std::u32string_view seed, int keySum, int length, Mode mode);

// Key sums whose passwords anyone who knows the site and user can guess. Piece k comes from
// position (k * S) mod L, so everything depends on S mod L: 0 gives only zeros, 1 walks the
// seed in order, L - 1 walks it backwards. For L of 1 or 2 every key falls in one of these.
enum class WeakKey {
    None,
    OnlyZeros,     // S mod L = 0
    NamesInOrder,  // S mod L = 1: the site and user text (or their codes) in order
    NamesReversed, // S mod L = L - 1: the same, backwards
};

// How easily the password of a seed of `seedLength` characters and key sum `keySum` is
// guessed. The passwords themselves never change: this only tells. `seedLength` >= 1.
WeakKey ClassifyKeySum(int keySum, int seedLength) noexcept;

// A few words saying why the password is easily guessed, for messages; empty for None.
std::string_view WeakKeyReason(WeakKey weakness) noexcept;

} // namespace tessivo::derivation
