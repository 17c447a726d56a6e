#include "typed_input.h"

namespace tessivo::derivation {

namespace {

bool isBlank(char32_t c) { return c == U' ' || c == U'\t'; }

} // namespace

std::optional<int> ParseLength(std::u32string_view text) noexcept
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (const char32_t c : text) {
        if (c < U'0' || c > U'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<int>(c - U'0');
        if (value > MaxPasswordLength) {
            return std::nullopt; // also keeps a long run of digits from overflowing
        }
    }
    if (value < 1) {
        return std::nullopt;
    }
    return value;
}

} // namespace tessivo::derivation
