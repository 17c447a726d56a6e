#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessivo::cli {

// The characters of `bytes`, or nullopt unless they are well-formed UTF-8: no overlong
// forms, no surrogates, nothing above U+10FFFF, no sequence cut short.
std::optional<std::u32string> DecodeUtf8(std::string_view bytes);

// Appends `text`, code points up to U+10FFFF without surrogates, to `out` as UTF-8. For a
// secret, reserve 4 bytes a character first: growing `out` would leave copies in freed memory.
void AppendUtf8(std::string& out, std::u32string_view text);

} // namespace tessivo::cli
