#pragma once

#include <string>

namespace tessivo::derivation {

// Overwrites the characters of `secret` in place, then empties it, so a key or password
// does not linger in freed memory. The compiler may not drop the overwrite.
void Wipe(std::u32string& secret) noexcept;

} // namespace tessivo::derivation
