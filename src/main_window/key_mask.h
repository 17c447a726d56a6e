#pragma once

#include "engine.h"
#include "key_characters.h"

#include <string_view>

namespace tessivo::main_window {

// Only as many characters as the key sum reads.
inline constexpr int KeyBoxMaxLength = derivation::MaxKeyLength;

// The characters the key box lets in; the command line accepts the same ones.
constexpr bool KeyMaskAccepts(char32_t c) noexcept { return derivation::IsKeyCharacter(c); }

// True when `text` may stand in the key box: at most six characters, each one accepted.
constexpr bool KeyMaskAcceptsText(std::u32string_view text) noexcept
{
    return derivation::IsKeyText(text);
}

} // namespace tessivo::main_window
