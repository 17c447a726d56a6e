#pragma once

namespace tessivo::derivation {

// The character's code in Windows-1252, the single-byte set every existing password was
// made with. ASCII and U+00A0..U+00FF keep their value; the 27 typographic characters of
// 0x80..0x9F map to their byte; the five bytes Windows-1252 leaves undefined round-trip as
// U+0081, U+008D, U+008F, U+0090, U+009D. Anything else yields 63 ("?"). Result: 0..255.
int AnsiCode(char32_t c) noexcept;

} // namespace tessivo::derivation
