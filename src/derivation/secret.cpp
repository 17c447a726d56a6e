#include "secret.h"

namespace tessivo::derivation {

namespace {

// Through a volatile pointer: a plain fill of memory about to be freed or cleared is dead
// code the optimiser is free to remove.
template <typename Char> void overwrite(Char* data, std::size_t size) noexcept
{
    volatile Char* chars = data;
    for (std::size_t i = 0; i < size; ++i) {
        chars[i] = 0;
    }
}

// Earlier, longer contents may still sit past size(); growing to the capacity makes those
// characters ours to overwrite without reallocating.
template <typename String> void wipeString(String& secret) noexcept
{
    secret.resize(secret.capacity());
    overwrite(secret.data(), secret.size());
    secret.clear();
}

} // namespace

void Wipe(std::u32string& secret) noexcept { wipeString(secret); }

void Wipe(std::string& secret) noexcept { wipeString(secret); }

void Wipe(std::span<char> secret) noexcept { overwrite(secret.data(), secret.size()); }

} // namespace tessivo::derivation
