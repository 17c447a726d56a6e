#pragma once

#include "engine.h"

#include <algorithm>
#include <optional>
#include <string_view>

// What a key and a password length may be, as a user types them: the window and the command
// line accept and refuse exactly the same input.
namespace tessivo::derivation {

// The characters a key may consist of: "!" (33) up to "}" (125), that is printable ASCII
// without the space and "~". Every existing key was typed from this set.
constexpr bool IsKeyCharacter(char32_t c) noexcept { return c > 32 && c < 126; }

// True when `text` is a whole key as it can be typed: at most six characters, each a key
// character. Empty counts: it stands for the key "0".
constexpr bool IsKeyText(std::u32string_view text) noexcept
{
    return text.size() <= MaxKeyLength && std::ranges::all_of(text, IsKeyCharacter);
}

// The password length typed or chosen in the length box: ASCII digits, leading zeros and
// surrounding spaces or tabs allowed, value 1..14. Anything else: nullopt.
std::optional<int> ParseLength(std::u32string_view text) noexcept;

} // namespace tessivo::derivation
