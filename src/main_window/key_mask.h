#pragma once

#include "engine.h"

#include <algorithm>
#include <string_view>

namespace tessivo::main_window {

// Only as many characters as the key sum reads.
inline constexpr int KeyBoxMaxLength = derivation::MaxKeyLength;

// The characters a key may consist of: "!" (33) up to "}" (125), that is printable ASCII
// without the space and "~". Every existing key was typed from this set.
constexpr bool KeyMaskAccepts(char32_t c) noexcept { return c > 32 && c < 126; }

// True when `text` may stand in the key box: at most six characters, each one accepted.
constexpr bool KeyMaskAcceptsText(std::u32string_view text) noexcept
{
    return text.size() <= KeyBoxMaxLength && std::ranges::all_of(text, KeyMaskAccepts);
}

} // namespace tessivo::main_window
