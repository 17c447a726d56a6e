#include "secret.h"

namespace tessivo::derivation {

void Wipe(std::u32string& secret) noexcept
{
    // Earlier, longer contents may still sit past size(); growing to the capacity makes
    // those characters ours to overwrite without reallocating.
    secret.resize(secret.capacity());
    // Through a volatile pointer: a plain fill of a string about to be cleared is dead code
    // the optimiser is free to remove.
    volatile char32_t* chars = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i) {
        chars[i] = 0;
    }
    secret.clear();
}

} // namespace tessivo::derivation
