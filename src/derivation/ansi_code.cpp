#include "ansi_code.h"

#include <array>

namespace tessivo::derivation {

namespace {

constexpr int Unmappable = '?';

// Unicode code point for each byte 0x80..0x9F; 0 where Windows-1252 defines none.
constexpr std::array<char32_t, 32> HighControls = {
    U'\u20AC', 0,         U'\u201A', U'\u0192', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
    U'\u02C6', U'\u2030', U'\u0160', U'\u2039', U'\u0152', 0,         U'\u017D', 0,
    0,         U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
    U'\u02DC', U'\u2122', U'\u0161', U'\u203A', U'\u0153', 0,         U'\u017E', U'\u0178',
};

} // namespace

int AnsiCode(char32_t c) noexcept
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (std::size_t i = 0; i < HighControls.size(); ++i) {
        const char32_t mapped = HighControls[i];
        const auto byte = static_cast<char32_t>(0x80 + i);
        if (c == mapped || (mapped == 0 && c == byte)) {
            return static_cast<int>(byte);
        }
    }
    return Unmappable;
}

} // namespace tessivo::derivation
