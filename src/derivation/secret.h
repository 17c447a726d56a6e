#pragma once

#include <span>
#include <string>

namespace tessivo::derivation {

// Overwrites the characters of `secret` in place, then empties it, so a key or password
// does not linger in freed memory. The compiler may not drop the overwrite.
void Wipe(std::u32string& secret) noexcept;
void Wipe(std::string& secret) noexcept;

// The same for bytes that are not a string: a read buffer, say. They stay where they are.
void Wipe(std::span<char> secret) noexcept;

} // namespace tessivo::derivation
